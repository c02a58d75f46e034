#include "comm/exchange.h"

#include "comm/protocol.h"

#include <charconv>

namespace kestrix {

namespace {

// A one-byte answer in the channel's decimal form ("07", "200") as the byte.
std::optional<std::uint8_t> byteOf(const std::string &answer)
{
    unsigned value = 0;
    const char *end = answer.data() + answer.size();
    const auto [stop, error] = std::from_chars(answer.data(), end, value);
    if (answer.empty() || error != std::errc() || stop != end || value > 0xff)
        return std::nullopt;
    return std::uint8_t(value);
}

} // namespace

Exchange::Exchange(SerialChannel &channel, Sleeper &sleeper, Reporter &reporter)
    : m_channel(channel), m_sleeper(sleeper), m_reporter(reporter)
{
}

bool Exchange::cancelled() const
{
    if (!m_cancelled && m_reporter.cancelled())
        m_cancelled = true;
    return m_cancelled;
}

bool Exchange::boardLost() const
{
    return m_channel.lost();
}

bool Exchange::mayGoOn()
{
    return !cancelled() && !boardLost();
}

void Exchange::send(const std::string &frame, Milliseconds pauseAfter)
{
    if (!mayGoOn())
        return;
    m_channel.Send(frame);
    pause(pauseAfter);
}

void Exchange::writeRegister(int reg, const std::string &value, Milliseconds pauseAfter)
{
    send(Frame::registerWrite(Frame::registerNumber(reg), value), pauseAfter);
}

void Exchange::command(const std::string &text, Milliseconds pauseAfter)
{
    send(Frame::command(text), pauseAfter);
}

std::optional<std::string> Exchange::query(const std::string &frame, int count, Milliseconds pauseAfter)
{
    if (!mayGoOn())
        return std::nullopt;
    std::string answer = m_channel.Query(frame, count);
    pause(pauseAfter);
    // A failed write gives empty text, silence "notconnected": neither is an answer.
    if (!m_channel.lastQueryAnswered())
        return std::nullopt;
    return answer;
}

std::optional<std::uint8_t> Exchange::queryByte(const std::string &frame, Milliseconds pauseAfter)
{
    const std::optional<std::string> answer = query(frame, 1, pauseAfter);
    return answer ? byteOf(*answer) : std::nullopt;
}

std::optional<std::uint8_t> Exchange::readRegister(int reg, Milliseconds pauseAfter)
{
    return queryByte(Frame::registerRead(Frame::registerNumber(reg)), pauseAfter);
}

std::optional<std::uint8_t> Exchange::readVariable(int variable, Milliseconds pauseAfter)
{
    return queryByte(Frame::variableRead(Frame::registerNumber(variable)), pauseAfter);
}

std::string Exchange::writeAnswered(const std::string &reg, const std::string &value, int count)
{
    if (!mayGoOn())
        return SerialChannel::NotConnected;
    std::string answer = m_channel.Query(Frame::registerWrite(reg, value), count);
    pause(Pause::WriteRegister);
    return answer;
}

void Exchange::pause(Milliseconds duration)
{
    if (duration.count() > 0)
        m_sleeper.pause(duration);
}

void Exchange::setTotalSteps(int total)
{
    if (m_totalHeld)
        return;
    m_total = total;
    m_done = 0;
    m_reporter.progress(0, total);
}

void Exchange::holdTotalSteps(int total)
{
    m_totalHeld = false;
    setTotalSteps(total);
    m_totalHeld = true;
}

bool Exchange::step()
{
    if (m_done < m_total)
        ++m_done;
    m_reporter.progress(m_done, m_total);
    return !cancelled() && !boardLost();
}

} // namespace kestrix
