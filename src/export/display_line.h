#pragma once
// The lines of the display protocol that other programs use to drive rate boards: start and end
// lines, rate lines, brightness lines, the test line and the time text, and the tables that turn
// currency codes and kind texts into line numbers and letters.

#include <optional>
#include <string>
#include <string_view>

namespace kestrix::display {

inline constexpr std::string_view StartLine = "as\r\n";
inline constexpr std::string_view EndLine = "sa\r\n";
inline constexpr std::string_view TestLine = "T\r\n";
inline constexpr char Accepted = '>';

// A value as a rate board shows it: six decimals, trailing zeros and a bare point removed,
// ".0" added to a whole number, then cut to 7 characters: 1.5, 12.0, 1234.56, "123456.",
// 1000000. NaN gives "nan.0", infinities "inf.0" and "-inf.0".
std::string formatValue(double value);

// "U", "I", "B" for kinds 0, 1, 2 of a rate line; nothing for any other kind.
std::optional<char> kindLetter(int kind);
// "U", "I", "A" for brightness types 0, 1, 2; nothing for any other type.
std::optional<char> typeLetter(int type);

// The rate board line of a currency code ("EUR" 8 ... "usd" 0), ignoring letter case.
std::optional<int> currencyLine(std::string_view code);
// The kind of a kind text: "U" 0, "I" 1, "B" 2, ignoring letter case.
std::optional<int> kindOfText(std::string_view text);
// The brightness type of a type letter: "U" 0, "I" 1, "A" 2, ignoring letter case.
std::optional<int> typeOfText(std::string_view text);

// "$03I|    1.5| 1.4567|" CR LF.
std::string rateLine(int line, char kind, double first, double second);

struct BrightnessTimes {
    int firstHours = 0;
    int firstMinutes = 0;
    int secondHours = 0;
    int secondMinutes = 0;
};
// "#05U" CR LF; type letter "A" carries the two times: "#05A06:30/22:00" CR LF.
std::string brightnessLine(int address, char type, const BrightnessTimes &times);

struct TimeFields {
    unsigned second = 0;
    unsigned minute = 0;
    unsigned hour = 0;
    unsigned day = 0;
    unsigned month = 0;
    unsigned year = 0;
};
// Second, minute, hour, day, month and year modulo 100 as lower-case hexadecimal pairs
// separated by ":", without a line end: 2014-05-13 09:07:15 gives "0f:07:09:0d:05:0e".
std::string timeText(const TimeFields &time);

} // namespace kestrix::display
