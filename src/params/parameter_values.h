#pragma once
// The values of the main window's parameter area without widgets: every control's text and the
// stored digits behind the lists and boxes. The uploads, the download, the parameter files and
// the command line work on these; the window copies its controls into them and back.

#include "params/parameter_digits.h"
#include "params/parameter_map.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace kestrix {

struct FieldValue {
    ParamId field;
    QString text;
};

struct DigitValue {
    StoredDigit digit;
    QString value;
};

// Values supplied by a parameter file, the start-up parameters or a download. Whatever is not
// named keeps its value.
struct ParameterUpdate {
    std::vector<FieldValue> fields;
    std::vector<DigitValue> digits;

    bool empty() const { return fields.empty() && digits.empty(); }
};

// A value of an update that its control would not hold: the field's row, or for a stored digit
// the digit and its row (nullptr for an auxiliary digit).
struct UpdateMisfit {
    const Parameter *row;
    StoredDigit digit;     // None for a field's text
    Misfit misfit;
};

// The first value of `update` that its control would not hold (fieldMisfit, digitMisfit);
// nothing when every value fits.
std::optional<UpdateMisfit> firstMisfit(const ParameterUpdate &update);

class ParameterValues {
public:
    // The values of a freshly opened window: the starting texts, every list on its first entry,
    // every box unticked, every stored digit "0".
    ParameterValues();

    // What a row's control shows: an edit's text, a list's selected index in decimal ("" when
    // nothing is selected), "1" or "0" for a box.
    const QString &text(ParamId id) const { return m_texts[std::size_t(id)]; }
    // The user's typing or pick. A pick in a list or a click on a box with a stored digit also
    // sets that digit, as it does in the window.
    void setText(ParamId id, const QString &text);

    ParameterDigits &digits() { return m_digits; }
    const ParameterDigits &digits() const { return m_digits; }

    // The characters a row's register write carries now (encoding of the row's value text).
    QString encoded(ParamId id) const;
    // A two-character register that holds a digit pair: digit 1 followed by digit 2.
    QString encodedRegister(const Parameter &firstRow) const;

    // Puts supplied values into the texts and stored digits; lists, boxes and the Brightness
    // field follow the digits.
    void apply(const ParameterUpdate &update);

    // Makes each list with a stored digit select the digit's entry, each box follow its digit.
    void showStoredDigits();

private:
    std::array<QString, std::size_t(ParamId::Count)> m_texts;
    ParameterDigits m_digits;
};

// The stored digits that differ between two states, as an update that turns `before` into
// `after` (for the digits an operation changed while it ran on a copy).
std::vector<DigitValue> changedDigits(const ParameterDigits &before, const ParameterDigits &after);

} // namespace kestrix
