#pragma once
// config.ini and the other files of the data folder: where they are, and the language choice.

#include "base/ini_file.h"

#include <QString>
#include <QStringList>

namespace kestrix {

// The folder of the data files: --data-dir, else KESTRIX_DATA_DIR, else the executable's folder.
QString dataDir();
void setDataDir(const QString &dir);

// Takes "--data-dir DIR" (or "--data-dir=DIR") out of the arguments and applies it.
// Returns false, with a message, when the option has no folder.
bool applyDataDirOption(QStringList &arguments, QString *error);

// A file of the data folder, e.g. "logo.bmp".
QString dataFilePath(const QString &name);

// The folder of the running executable, where the build and the package put the shipped files.
QString shippedDataDir();

QString configFilePath();
IniFile configFile();

// "cannot read <path>: <reason>" when config.ini is there but cannot be read (its permissions,
// a folder in its place); empty when it can be read or does not exist. A reader that finds
// nothing in config.ini asks this before it reports a missing setting.
QString configReadError();

// "Language" of [System], default "english".
QString configuredLanguage();

} // namespace kestrix
