// Runs one command on several boards at once: a thread per board, each with options that name
// its board alone, its lines prefixed with the board's label; then one summary table.

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "comm/serial_settings.h"
#include "comm/trace.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <memory>

namespace kestrix::cli {
namespace {

// Port numbers given to devices named by --device, so that each has a port of its own.
int devicePort(qsizetype index)
{
    return int(index) + 1;
}

struct BoardRun {
    int status = Success;
    std::vector<JobEnding> endings;
    qint64 milliseconds = 0;
};

thread_local BoardRun *currentRun = nullptr;

std::vector<BoardTarget> targetsOf(const Options &options)
{
    std::vector<BoardTarget> targets;
    const PortDevices devices = PortDevices::fromConfig();
    for (int port : options.ports) {
        Options own = options;
        own.ports = {port};
        own.port = port;
        targets.push_back({own, boardLabel(port), devices.device(port)});
    }
    for (qsizetype i = 0; i < options.devices.size(); ++i) {
        Options own = options;
        own.devices = {options.devices[i]};
        own.device = options.devices[i];
        own.port = devicePort(i);
        targets.push_back({own, CommTrace::printableText(own.device), own.device});
    }
    return targets;
}

// Two labels or devices that name one board would run two jobs on it, or write one file.
QString sameBoardProblem(const std::vector<BoardTarget> &targets)
{
    for (size_t i = 0; i < targets.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (!targets[i].device.isEmpty() && targets[i].device == targets[j].device)
                return QStringLiteral("%1 and %2 are one device, %3; one board runs one job at a time")
                    .arg(targets[j].label, targets[i].label, CommTrace::printableText(targets[i].device));
            if (boardFileStem(targets[i].label).compare(boardFileStem(targets[j].label), Qt::CaseInsensitive) == 0)
                return QStringLiteral("%1 and %2 have one name; give the boards different names in config.ini "
                                      "[Boards]").arg(targets[j].label, targets[i].label);
        }
    }
    return {};
}

// `--save DIR` of a download: each board's own file in the folder.
void saveIntoOwnFile(BoardTarget &target)
{
    const qsizetype at = target.options.flags.lastIndexOf(QStringLiteral("save"));
    if (at < 0 || target.options.command != QLatin1String("download"))
        return;
    const QString folder = target.options.values[at];
    target.options.values[at] = QDir(folder).filePath(boardFileStem(target.label) + QStringLiteral(".ini"));
}

void runOne(const Command &command, const BoardTarget &target, BoardRun &run)
{
    setLinePrefix(target.label + QStringLiteral(": "));
    currentRun = &run;
    QElapsedTimer timer;
    timer.start();
    run.status = command.run(target.options);
    run.milliseconds = timer.elapsed();
    currentRun = nullptr;
}

const JobEnding *firstFailure(const std::vector<JobEnding> &endings)
{
    const auto failed = std::ranges::find_if(endings, [](const JobEnding &e) { return !e.completed(); });
    return failed == endings.end() ? nullptr : &*failed;
}

QString outcomeWord(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Completed: return QStringLiteral("done");
    case Outcome::Incomplete: return QStringLiteral("incomplete");
    case Outcome::CommunicationFailed: return QStringLiteral("no answer");
    case Outcome::PortError: return QStringLiteral("port error");
    case Outcome::BoardLost: return QStringLiteral("board lost");
    case Outcome::Cancelled: return QStringLiteral("cancelled");
    }
    return {};
}

QString statusWord(int status)
{
    switch (status) {
    case Success: return QStringLiteral("done");
    case NoBoard: return QStringLiteral("failed");
    case PortFailure: return QStringLiteral("port or file error");
    case UsageError: return QStringLiteral("usage error");
    case Cancelled: return QStringLiteral("cancelled");
    }
    return QStringLiteral("exit %1").arg(status);
}

// The board's row: outcome and what did not answer.
QStringList summaryOf(const BoardRun &run)
{
    const JobEnding *failure = run.status == Success ? nullptr : firstFailure(run.endings);
    if (!failure)
        return {statusWord(run.status), run.status == NoBoard && run.endings.empty() ? QStringLiteral("the check")
                                                                                     : QStringLiteral("-")};
    QString unanswered = QStringLiteral("-");
    if (failure->outcome == Outcome::Incomplete) {
        int count = 0;
        for (const JobEnding &ending : run.endings)
            count += ending.unanswered;
        unanswered = QString::number(count);
    } else if (failure->outcome == Outcome::CommunicationFailed) {
        unanswered = QStringLiteral("the check");
    } else if (failure->outcome == Outcome::BoardLost) {
        unanswered = QStringLiteral("all after frame %1").arg(failure->framesSent);
    }
    return {outcomeWord(failure->outcome), unanswered};
}

