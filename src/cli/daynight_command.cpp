// kestrix-cli daynight places | show PLACE | upload PLACE [--verify] | download [--save] |
// compare PLACE: the day and night dialog's place list, a place's record, Upload of a place's
// schedule, and Download (and Save Settings), on Daynight.txt in the data folder; --verify reads
// back what the upload wrote, compare sets a place against the board's schedule.

#include "cli/commands.h"
#include "cli/comparison_output.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "base/texts.h"
#include "comm/trace.h"
#include "daynight/daynight_compare.h"
#include "daynight/daynight_transfer.h"
#include "daynight/location_file.h"

namespace kestrix::cli {

namespace {

const QString SaveFlag = QStringLiteral("save");
const QString VerifyFlag = QStringLiteral("verify");
const QString Prefix = QStringLiteral("kestrix-cli: daynight: ");

// KEY=value lines; values from a hand-edited file or a board have control characters spelled out.
void printEntries(const QList<std::pair<QString, QString>> &entries)
{
    for (const auto &[key, value] : entries)
        printResult(key + u'=' + CommTrace::printableText(value));
}

QString placeNames(const LocationList &list)
{
    QStringList names;
    for (const QString &name : list.names) {
        if (!name.isEmpty())
            names << CommTrace::printableText(name);
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// The place file as read; nothing, after saying why, when something stands in its place that
// cannot be read (a missing file is a file without places).
std::optional<IniSnapshot> readPlaces()
{
    QString error;
    std::optional<IniSnapshot> file = readLocationFile(locationFilePath(), &error);
    if (!file)
        printStatus(Prefix + LookupText(Text::PlacesUnreadable).arg(error));
    return file;
}

struct StoredPlace {
    LocationRecord record;
    QString brightness;   // the file's minimal brightness
};

// The place named by the operand, matched ignoring case. Nothing, with the exit status in
// `status`, when the file cannot be read (PortFailure) or has no such place (UsageError, with a
// message listing the places).
std::optional<StoredPlace> placeOf(const Options &options, int &status)
{
    const std::optional<IniSnapshot> file = readPlaces();
    status = PortFailure;
    if (!file)
        return std::nullopt;
    const QString name = options.operands.value(1);
    const LocationList list = locationListOf(*file);
    const int slot = name.isEmpty() ? 0 : slotOfName(list, name);
    status = UsageError;
    if (slot == 0) {
        printStatus(Prefix + QStringLiteral("%1 has no place \"%2\"; its places: %3.")
                                 .arg(locationFilePath(), name, placeNames(list)));
        return std::nullopt;
    }
    status = Success;
    return StoredPlace{locationRecordOf(*file, slot), list.brightness};
}

int places(const Options &)
{
    const std::optional<IniSnapshot> file = readPlaces();
    if (!file)
        return PortFailure;
    const LocationList list = locationListOf(*file);
    if (list.names.isEmpty())
        printStatus(QStringLiteral("No places in %1.").arg(locationFilePath()));
    for (int slot = 1; slot <= list.names.size(); ++slot) {
        const QString &name = list.names[slot - 1];
        printResult(name.isEmpty() ? QStringLiteral("(empty slot %1)").arg(slot) : CommTrace::printableText(name));
    }
    printResult(QStringLiteral("Minimal brightness: ") + CommTrace::printableText(list.brightness));
    return Success;
}

int show(const Options &options)
{
    int status = Success;
    const std::optional<StoredPlace> place = placeOf(options, status);
    if (!place)
        return status;
    printEntries(placeEntries(place->record));
    return Success;
}

// The schedule of the place named by the operand: its times and the file's brightness. Nothing,
// with the exit status in `status`, as placeOf.
std::optional<DayNightSchedule> scheduleOfPlace(const Options &options, int &status)
{
    const std::optional<StoredPlace> place = placeOf(options, status);
    if (!place)
        return std::nullopt;
    return DayNightSchedule{place->brightness, place->record.name, place->record.times};
}

// A schedule the board cannot take (a name it cannot show, a brightness outside 0-100, a time
// that is not hhmm) is refused before the port is opened, as a usage error. With --verify, a
// completed upload is read back register by register.
int upload(const Options &options)
{
    int status = Success;
    const std::optional<DayNightSchedule> schedule = scheduleOfPlace(options, status);
    if (!schedule)
        return status;
    if (const QString problem = scheduleProblem(*schedule); !problem.isEmpty()) {
        printStatus(Prefix + problem);
        return UsageError;
    }
    const bool verify = options.has(VerifyFlag);
    return withBoard(options, [&schedule, verify](Operation &operation, const SerialSettings &) {
        const JobEnding ending = operation.run(scheduleUploadJob(*schedule)).ending;
        if (ending.completed())
            printResult(ending.text);
        const int uploaded = exitStatusOf(ending.outcome);
        if (!verify || !ending.completed())
            return uploaded;
        return printReadBack(operation.run(scheduleReadBackJob(*schedule)), uploaded);
    });
}

// Reads the board's schedule and prints what differs from the place; writes nothing.
int compare(const Options &options)
{
    int status = Success;
    const std::optional<DayNightSchedule> schedule = scheduleOfPlace(options, status);
    if (!schedule)
        return status;
    return withBoard(options, [&schedule](Operation &operation, const SerialSettings &) {
        const JobResult<DayNightDownload> download = operation.run(scheduleDownloadJob());
        if (!download.ending.ran())
            return exitStatusOf(download.ending.outcome);
        return printComparison(compareSchedule(*schedule, download.data), download.ending);
    });
}

// The file's record of a place, or a new one with empty descriptive fields.
LocationRecord storedPlace(const QString &name)
{
    const int slot = slotOfName(loadLocationList(), name);
    LocationRecord record = slot > 0 ? loadLocation(slot) : LocationRecord{};
    record.name = name;
    return record;
}

// The download on top of the file: its brightness, and the times of the place of the name read
// when the file has it, so that what did not answer keeps the file's value.
DayNightSchedule scheduleOf(const DayNightDownload &download)
{
    const LocationRecord stored = storedPlace(download.name.value_or(QString()));
    DayNightSchedule schedule{loadLocationList().brightness, stored.name, stored.times};
    applyDownload(download, schedule);
    return schedule;
}

// Stores the schedule under its name as Save Settings does; PortFailure when refused or not written.
int save(const DayNightSchedule &schedule)
{
    LocationRecord record = storedPlace(schedule.name);
    record.times = schedule.times;
    QString error;
    if (!saveLocation(record, schedule.brightness, &error)) {
        printStatus(QStringLiteral("The place was not saved: %1").arg(error));
        return PortFailure;
    }
    printStatus(QStringLiteral("Saved %1 in %2.").arg(record.name, locationFilePath()));
    return Success;
}

void printSchedule(const DayNightSchedule &schedule)
{
    for (const QString &line : scheduleLines(schedule))
        printResult(line);
}

// An incomplete download is printed, exits NoBoard and is not saved.
int download(const Options &options)
{
    std::optional<DayNightSchedule> schedule;
    const int status = withBoard(options, [&schedule](Operation &operation, const SerialSettings &) {
        const JobResult<DayNightDownload> download = operation.run(scheduleDownloadJob());
        if (download.ending.ran()) {
            schedule = scheduleOf(download.data);
            printSchedule(*schedule);
        }
        return exitStatusOf(download.ending.outcome);
    });
    if (!options.has(SaveFlag))
        return status;
    if (status != Success) {
        printStatus(QStringLiteral("The place was not saved: the download was incomplete."));
        return status;
    }
    return save(*schedule);
}

struct DayNightAction {
    const char *name;
    int operands;   // after the action's name
    int (*run)(const Options &);
};

constexpr DayNightAction Actions[] = {
    {"places", 0, places},
    {"show", 1, show},
    {"upload", 1, upload},
    {"download", 0, download},
    {"compare", 1, compare},
};

} // namespace

int runDayNight(const Options &options)
{
    const QString name = options.operands.value(0);
    for (const DayNightAction &action : Actions) {
        if (name != QLatin1String(action.name))
            continue;
        if (options.operands.size() != 1 + action.operands)
            return usageErrorOf(action.operands == 0 ? QStringLiteral("daynight %1 takes no place").arg(name)
                                                     : QStringLiteral("daynight %1 takes one place").arg(name));
        if (options.has(SaveFlag) && action.run != download)
            return usageErrorOf(QStringLiteral("daynight: --save goes only with download"));
        if (options.has(VerifyFlag) && action.run != upload)
            return usageErrorOf(QStringLiteral("daynight: --verify goes only with upload"));
        return action.run(options);
    }
    return usageErrorOf(QStringLiteral("daynight: the operation is places, show, upload, download or compare, not \"%1\"")
                            .arg(name));
}

} // namespace kestrix::cli
