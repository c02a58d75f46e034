#include "board_protocol.h"

#include "board_sim.h"

#include <optional>

namespace kestrix::sim {
namespace {

enum class Fixed { None, Hello, Software, Hardware, Display };

// Frames the board knows by their whole text.
struct FixedFrame {
    std::string_view text;
    Fixed reply;
};
constexpr FixedFrame FixedFrames[] = {
    {"\x1bTS?", Fixed::Hello},   {"\x1bSV?", Fixed::Software}, {"\x1bHV?", Fixed::Hardware},
    {"\x1bSM7", Fixed::None},    {"\x1bRST", Fixed::None},     {"DLS", Fixed::None},
    {"AL0", Fixed::None},        {"AL1", Fixed::None},         {"as", Fixed::Display},
    {"sa", Fixed::Display},      {"T", Fixed::Display},
};

// Display lines known by their first character: rate lines and brightness lines.
constexpr std::string_view DisplayLineStarts = "$#";

// Register and variable frames: letter, three digits, and for writes a value.
struct MemoryFrame {
    char letter;
    bool isRegister;
    bool isWrite;
};
constexpr MemoryFrame MemoryFrames[] = {
    {'W', true, true}, {'R', true, false}, {'w', false, true}, {'r', false, false}};

std::optional<int> threeDigits(std::string_view text)
{
    if (text.size() < 3)
        return std::nullopt;
    int number = 0;
    for (char c : text.substr(0, 3)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A value of one or two hexadecimal characters; anything else is not a value.
std::optional<uint8_t> hexValue(std::string_view text)
{
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return static_cast<uint8_t>(value);
}

} // namespace

BoardProtocol::BoardProtocol()
    : software(DefaultSoftwareVersion), hardware(DefaultHardwareVersion)
{
    registers.fill(0xFF);
    variables.fill(0);
}

Reply BoardProtocol::respond(std::string_view frame)
{
    for (const FixedFrame &fixed : FixedFrames) {
        if (frame != fixed.text)
            continue;
        switch (fixed.reply) {
        case Fixed::None: return {};
        case Fixed::Hello: return {ReplyKind::Hello, "Hello"};
        case Fixed::Software: return {ReplyKind::Version, software + "\r\n"};
        case Fixed::Hardware: return {ReplyKind::Version, hardware + "\r\n"};
        case Fixed::Display: return {ReplyKind::Display, ">"};
        }
    }
    if (!frame.empty() && DisplayLineStarts.find(frame.front()) != std::string_view::npos)
        return {ReplyKind::Display, ">"};
    return memoryAccess(frame);
}

// Reads answer the byte; writes store a well-formed value (a malformed one is ignored) and
// answer the byte the register then holds.
Reply BoardProtocol::memoryAccess(std::string_view frame)
{
    for (const MemoryFrame &kind : MemoryFrames) {
        if (frame.empty() || frame.front() != kind.letter)
            continue;
        std::optional<int> number = threeDigits(frame.substr(1));
        std::string_view rest = frame.size() > 4 ? frame.substr(4) : std::string_view();
        if (!number || (!kind.isWrite && !rest.empty()))
            return {};
        const std::optional<uint8_t> value = kind.isWrite ? hexValue(rest) : std::nullopt;
        if (kind.isRegister && BoardClock::holds(*number))
            return {ReplyKind::Byte, std::string(1, static_cast<char>(clockAccess(*number, value)))};
        uint8_t &cell = kind.isRegister ? registers[*number] : variables[*number];
        if (value)
            cell = *value;
        return {ReplyKind::Byte, std::string(1, static_cast<char>(cell))};
    }
    return {};
}

// A write sets the clock's register and starts the clock; either way the answer is the byte the
// register holds then.
uint8_t BoardProtocol::clockAccess(int n, std::optional<uint8_t> value)
{
    const BoardClock::Clock::time_point now = BoardClock::Clock::now();
    if (value) {
        clock.write(n, *value, now);
        clock.setRunning(true, now);
    }
    return clock.read(n, now);
}

uint8_t BoardProtocol::readRegister(int n) const
{
    if (n < 0 || n >= MemorySize)
        return 0;
    return BoardClock::holds(n) ? clock.read(n, BoardClock::Clock::now()) : registers[n];
}

void BoardProtocol::setRegister(int n, uint8_t value)
{
    if (n < 0 || n >= MemorySize)
        return;
    if (!BoardClock::holds(n)) {
        registers[n] = value;
        return;
    }
    const BoardClock::Clock::time_point now = BoardClock::Clock::now();
    clock.setRunning(false, now);
    clock.write(n, value, now);
}

} // namespace kestrix::sim
