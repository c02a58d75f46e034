#pragma once
// Telnet framing for network serial servers: option commands, subnegotiations and the doubling
// of the byte 0xFF in data, both ways.

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace kestrix::telnet {

constexpr std::uint8_t Iac = 255;
constexpr std::uint8_t Dont = 254;
constexpr std::uint8_t Do = 253;
constexpr std::uint8_t Wont = 252;
constexpr std::uint8_t Will = 251;
constexpr std::uint8_t Sb = 250;
constexpr std::uint8_t Se = 240;

constexpr std::uint8_t Binary = 0;
constexpr std::uint8_t SuppressGoAhead = 3;
constexpr std::uint8_t ComPort = 44;

// An option command (verb Do, Dont, Will or Wont) or a subnegotiation (verb Sb, its payload
// without the option byte and unescaped).
struct Event {
    std::uint8_t verb = 0;
    std::uint8_t option = 0;
    QByteArray payload;

    friend bool operator==(const Event &, const Event &) = default;
};

// Splits what a server sends into data bytes and events; keeps its state between pieces, so a
// command split over two reads is still one command.
class Decoder {
public:
    // A subnegotiation longer than this is cut: a server cannot make us hold more.
    static constexpr int MaxPayload = 64;

    void feed(const QByteArray &bytes, QByteArray &data, std::vector<Event> &events);

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    State m_state = State::Data;
    std::uint8_t m_verb = 0;
    Event m_sub;
};

// Data with every 0xFF doubled.
QByteArray escaped(const QByteArray &data);
QByteArray command(std::uint8_t verb, std::uint8_t option);
// IAC SB option payload IAC SE, the payload escaped.
QByteArray subnegotiation(std::uint8_t option, const QByteArray &payload);

} // namespace kestrix::telnet
