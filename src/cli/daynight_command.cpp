// kestrix-cli daynight places | show PLACE | upload PLACE | download [--save]: the day and night
// dialog's place list, a place's record, Upload of a place's schedule, and Download (and Save
// Settings), on Daynight.txt in the data folder.

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "daynight/daynight_transfer.h"
#include "daynight/location_file.h"

#include <QHash>

namespace kestrix::cli {

namespace {

const QString SaveFlag = QStringLiteral("save");
// Latitude, Longitude and Timezone come first in a place's keys; the 48 times follow.
constexpr int DescriptiveKeys = 3;

// Every key of a place's section with the record's value.
QHash<QString, QString> valuesOf(const LocationRecord &record)
{
    QHash<QString, QString> values{
        {QStringLiteral("Latitude"), record.latitude},
        {QStringLiteral("Longitude"), record.longitude},
        {QStringLiteral("Timezone"), record.timeZone},
    };
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month)
            values.insert(timeKey(month, DayTime(time)), record.times[std::size_t(time)][std::size_t(month)]);
    }
    return values;
}

// The keys in the file's order, each as KEY=value.
void printKeys(const QStringList &keys, const LocationRecord &record)
{
    const QHash<QString, QString> values = valuesOf(record);
    for (const QString &key : keys)
        printResult(key + u'=' + values.value(key));
}

QString placeNames(const LocationList &list)
{
    QStringList names;
    for (const QString &name : list.names) {
        if (!name.isEmpty())
            names << name;
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// The record of the place named by the operand, matched ignoring case; nothing, with a message
// listing the places, when the file has no such place.
std::optional<LocationRecord> placeOf(const Options &options)
{
    const QString name = options.operands.value(1);
    const LocationList list = loadLocationList();
    const int slot = name.isEmpty() ? 0 : slotOfName(list, name);
    if (slot == 0) {
        printStatus(QStringLiteral("kestrix-cli: daynight: %1 has no place \"%2\"; its places: %3.")
                        .arg(locationFilePath(), name, placeNames(list)));
        return std::nullopt;
    }
    return loadLocation(slot);
}

int places(const Options &)
{
    const LocationList list = loadLocationList();
    if (list.names.isEmpty())
        printStatus(QStringLiteral("No places in %1.").arg(locationFilePath()));
    for (int slot = 1; slot <= list.names.size(); ++slot) {
        const QString &name = list.names[slot - 1];
        printResult(name.isEmpty() ? QStringLiteral("(empty slot %1)").arg(slot) : name);
    }
    printResult(QStringLiteral("Minimal brightness: ") + list.brightness);
    return Success;
}

int show(const Options &options)
{
    const std::optional<LocationRecord> record = placeOf(options);
    if (!record)
        return UsageError;
    printKeys(placeKeys(), *record);
    return Success;
}

int upload(const Options &options)
{
    const std::optional<LocationRecord> record = placeOf(options);
    if (!record)
        return UsageError;
    const DayNightSchedule schedule{loadLocationList().brightness, record->name, record->times};
    return withBoard(options, [&schedule](Operation &operation, const SerialSettings &) {
        const JobEnding ending = operation.run(scheduleUploadJob(schedule)).ending;
        if (ending.completed())
            printResult(ending.text);
        return exitStatusOf(ending.outcome);
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
    printResult(QStringLiteral("Name=") + schedule.name);
    printResult(QStringLiteral("Brightness=") + schedule.brightness);
    LocationRecord record;
    record.times = schedule.times;
    printKeys(placeKeys().mid(DescriptiveKeys), record);
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
        return action.run(options);
    }
    return usageErrorOf(
        QStringLiteral("daynight: the operation is places, show, upload or download, not \"%1\"").arg(name));
}

} // namespace kestrix::cli
