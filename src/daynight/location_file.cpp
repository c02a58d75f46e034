#include "daynight/location_file.h"

#include "base/config_file.h"
#include "base/file_read.h"
#include "base/language.h"
#include "base/text_encoding.h"
#include "base/texts.h"
#include "comm/trace.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace kestrix {

namespace {

const QString SettingsSection = QStringLiteral("Location Settings");
const QString CountKey = QStringLiteral("Locations");
const QString BrightnessSection = QStringLiteral("Minimal Brightness");
const QString BrightnessKey = QStringLiteral("Brightness");
const QString LatitudeKey = QStringLiteral("Latitude");
const QString LongitudeKey = QStringLiteral("Longitude");
const QString TimeZoneKey = QStringLiteral("Timezone");

constexpr const char *MonthNames[MonthCount] = {"January", "February", "March",     "April",   "May",      "June",
                                                "July",    "August",   "September", "October", "November", "December"};
constexpr const char *TimeNames[DayTimeCount] = {"Rise", "Set", "Begin", "End"};

// The file's order of the times: Rise and Set of every month, then Begin and End of every month.
constexpr std::pair<DayTime, DayTime> TimePairs[] = {{DayTime::Rise, DayTime::Set}, {DayTime::Begin, DayTime::End}};

// More places than anyone keeps; a hand-edited count beyond it is not followed into the billions.
constexpr int MaxPlaces = 999;

QString slotKey(int slot)
{
    return QStringLiteral("Location%1").arg(slot);
}

// Every field of a record with its key, in the file's order.
template <class Record, class Visit>
void forEachField(Record &record, Visit visit)
{
    visit(LatitudeKey, record.latitude);
    visit(LongitudeKey, record.longitude);
    visit(TimeZoneKey, record.timeZone);
    for (const auto &[first, second] : TimePairs) {
        for (int month = 0; month < MonthCount; ++month) {
            visit(timeKey(month, first), record[first][std::size_t(month)]);
            visit(timeKey(month, second), record[second][std::size_t(month)]);
        }
    }
}

} // namespace

QString locationFilePath()
{
    return dataFilePath(QStringLiteral("Daynight.txt"));
}

QString timeKey(int month, DayTime time)
{
    return QString::fromLatin1(MonthNames[month]) + u' ' + QString::fromLatin1(TimeNames[int(time)]);
}

QStringList placeKeys()
{
    QStringList keys;
    for (const auto &entry : placeEntries(LocationRecord{}))
        keys << entry.first;
    return keys;
}

QList<std::pair<QString, QString>> placeEntries(const LocationRecord &record)
{
    QList<std::pair<QString, QString>> entries;
    forEachField(record, [&entries](const QString &key, const QString &value) { entries.append({key, value}); });
    return entries;
}

std::optional<IniSnapshot> readLocationFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return IniSnapshot();
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("%1: a link to the missing %2").arg(path, info.symLinkTarget());
        return std::nullopt;
    }
    const std::optional<QByteArray> bytes = readFileBytes(path, error);
    if (!bytes)
        return std::nullopt;
    QStringList lines;
    for (const TextLine &line : splitLines(*bytes).lines)
        lines << line.text;
    return IniSnapshot(lines);
}

LocationList locationListOf(const IniSnapshot &file)
{
    LocationList list;
    const int count = std::min(leadingNumber(file.read(SettingsSection, CountKey)).value_or(0), MaxPlaces);
    for (int slot = 1; slot <= count; ++slot)
        list.names << file.read(SettingsSection, slotKey(slot));
    list.brightness = file.read(BrightnessSection, BrightnessKey);
    return list;
}

LocationList loadLocationList(const QString &path)
{
    return locationListOf(IniFile(path).snapshot());
}

LocationRecord locationRecordOf(const IniSnapshot &file, int slot)
{
    LocationRecord record;
    record.name = file.read(SettingsSection, slotKey(slot));
    if (record.name.isEmpty())
        return record;
    forEachField(record, [&](const QString &key, QString &field) { field = file.read(record.name, key); });
    return record;
}

LocationRecord loadLocation(int slot, const QString &path)
{
    return locationRecordOf(IniFile(path).snapshot(), slot);
}

int slotOfName(const LocationList &list, const QString &name)
{
    for (int i = 0; i < list.names.size(); ++i) {
        if (list.names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

QString boardCodeProblem(const QString &name)
{
    QStringList missing;
    for (const char32_t code : name.toUcs4()) {
        const QString character = QString::fromUcs4(&code, 1);
        // A character without a code becomes "?" (each half of a surrogate pair does).
        const bool travels = code == U'?' || !toWindows1252(character).contains('?');
        if (!travels && !missing.contains(character))
            missing << character;
    }
    if (missing.isEmpty())
        return {};
    return LookupText(Text::NameWithoutBoardCode).arg(CommTrace::printableText(name), missing.join(u' '));
}

// The messages name the place with its control characters spelled out: the name may come from
// a board and the message may go to a terminal.
QString nameProblem(const QString &name)
{
    const QString shown = CommTrace::printableText(name);
    if (name.trimmed().isEmpty())
        return QStringLiteral("The place needs a name.");
    const bool control = std::ranges::any_of(name, [](QChar c) { return c.category() == QChar::Other_Control; });
    if (name.contains(u']') || control)
        return QStringLiteral("A place's name cannot hold \"]\", a line break or another control character: \"%1\".")
            .arg(shown);
    if (name.startsWith(u'=') || name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("A place's name cannot start with \"=\" or begin or end with a blank: \"%1\".").arg(shown);
    // The file's reader takes one pair of enclosing quotes off a value and cuts it to 199
    // characters: such a name would not find its own section again.
    const bool quoted = name.size() >= 2 && (name.front() == u'"' || name.front() == u'\'') && name.back() == name.front();
    if (quoted || name.size() > IniFile::MaxValueLength)
        return QStringLiteral("A place's name cannot be enclosed in quotes or longer than %1 characters.")
            .arg(IniFile::MaxValueLength);
    return boardCodeProblem(name);
}

namespace {

// The entries that store the record in the file as read: its slot, the count when the name is
// new, the brightness and the record's 51 keys.
QList<IniEntry> saveEntries(const IniSnapshot &file, const LocationRecord &record, const QString &brightness)
{
    const LocationList list = locationListOf(file);
    QList<IniEntry> entries;
    const int slot = slotOfName(list, record.name);
    if (slot > 0) {
        entries.append({SettingsSection, slotKey(slot), record.name});
    } else {
        const int count = int(list.names.size()) + 1;
        entries.append({SettingsSection, slotKey(count), record.name});
        entries.append({SettingsSection, CountKey, QString::number(count)});
    }
    entries.append({BrightnessSection, BrightnessKey, brightness});
    for (const auto &[key, value] : placeEntries(record))
        entries.append({record.name, key, value});
    return entries;
}

} // namespace

bool saveLocation(const LocationRecord &record, const QString &brightness, QString *error, const QString &path)
{
    if (const QString problem = nameProblem(record.name); !problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    // The slot is decided from the file as read under the write lock: a place another saver
    // added meanwhile is in that reading and keeps its slot.
    // Save writes a file delivered read-only, as the operator expects.
    return IniFile(path, {.makeWritable = true}).update(
        [&](const IniSnapshot &file) { return IniChange::write(saveEntries(file, record, brightness)); }, error);
}

} // namespace kestrix
