#pragma once
// The start-up values of the main window's parameter controls: the [Parameters] section of
// config.ini, read when the window opens with the rules of parameter files. An absent or empty
// key leaves its control alone.

#include "base/ini_file.h"
#include "params/parameter_map.h"

#include <QString>
#include <optional>
#include <vector>

namespace kestrix {

// A field's start-up text.
struct StartValue {
    ParamId field;
    QString text;
};

// A stored digit's start-up value; its list, box or brightness controls follow it.
struct StartDigit {
    StoredDigit digit;
    QString value;
};

struct StartParameters {
    std::vector<StartValue> fields;
    std::vector<StartDigit> digits;
};

// The keys of a parameter file's [Parameters] section that config.ini presets the window with:
// P6, P7, P8, A2, A3 with the strip rule ("05" gives "5"); P9, A0, A1, A4 with the pair rule
// (first character, last character); A5 to C0 unchanged. TP, PC and AC are not read from it.
StartParameters startParametersOf(const IniSnapshot &file);
StartParameters readStartParameters();

// The seconds a view field's text gives the display cycle; nothing when it is not a number.
std::optional<int> viewSeconds(const QString &text);

} // namespace kestrix
