#pragma once
// The main window's direct board commands: reset, activating an alarm output, and sending a
// script file line by line. Each runs inside the operation envelope and reports through a
// Reporter; none keeps state.

#include "comm/operation.h"

#include <QString>

namespace kestrix {

// Which alarm output "Activate Alarm" switches on: 1 sends "AL0", 2 sends "AL1".
enum class AlarmOutput { First = 1, Second = 2 };

// Each operation runs in the given operation's envelope, or in one of its own on the main
// window's status lines.

// ESC "RST" CR, without a preamble of its own beyond the check's.
Outcome resetBoard(Operation &operation);
Outcome resetBoard(SerialSettings settings, Reporter &reporter, Sleeper &sleeper = realSleeper());

// "AL0" or "AL1"; ends with the alarm's text and "Done" in the first two lines.
Outcome activateAlarm(AlarmOutput alarm, Operation &operation);
Outcome activateAlarm(AlarmOutput alarm, SerialSettings settings, Reporter &reporter,
                      Sleeper &sleeper = realSleeper());

struct ScriptUpload {
    Outcome outcome = Outcome::Completed;   // the envelope's
    // The file could not be read: a message box said so once the channel was open, nothing was
    // sent, and the progress text stays in the first line.
    bool fileUnreadable = false;
    int linesSent = 0;
};

// The script file the window sends: "test.txt" in the data folder.
QString defaultScriptPath();

// Sends each line of the file at `path` (line ends LF or CR LF taken off, the bytes as they are)
// followed by CR, 500 ms after each; an empty line sends CR alone.
ScriptUpload uploadScript(const QString &path, Operation &operation);
ScriptUpload uploadScript(const QString &path, SerialSettings settings, Reporter &reporter,
                          Sleeper &sleeper = realSleeper());

} // namespace kestrix
