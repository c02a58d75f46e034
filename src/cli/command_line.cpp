// SPDX-License-Identifier: GPL-3.0-or-later
// The command table of kestrix-cli and the run of one command line, from its arguments to its
// exit status.

#include "cli/command_line.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/atomic_file.h"
#include "base/config_file.h"
#include "base/language.h"
#include "comm/serial_settings.h"
#include "comm/trace.h"

#include <QFileInfo>

using namespace kestrix;
using namespace kestrix::cli;

namespace kestrix::cli {

constexpr CommandOption UploadOptions[] = {
    {"file", "FILE", "start from the values of a parameter file, as Load takes them"},
    {"set", "KEY=VALUE", "then set one value (repeatable): a parameter-file key (P6 ... C0) or "
                         "humidity-view, timing-hour, ... (see README)"},
    {"verify", nullptr, "then read back every register written and compare it with what was sent"},
};

constexpr CommandOption DownloadOptions[] = {
    {"save", "FILE", "also write the values as a parameter file (\".ini\" added unless given)"},
};

constexpr CommandOption CompareOptions[] = {
    {"file", "FILE", "compare with the values of a parameter file, as Load takes them"},
};

constexpr CommandOption AlarmsOptions[] = {
    {"save", nullptr, "download only: also write C1-C6 into config.ini and the programs into alarms.txt"},
    {"verify", nullptr, "upload only: then read back every register written and compare it with what was sent"},
};

constexpr CommandOption DayNightOptions[] = {
    {"save", nullptr, "download only: also store the schedule in Daynight.txt under the name read"},
    {"verify", nullptr, "upload only: then read back every register written and compare it with what was sent"},
};

constexpr CommandOption TimeServerOptions[] = {
    {"server", "ADDRESS", "the server: HOST, HOST:PORT or [IPV6]:PORT (default NTPServer1 of config.ini, port 37)"},
    {"timezone", "N", "the board's time zone in whole hours, -12 to 12 (default TimeZone of config.ini)"},
    {"print", nullptr, "only print the times; send nothing to the board"},
};

constexpr CommandOption InfoOptions[] = {
    {"clear", nullptr, "first set every variable to zero, after the password of config.ini [Settings] admin "
                       "(asked on the terminal without echo), and print the board's answers"},
    {"password-stdin", nullptr, "with --clear: read the password as one line of standard input"},
};

namespace {

// What the commands below refuse to do on several boards at once.
QString dayNightOnSeveralBoards(const Options &options)
{
    const QString operation = options.operands.value(0);
    if (operation == QLatin1String("places") || operation == QLatin1String("show"))
        return usesNoBoardProblem(options);
    return savesSharedFilesProblem(options);
}

QString timeServerOnSeveralBoards(const Options &options)
{
    return options.has(QStringLiteral("print")) ? usesNoBoardProblem(options) : QString();
}

QString infoOnSeveralBoards(const Options &options)
{
    if (!options.has(QStringLiteral("clear")))
        return {};
    return QStringLiteral("info --clear clears one board at a time; name one board");
}

QString downloadOnSeveralBoards(const Options &options)
{
    if (!options.has(QStringLiteral("save")) || QFileInfo(options.value(QStringLiteral("save"))).isDir())
        return {};
    return QStringLiteral("with several boards, download --save needs an existing folder: each board's values go "
                          "to a file of its own there");
}

} // namespace

// The commands: name, operands, what it does, how many operands, its own options, its function,
// and why it refuses several boards.
constexpr Command Commands[] = {
    {"check", "", "run the communication test on the configured port and speed", 0, 0, {}, runCheck},
    {"versions", "", "read the board's software and hardware versions", 0, 0, {}, runVersions},
    {"scan", "", "try every port (COM1-COM20) at every speed and store the last one at which a board "
                 "answers in config.ini", 0, 0, {}, runScan},
    {"map-port", "N DEVICE", "name the device of port COM<N> in config.ini [Ports]", 2, 2, {}, runMapPort,
     usesNoBoardProblem},
    {"config-path", "", "print where config.ini is", 0, 0, {}, runConfigPath, usesNoBoardProblem},
    {"set-time", "[HH:MM:SS W DD.MM.YY]", "set the board's clock: to the PC's local time (and send DLS), or to the "
                 "given time, weekday (0 is Sunday) and date", 0, 3, {}, runSetTime},
    {"reset", "", "reset the board", 0, 0, {}, runReset},
    {"activate-alarm", "1|2", "switch on alarm output 1 or 2", 1, 1, {}, runActivateAlarm},
    {"test-clock", "[FILE]", "send each line of a script file (default test.txt in the data folder), "
                             "500 ms apart", 0, 1, {}, runTestClock},
    {"upload", "GROUP...", "upload groups one after the other: view-times, A0, P9, A1, A2, A3, A4, A5-C0, "
                           "simple-timing, self-timer, time-zone, or all (Adjust All)", 1, 32, UploadOptions, runUpload},
    {"download", "", "read the board's clock and parameters; prints the clock's three lines, then "
                     "KEY=value lines", 0, 0, DownloadOptions, runDownload, downloadOnSeveralBoards},
    {"compare", "", "read the board's parameters and print each parameter-file key whose value differs from "
                    "what upload would send (KEY, file value, board value, tab-separated); exit 4 when one "
                    "differs, 1 when a register did not answer", 0, 0, CompareOptions, runCompare},
    {"alarms", "upload|download|clear|compare", "send C1-C6 of config.ini and the programs of alarms.txt; read "
                                                "them from the board and print them as the files hold them; clear "
                                                "them on the board; or print what differs between the files and the "
                                                "board (exit 4 when something does)", 1, 1, AlarmsOptions, runAlarms,
     savesSharedFilesProblem},
    {"daynight", "places|show PLACE|upload PLACE|download|compare PLACE", "list the places of Daynight.txt; print "
                 "a place's record; send its schedule; read the board's schedule and print it; or print what "
                 "differs between a place and the board (exit 4 when something does)", 1, 2, DayNightOptions,
     runDayNight, dayNightOnSeveralBoards},
    {"time-server", "", "ask a time server (RFC 868, UDP) for the time, print it and set the board's clock to it "
                        "in the time zone", 0, 0, TimeServerOptions, runTimeServer,
     timeServerOnSeveralBoards},
    {"info", "", "read the board's information variables named in vars.txt and print them as "
                 "name<TAB>value lines (\"(no answer)\" for a variable that did not answer)", 0, 0, InfoOptions,
     runInfo, infoOnSeveralBoards},
    {"display", "currency|currency-code|intensity|test|time ...",
     "drive a display board as other programs do through the library: \"currency LINE KIND VALUE1 VALUE2\", "
     "\"currency-code CODE KIND VALUE1 VALUE2\", \"intensity ADDRESS TYPE [HH:MM HH:MM]\", \"test\", "
     "\"time [YYYY-MM-DDTHH:MM:SS]\" (default now); exit 0 when the board accepted; the time text is sent "
     "unconfirmed (it takes no answer): exit 0 there only means it was written", 1, 5, {}, runDisplay},
};

std::span<const Command> commandTable()
{
    return Commands;
}

int usageErrorOf(const QString &message)
{
    printStatus(QStringLiteral("kestrix-cli: ") + message);
    printStatus(QStringLiteral("Try \"kestrix-cli --help\"."));
    return UsageError;
}

namespace {

int runCommand(QStringList arguments, const std::function<void()> &beforeWork)
{
    // Hidden: the build writes the shell completion script with it.
    if (arguments.value(1) == QLatin1String("--completion")) {
        const QString script = completionScript(arguments.value(2));
        if (script.isEmpty())
            return usageErrorOf(QStringLiteral("--completion knows bash only"));
        printResult(script.trimmed());
        return Success;
    }
    QString error;
    Options options;
    bool help = false;
    if (!applyDataDirOption(arguments, &error))
        return usageErrorOf(error);
    const Command *command = parseCommandLine(arguments, options, help, &error);
    if (help) {
        printResult(usage());
        return Success;
    }
    if (!command)
        return usageErrorOf(error);
    if (!options.traceFile.isEmpty() && !CommTrace::start(options.traceFile, &error))
        return usageErrorOf(error);

    LoadLanguageOrShipped(configuredLanguage());
    if (beforeWork)
        beforeWork();
    const int status = namesSeveralBoards(options) ? runOnBoards(*command, options) : command->run(options);
    // The board operation's outcome stands; a trace that broke off on the way is said once.
    if (!CommTrace::failure().isEmpty())
        printStatus(QStringLiteral("Warning: %1; the trace is incomplete.").arg(CommTrace::failure()));
    return status;
}

} // namespace

int runCommandLine(const QStringList &arguments, const std::function<void()> &beforeWork)
{
    resetInterrupt();
    const int status = runCommand(arguments, beforeWork);
    // What this command line set up ends with it, so that a caller may run the next one.
    CommTrace::stop();
    clearDeviceOverrides();
    return status;
}

} // namespace kestrix::cli
