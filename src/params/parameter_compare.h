#pragma once
// The values a window or a parameter file expects against what a download read, key by key in
// the parameter-file keys, each value as Save writes it.

#include "params/parameter_values.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace kestrix {

struct KeyDifference {
    QString key;        // "P6", "A0", ...
    QString expected;   // as Save writes the expected values
    QString board;      // as Save writes the expected values with the download's applied
};

struct ParameterComparison {
    std::vector<KeyDifference> differing;   // in the file's key order
    // Keys with a register that did not answer: never counted as differing.
    QStringList unanswered;

    bool equal() const { return differing.empty() && unanswered.isEmpty(); }
};

// Compares `expected` with the values a download read (Download::update, which leaves out what
// did not answer). Keys the download never reads (A4, the alarm output pair) are left out. The
// auxiliary digits of PC and AC are not on the board: both sides keep the expected ones.
ParameterComparison compareParameters(const ParameterValues &expected, const ParameterUpdate &read);

} // namespace kestrix
