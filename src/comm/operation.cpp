#include "comm/operation.h"

#include "app/language.h"
#include "app/text_encoding.h"
#include "comm/protocol.h"

namespace kestrix {

namespace Text {
constexpr int CommunicationOk = 5036;
constexpr int CheckingCommunication = 5062;
constexpr int PortOpenError = 5066;
} // namespace Text

Operation::Operation(SerialSettings settings, Reporter &reporter, StatusForm form, Sleeper &sleeper)
    : m_settings(settings), m_status(reporter, std::move(form)), m_sleeper(sleeper), m_channel(sleeper)
{
}

bool Operation::openChannel()
{
    return m_channel.Open(m_settings.port, m_settings.speed) == CComm::Opened;
}

QString Operation::CheckCommunication()
{
    m_status.show(0, Text::CheckingCommunication);
    m_status.clear(1);
    m_status.clear(2);
    SendSM7();
    if (!openChannel())
        return QStringLiteral("0");
    const std::string answer = m_channel.Query(Frame::CommunicationTest, 5);
    m_channel.Close();
    m_sleeper.pause(Pause::CommunicationTest);
    return answer == HelloAnswer ? QStringLiteral("1") : QStringLiteral("0");
}

void Operation::SendSM7()
{
    if (!openChannel())
        return;
    m_channel.Send(Frame::Preamble);
    m_sleeper.pause(Pause::Preamble);
    m_channel.Close();
}

std::string Operation::WriteRegister(const std::string &reg, const std::string &value, int count)
{
    const std::string answer = m_channel.Query(Frame::registerWrite(reg, value), count);
    m_sleeper.pause(Pause::WriteRegister);
    return answer;
}

std::string Operation::askVersion(const std::string &frame, int count)
{
    if (!openChannel())
        return {};
    std::string answer = m_channel.Query(frame, count);
    m_channel.Close();
    m_sleeper.pause(Pause::CommunicationTest);
    return answer == CComm::NotConnected ? std::string() : answer;
}

VersionTexts Operation::ReadVersions()
{
    SendSM7();
    VersionTexts versions;
    versions.software = fromWindows1252(QByteArray::fromStdString(askVersion(Frame::SoftwareVersion, 24)));
    versions.hardware = fromWindows1252(QByteArray::fromStdString(askVersion(Frame::HardwareVersion, 10)));
    m_status.showText(1, versions.software);
    m_status.showText(2, versions.hardware);
    return versions;
}

Outcome Operation::run(const EnvelopeTexts &texts, const std::function<void(CComm &, Sleeper &)> &frames)
{
    const bool answered = CheckCommunication() == QLatin1String("1");
    if (answered) {
        m_status.show(0, Text::CommunicationOk);
        m_sleeper.pause(Pause::StatusStep);
        m_status.show(0, texts.progress);
        m_status.clear(1);
    } else {
        m_status.showCheckFailure();
        m_sleeper.pause(Pause::StatusStep);
        if (!texts.goOnAfterFailedCheck)
            return Outcome::CommunicationFailed;
    }
    if (texts.preambleAgain)
        SendSM7();
    if (!openChannel()) {
        m_status.reporter().messageBox(LookupText(Text::PortOpenError), MessageIcon::Error);
        return Outcome::PortError;
    }
    frames(m_channel, m_sleeper);
    m_channel.Close();
    if (!answered)
        return Outcome::CommunicationFailed;
    m_status.show(0, texts.completion);
    m_status.clear(1);
    return Outcome::Completed;
}

} // namespace kestrix
