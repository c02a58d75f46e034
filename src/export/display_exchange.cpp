#include "export/display_exchange.h"

namespace kestrix::display {

DisplayExchange::DisplayExchange(SerialChannel &channel) : m_channel(channel) {}

char DisplayExchange::setCurrency(int line, int kind, double first, double second)
{
    const std::optional<char> letter = kindLetter(kind);
    return letter ? exchange(rateLine(line, *letter, first, second)) : 0;
}

bool DisplayExchange::setCurrency(std::string_view code, std::string_view kindText, double first, double second)
{
    const std::optional<int> line = currencyLine(code);
    const std::optional<int> kind = kindOfText(kindText);
    return line && kind && setCurrency(*line, *kind, first, second) == Accepted;
}

char DisplayExchange::setIntensity(int address, int type, const BrightnessTimes &times)
{
    const std::optional<char> letter = typeLetter(type);
    return letter ? exchange(brightnessLine(address, *letter, times)) : 0;
}

char DisplayExchange::test()
{
    if (!accepted(StartLine)) {
        // The write on the closed port fails and reopens it.
        m_channel.Close();
        take(StartLine);
    }
    const std::optional<char> answer = take(TestLine);
    if (answer != Accepted)
        return answer.value_or(0);
    return take(EndLine).value_or(0);
}

char DisplayExchange::setTime(const TimeFields &time)
{
    const std::string text = timeText(time);
    if (m_confirmation)
        m_confirmation(text);
    if (stopped())
        return 0;
    return m_channel.sendFrame(text) ? Accepted : 0;
}

// Attempts with the retry count 2, 3, 4, 5 and 6, each nested in the one before; the counters
// of the channel show the depth while the exchange runs and are back at 0 and 2 afterwards.
char DisplayExchange::exchange(const std::string &line)
{
    m_endAccepted = false;
    m_lastRejection = 0;
    m_channel.retryCount = FirstRetry;
    for (;;) {
        ++m_channel.nestingCounter;
        if (attempt(line) || m_channel.retryCount >= RetryLimit || stopped())
            break;
        ++m_channel.retryCount;
    }
    m_channel.nestingCounter = 0;
    m_channel.retryCount = FirstRetry;
    return m_endAccepted ? Accepted : m_lastRejection;
}

// Start line, operation line, end line; false at the first line not accepted. With the retry
// count at its limit only the start line goes out.
bool DisplayExchange::attempt(const std::string &line)
{
    if (!accepted(StartLine)) {
        if (m_channel.retryCount == PortResetAt)
            resetPort();
        return false;
    }
    if (m_channel.retryCount >= RetryLimit)
        return true;
    if (!accepted(line))
        return false;
    m_endAccepted = accepted(EndLine);
    return m_endAccepted;
}

// Writes a line and takes the board's one-character answer; nothing for silence, a failed
// write or a cancelled operation.
std::optional<char> DisplayExchange::take(std::string_view line)
{
    if (stopped())
        return std::nullopt;
    if (!m_channel.sendFrame(std::string(line)))
        return std::nullopt;
    const int answer = m_channel.readAnswerByte();
    if (answer < 0)
        return std::nullopt;
    if (char(answer) != Accepted)
        m_lastRejection = char(answer);
    return char(answer);
}

bool DisplayExchange::stopped() const
{
    return m_cancelled && m_cancelled();
}

bool DisplayExchange::accepted(std::string_view line)
{
    return take(line) == Accepted;
}

// Closes the port and opens it again with the port and speed of the last Open.
void DisplayExchange::resetPort()
{
    m_channel.Close();
    m_channel.reopen();
}

} // namespace kestrix::display
