#pragma once
// The day and night dialog's board jobs: Upload writes the minimal brightness, the place's
// name and the 48 times into registers 893-998; Download reads them back. Both are shown in
// the dialog's single status line.

#include "base/board_comparison.h"
#include "comm/board_job.h"
#include "daynight/location_file.h"

#include <optional>

namespace kestrix {

StatusForm dayNightStatusForm();

// What Upload sends: the brightness, the name and the times of a record.
struct DayNightSchedule {
    QString brightness;
    QString name;
    std::array<MonthTimes, DayTimeCount> times;   // by DayTime
};

// Why the board cannot take the schedule as it stands, checked before anything is sent: a name
// with characters that have no Windows-1252 code, a brightness that is not a whole number from
// 0 to 100, a time that is neither empty nor hhmm from 0000 to 2359. Empty when it can.
QString scheduleProblem(const DayNightSchedule &schedule);

// The value a register of the schedule gets: 893 the brightness, 894-902 the name's characters
// (Windows-1252 codes, 0 past its end), 903-998 hours and minutes of each month's Rise, Begin,
// End and Set; an empty time is no time, 255 and 255, as Download reads it back. Each as two
// upper-case hexadecimal digits.
QString scheduleRegisterValue(const DayNightSchedule &schedule, int reg);

// That value as a download reads the byte back: in decimal with at least two digits ("20").
QString scheduleReadForm(const DayNightSchedule &schedule, int reg);

// The registers of a schedule's time: its hours, and its minutes one after.
int scheduleTimeRegister(DayTime time, int month);

inline constexpr int FirstScheduleRegister = 893;
inline constexpr int LastScheduleRegister = 998;

// W893 ... W998 in register order, each followed by 10 ms. Ends "Times Uploaded.".
BoardJob<NoData> scheduleUploadJob(const DayNightSchedule &schedule);

// After an upload of `schedule`: reads back R893 ... R998 as Download does, each followed by
// 10 ms. A check's `sent` is scheduleReadForm, its `read` the answer. Ends "Times
// Downloaded.", or incomplete with the number of registers that did not answer.
BoardJob<std::vector<RegisterCheck>> scheduleReadBackJob(const DayNightSchedule &schedule);

// What Download read. A field is left out when one of its registers did not answer.
struct DayNightDownload {
    std::optional<QString> brightness;   // the answer text as it came ("50", "05")
    std::optional<QString> name;         // codes 0 left out
    std::array<std::array<std::optional<QString>, MonthCount>, DayTimeCount> times;   // "0645"; empty for 255/255
};

// R893 ... R998 in register order, each followed by 10 ms. Ends "Times Downloaded.", or
// incomplete with the number of registers that did not answer.
BoardJob<DayNightDownload> scheduleDownloadJob();

// The name the name registers' values give: Windows-1252 codes, 0s left out. Any byte the
// board holds comes through, control characters included.
QString boardNameOf(const QByteArray &codes);

// Puts what was read into a schedule; what did not answer stays as it was.
void applyDownload(const DayNightDownload &download, DayNightSchedule &schedule);

// The schedule as KEY=value lines: Name, Brightness, then the 48 times in the file's order. The
// values come from the board: control characters are spelled out (<ESC>, <LF>, <xx>) so that
// they cannot act on a terminal or split a line.
QStringList scheduleLines(const DayNightSchedule &schedule);

} // namespace kestrix
