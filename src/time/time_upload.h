#pragma once
// Setting the board's clock and calendar (registers 000-006): from the PC's local time (the main
// window's "Adjust" of "PC Time / Date") and from seven typed texts (the manual time dialog).
// Both are board jobs; the PC upload adds "DLS" and sends its frames even when the
// communication check failed.

#include "base/text_digits.h"
#include "comm/board_job.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <functional>

namespace kestrix {

// The clock registers' texts in register order: seconds, minutes, hours, weekday (one digit,
// 0 is Sunday), day of the month, month, year within the century.
namespace Clock {
enum Field : int { Seconds, Minutes, Hours, Weekday, Day, Month, Year, FieldCount };
} // namespace Clock
using ClockValues = std::array<QString, Clock::FieldCount>;

// The PC's local time; asked once per upload, after the communication check and before the
// preamble that precedes the registers.
using LocalClock = std::function<QDateTime()>;
QDateTime currentLocalTime();

// The seven texts of one instant: two digits each ("%S", "%M", ...), the weekday one digit ("%w").
ClockValues clockFieldsOf(const QDateTime &local);

// The manual dialog's texts as they are sent: a one-character text gets "0" in front, an empty
// one stays empty, the weekday stays as it is.
ClockValues paddedManualFields(const ClockValues &typed);

// Main-window status form. Takes the time from `clock` once, then sends the preamble on the
// channel the envelope opened, W000..W006 and "DLS". After
// a failed check the frames still go out and the error texts stay (CommunicationFailed).
BoardJob<NoData> pcTimeUploadJob(LocalClock clock = currentLocalTime);
// The steps its body counts: the seven registers and "DLS".
inline constexpr int PcTimeUploadSteps = Clock::FieldCount + 1;

// The manual dialog's upload of `typed` (padded here): W000..W006, 20 ms each, no "DLS";
// nothing is sent after a failed check. The dialog's status form: "Status: Communication
// Error! Check COM port and Speed." on a failed check.
BoardJob<NoData> manualTimeUploadJob(const ClockValues &typed);

} // namespace kestrix
