#pragma once
// The values a window or a parameter file expects against what a download read, key by key in
// the parameter-file keys, each value as Save writes it.

#include "base/board_comparison.h"
#include "params/parameter_values.h"


namespace kestrix {

// Compares `expected` with the values a download read (Download::update, which leaves out what
// did not answer): the keys that differ, each value as Save writes it, and apart the keys with a
// register that did not answer, which never count as differing. Keys the download never reads (A4, the alarm output pair) are left out. The
// auxiliary digits of PC and AC are not on the board: both sides keep the expected ones.
ItemComparison compareParameters(const ParameterValues &expected, const ParameterUpdate &read);

} // namespace kestrix
