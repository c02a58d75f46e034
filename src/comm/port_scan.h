#pragma once
// The port and speed scan behind "Test Connection": tries every port at every speed, keeps
// the last pair at which a board answers, stores it and reads the board's versions.

#include "comm/operation.h"
#include "comm/serial_settings.h"

#include <QStringList>
#include <vector>

namespace kestrix {

struct ScanResult {
    bool found = false;
    SerialSettings settings;   // the window's port and speed after the scan
    bool saved = false;        // the found pair was written to config.ini
    QString saveError;         // why it could not be, when a pair was found but not saved
    bool cancelled = false;    // stopped early: nothing was written, the settings are as they were
    VersionTexts versions;
    std::vector<int> busyPorts;   // ports held by another program, each once, in order
    QStringList notes;            // ports behind raw TCP servers, tried at the configured speed only
};

constexpr int ScanTries = PortCount * int(std::size(SpeedTable));

// `settings` is the window's port and speed when the scan starts. A cancelled scan stops
// before its next frame and leaves the settings and config.ini as they were. A scan that
// finds no board names the busy ports below "Communication Error!" ("Busy ports: COM3, COM7").
ScanResult scanPorts(SerialSettings settings, Reporter &reporter, Sleeper &sleeper = defaultSleeper());

// Which ports a scan tries (all when empty) and whether it stores what it finds.
struct ScanScope {
    std::vector<int> ports;
    bool store = true;
};
ScanResult scanPorts(SerialSettings settings, const ScanScope &scope, Reporter &reporter,
                     Sleeper &sleeper = defaultSleeper());

} // namespace kestrix
