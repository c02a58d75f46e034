// The display lines other programs send: any double is formatted into at most 7 characters of a
// number (or nan.0 / inf.0) whose value, when nothing was cut, is the double rounded to six
// decimals; a rate line keeps its fields 7 wide; the currency and kind tables take exactly their
// entries, in any letter case; brightness lines and time texts take any numbers.

#include "fuzz_support.h"
#include "export/display_line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

using namespace kestrix::display;
using namespace kestrix::fuzz;

namespace {

// The codes in lower case, as a table of their own.
constexpr const char *LowerCodes[] = {"eur", "ats", "frf", "dem", "itl", "cad", "chf", "gbr", "usd"};

std::string lowered(std::string text)
{
    for (char &c : text)
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return text;
}

void checkValue(double value)
{
    const std::string text = formatValue(value);
    check(!text.empty() && text.size() <= 7);
    if (std::isnan(value)) {
        check(text == "nan.0");
        return;
    }
    if (std::isinf(value)) {
        check(text == (value < 0 ? "-inf.0" : "inf.0"));
        return;
    }
    for (char c : text)
        check((c >= '0' && c <= '9') || c == '.' || c == '-');
    if (text.size() < 7) {
        check(text.find('.') != std::string::npos && text.back() != '.');
        const double shown = std::strtod(text.c_str(), nullptr);
        check(std::fabs(shown - value) <= 5.0000001e-7 + std::fabs(value) * 1e-15);
    }
}

void checkRateLine(int line, char kind, double first, double second)
{
    const std::string text = rateLine(line, kind, first, second);
    check(text.starts_with('$') && text.ends_with("|\r\n"));
    const size_t bar = text.find('|');
    check(bar != std::string::npos && text.size() == bar + 1 + 2 * 8 + 2);
    check(text[bar - 1] == kind && text[bar + 8] == '|');
    check(text.compare(bar + 1, 7, std::string(7 - formatValue(first).size(), ' ') + formatValue(first)) == 0);
}

void checkTables(const std::string &code, const std::string &kindText)
{
    bool listed = false;
    for (const char *lower : LowerCodes)
        listed = listed || lowered(code) == lower;
    check(currencyLine(code).has_value() == listed);
    const std::string kind = lowered(kindText);
    check(kindOfText(kindText).has_value() == (kind == "u" || kind == "i" || kind == "b"));
    check(typeOfText(kindText).has_value() == (kind == "u" || kind == "i" || kind == "a"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const double first = input.ConsumeFloatingPoint<double>();
    const double second = input.ConsumeFloatingPoint<double>();
    const int line = input.ConsumeIntegral<int>();
    const int kind = input.ConsumeIntegralInRange<int>(-1, 3);
    checkValue(first);
    checkValue(second);
    const std::optional<char> letter = kindLetter(kind);
    check(letter.has_value() == (kind >= 0 && kind <= 2));
    if (letter)
        checkRateLine(line, *letter, first, second);

    const int address = input.ConsumeIntegral<int>();
    BrightnessTimes times{input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>(),
                          input.ConsumeIntegral<int>()};
    if (const std::optional<char> type = typeLetter(input.ConsumeIntegralInRange<int>(0, 2)))
        check(brightnessLine(address, *type, times).ends_with("\r\n"));
    const TimeFields time{input.ConsumeIntegral<unsigned>(), input.ConsumeIntegral<unsigned>(),
                          input.ConsumeIntegral<unsigned>(), input.ConsumeIntegral<unsigned>(),
                          input.ConsumeIntegral<unsigned>(), input.ConsumeIntegral<unsigned>()};
    const std::string text = timeText(time);
    check(std::count(text.begin(), text.end(), ':') == 5);

    const std::string code = input.ConsumeRandomLengthString(8);
    checkTables(code, input.ConsumeRemainingBytesAsString());
    return 0;
}
