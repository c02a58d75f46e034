#pragma once
// The start-up values of the main window's parameter controls: the [Parameters] section of
// config.ini, read when the window opens. An absent or empty key leaves its control alone.

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

// P6 (time view, field th) and P7 (date view, field td) with the strip rule, "05" giving "5".
std::vector<StartValue> readViewDurations();

// The seconds a view field's text gives the display cycle; nothing when it is not a number.
std::optional<int> viewSeconds(const QString &text);

} // namespace kestrix
