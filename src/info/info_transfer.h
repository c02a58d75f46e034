#pragma once
// The clock information dialog's board jobs: reading every variable of vars.txt, and clearing
// them (after the password), each with the dialog's status form.

#include "comm/board_job.h"
#include "info/info_variables.h"

#include <optional>
#include <vector>

namespace kestrix {

// "Status: Communication Error! Check COM port and Speed." on a failed check.
StatusForm infoStatusForm();

struct InfoValues {
    // One per variable, in file order: the value; empty for a variable of an unknown type or
    // kind; nothing when a register of it did not answer (counted as unanswered).
    std::vector<std::optional<QString>> values;
};

// Reads each variable's registers ("R" or "r", 10 ms after each) and decodes them. Ends with
// "Informations readed from clock." or, when variables did not answer, how many.
BoardJob<InfoValues> informationDownloadJob(std::vector<InfoVariable> variables);

// Writes 00 into each variable's registers ("W" or "w" + register + "00", each answered by one
// byte, 10 ms after each); the values are the board's answers. Ends with "All informations
// deleted." or, when variables did not answer, how many.
BoardJob<InfoValues> informationClearingJob(std::vector<InfoVariable> variables);

} // namespace kestrix
