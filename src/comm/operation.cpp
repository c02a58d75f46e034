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
    return m_channel.Open(m_settings.port, m_settings.speed) == SerialChannel::Opened;
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

CheckResult Operation::announce(TextId progressText)
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

JobEnding Operation::end(Outcome outcome, const QString &text)
{
    JobEnding ending{outcome, m_exchange.unanswered(), m_channel.framesWritten(), text};
    if (outcome == Outcome::Cancelled) {
        m_status.showCancelled();
        ending.text = LookupText(Text::OperationCancelled);
    } else if (!text.isEmpty()) {
        m_status.showText(0, text);
        m_status.clear(1);
    }
    return ending;
}

JobEnding Operation::run(const JobTexts &texts, const std::function<void(Exchange &)> &frames,
                         const std::function<QString()> &completionText)
{
    m_endings.push_back(runFrames(texts, frames, completionText));
    return m_endings.back();
}

JobEnding Operation::runFrames(const JobTexts &texts, const std::function<void(Exchange &)> &frames,
                               const std::function<QString()> &completionText)
{
    const CheckResult check = announce(texts.progress);
    if (check == CheckResult::Cancelled)
        return {Outcome::Cancelled, 0, 0, LookupText(Text::OperationCancelled)};
    const bool answered = check == CheckResult::Answered;
    if (!answered && !texts.goOnAfterFailedCheck)
        return {Outcome::CommunicationFailed, 0, 0, {}};
    if (texts.preambleAgain)
        SendSM7();
    if (cancelled())
        return end(Outcome::Cancelled, {});
    if (!openChannel()) {
        m_status.reporter().messageBox(LookupText(Text::PortOpenError), MessageIcon::Error);
        return {Outcome::PortError, 0, 0, LookupText(Text::PortOpenError)};
    }
    m_channel.resetFrameCount();
    m_exchange.resetUnanswered();
    frames(m_exchange);
    const bool lost = m_channel.lost();
    m_channel.Close();
    // The ending is chosen here, once, after the last frame.
    if (lost)
        return end(Outcome::BoardLost, LookupText(Text::BoardLost).arg(m_channel.framesWritten()));
    if (cancelled())
        return end(Outcome::Cancelled, {});
    if (!answered)
        return {Outcome::CommunicationFailed, m_exchange.unanswered(), m_channel.framesWritten(), {}};
    if (m_exchange.unanswered() > 0 && texts.incomplete.valid())
        return end(Outcome::Incomplete, LookupText(texts.incomplete).arg(m_exchange.unanswered()));
    return end(Outcome::Completed, completionText ? completionText() : LookupText(texts.completion));
}

} // namespace kestrix
