#pragma once
// The commands of kestrix-cli; each returns the program's exit status.

#include "cli/cli_options.h"

namespace kestrix::cli {

int runCheck(const Options &options);
int runVersions(const Options &options);
int runScan(const Options &options);
int runMapPort(const Options &options);
int runConfigPath(const Options &options);

// Prints a usage error and returns UsageError.
int usageErrorOf(const QString &message);

// Opens and closes the port once, so that a port that cannot be opened is reported with its
// device and the reason before any exchange. Returns Success or PortFailure.
int probePort(const SerialSettings &settings);

} // namespace kestrix::cli
