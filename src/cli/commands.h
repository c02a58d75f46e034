#pragma once
// The commands of kestrix-cli; each returns the program's exit status.

#include "cli/cli_options.h"
#include "comm/operation.h"

#include <functional>
#include <vector>

namespace kestrix::cli {

int runCheck(const Options &options);
int runVersions(const Options &options);
int runScan(const Options &options);
int runMapPort(const Options &options);
int runConfigPath(const Options &options);
int runSetTime(const Options &options);
int runReset(const Options &options);
int runActivateAlarm(const Options &options);
int runTestClock(const Options &options);
int runUpload(const Options &options);
int runDownload(const Options &options);
int runCompare(const Options &options);
int runAlarms(const Options &options);
int runDayNight(const Options &options);
int runTimeServer(const Options &options);
int runInfo(const Options &options);
int runDisplay(const Options &options);

// Prints a usage error and returns UsageError.
int usageErrorOf(const QString &message);

// Runs `exchange` on the port and speed of the options. A port that could not be opened is
// reported with its device and the reason (PortFailure); Ctrl-C gives Cancelled.
int withBoard(const Options &options, const std::function<int(Operation &, const SerialSettings &)> &exchange);

// One board of a run on several boards: the options that name it alone, and what the output
// calls it ("COM3", its [Boards] name, or the device given).
struct BoardTarget {
    Options options;
    QString label;
    QString device;   // the device behind it, to refuse two names of one board
};

// Whether the options name more than one board.
bool namesSeveralBoards(const Options &options);
// The several-boards refusals the command table names: the command uses no board; or, with
// --save, it writes the data folder's shared files.
QString usesNoBoardProblem(const Options &options);
QString savesSharedFilesProblem(const Options &options);
// Runs the command on every board the options name, all at once, one thread per board: each
// line is prefixed with the board's label, then a summary table follows. The exit status is 0
// when every board succeeded, else the worst board's.
int runOnBoards(const Command &command, const Options &options);
// The scan of several ports at once; every board found is reported.
int runScanOnBoards(const std::vector<BoardTarget> &targets, const Options &options);
// Runs work(0) ... work(count - 1) at the same time, each on a thread of its own, and returns
// when all have ended.
void runSideBySide(size_t count, const std::function<void(size_t)> &work);
// Records how the jobs of the calling thread's board ended, for the summary.
void noteBoardEndings(const std::vector<JobEnding> &endings);
// A file name for a board's own file: its label with characters no file name may hold
// replaced by "_".
QString boardFileStem(const QString &label);

// The exit status of a job's outcome: Completed 0; Incomplete, CommunicationFailed and
// BoardLost 1 (NoBoard); PortError 2; Cancelled 130.
int exitStatusOf(Outcome outcome);

} // namespace kestrix::cli
