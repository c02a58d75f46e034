#pragma once
// The stored digits of the parameter area and the brightness boxes, without widgets: the
// window mirrors this state in its controls, the uploads and files read it.

#include "params/parameter_map.h"

#include <QString>
#include <array>
#include <optional>

namespace kestrix {

// br digit 2: the Brightness field and the two boxes "day time depending" (digit "A") and
// "light sensor depending" (digit "B"), which exclude each other. While a box is ticked the
// dependency flag is set and the field is disabled.
class BrightnessState {
public:
    // The user's click on a box (also the effect a supplied "A"/"B" has).
    void tickDayTime(bool ticked);
    void tickLightSensor(bool ticked);

    bool dayTimeTicked() const { return m_dayTime; }
    bool lightSensorTicked() const { return m_lightSensor; }
    bool dependent() const { return m_dayTime || m_lightSensor; }
    bool fieldEnabled() const { return !dependent(); }

    // The digit as last set by a box, a supplied digit or an upload; "0" at the start.
    const QString &storedDigit() const { return m_digit; }
    // The digit an A0 upload sends (and Save writes) while the field shows `fieldText`.
    QString digit(const QString &fieldText) const;
    // An upload takes the digit: without a ticked box the field's text becomes the stored digit.
    QString takeDigit(const QString &fieldText);

    // A digit supplied by a file, the start-up parameters or a download: "A"/"a" ticks
    // "day time depending", "B"/"b" "light sensor depending" (stored as "A"/"B", as a click
    // would); any other digit unticks both and is the Brightness field's new text, which is
    // returned. Nothing is returned when the field keeps its text.
    std::optional<QString> applyDigit(QChar digit);

    // Both boxes unticked, digit "0": the state when the window opens.
    void reset();

private:
    bool m_dayTime = false;
    bool m_lightSensor = false;
    QString m_digit = QStringLiteral("0");
};

// The one-character settings of two-part registers and of the Simple Timing direction. All
// start as "0". br digit 2 lives in brightness().
class ParameterDigits {
public:
    ParameterDigits();

    const QString &digit(StoredDigit which) const;
    // Stores a digit as it stands (br digit 2 goes through brightness().applyDigit).
    void setDigit(StoredDigit which, const QString &digit);

    // The user picked list entry `index`: the digit becomes the index as one hexadecimal
    // digit (10 -> "a"). A list without a selection (-1) keeps the digit.
    void pickEntry(StoredDigit which, int index);
    // The entry the digit selects in its list, -1 when none (or the digit has no list).
    int entryIndex(StoredDigit which) const;

    // A check box digit: "1" when ticked, "0" when not.
    void tick(StoredDigit which, bool ticked);
    bool ticked(StoredDigit which) const;

    // The text a row's encoding works on: the stored digit for a row that has one (for the
    // Brightness row the digit an upload would send with `controlText` in the field), else
    // `controlText` (an edit's text, or a plain list's index in decimal).
    QString valueText(const Parameter &row, const QString &controlText) const;

    BrightnessState &brightness() { return m_brightness; }
    const BrightnessState &brightness() const { return m_brightness; }

    // The text a supplied br digit 2 puts into the Brightness field (a digit other than A or
    // B), once: the field shows it and the next upload sends it.
    std::optional<QString> takeBrightnessFieldText();

    // Every digit "0" and both brightness boxes unticked.
    void reset();

private:
    std::array<QString, StoredDigitCount> m_digits;
    BrightnessState m_brightness;
    std::optional<QString> m_brightnessFieldText;
};

} // namespace kestrix
