// Arbitrary bytes as Daynight.txt: the list and every slot's place are read, then one place is
// saved into a copy of the file and read again. The place is slot 1's record; bytes after a
// NUL (in a file without a UTF-16 byte order mark) replace its fields line by line: the name,
// the brightness, then the 51 values in the order Save writes them, each as it stands (blanks,
// quotes, any length). Without a name the first line of the file, cut to 9 characters, names
// it. Checked:
// - a name nameProblem refuses, or any other refused save, leaves the file byte for byte as it
//   was and says why;
// - after a save the list holds the name at its old slot (ignoring case) or, when new, at the
//   end, the list's length growing by one; as often as before, or once when new (a list that
//   held the name twice keeps both);
// - loading that slot gives back the name and the 51 values, and the list the brightness, as
//   the reader gives back what was written: trimmed, without one pair of enclosing quotes ("x"
//   or 'x') and cut to 199 characters. A name that does not read back as written (quoted, or
//   longer than 199 characters) is saved but cannot be loaded by its slot: the list gives the
//   name as read and its section is another one;
// - every key of the file the save did not write reads as before.
// A count of places beyond MostPlaces is not read: the list would hold that many entries.

#include "fuzz_support.h"
#include "base/ini_file.h"
#include "base/text_encoding.h"
#include "daynight/location_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <optional>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

const QString SettingsSection = QStringLiteral("Location Settings");
const QString CountKey = QStringLiteral("Locations");
const QString BrightnessSection = QStringLiteral("Minimal Brightness");
const QString BrightnessKey = QStringLiteral("Brightness");

constexpr int MostPlaces = 1000;

// What the reader gives back for a written value.
QString asRead(const QString &written)
{
    QString value = written.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(IniFile::MaxValueLength);
}

QStringList fieldsOf(const LocationRecord &record)
{
    QStringList fields{record.latitude, record.longitude, record.timeZone};
    for (const auto &[first, second] : {std::pair{DayTime::Rise, DayTime::Set}, std::pair{DayTime::Begin, DayTime::End}}) {
        for (int month = 0; month < MonthCount; ++month)
            fields << record[first][std::size_t(month)] << record[second][std::size_t(month)];
    }
    return fields;
}

void setFields(LocationRecord &record, const QStringList &fields)
{
    const QStringList keys = placeKeys();
    record.latitude = fields.value(0, record.latitude);
    record.longitude = fields.value(1, record.longitude);
    record.timeZone = fields.value(2, record.timeZone);
    for (int i = 3; i < keys.size() && i < fields.size(); ++i) {
        for (int time = 0; time < DayTimeCount; ++time) {
            for (int month = 0; month < MonthCount; ++month) {
                if (keys[i] == timeKey(month, DayTime(time)))
                    record[DayTime(time)][std::size_t(month)] = fields[i];
            }
        }
    }
}

int occurrences(const QStringList &names, const QString &name)
{
    int count = 0;
    for (const QString &entry : names)
        count += entry.compare(name, Qt::CaseInsensitive) == 0;
    return count;
}

