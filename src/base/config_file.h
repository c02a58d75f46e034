#pragma once
// config.ini and the other files of the data folder: where they are, and the language choice.

#include "base/ini_file.h"

#include <QString>
#include <QStringList>

namespace kestrix {

// The folder of the data files: --data-dir, else KESTRIX_DATA_DIR, else the shipped folder when
// it is writable (the build tree), else the per-user folder (~/.local/share/kestrix), which is
// created and given a copy of each shipped file it lacks. When that fails, a message goes to
// stderr and the shipped folder is read. Resolved once per process; safe from any thread.
QString dataDir();
void setDataDir(const QString &dir);

// Takes "--data-dir DIR" (or "--data-dir=DIR") out of the arguments and applies it.
// Returns false, with a message, when the option has no folder.
bool applyDataDirOption(QStringList &arguments, QString *error);

// A file of the data folder, e.g. "Daynight.txt".
QString dataFilePath(const QString &name);
// A file the programs only read, e.g. "logo.bmp": the data folder's own copy when it has one,
// else the shipped one.
QString resourceFilePath(const QString &name);

// Where the shipped files are: the running executable's folder when it holds them (the build
// tree), else <executable folder>/../share/kestrix (an installed or unpacked package). Without
// a QCoreApplication (the shared library in another program) the folder of the module holding
// this code is asked instead, and also ../../share/kestrix from it (a multiarch libdir).
QString shippedDataDir();

// The per-user data folder used when the shipped folder cannot be written.
QString userDataDir();

// Copies each shipped file that users edit (Daynight.txt, vars.txt) that `folder` lacks into it
// (creating it), each copy written
// under a temporary name and then renamed; existing files are never touched. False, with the
// reason, when the folder cannot be created or a file not copied.
bool seedDataDir(const QString &shipped, const QString &folder, QString *error);

QString configFilePath();
IniFile configFile();

// "cannot read <path>: <reason>" when config.ini is there but cannot be read (its permissions,
// a folder in its place); empty when it can be read or does not exist. A reader that finds
// nothing in config.ini asks this before it reports a missing setting.
QString configReadError();

// "Language" of [System], default "english".
QString configuredLanguage();

} // namespace kestrix
