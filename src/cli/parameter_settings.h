#pragma once
// The parameter values of upload and download on the command line: the values the main window
// starts with, "--set KEY=VALUE" on top of them, and the downloaded values as KEY=value lines.
// Keys are the parameter-file keys (P6 ... C0) and names of our own for the values that
// parameter files do not store (humidity-view, timing-hour, ...).

#include "params/parameter_values.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kestrix::cli {

// The opening values, then config.ini's [Parameters], then the parameter file `file` (none
// when empty), each as the window takes them. Nothing, with the reason in *error, when the
// file cannot be read.
std::optional<ParameterValues> startingValues(const QString &file, QString *error);

// The "KEY=VALUE" settings as updates, in order: a file key by its Load rule, any other name
// into its control. Nothing, with a message naming the key and what it takes, when a key is
// unknown or a value is one its control would not take.
std::optional<std::vector<ParameterUpdate>> parseSettings(const QStringList &settings, QString *error);

// Every key --set takes: the file keys in the order Save writes them, then our own names.
QStringList settingKeys();

// The values a download read, "KEY=value" in the order of the reads; a register that did not
// answer is left out.
QStringList downloadedLines(const ParameterUpdate &update);

} // namespace kestrix::cli
