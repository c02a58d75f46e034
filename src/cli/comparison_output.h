#pragma once
// What compare and --verify print, and the exit status each gives.

#include "base/board_comparison.h"
#include "comm/board_job.h"

#include <vector>

namespace kestrix::cli {

// After a download that ran: one line per differing item ("ITEM: file VALUE, board VALUE"),
// the count line, then the items that did not answer ("No answer: ITEM, file VALUE"). NoBoard
// when the download was incomplete (what did not answer may differ too), else Differs when an
// item differs, else Success.
int printComparison(const ItemComparison &comparison, const JobEnding &download);

// After a completed upload: the read-back's registers that differ ("R110: sent 06, board holds 07")
// or did not answer ("R113: sent 25, no answer"), then the count line. NotVerified when one
// differs, else NoBoard when the read-back did not complete, else `uploadStatus`.
int printReadBack(const JobResult<std::vector<RegisterCheck>> &readBack, int uploadStatus);

} // namespace kestrix::cli
