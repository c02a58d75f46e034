#pragma once
// Parameter files: the [Parameters] section that Save writes and Load reads, and the start-up
// read of the same keys from config.ini. Loading only fills values; nothing goes to the board.

#include "base/ini_file.h"
#include "params/parameter_values.h"

#include <QString>
#include <optional>

namespace kestrix {

inline const QString ParametersSection = QStringLiteral("Parameters");

// Which keys a read takes: all of a parameter file's, or those config.ini presets the window
// with at start-up (TP, PC and AC are not read from it).
enum class ParameterKeys { All, StartUp };

// The keys' values by the rules of Load: P6, P7, P8, TP, A2, A3 by the strip rule ("05" gives
// "5"); PC and AC as field text and auxiliary digit (the last character); P9, A0, A1, A4 by the
// pair rule; A5 to C0 unchanged. A missing or empty key is left out.
ParameterUpdate parametersOf(const IniSnapshot &file, ParameterKeys keys = ParameterKeys::All);

// The [Parameters] keys of config.ini that the window starts with.
ParameterUpdate readStartParameters();

// The entries Save writes, in the file's key order.
QList<std::pair<QString, QString>> parameterFileEntries(const ParameterValues &values);

// The file a name chosen in the Save dialog stands for: ".ini" is appended unless the name
// already ends in it (in any case).
QString parameterFilePath(const QString &chosen);

// Writes the parameter file at `path`. The config.ini in use keeps everything but the
// [Parameters] keys written; any other file is replaced as a whole. Either way the file is
// replaced atomically: on failure the old one is intact and *error says why.
bool saveParameterFile(const QString &path, const ParameterValues &values, QString *error = nullptr);

// The values of the parameter file at `path`; nothing, with the reason in *error, when it
// cannot be opened.
std::optional<ParameterUpdate> loadParameterFile(const QString &path, QString *error = nullptr);

// The seconds a view field's text gives the display cycle; nothing when it is not a number.
std::optional<int> viewSeconds(const QString &text);

// The seconds a loaded update sets for the time view (th) and the date view (td), if any.
struct ViewDurations {
    std::optional<int> time;
    std::optional<int> date;
};
ViewDurations viewDurationsOf(const ParameterUpdate &update);

} // namespace kestrix
