#pragma once
// The alarm data of the files (C1-C6 and alarms.txt) against what a download read from the board.

#include "alarms/alarm_data.h"
#include "alarms/alarm_transfer.h"
#include "base/board_comparison.h"

namespace kestrix {

// The files' values are taken as an upload sends them (trimmed, padded, programs packed) and
// read back as a download reads them (a type is its upper digit). Items:
// - "C1" ... "C6": two digits, "(empty)" for none;
// - "p1 slot 3": "hour;minute;type" as alarms.txt holds a line ("29;;" for a marker), "(free)"
//   for a free slot or none. A program of the files ends at its end marker or its last entry;
//   a board program ending with its end marker where the files have no more entries is equal.
// What did not answer is listed apart with its registers, never as a difference; slots after
// an hour that did not answer are not compared.
ItemComparison compareAlarms(const Alarms &files, const AlarmDownload &board);

} // namespace kestrix
