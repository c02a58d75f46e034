#pragma once
// Download Configuration: the board's clock registers for the clock box, then every readable
// parameter register, converted into the values the parameter controls show.

#include "comm/board_job.h"
#include "params/parameter_values.h"

#include <QString>
#include <array>
#include <span>

namespace kestrix {

// The clock box's three lines: time "14:05:09", date "06.12.26." and weekday "7". A register
// that did not answer shows "--" in its place.
using ClockLines = std::array<QString, 3>;

struct Download {
    ClockLines clock;
    // The values read. A register that did not answer is left out, so its control keeps its
    // value; the alarm output pair (register 100) is never read.
    ParameterUpdate update;
};

// Reads R000-R006, then the parameter registers in the download's order, each followed by
// 10 ms; a register that gave no answer, clock ones included, counts as unanswered. So does
// one whose answer cannot be its value: a clock register that is not two decimal digits, a
// parameter register whose converted value a row's control would not hold (firstMisfit),
// except "ff", the mark of a register never written, which is taken as it always was. Ends
// "Parameters downloaded.", or only "Parameters downloaded; %1 registers did not answer."
// (Incomplete). Keep the update only when the job ran (JobEnding::ran()).
BoardJob<Download> downloadJob();

// The clock box's text: the three lines joined by CR LF.
QString clockBoxText(const ClockLines &lines);

// The registers the download reads after the clock, in order.
std::span<const int> downloadRegisters();

// What one register's read text ("0a") gives its rows, added to `update`; false, and nothing
// added, when a row's control would not hold what it gives.
bool takeReadText(int reg, const QString &readText, ParameterUpdate &update);

} // namespace kestrix
