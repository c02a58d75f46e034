#pragma once
// Reading back what an upload wrote: every register it wrote, read as the download reads, and
// compared with the value sent.

#include "base/board_comparison.h"
#include "comm/board_job.h"

#include <QString>
#include <vector>

namespace kestrix {

// One register write of an upload: the register and the characters its frame carried.
struct RegisterWrite {
    int reg;
    QString value;
};

// The registers a read-back reads, in write order, each once with its last value. Left out: the
// clock registers R000-R006, which change by themselves, and writes without a value (an empty
// field), which store nothing.
std::vector<RegisterWrite> registersToReadBack(const std::vector<RegisterWrite> &writes);

// Reads each register of registersToReadBack(writes), 10 ms after each read as the download
// does. Each check holds the value sent and the byte read as two lower-case hexadecimal digits
// (a value of one digit is sent as "0" and that digit). Ends like a download: complete, or
// incomplete with how many registers did not answer.
BoardJob<std::vector<RegisterCheck>> readBackJob(const std::vector<RegisterWrite> &writes);

} // namespace kestrix
