#pragma once
// Reading back registers after an upload: each register once, in order, its value kept in the
// form the area shows it, next to the form of the value sent. Parameters, alarms and schedules
// differ only in what they send and how a read is shown.

#include "base/board_comparison.h"
#include "comm/board_job.h"
#include "comm/sleeper.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kestrix {

// One register read: its frame and pause, and the answer in the form the checks compare;
// nothing when the register did not answer. It neither counts nor steps: the job does.
using RegisterRead = std::function<std::optional<QString>(Exchange &, int reg)>;

// "R" + register answered by one byte, `pause` after it, the byte shown by `form`.
RegisterRead registerByteRead(Milliseconds pause, std::function<QString(std::uint8_t)> form);

// Reads each check's register with `read`, in order, and fills the check's `read`. Every read
// is one step; a register that did not answer is noted once. A cancel or a lost board stops
// before the next frame.
BoardJob<std::vector<RegisterCheck>> registerReadBackJob(const JobTexts &texts, std::vector<RegisterCheck> checks,
                                                         RegisterRead read);

} // namespace kestrix
