#pragma once
// A place of Daynight.txt against the schedule a download read from the board.

#include "base/board_comparison.h"
#include "daynight/daynight_transfer.h"

namespace kestrix {

// The place's values are taken as Upload sends them and read back as Download reads them.
// Items: "Brightness" (the file's minimal brightness), "Name", and the 48 times by their keys
// ("January Rise"), shown as the file and the download hold them; an empty value as "(none)".
// What did not answer is listed apart with its registers, never as a difference.
ItemComparison compareSchedule(const DayNightSchedule &file, const DayNightDownload &board);

} // namespace kestrix
