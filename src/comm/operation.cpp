#include "comm/operation.h"

#include "base/language.h"
#include "base/text_encoding.h"
#include "base/texts.h"
#include "comm/protocol.h"
#include "comm/port_owners.h"
#include "comm/trace.h"

#include <QStringList>

namespace kestrix {

Operation::Operation(SerialSettings settings, Reporter &reporter, StatusForm form, Sleeper &sleeper)
    : Operation(settings, reporter, std::move(form), sleeper, PortDevices::fromConfig())
{
}

Operation::Operation(SerialSettings settings, Reporter &reporter, StatusForm form, Sleeper &sleeper,
                     PortDevices devices)
    : m_settings(settings),
      m_status(reporter, std::move(form)),
      m_sleeper(sleeper),
      m_channel(sleeper, std::move(devices)),
      m_exchange(m_channel, sleeper, reporter)
{
}

bool Operation::openChannel()
{
    return m_channel.Open(m_settings.port, m_settings.speed) == CComm::Opened;
}

CheckResult Operation::CheckCommunication()
{
    m_status.show(0, Text::CheckingCommunication);
    m_status.clear(1);
    m_status.clear(2);
    m_status.setCheckFailureDetail({});
    const CheckResult result = testCommunication();
    if (result == CheckResult::NoAnswer)
        m_status.setCheckFailureDetail(otherUsersText());
    return result;
}

// "Also open in: minicom (pid 4242)", or empty when no other program has the port open.
QString Operation::otherUsersText() const
{
    QStringList users;
    for (const DeviceUser &user : otherUsersOf(m_channel.deviceName()))
        users << QStringLiteral("%1 (pid %2)").arg(CommTrace::printableText(user.name)).arg(user.pid);
    if (users.isEmpty())
        return {};
    return LookupText(Text::AlsoOpenIn) + QLatin1Char(' ') + users.join(QStringLiteral(", "));
}

CheckResult Operation::testCommunication()
{
    SendSM7();
    if (cancelled())
        return CheckResult::Cancelled;
    if (!openChannel())
        return CheckResult::NoAnswer;
    const std::optional<std::string> answer = m_exchange.query(Frame::CommunicationTest, 5);
    m_channel.Close();
    m_sleeper.pause(Pause::CommunicationTest);
    if (!answer && cancelled())
        return CheckResult::Cancelled;
    return answer == HelloAnswer ? CheckResult::Answered : CheckResult::NoAnswer;
}

void Operation::SendSM7()
{
    if (cancelled() || !openChannel())
        return;
    m_exchange.send(Frame::Preamble, Pause::Preamble);
    m_channel.Close();
}

QString Operation::askVersion(const std::string &frame, int count)
{
    if (cancelled() || !openChannel())
        return {};
    const std::optional<std::string> answer = m_exchange.query(frame, count);
    m_channel.Close();
    m_sleeper.pause(Pause::CommunicationTest);
    return answer ? CommTrace::printableText(fromWindows1252(QByteArray::fromStdString(*answer))) : QString();
}

VersionTexts Operation::ReadVersions()
{
    SendSM7();
    VersionTexts versions;
    versions.software = askVersion(Frame::SoftwareVersion, 24);
    versions.hardware = askVersion(Frame::HardwareVersion, 10);
    m_status.showText(1, versions.software);
    m_status.showText(2, versions.hardware);
    return versions;
}

Outcome Operation::cancelledOutcome()
{
    m_status.showCancelled();
    return Outcome::Cancelled;
}

CheckResult Operation::announce(int progressText)
{
    const CheckResult check = CheckCommunication();
    if (check == CheckResult::Cancelled) {
        m_status.showCancelled();
        return check;
    }
    if (check == CheckResult::Answered) {
        m_status.show(0, Text::CommunicationOk);
        m_sleeper.pause(Pause::StatusStep);
        m_status.show(0, progressText);
        m_status.clear(1);
    } else {
        m_status.showCheckFailure();
        m_sleeper.pause(Pause::StatusStep);
    }
    return check;
}

Outcome Operation::run(const EnvelopeTexts &texts, const std::function<void(Exchange &)> &frames)
{
    const CheckResult check = announce(texts.progress);
    if (check == CheckResult::Cancelled)
        return Outcome::Cancelled;
    const bool answered = check == CheckResult::Answered;
    if (!answered && !texts.goOnAfterFailedCheck)
        return Outcome::CommunicationFailed;
    if (texts.preambleAgain)
        SendSM7();
    if (cancelled())
        return cancelledOutcome();
    if (!openChannel()) {
        m_status.reporter().messageBox(LookupText(Text::PortOpenError), MessageIcon::Error);
        return Outcome::PortError;
    }
    frames(m_exchange);
    m_channel.Close();
    if (cancelled())
        return cancelledOutcome();
    if (!answered)
        return Outcome::CommunicationFailed;
    m_status.show(0, texts.completion);
    m_status.clear(1);
    return Outcome::Completed;
}

} // namespace kestrix
