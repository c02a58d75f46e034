#include "export/display_line.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <span>

namespace kestrix::display {
namespace {

constexpr int ValueWidth = 7;

struct Code {
    std::string_view text;
    int number;
};

// Tested in this order.
constexpr Code CurrencyLines[] = {
    {"EUR", 8}, {"ATS", 7}, {"Frf", 6}, {"dem", 5}, {"itl", 4},
    {"cad", 3}, {"chf", 2}, {"gbr", 1}, {"usd", 0},
};
constexpr Code KindTexts[] = {{"U", 0}, {"I", 1}, {"B", 2}};
constexpr Code TypeTexts[] = {{"U", 0}, {"I", 1}, {"A", 2}};

constexpr char KindLetters[] = {'U', 'I', 'B'};
constexpr char TypeLetters[] = {'U', 'I', 'A'};

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

std::optional<int> lookUp(std::span<const Code> table, std::string_view text)
{
    for (const Code &code : table) {
        if (equalIgnoringCase(code.text, text))
            return code.number;
    }
    return std::nullopt;
}

std::optional<char> letterOf(std::span<const char> letters, int index)
{
    if (index < 0 || index >= int(letters.size()))
        return std::nullopt;
    return letters[size_t(index)];
}

// snprintf into a string of the size the text needs, however long.
template<typename... Args>
std::string printed(const char *format, Args... args)
{
    const int size = std::snprintf(nullptr, 0, format, args...);
    if (size <= 0)
        return {};
    std::string text(size_t(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(size_t(size));
    return text;
}

// "%.6f" of a finite number; NaN and the infinities as the C library's text would start them,
// without the sign some libraries give NaN.
std::string sixDecimals(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    return printed("%.6f", value);
}

} // namespace

std::string formatValue(double value)
{
    std::string text = sixDecimals(value);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.ends_with('.'))
            text.pop_back();
    }
    if (text.find('.') == std::string::npos)
        text += ".0";
    return text.substr(0, ValueWidth);
}

std::optional<char> kindLetter(int kind)
{
    return letterOf(KindLetters, kind);
}

std::optional<char> typeLetter(int type)
{
    return letterOf(TypeLetters, type);
}

std::optional<int> currencyLine(std::string_view code)
{
    return lookUp(CurrencyLines, code);
}

std::optional<int> kindOfText(std::string_view text)
{
    return lookUp(KindTexts, text);
}

std::optional<int> typeOfText(std::string_view text)
{
    return lookUp(TypeTexts, text);
}

std::string rateLine(int line, char kind, double first, double second)
{
    return printed("$%02d%c|%7s|%7s|\r\n", line, kind, formatValue(first).c_str(), formatValue(second).c_str());
}

std::string brightnessLine(int address, char type, const BrightnessTimes &times)
{
    if (type != TypeLetters[2])
        return printed("#%02d%c\r\n", address, type);
    return printed("#%02d%c%02d:%02d/%02d:%02d\r\n", address, type, times.firstHours, times.firstMinutes,
                   times.secondHours, times.secondMinutes);
}

std::string timeText(const TimeFields &time)
{
    return printed("%02x:%02x:%02x:%02x:%02x:%02x", time.second, time.minute, time.hour, time.day, time.month,
                   time.year % 100);
}

} // namespace kestrix::display