QString rowText(const QStringList &cells, const std::vector<qsizetype> &widths)
{
    QString text;
    for (qsizetype i = 0; i < cells.size(); ++i)
        text += i + 1 < cells.size() ? cells[i].leftJustified(widths[size_t(i)] + 2) : cells[i];
    return text;
}

// A named board also shows its port: "Hall north (COM3)".
QString tableName(const BoardTarget &target)
{
    const QString port = QStringLiteral("COM%1").arg(target.options.port);
    if (!target.options.device.isEmpty() || target.label == port)
        return target.label;
    return QStringLiteral("%1 (%2)").arg(target.label, port);
}

QString summaryTable(const std::vector<BoardTarget> &targets, const std::vector<BoardRun> &runs)
{
    std::vector<QStringList> rows{{QStringLiteral("Board"), QStringLiteral("Outcome"), QStringLiteral("Not answered"),
                                   QStringLiteral("Time")}};
    for (size_t i = 0; i < targets.size(); ++i) {
        rows.push_back(QStringList{tableName(targets[i])} + summaryOf(runs[i])
                       + QStringList{QStringLiteral("%1 s").arg(double(runs[i].milliseconds) / 1000.0, 0, 'f', 1)});
    }
    std::vector<qsizetype> widths(4, 0);
    for (const QStringList &row : rows) {
        for (size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row[qsizetype(c)].size());
    }
    QStringList lines;
    for (const QStringList &row : rows)
        lines << rowText(row, widths);
    return lines.join(u'\n');
}

// The worst status: a cancel, then the higher number.
int worstStatus(const std::vector<BoardRun> &runs)
{
    int worst = Success;
    for (const BoardRun &run : runs) {
        if (worst == Cancelled || (run.status != Cancelled && run.status <= worst))
            continue;
        worst = run.status;
    }
    return worst;
}

} // namespace

bool namesSeveralBoards(const Options &options)
{
    // One port with one device is one board: the port's device named for this run.
    return options.ports.size() > 1 || options.devices.size() > 1;
}

void noteBoardEndings(const std::vector<JobEnding> &endings)
{
    if (currentRun)
        currentRun->endings = endings;
}

QString boardFileStem(const QString &label)
{
    QString stem;
    for (QChar c : label)
        stem += c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c) ? u'_' : c;
    while (stem.startsWith(u'.') || stem.startsWith(u' '))
        stem.remove(0, 1);
    return stem.trimmed().isEmpty() ? QStringLiteral("board") : stem.trimmed();
}

void runSideBySide(size_t count, const std::function<void(size_t)> &work)
{
    // QThreads, not std::threads: the serial port's notifiers need a thread Qt knows.
    std::vector<std::unique_ptr<QThread>> threads;
    for (size_t i = 0; i < count; ++i) {
        threads.emplace_back(QThread::create(work, i));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        thread->wait();
}

QString usesNoBoardProblem(const Options &options)
{
    return QStringLiteral("%1 uses no board; name one board at most").arg(options.command);
}

QString savesSharedFilesProblem(const Options &options)
{
    if (!options.has(QStringLiteral("save")))
        return {};
    return QStringLiteral("%1 download --save writes the shared files of the data folder; save one board at a time")
        .arg(options.command);
}

int runOnBoards(const Command &command, const Options &options)
{
    std::vector<BoardTarget> targets = targetsOf(options);
    QString problem = command.severalBoardsProblem ? command.severalBoardsProblem(options) : QString();
    if (problem.isEmpty())
        problem = sameBoardProblem(targets);
    if (!problem.isEmpty())
        return usageErrorOf(problem);
    if (options.command == QLatin1String("scan"))
        return runScanOnBoards(targets, options);
    for (BoardTarget &target : targets)
        saveIntoOwnFile(target);

    std::vector<BoardRun> runs(targets.size());
    runSideBySide(targets.size(), [&](size_t i) { runOne(command, targets[i], runs[i]); });

    printResult(summaryTable(targets, runs));
    QStringList failed;
    for (size_t i = 0; i < targets.size(); ++i) {
        if (runs[i].status != Success)
            failed << targets[i].label;
    }
    if (!failed.isEmpty())
        printResult(QStringLiteral("Failed: %1 of %2 boards: %3").arg(failed.size()).arg(targets.size()).arg(failed.join(QStringLiteral(", "))));
    return worstStatus(runs);
}

} // namespace kestrix::cli
