#pragma once
// The location file Daynight.txt in the data folder: the places an operator keeps day and night
// schedules for, each in a section of its own with four times per month, the list of places in
// [Location Settings] and one minimal night brightness in [Minimal Brightness]. Other sections
// and keys of the file stay as they are.

#include "base/ini_file.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace kestrix {

inline constexpr int MonthCount = 12;
using MonthTimes = std::array<QString, MonthCount>;   // "hhmm" texts, January first

// The four times of a day and night schedule.
enum class DayTime { Rise, Set, Begin, End };
inline constexpr int DayTimeCount = 4;

struct LocationRecord {
    QString name;
    QString latitude;
    QString longitude;
    QString timeZone;
    std::array<MonthTimes, DayTimeCount> times;   // by DayTime

    MonthTimes &operator[](DayTime time) { return times[std::size_t(time)]; }
    const MonthTimes &operator[](DayTime time) const { return times[std::size_t(time)]; }
    bool operator==(const LocationRecord &) const = default;
};

struct LocationList {
    QStringList names;     // slot 1 first; a missing Location key gives an empty entry
    QString brightness;    // the minimal night brightness of the whole file
};

QString locationFilePath();

// "January Rise" ... "December End".
QString timeKey(int month, DayTime time);
// The 51 keys of a place's section in the order Save writes them: Latitude, Longitude,
// Timezone, then Rise and Set of every month, then Begin and End of every month.
QStringList placeKeys();
// The 51 keys with the record's values, in that order.
QList<std::pair<QString, QString>> placeEntries(const LocationRecord &record);

// The file as it is now; an empty reading when there is no file (no places yet). Nothing, with
// "path: reason" in *error, when what stands there cannot be read: a folder, a file without read
// permission, a link to a missing file.
std::optional<IniSnapshot> readLocationFile(const QString &path = locationFilePath(), QString *error = nullptr);

LocationList locationListOf(const IniSnapshot &file);
// The list of the file; an empty one when the file cannot be read (readLocationFile says why).
LocationList loadLocationList(const QString &path = locationFilePath());

// The place of slot `slot` (1-based); missing keys give empty fields.
LocationRecord locationRecordOf(const IniSnapshot &file, int slot);
LocationRecord loadLocation(int slot, const QString &path = locationFilePath());
// The place whose name matches `name` exactly, ignoring case; its slot, or 0 when none.
int slotOfName(const LocationList &list, const QString &name);

// Why a name cannot travel to the board: it names the characters that have no Windows-1252 code
// (they would arrive as "?"), each once. Empty when every character can.
QString boardCodeProblem(const QString &name);

// Why a name cannot be a place's section ("]", a line break or another control character, "="
// or blanks at its start, enclosing quotes, more than 199 characters, an empty name) or cannot
// travel to the board (boardCodeProblem); empty when it can.
QString nameProblem(const QString &name);

// Stores the record under its name (a name already in the list, ignoring case, keeps its slot;
// a new one is added at the end), the minimal brightness, and the record's 51 keys, in one
// atomic replacement of the file. The slot is chosen from the file as read under its write
// lock, so that savers running at the same time each keep their place. A read-only file is made writable first. False, with the
// reason in *error, when the name is refused or the file cannot be written; the file is then
// as it was.
bool saveLocation(const LocationRecord &record, const QString &brightness, QString *error = nullptr,
                  const QString &path = locationFilePath());

} // namespace kestrix
