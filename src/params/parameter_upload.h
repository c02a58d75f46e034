#pragma once
// The Adjust buttons of the parameter groups and Adjust All: each group's frames, pauses and
// texts as board jobs. A job works on its own copy of the values; the A0 upload and Adjust All
// update the stored digits of that copy as the window's do, and hand it back as the job's data.

#include "comm/board_job.h"
#include "comm/operation.h"
#include "params/parameter_values.h"
#include "params/register_read_back.h"

#include <span>
#include <vector>

namespace kestrix {

// One group's Adjust: the group's values encoded, each frame followed by the group's pause
// (the byte map with writeAnswered, reading one answer byte per field).
BoardJob<ParameterValues> groupUploadJob(Group group, const ParameterValues &values);

// The register writes a group's upload sends for `values`. After the upload, given the job's
// data (the values with the digits it took), they are the writes it made.
std::vector<RegisterWrite> groupWrites(Group group, const ParameterValues &values);

// The groups Adjust All uploads after the time, in order.
std::span<const Group> standardGroups();

// The register writes of the standard groups, in order; with the PC time first (which only
// writes the clock registers) they are Adjust All's.
std::vector<RegisterWrite> standardGroupWrites(const ParameterValues &values);

// The PC time and date upload that Adjust All starts with; the caller supplies it (the time
// area owns it) with how many steps its body counts, for Adjust All's one progress bar.
struct TimeUpload {
    BoardJob<NoData> job;
    int steps = 0;
};

// What Adjust All did: the values with the digits it took, and what did not complete.
struct AllUpload {
    ParameterValues values;
    bool timeFailed = false;
    std::vector<Group> failedGroups;   // groups that did not complete, in upload order
};

// Adjust All as one job: its own check, the list digits taken from the lists, then the time
// upload and the standard groups, each sent as its own upload sends it (check, preamble, frames
// on a freshly opened channel), under one progress bar over all their steps. A part that fails
// does not stop the others; a cancel stops before the next frame, a lost board ends it. One
// ending: "All parameters uploaded." or "Parameters uploaded, except: ..." (Incomplete, with
// how many parts failed), the board lost, or the cancel.
JobResult<AllUpload> uploadAll(const ParameterValues &values, const TimeUpload &time, Operation &operation);

// The short names Adjust All's failure text uses: "Time & Date", then each group's name.
QString failedUploadsText(const AllUpload &upload);

} // namespace kestrix
