#include "cli/comparison_output.h"

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "comm/trace.h"

#include <algorithm>

namespace kestrix::cli {

namespace {

// Values come from hand-edited files and from boards: control characters are spelled out.
QString shown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("(none)") : CommTrace::printableText(value);
}

QString itemsText(qsizetype count, const char *verb)
{
    return QStringLiteral("%1 %2 %3.").arg(count).arg(count == 1 ? "item" : "items").arg(QLatin1String(verb));
}

} // namespace

int printComparison(const ItemComparison &comparison, const JobEnding &download)
{
    for (const ItemDifference &item : comparison.differing)
        printResult(QStringLiteral("%1: file %2, board %3").arg(item.item, CommTrace::printableText(item.fileValue),
                                                                CommTrace::printableText(item.boardValue)));
    printResult(comparison.differing.empty() ? QStringLiteral("No item differs.")
                                             : itemsText(qsizetype(comparison.differing.size()),
                                                         comparison.differing.size() == 1 ? "differs" : "differ"));
    for (const UnansweredItem &item : comparison.unanswered)
        printResult(QStringLiteral("No answer: %1, file %2").arg(item.item, CommTrace::printableText(item.fileValue)));
    // An incomplete download decides first: what did not answer may differ as well.
    if (!comparison.unanswered.empty() || !download.completed())
        return NoBoard;
    return comparison.differing.empty() ? Success : Differs;
}

int printReadBack(const JobResult<std::vector<RegisterCheck>> &readBack, int uploadStatus)
{
    if (!readBack.ending.ran())
        return exitStatusOf(readBack.ending.outcome);
    const std::vector<RegisterCheck> &checks = readBack.data;
    for (const RegisterCheck &check : checks) {
        if (check.differs())
            printResult(QStringLiteral("%1: sent %2, board holds %3").arg(registerName(check.reg), shown(check.sent), shown(*check.read)));
        else if (!check.read)
            printResult(QStringLiteral("%1: sent %2, no answer").arg(registerName(check.reg), shown(check.sent)));
    }
    const auto differing = std::ranges::count_if(checks, &RegisterCheck::differs);
    const auto silent = std::ranges::count_if(checks, [](const RegisterCheck &check) { return !check.read; });
    if (differing == 0 && silent == 0)
        printResult(QStringLiteral("Verified: the board holds the %1 registers sent.").arg(checks.size()));
    else
        printResult(QStringLiteral("Read back %1 registers: %2 differ, %3 did not answer.")
                        .arg(checks.size()).arg(differing).arg(silent));
    if (differing > 0)
        return NotVerified;
    return silent == 0 && readBack.ending.completed() ? uploadStatus : NoBoard;
}

} // namespace kestrix::cli
