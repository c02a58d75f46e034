#pragma once
// The command table and the options of kestrix-cli.

#include "comm/serial_settings.h"

#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace kestrix::cli {

enum ExitCode {
    Success = 0,
    NoBoard = 1,       // nothing answered the communication test
    PortFailure = 2,   // the port could not be opened
    UsageError = 3,
    Differs = 4,       // compare: the board holds other values than the files
    NotVerified = 5,   // --verify: a register read back holds another value than was sent
    Cancelled = 130,   // Ctrl-C: stopped before the next frame, nothing stored
};

// The options every command takes, and each command's own.
struct Options {
    QString command;
    QStringList operands;  // arguments after the command
    int port = 0;          // 0: from config.ini
    QString device;        // a device name instead of a port number
    // Every board named: the ports of --port 3,5,7 / 3-9 / --ports configured, the devices of
    // --device given again and again. More than one board: the command runs on each at once.
    std::vector<int> ports;
    QStringList devices;
    int speed = 0;         // 0: from config.ini
    QString traceFile;
    QStringList flags;     // the command's own options that were given, by name, once per use
    QStringList values;    // their values, in the same order ("" for a flag without one)

    bool has(const QString &flag) const { return flags.contains(flag); }
    // The value of an option given once; the last one when it was repeated.
    QString value(const QString &flag) const;
    // Every value of a repeatable option, in command-line order.
    QStringList valuesOf(const QString &flag) const;
};

// An option of one command, e.g. {"save", "", "also write the files"}.
struct CommandOption {
    const char *name;
    const char *valueName;   // nullptr for a flag without a value
    const char *description;
};

// One row of the command table: adding a command is its own file and one row.
struct Command {
    const char *name;
    const char *operands;      // usage of the operands, e.g. "N DEVICE"; "" for none
    const char *summary;
    int minOperands;
    int maxOperands;
    std::span<const CommandOption> options;
    int (*run)(const Options &);
    // Why the command refuses to run on several boards at once with these options (it uses no
    // board, or writes what all boards would share); empty when it may. None: it always may.
    QString (*severalBoardsProblem)(const Options &) = nullptr;
};

std::span<const Command> commandTable();

// An option every command takes, e.g. {"port", "N", "..."}; each takes a value.
struct GlobalOption {
    const char *name;
    const char *valueName;
    const char *description;
};

std::span<const GlobalOption> globalOptions();

// The shell completion script for `shell` ("bash"), made from the command table; empty for a
// shell it does not know.
QString completionScript(const QString &shell);

// A port number 1-20, written "3" or "COM3"; false with a message otherwise.
bool parsePortNumber(const QString &text, int &port, QString *error);
// A list of ports: numbers and ranges, "3", "COM3", "3,5,7", "3-9", "1,4-6"; a port named
// twice is refused, as two jobs must never run on one board.
bool parsePortList(const QString &text, std::vector<int> &ports, QString *error);

// Parses the whole command line (program name first, --data-dir already taken out) into
// `options`, and finds the command's row. Returns nullptr with a message on wrong usage; with
// --help, `help` is set and nothing else is checked.
const Command *parseCommandLine(const QStringList &arguments, Options &options, bool &help, QString *error);

QString usage();

// The serial settings the command uses: config.ini as every window reads it, then --port,
// --device and --speed on top.
SerialSettings resolveSettings(const Options &options);

} // namespace kestrix::cli