// Every section and key of the file, as the reader finds them.
QList<std::pair<QString, QString>> keysOf(const QByteArray &bytes)
{
    QList<std::pair<QString, QString>> keys;
    QString section;
    for (const TextLine &line : splitLines(bytes).lines) {
        const QString trimmed = line.text.trimmed();
        if (trimmed.startsWith(u'[') && trimmed.contains(u']'))
            section = trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
        else if (trimmed.indexOf(u'=') > 0 && !trimmed.startsWith(u';'))
            keys.append({section, trimmed.left(trimmed.indexOf(u'=')).trimmed()});
    }
    return keys;
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Save {
    LocationRecord record;
    QString brightness;
};

// The place to save: slot 1's record with what `overrides` gives in place of its fields.
Save saveOf(const IniSnapshot &file, const QByteArray &bytes, const std::optional<QByteArray> &overrides)
{
    Save save{locationRecordOf(file, 1), locationListOf(file).brightness};
    if (overrides) {
        QStringList lines;
        for (const QByteArray &line : overrides->split('\n'))
            lines << decodeLine(line, TextForm::EightBit);
        save.record.name = lines.value(0, save.record.name);
        save.brightness = lines.value(1, save.brightness);
        setFields(save.record, lines.mid(2));
    }
    if (save.record.name.isEmpty()) {
        const TextLines lines = splitLines(bytes);
        if (!lines.lines.isEmpty())
            save.record.name = lines.lines.first().text.left(9);
    }
    return save;
}

bool holdsLineBreakOrNul(const QString &value)
{
    return value.contains(u'\n') || value.contains(u'\r') || value.contains(QChar(0));
}

void checkRefused(const Save &save, const QByteArray &before, const QByteArray &after, const QString &error)
{
    check(after == before && !error.isEmpty());
    if (!nameProblem(save.record.name).isEmpty())
        return;
    // Otherwise a value that cannot be a line, or a UTF-16 file cut in a character.
    bool lineBreak = holdsLineBreakOrNul(save.brightness);
    for (const QString &field : fieldsOf(save.record))
        lineBreak = lineBreak || holdsLineBreakOrNul(field);
    check(lineBreak || (splitLines(before).form != TextForm::EightBit && before.size() % 2 != 0));
}

void checkSaved(const Save &save, const QByteArray &before, const IniSnapshot &old, const QString &path)
{
    const IniSnapshot now = IniFile(path).snapshot();
    const LocationList oldList = locationListOf(old);
    const LocationList list = locationListOf(now);
    const QString &name = save.record.name;
    const int oldSlot = slotOfName(oldList, name);
    const int slot = oldSlot > 0 ? oldSlot : int(oldList.names.size()) + 1;
    check(list.names.size() == (oldSlot > 0 ? oldList.names.size() : oldList.names.size() + 1));
    check(list.names[slot - 1] == asRead(name));
    check(list.brightness == asRead(save.brightness));

    if (asRead(name) == name) {
        check(slotOfName(list, name) == slot);
        check(occurrences(list.names, name) == std::max(1, occurrences(oldList.names, name)));
        const LocationRecord loaded = locationRecordOf(now, slot);
        check(loaded.name == name);
        const QStringList written = fieldsOf(save.record);
        const QStringList read = fieldsOf(loaded);
        for (int i = 0; i < written.size(); ++i)
            check(read[i] == asRead(written[i]));
    }

    const QStringList keys = placeKeys();
    for (const auto &[section, key] : keysOf(before)) {
        const bool written = (same(section, SettingsSection)
                              && ((oldSlot == 0 && same(key, CountKey)) || same(key, QStringLiteral("Location%1").arg(slot))))
            || (same(section, BrightnessSection) && same(key, BrightnessKey))
            || (same(section, name) && keys.contains(key, Qt::CaseInsensitive));
        if (!written)
            check(now.value(section, key) == old.value(section, key));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff") ? -1 : bytes.indexOf('\0');
    const QByteArray before = split < 0 ? bytes : bytes.left(split);
    const std::optional<QByteArray> overrides = split < 0 ? std::nullopt : std::optional(bytes.mid(split + 1));

    const QString path = QDir(folder.path()).filePath(QStringLiteral("Daynight.txt"));
    writeAll(path, before);
    const IniSnapshot file = IniFile(path).snapshot();
    if (leadingNumber(file.read(SettingsSection, CountKey)).value_or(0) > MostPlaces)
        return 0;
    const LocationList list = locationListOf(file);
    for (int slot = 1; slot <= list.names.size(); ++slot)
        check(locationRecordOf(file, slot).name == list.names[slot - 1]);

    const Save save = saveOf(file, before, overrides);
    QString error;
    if (saveLocation(save.record, save.brightness, &error, path))
        checkSaved(save, before, file, path);
    else
        checkRefused(save, before, readAll(path), error);
    return 0;
}
