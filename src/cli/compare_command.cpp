// kestrix-cli compare: the board's parameters against the values upload would send (the
// window's starting values, config.ini [Parameters], then --file), key by key. Reads only.

#include "cli/commands.h"
#include "cli/console_reporter.h"
#include "cli/parameter_settings.h"

#include "comm/trace.h"
#include "params/parameter_compare.h"
#include "params/parameter_download.h"

namespace kestrix::cli {

namespace {

// A value from a hand-edited file or a board, control characters spelled out; "" for none.
QString shown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("\"\"") : CommTrace::printableText(value);
}

// "KEY<TAB>file value<TAB>board value" per differing key, the count line, then the keys that
// did not answer.
void printParameterComparison(const ParameterComparison &comparison)
{
    for (const KeyDifference &difference : comparison.differing)
        printResult(difference.key + u'\t' + shown(difference.expected) + u'\t' + shown(difference.board));
    const qsizetype differing = qsizetype(comparison.differing.size());
    if (differing == 0)
        printResult(QStringLiteral("The board holds the file's values."));
    else
        printResult(differing == 1 ? QStringLiteral("1 key differs.") : QStringLiteral("%1 keys differ.").arg(differing));
    if (!comparison.unanswered.isEmpty())
        printResult(QStringLiteral("Not answered: %1").arg(comparison.unanswered.join(QStringLiteral(", "))));
}

} // namespace

// Exit: Success when equal, Differs when a key differs, NoBoard when the download was
// incomplete (whatever differs).
int runCompare(const Options &options)
{
    const QString file = options.value(QStringLiteral("file"));
    if (options.has(QStringLiteral("file")) && file.isEmpty())
        return usageErrorOf(QStringLiteral("compare: --file needs a file name"));
    QString error;
    const std::optional<ParameterValues> expected = startingValues(file, &error);
    if (!expected) {
        printStatus(QStringLiteral("The parameter file cannot be read (%1); nothing was compared.").arg(error));
        return PortFailure;
    }
    return withBoard(options, [&expected](Operation &operation, const SerialSettings &) {
        const JobResult<Download> download = operation.run(downloadJob());
        if (!download.ending.ran())
            return exitStatusOf(download.ending.outcome);
        const ParameterComparison comparison = compareParameters(*expected, download.data.update);
        printParameterComparison(comparison);
        if (!download.ending.completed())
            return exitStatusOf(download.ending.outcome);
        return comparison.differing.empty() ? int(Success) : int(Differs);
    });
}

} // namespace kestrix::cli
