#pragma once
// The port and speed scan behind "Test Connection": tries every port at every speed, keeps
// the last pair at which a board answers, stores it and reads the board's versions.

#include "app/config_file.h"
#include "comm/operation.h"

namespace kestrix {

struct ScanResult {
    bool found = false;
    SerialSettings settings;   // the window's port and speed after the scan
    bool saved = false;        // the found pair was written to config.ini
    bool cancelled = false;    // stopped early: nothing was written or shown at the end
    VersionTexts versions;
};

constexpr int ScanTries = PortCount * 4;

// `settings` is the window's port and speed when the scan starts. A scan whose reporter is
// cancelled stops before its next try and leaves the settings and config.ini as they were.
ScanResult scanPorts(SerialSettings settings, Reporter &reporter, Sleeper &sleeper = realSleeper());

} // namespace kestrix
