// kestrix-cli reset, activate-alarm N and test-clock [FILE]: the main window's direct board
// commands.

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "base/texts.h"
#include "params/board_commands.h"

namespace kestrix::cli {

namespace {

// The exit status of a job's ending; a completed job prints `result` on standard output.
int statusOf(const JobEnding &ending, const QString &result)
{
    if (ending.completed())
        printResult(result);
    return exitStatusOf(ending.outcome);
}

} // namespace

int runReset(const Options &options)
{
    return withBoard(options, [](Operation &operation, const SerialSettings &) {
        const JobEnding ending = operation.run(resetJob()).ending;
        return statusOf(ending, ending.text);
    });
}

int runActivateAlarm(const Options &options)
{
    const QString which = options.operands.value(0);
    if (which != QLatin1String("1") && which != QLatin1String("2"))
        return usageErrorOf(QStringLiteral("activate-alarm: the alarm is 1 or 2, not \"%1\"").arg(which));
    const AlarmOutput alarm = which == QLatin1String("1") ? AlarmOutput::First : AlarmOutput::Second;
    return withBoard(options, [alarm](Operation &operation, const SerialSettings &) {
        const JobEnding ending = operation.run(activateAlarmJob(alarm)).ending;
        return statusOf(ending, ending.text);
    });
}

int runTestClock(const Options &options)
{
    const QString path = options.operands.isEmpty() ? defaultScriptPath() : options.operands[0];
    return withBoard(options, [&path](Operation &operation, const SerialSettings &) {
        const JobResult<ScriptUpload> upload = operation.run(scriptUploadJob(path));
        if (upload.data.fileUnreadable && upload.ending.completed()) {
            printStatus(LookupText(Text::FileOpenError)
                        + QStringLiteral(" The script file %1 cannot be read; nothing was sent.").arg(path));
            return int(PortFailure);
        }
        return statusOf(upload.ending, QStringLiteral("%1 lines sent.").arg(upload.data.linesSent));
    });
}

} // namespace kestrix::cli
