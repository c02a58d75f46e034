#pragma once
// The clock information dialog's board operations: reading every variable of vars.txt, and
// clearing them (after the password), each in the operation envelope with the dialog's status
// line.

#include "comm/operation.h"
#include "info/info_variables.h"

#include <optional>
#include <vector>

namespace kestrix {

// "Status: Communication Error! Check COM port and Speed." on a failed check.
StatusForm infoStatusForm();

struct InfoValues {
    Outcome outcome = Outcome::Completed;
    // One per variable, in file order: the value; empty for a variable of an unknown type or
    // kind; nothing when a register of it did not answer.
    std::vector<std::optional<QString>> values;
    int unanswered = 0;   // variables with a register that did not answer
    bool complete() const { return outcome == Outcome::Completed && unanswered == 0; }
};

// Reads each variable's registers ("R" or "r", 10 ms after each) and decodes them.
InfoValues downloadInformation(const std::vector<InfoVariable> &variables, Operation &operation);
InfoValues downloadInformation(const std::vector<InfoVariable> &variables, SerialSettings settings,
                               Reporter &reporter, Sleeper &sleeper = realSleeper());

// Writes 00 into each variable's registers ("W" or "w" + register + "00", each answered by one
// byte, 10 ms after each); the values are the board's answers.
InfoValues clearInformation(const std::vector<InfoVariable> &variables, Operation &operation);
InfoValues clearInformation(const std::vector<InfoVariable> &variables, SerialSettings settings,
                            Reporter &reporter, Sleeper &sleeper = realSleeper());

} // namespace kestrix
