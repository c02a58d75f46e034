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
    if (!comparison.differing.empty())
        return Differs;
    return comparison.unanswered.empty() && download.completed() ? Success : NoBoard;
}

int printReadBack(const JobResult<std::vector<RegisterCheck>> &readBack, int uploadStatus)
{
    if (!readBack.ending.ran())
        return exitStatusOf(readBack.ending.outcome);
    const std::vector<RegisterCheck> &checks = readBack.data;
    for (const RegisterCheck &check : checks) {
        if (check.differs())
            printResult(QStringLiteral("R%1: sent %2, read %3").arg(check.reg).arg(shown(check.sent), shown(*check.read)));
        else if (!check.read)
            printResult(QStringLiteral("R%1: sent %2, no answer").arg(check.reg).arg(shown(check.sent)));
    }
    const auto differing = std::ranges::count_if(checks, &RegisterCheck::differs);
    const auto silent = std::ranges::count_if(checks, [](const RegisterCheck &check) { return !check.read; });
    printResult(QStringLiteral("Read back %1 registers: %2 differ, %3 did not answer.")
                    .arg(checks.size()).arg(differing).arg(silent));
    if (differing > 0)
        return NotVerified;
    return silent == 0 && readBack.ending.completed() ? uploadStatus : NoBoard;
}

} // namespace kestrix::cli
