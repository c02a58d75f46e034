#pragma once
// The main window's direct board commands: reset, activating an alarm output, and sending a
// script file line by line. Each is a board job; none keeps state.

#include "comm/board_job.h"

#include <QString>

namespace kestrix {

// Which alarm output "Activate Alarm" switches on: 1 sends "AL0", 2 sends "AL1".
enum class AlarmOutput { First = 1, Second = 2 };

// ESC "RST" CR, without a preamble of its own beyond the check's. Ends "Device reseted.".
BoardJob<NoData> resetJob();

// "AL0" or "AL1"; ends with the alarm's text and "Done", e.g. "Alarm 1 activation ... Done".
BoardJob<NoData> activateAlarmJob(AlarmOutput alarm);
// The ending of a completed activateAlarmJob.
QString alarmActivatedText(AlarmOutput alarm);

struct ScriptUpload {
    // The file could not be read: nothing was sent inside the envelope, the progress text stays
    // in the first line, and the caller says the file could not be opened.
    bool fileUnreadable = false;
    int linesSent = 0;
};

// The script file the window sends: "test.txt" in the data folder.
QString defaultScriptPath();

// Sends each line of the file at `path` (line ends LF or CR LF taken off, the bytes as they are)
// followed by CR, 500 ms after each; an empty line sends CR alone. The file is read now.
BoardJob<ScriptUpload> scriptUploadJob(const QString &path);

} // namespace kestrix
