#include "comm/protocol.h"

#include <charconv>
#include <cstdio>

namespace kestrix {

namespace Frame {

std::string escape(const std::string &command)
{
    return Esc + command + Cr;
}

std::string registerNumber(int number)
{
    return registerNumber(std::to_string(number));
}

std::string registerNumber(const std::string &digits)
{
    if (digits.size() >= 3)
        return digits;
    return std::string(3 - digits.size(), '0') + digits;
}

std::string padValue(const std::string &value)
{
    return value.size() == 1 ? "0" + value : value;
}

std::string registerWrite(const std::string &reg, const std::string &value)
{
    return "W" + registerNumber(reg) + padValue(value) + Cr;
}

std::string registerRead(const std::string &reg)
{
    return "R" + registerNumber(reg) + Cr;
}

std::string variableRead(const std::string &variable)
{
    return "r" + registerNumber(variable) + Cr;
}

std::string variableClear(const std::string &variable)
{
    return "w" + registerNumber(variable) + "00" + Cr;
}

std::string command(const std::string &text)
{
    return text + Cr;
}

} // namespace Frame

std::string ToHexText(const std::string &decimal)
{
    unsigned value = 0;
    const char *end = decimal.data() + decimal.size();
    const auto [stop, error] = std::from_chars(decimal.data(), end, value);
    if (error != std::errc() || stop != end)
        value = 0;
    char text[16];
    std::snprintf(text, sizeof text, "%02x", value & 0xffu);
    return text;
}

QString hexByte(std::uint8_t byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
}

} // namespace kestrix
