#pragma once
// config.ini in the data folder: language, serial settings, the [Ports] mapping of port
// numbers to devices and the other keys the windows read.

#include "app/ini_file.h"

#include <QString>

namespace kestrix {

// The folder of the data files: --data-dir, else KESTRIX_DATA_DIR, else the executable's folder.
QString dataDir();
void setDataDir(const QString &dir);

// Takes "--data-dir DIR" (or "--data-dir=DIR") out of the arguments and applies it.
// Returns false, with a message, when the option has no folder.
bool applyDataDirOption(QStringList &arguments, QString *error);

// A file of the data folder, e.g. "logo.bmp".
QString dataFilePath(const QString &name);

QString configFilePath();
IniFile configFile();

// The line speeds the boards use, in the order the configuration file indexes them.
inline constexpr int SpeedTable[] = {2400, 4800, 9600, 19200};
inline constexpr int PortCount = 20;

// Index of a speed in SpeedTable, or -1.
int speedIndex(int speed);

// A window's serial settings. Port 0 is no port: every exchange then fails with the
// communication error, which is what a fresh installation shows until a port is chosen.
struct SerialSettings {
    int port = 0;
    int speed = 9600;
};

// Updates `settings` from "Port" and "Baud" of [Settings]: an absent or empty key, or a Baud
// outside 0..3, leaves that member as it was.
void readSerialSettings(SerialSettings &settings);
SerialSettings readSerialSettings();

// Writes "Port" = port - 1 and "Baud" = the speed's index.
bool writeSerialSettings(const SerialSettings &settings);

// Device name of a port number 1..20: [Ports] COM<n>=<device> when present, else the
// platform's default (COM1-4 /dev/ttyS0-3, COM5-12 /dev/ttyUSB0-7, COM13-20 /dev/ttyACM0-7
// on Linux; COM<n> on Windows). Empty for a number outside 1..20.
QString deviceForPort(int port);
QString defaultDeviceForPort(int port);

// Names the device of a port for this process only, ahead of config.ini (the command line's
// --device). An empty device removes the override.
void overrideDeviceForPort(int port, const QString &device);

// Writes [Ports] COM<n>=<device>.
bool mapPortToDevice(int port, const QString &device);

// "Language" of [System], default "english".
QString configuredLanguage();

} // namespace kestrix
