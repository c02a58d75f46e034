// kestrix-cli reset, activate-alarm N and test-clock [FILE]: the main window's direct board
// commands.

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "base/texts.h"
#include "params/board_commands.h"

namespace kestrix::cli {

namespace {

// The exit status of an outcome; a completed operation prints `result` on standard output.
int statusOf(Outcome outcome, const QString &result)
{
    if (outcome == Outcome::Completed)
        printResult(result);
    return exitStatusOf(outcome);
}

} // namespace

int runReset(const Options &options)
{
    return withBoard(options, [](Operation &operation, const SerialSettings &) {
        return statusOf(resetBoard(operation), LookupText(Text::ResetDone));
    });
}

int runActivateAlarm(const Options &options)
{
    const QString which = options.operands.value(0);
    if (which != QLatin1String("1") && which != QLatin1String("2"))
        return usageErrorOf(QStringLiteral("activate-alarm: the alarm is 1 or 2, not \"%1\"").arg(which));
    const AlarmOutput alarm = which == QLatin1String("1") ? AlarmOutput::First : AlarmOutput::Second;
    return withBoard(options, [alarm](Operation &operation, const SerialSettings &) {
        const int text = alarm == AlarmOutput::First ? Text::Alarm1Activation : Text::Alarm2Activation;
        return statusOf(activateAlarm(alarm, operation), LookupText(text) + QLatin1Char(' ') + LookupText(Text::Done));
    });
}

int runTestClock(const Options &options)
{
    const QString path = options.operands.isEmpty() ? defaultScriptPath() : options.operands[0];
    return withBoard(options, [&path](Operation &operation, const SerialSettings &) {
        const ScriptUpload upload = uploadScript(path, operation);
        if (upload.fileUnreadable && upload.outcome == Outcome::Completed) {
            printStatus(QStringLiteral("The script file %1 cannot be read; nothing was sent.").arg(path));
            return int(PortFailure);
        }
        return statusOf(upload.outcome, QStringLiteral("%1 lines sent.").arg(upload.linesSent));
    });
}

} // namespace kestrix::cli
