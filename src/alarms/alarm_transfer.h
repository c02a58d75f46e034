#pragma once
// The alarm dialog's board jobs: Update Alarms' upload, Download Alarm Times and Clear
// Alarm Times, each shown in the dialog's single status line.

#include "alarms/alarm_data.h"
#include "base/board_comparison.h"
#include "comm/board_job.h"

#include <optional>
#include <vector>

namespace kestrix {

// The dialog's status form: "Status: Check COM port and Speed." on a failed check.
StatusForm alarmStatusForm();

// The parameters (W101-W106, 10 ms each), then each program's filled slots in slot order, from
// the program's first register on: hour, and unless it is a marker (29, 25) minute and type,
// 30 ms each. Values are trimmed; a one-character hour or minute gets "0" in front, a
// one-character type "0" after it. They go out as Windows-1252 bytes, as the file holds them; a
// value holding a line break is not sent. Ends "Times Uploaded.", or with the number of values
// not sent.
BoardJob<NoData> alarmUploadJob(const Alarms &alarms);

// After an upload of `alarms`: reads back every register that upload writes, in its order, each
// followed by the download's 10 ms. A check's `sent` is the value sent as a download shows the
// byte it leaves (two lower-case hexadecimal digits, empty for the unset byte); its `read` the
// register's byte shown so. Ends "Times Downloaded.", or incomplete with the number of
// registers that did not answer.
BoardJob<std::vector<RegisterCheck>> alarmReadBackJob(const Alarms &alarms);

// One slot as read: a field that did not answer is left out.
struct AlarmSlotRead {
    int slot;
    std::optional<QString> hour;
    std::optional<QString> minute;
    std::optional<QString> type;
};

struct AlarmDownload {
    std::array<std::optional<QString>, AlarmParameterCount> parameters;   // in key order C1-C6
    std::array<std::vector<AlarmSlotRead>, AlarmProgramCount> slots;
};

// Reads 101-106, then each program slot by slot until its end marker 29 (an hour 25 has no
// minute and type); "ff" reads as empty, a type is the first hexadecimal digit. A byte that its
// field cannot hold counts as no answer: a parameter or type that is not two decimal digits, an
// hour beyond 23 other than the markers 25 and 29, a minute beyond 59. A program stops at the
// first hour register that does not answer. Ends "Times Downloaded.", or incomplete with the
// number of registers that did not answer.
BoardJob<AlarmDownload> alarmDownloadJob();

// What was read goes into `alarms`; what did not answer stays as it was.
void applyDownload(const AlarmDownload &download, Alarms &alarms);

// The six parameters to the unset byte (W101FF ... W106FF) and the end marker into the first
// hour of both programs (W11029, W26029), 10 ms each. Ends "Alarm Times Cleared.".
BoardJob<NoData> alarmClearJob();

// The dialog after a clear: parameters empty, every slot free.
void applyClear(Alarms &alarms);

} // namespace kestrix
