#pragma once
// The commands of kestrix-cli; each returns the program's exit status.

#include "cli/cli_options.h"
#include "comm/operation.h"

#include <functional>

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

// The exit status of a job's outcome: Completed 0; Incomplete, CommunicationFailed and
// BoardLost 1 (NoBoard); PortError 2; Cancelled 130.
int exitStatusOf(Outcome outcome);

} // namespace kestrix::cli
