#include "daynight/daynight_compare.h"


namespace kestrix {

namespace {

constexpr int BrightnessRegister = 893;
constexpr int FirstNameRegister = 894;
constexpr int LastNameRegister = 902;
constexpr DayTime FileOrder[] = {DayTime::Rise, DayTime::Set, DayTime::Begin, DayTime::End};

const QString UnsetTime = QStringLiteral("255255");

QString shown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("(none)") : value;
}

// The name Download reads back after an upload of `file`.
QString nameReadBack(const DayNightSchedule &file)
{
    QByteArray codes;
    for (int reg = FirstNameRegister; reg <= LastNameRegister; ++reg)
        codes += char(scheduleReadForm(file, reg).toInt());
    return boardNameOf(codes);
}

// A time Download reads back after an upload of `file`: hours and minutes, empty for 255/255.
QString timeReadBack(const DayNightSchedule &file, DayTime time, int month)
{
    const int reg = scheduleTimeRegister(time, month);
    const QString text = scheduleReadForm(file, reg) + scheduleReadForm(file, reg + 1);
    return text == UnsetTime ? QString() : text;
}

void compareItem(const QString &item, const QString &registers, const QString &fileValue, const QString &expected,
                 const std::optional<QString> &read, ItemComparison &result)
{
    if (!read)
        result.unanswered.push_back({QStringLiteral("%1 (%2)").arg(item, registers), shown(fileValue)});
    else if (*read != expected)
        result.differing.push_back({item, shown(fileValue), shown(*read)});
}

} // namespace

ItemComparison compareSchedule(const DayNightSchedule &file, const DayNightDownload &board)
{
    ItemComparison result;
    compareItem(QStringLiteral("Brightness"), QStringLiteral("R%1").arg(BrightnessRegister), file.brightness,
                scheduleReadForm(file, BrightnessRegister), board.brightness, result);
    compareItem(QStringLiteral("Name"), QStringLiteral("R%1-R%2").arg(FirstNameRegister).arg(LastNameRegister),
                file.name, nameReadBack(file), board.name, result);
    // Rise and Set of every month, then Begin and End, as the file orders its keys.
    for (int pair = 0; pair < 2; ++pair) {
        for (int month = 0; month < MonthCount; ++month) {
            for (const DayTime time : {FileOrder[2 * pair], FileOrder[2 * pair + 1]}) {
                const int reg = scheduleTimeRegister(time, month);
                compareItem(timeKey(month, time), QStringLiteral("R%1 R%2").arg(reg).arg(reg + 1),
                            file.times[std::size_t(time)][std::size_t(month)], timeReadBack(file, time, month),
                            board.times[std::size_t(time)][std::size_t(month)], result);
            }
        }
    }
    return result;
}

} // namespace kestrix
