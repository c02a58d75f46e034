#include "comm/telnet_codec.h"

namespace kestrix::telnet {

void Decoder::feed(const QByteArray &bytes, QByteArray &data, std::vector<Event> &events)
{
    for (char raw : bytes) {
        const auto byte = static_cast<std::uint8_t>(raw);
        switch (m_state) {
        case State::Data:
            if (byte == Iac)
                m_state = State::Iac;
            else
                data += raw;
            break;
        case State::Iac:
            if (byte == Iac) {
                data += raw;
                m_state = State::Data;
            } else if (byte == Sb || (byte >= Will && byte <= Dont)) {
                m_verb = byte;
                m_state = State::Option;
            } else {
                m_state = State::Data;   // NOP, GA and the like carry nothing for us
            }
            break;
        case State::Option:
            if (m_verb == Sb) {
                m_sub = {Sb, byte, {}};
                m_state = State::Sub;
            } else {
                events.push_back({m_verb, byte, {}});
                m_state = State::Data;
            }
            break;
        case State::Sub:
            if (byte == Iac)
                m_state = State::SubIac;
            else if (m_sub.payload.size() < MaxPayload)
                m_sub.payload += raw;
            break;
        case State::SubIac:
            if (byte == Se) {
                events.push_back(std::move(m_sub));
                m_sub = {};
                m_state = State::Data;
            } else {
                if (byte == Iac && m_sub.payload.size() < MaxPayload)
                    m_sub.payload += raw;
                m_state = State::Sub;
            }
            break;
        }
    }
}

QByteArray escaped(const QByteArray &data)
{
    if (!data.contains(char(Iac)))
        return data;
    QByteArray out;
    out.reserve(data.size() + 8);
    for (char byte : data) {
        out += byte;
        if (static_cast<std::uint8_t>(byte) == Iac)
            out += byte;
    }
    return out;
}

QByteArray command(std::uint8_t verb, std::uint8_t option)
{
    const char bytes[] = {char(Iac), char(verb), char(option)};
    return QByteArray(bytes, 3);
}

QByteArray subnegotiation(std::uint8_t option, const QByteArray &payload)
{
    const char start[] = {char(Iac), char(Sb), char(option)};
    const char end[] = {char(Iac), char(Se)};
    return QByteArray(start, 3) + escaped(payload) + QByteArray(end, 2);
}

} // namespace kestrix::telnet
