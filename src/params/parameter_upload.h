#pragma once
// The Adjust buttons of the parameter groups and Adjust All: each group's frames, pauses and
// texts inside the operation envelope. The values come from a ParameterValues; the A0 upload
// and Adjust All update its stored digits as the window's do.

#include "comm/operation.h"
#include "params/parameter_values.h"

#include <functional>
#include <vector>

namespace kestrix {

// One group's Adjust: the group's values encoded, each frame followed by the group's pause
// (the byte map with WriteRegister, reading one answer byte per field).
Outcome uploadGroup(Group group, ParameterValues &values, Operation &operation);
Outcome uploadGroup(Group group, ParameterValues &values, SerialSettings settings, Reporter &reporter,
                    Sleeper &sleeper = realSleeper());

// The PC time and date upload that Adjust All starts with; the caller supplies it (the time area
// owns it) and the clock it reads.
using TimeUpload = std::function<Outcome(Operation &)>;

// The groups Adjust All uploads after the time, in order.
std::span<const Group> standardGroups();

struct AllUpload {
    Outcome outcome = Outcome::Completed;   // CommunicationFailed: Adjust All's own check failed
    bool timeFailed = false;
    std::vector<Group> failedGroups;         // groups that did not complete, in upload order
    bool allDone() const { return outcome == Outcome::Completed && !timeFailed && failedGroups.empty(); }
};

// Adjust All: its own check, the list digits taken from the lists, then the time upload and the
// standard groups, each in its own envelope. A group that fails does not stop the others; the
// final line names the ones that failed. Cancel stops before the next group.
AllUpload uploadAll(ParameterValues &values, Operation &operation, const TimeUpload &timeUpload);
AllUpload uploadAll(ParameterValues &values, const TimeUpload &timeUpload, SerialSettings settings,
                    Reporter &reporter, Sleeper &sleeper = realSleeper());

// The short names Adjust All's failure text uses: "Time & Date", then each group's name.
QString failedUploadsText(const AllUpload &upload);

} // namespace kestrix
