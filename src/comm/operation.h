#pragma once
// The envelope every board job is wrapped in: the communication check, status texts, the
// preamble, opening the channel, the job's frames, closing, and the one ending text chosen after
// the frames. The frames themselves go through an Exchange, which reports progress and stops on
// cancel or when the board is lost.

#include "comm/board_job.h"
#include "comm/exchange.h"
#include "comm/reporter.h"
#include "comm/serial_channel.h"
#include "comm/serial_settings.h"

#include <QString>
#include <functional>
#include <vector>

namespace kestrix {

// What the communication check found.
enum class CheckResult {
    Answered,    // the board answered the test with "Hello"
    NoAnswer,    // no board, wrong port or speed, or a port that does not open
    Cancelled,   // the operation was cancelled before the test went out
};

// The board's texts, control characters spelled out (CommTrace::printableText).
struct VersionTexts {
    QString software;   // "sw: ..." or empty
    QString hardware;   // "hw: ..." or empty
};

class Operation {
public:
    // Reads the devices behind the port numbers from config.ini once, for the whole operation.
    Operation(SerialSettings settings, Reporter &reporter, StatusForm form, Sleeper &sleeper = defaultSleeper());
    Operation(SerialSettings settings, Reporter &reporter, StatusForm form, Sleeper &sleeper, PortDevices devices);

    // Shows "Checking communication ...", then runs the test. When it fails and other
    // programs have the port open, names them ("Also open in: minicom (pid 4242)") as the
    // detail of the status lines' check failure.
    CheckResult CheckCommunication();
    // The test alone, as every try of the port scan runs it: the preamble, then the test frame
    // on a freshly opened channel, close, 50 ms.
    CheckResult testCommunication();
    // Opens, sends the preamble, pauses and closes; says nothing when the port fails.
    void SendSM7();
    // Asks for the software and hardware versions and shows them in lines 2 and 3, control
    // characters spelled out (<ESC>, <07>), so that a board's answer cannot act on a terminal.
    VersionTexts ReadVersions();

    // The envelope's opening: the check, then "Communication OK." and, 50 ms later, the
    // progress text; or the failure lines and 50 ms. A cancel shows "Operation cancelled.".
    CheckResult announce(TextId progressText);

    // Runs `frames` inside the envelope on the open channel, then shows the one ending: the
    // completion text (or `completionText()` when given), the incomplete text with how many did
    // not answer, the board lost with how many frames went out, or the cancel.
    JobEnding run(const JobTexts &texts, const std::function<void(Exchange &)> &frames,
                  const std::function<QString()> &completionText = {});

    // Runs a board job in this envelope.
    template <class Data>
    JobResult<Data> run(const BoardJob<Data> &job)
    {
        JobResult<Data> result{{}, job.start};
        std::function<QString()> completion;
        if (job.completionText)
            completion = [&] { return job.completionText(result.data); };
        result.ending = run(job.texts, [&](Exchange &exchange) { job.body(exchange, result.data); }, completion);
        return result;
    }

    // How each job run in this operation ended, in order.
    const std::vector<JobEnding> &endings() const { return m_endings; }

    bool cancelled() const { return m_exchange.cancelled(); }
    void setSettings(SerialSettings settings) { m_settings = settings; }
    const SerialSettings &settings() const { return m_settings; }
    SerialChannel &channel() { return m_channel; }
    Sleeper &sleeper() { return m_sleeper; }
    Exchange &exchange() { return m_exchange; }
    StatusLines &status() { return m_status; }

private:
    bool openChannel();
    QString otherUsersText() const;
    QString askVersion(const std::string &frame, int count);
    JobEnding end(Outcome outcome, const QString &text);
    JobEnding runFrames(const JobTexts &texts, const std::function<void(Exchange &)> &frames,
                        const std::function<QString()> &completionText);

    SerialSettings m_settings;
    StatusLines m_status;
    Sleeper &m_sleeper;
    SerialChannel m_channel;
    Exchange m_exchange;
    std::vector<JobEnding> m_endings;
};

} // namespace kestrix
