// kestrix-cli alarms upload [--verify] | download [--save] | clear | compare: the alarm dialog's
// Update Alarms, Download Alarm Times (and Save Alarm Times To File) and Clear Alarm Times, on
// the alarm data of config.ini (C1-C6) and alarms.txt in the data folder; --verify reads back
// what the upload wrote, compare sets the files against the board's alarm data.

#include "cli/commands.h"
#include "cli/comparison_output.h"
#include "cli/console_reporter.h"

#include "alarms/alarm_compare.h"
#include "alarms/alarm_file.h"
#include "alarms/alarm_transfer.h"
#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"

namespace kestrix::cli {

namespace {

const QString SaveFlag = QStringLiteral("save");
const QString VerifyFlag = QStringLiteral("verify");

// Says how many lines beyond a program's 50 slots were left out.
void warnDropped(const AlarmFileRead &read)
{
    if (read.dropped() > 0)
        printStatus(QStringLiteral("Warning: ") + LookupText(Text::AlarmLinesNotLoaded).arg(read.dropped()));
}

// The alarm data as the dialog opens with it: C1-C6 of config.ini and the programs of
// alarms.txt. `file` is nothing, with the reason in `error`, when alarms.txt cannot be read.
StoredAlarms storedAlarms()
{
    StoredAlarms stored = readStoredAlarms();
    if (stored.file)
        warnDropped(*stored.file);
    return stored;
}

// The alarm data on the terminal: C1=.. to C6=.. as config.ini holds them, then the lines of
// alarms.txt.
void printAlarms(const Alarms &alarms)
{
    for (const auto &[key, value] : alarmParameterEntries(alarms.parameters))
        printResult(key + u'=' + value);
    for (const QString &line : alarmFileLines(alarms.programs))
        printResult(line);
}

// A job that only writes: its completion text is the result; any other ending has been shown
// as the status and gives the exit status.
int resultOf(const JobEnding &ending)
{
    if (ending.completed())
        printResult(ending.text);
    return exitStatusOf(ending.outcome);
}

// The files' alarm data; nothing, after saying why and that nothing was `done`, when alarms.txt
// cannot be read.
std::optional<Alarms> filesAlarms(const char *done)
{
    const StoredAlarms stored = storedAlarms();
    if (!stored.file) {
        printStatus(QStringLiteral("The alarm file cannot be read (%1); nothing was %2.").arg(stored.error, QLatin1String(done)));
        return std::nullopt;
    }
    return Alarms{stored.parameters, stored.file->programs};
}

// With --verify, a completed upload is read back register by register.
int upload(const Options &options)
{
    // Uploading no programs would leave the board's programs as they are only by chance.
    const std::optional<Alarms> alarms = filesAlarms("sent");
    if (!alarms)
        return PortFailure;
    const bool verify = options.has(VerifyFlag);
    return withBoard(options, [&alarms, verify](Operation &operation, const SerialSettings &) {
        const JobEnding ending = operation.run(alarmUploadJob(*alarms)).ending;
        const int status = resultOf(ending);
        if (!verify || !ending.completed())
            return status;
        return printReadBack(operation.run(alarmReadBackJob(*alarms)), status);
    });
}

// Reads the board's alarm data and prints what differs from the files; writes nothing.
int compare(const Options &options)
{
    const std::optional<Alarms> alarms = filesAlarms("compared");
    if (!alarms)
        return PortFailure;
    return withBoard(options, [&alarms](Operation &operation, const SerialSettings &) {
        const JobResult<AlarmDownload> download = operation.run(alarmDownloadJob());
        if (!download.ending.ran())
            return exitStatusOf(download.ending.outcome);
        return printComparison(compareAlarms(*alarms, download.data), download.ending);
    });
}

// Writes both files as Save does; "File Opening Error!" with the reason and PortFailure when
// they were not written.
int save(Alarms &alarms)
{
    const AlarmSave saved = saveAlarms(alarms);
    if (!saved.ok()) {
        printStatus(LookupText(Text::FileOpenError) + u' ' + saved.error);
        printStatus(QStringLiteral("The alarm data was not saved."));
        return PortFailure;
    }
    printStatus(QStringLiteral("Saved C1-C6 in %1 and %2.").arg(configFilePath(), alarmFilePath()));
    return Success;
}

// The files' data with the download on top; an incomplete download is printed, exits NoBoard
// and is not saved.
int download(const Options &options)
{
    const StoredAlarms stored = storedAlarms();
    Alarms alarms{stored.parameters, stored.file ? stored.file->programs : AlarmPrograms{}};
    const int status = withBoard(options, [&alarms](Operation &operation, const SerialSettings &) {
        const JobResult<AlarmDownload> download = operation.run(alarmDownloadJob());
        if (download.ending.ran()) {
            applyDownload(download.data, alarms);
            printAlarms(alarms);
        }
        return exitStatusOf(download.ending.outcome);
    });
    if (!options.has(SaveFlag))
        return status;
    if (status != Success) {
        printStatus(QStringLiteral("The alarm data was not saved: the download was incomplete."));
        return status;
    }
    return save(alarms);
}

int clear(const Options &options)
{
    return withBoard(options, [](Operation &operation, const SerialSettings &) {
        return resultOf(operation.run(alarmClearJob()).ending);
    });
}

struct AlarmAction {
    const char *name;
    int (*run)(const Options &);
};

constexpr AlarmAction Actions[] = {
    {"upload", upload},
    {"download", download},
    {"clear", clear},
    {"compare", compare},
};

} // namespace

int runAlarms(const Options &options)
{
    const QString name = options.operands.value(0);
    for (const AlarmAction &action : Actions) {
        if (name != QLatin1String(action.name))
            continue;
        if (options.has(SaveFlag) && action.run != download)
            return usageErrorOf(QStringLiteral("alarms: --save goes only with download"));
        if (options.has(VerifyFlag) && action.run != upload)
            return usageErrorOf(QStringLiteral("alarms: --verify goes only with upload"));
        return action.run(options);
    }
    return usageErrorOf(
        QStringLiteral("alarms: the operation is upload, download, clear or compare, not \"%1\"").arg(name));
}

} // namespace kestrix::cli
