#pragma once
// Options of kestrix-cli.

#include "app/config_file.h"

#include <QString>
#include <QStringList>

namespace kestrix::cli {

enum ExitCode {
    Success = 0,
    NoBoard = 1,       // nothing answered the communication test
    PortFailure = 2,   // the port could not be opened
    UsageError = 3,
};

struct Options {
    QString command;
    QStringList operands;  // arguments after the command
    int port = 0;          // 0: from config.ini
    QString device;        // a device name instead of a port number
    int speed = 0;         // 0: from config.ini
    QString traceFile;
    bool help = false;
};

// A port number 1-20, written "3" or "COM3"; false with a message otherwise.
bool parsePortNumber(const QString &text, int &port, QString *error);

// Parses the arguments after the program name (--data-dir already taken out).
bool parseOptions(const QStringList &arguments, Options &options, QString *error);

QString usage();

// The serial settings the command uses: config.ini as every window reads it, then --port,
// --device and --speed on top.
SerialSettings resolveSettings(const Options &options);

} // namespace kestrix::cli
