#pragma once
// Reading back what an upload wrote: every register it wrote, read as the download reads, and
// compared with the value sent.

#include "comm/board_job.h"

#include <QString>
#include <vector>

namespace kestrix {

// One register write of an upload: the register and the characters its frame carried.
struct RegisterWrite {
    int reg;
    QString value;
};

struct ReadBackMismatch {
    int reg;
    QString sent;   // as the frame carried it
    QString held;   // the byte read, two hexadecimal digits
};

struct ReadBack {
    int registersRead = 0;                   // answered reads
    std::vector<ReadBackMismatch> differing; // in read order
    std::vector<int> unanswered;             // in read order
};

// The registers a read-back reads, in write order, each once with its last value. Left out: the
// clock registers R000-R006, which change by themselves, and writes without a value (an empty
// field), which store nothing.
std::vector<RegisterWrite> registersToReadBack(const std::vector<RegisterWrite> &writes);

// Reads each register of registersToReadBack(writes), 10 ms after each read as the download
// does, and compares the byte with the value sent: two hexadecimal digits in either case, or
// one, which the board takes as "0" and that digit. Ends like a download: complete, or
// incomplete with how many registers did not answer.
BoardJob<ReadBack> readBackJob(const std::vector<RegisterWrite> &writes);

// "R012".
QString registerName(int reg);

} // namespace kestrix
