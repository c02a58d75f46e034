#pragma once
// Download Configuration: the board's clock registers for the clock box, then every readable
// parameter register, converted into the values the parameter controls show.

#include "comm/operation.h"
#include "params/parameter_values.h"

#include <QString>
#include <array>

namespace kestrix {

// The clock box's three lines: time "14:05:09", date "06.12.26." and weekday "7". A register
// that did not answer shows "--" in its place.
using ClockLines = std::array<QString, 3>;

struct Download {
    Outcome outcome = Outcome::Completed;
    ClockLines clock;
    // The values read. A register that did not answer is left out, so its control keeps its
    // value; the alarm output pair (register 100) is never read.
    ParameterUpdate update;
    int unanswered = 0;   // registers, clock ones included, that gave no answer
};

// Reads R000-R006, then the parameter registers in the download's order, each followed by
// 10 ms. Ends "Parameters downloaded.", or with how many registers did not answer.
Download downloadConfiguration(Operation &operation);
Download downloadConfiguration(SerialSettings settings, Reporter &reporter, Sleeper &sleeper = realSleeper());

// The clock box's text: the three lines joined by CR LF.
QString clockBoxText(const ClockLines &lines);

// The registers the download reads after the clock, in order.
std::span<const int> downloadRegisters();

// What one register's read text ("0a") gives its rows, added to `update`.
void takeReadText(int reg, const QString &readText, ParameterUpdate &update);

} // namespace kestrix
