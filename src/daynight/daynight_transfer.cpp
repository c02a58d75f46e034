#include "daynight/daynight_transfer.h"

#include "base/language.h"
#include "base/text_digits.h"
#include "base/text_encoding.h"
#include "base/texts.h"
#include "comm/protocol.h"
#include "comm/register_read_back.h"
#include "comm/trace.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kestrix {

namespace {

using namespace std::chrono_literals;

constexpr Milliseconds RegisterPause = 10ms;
constexpr int BrightnessRegister = 893;
constexpr int FirstNameRegister = 894;
constexpr int NameLength = 9;
constexpr int FirstTimeRegister = 903;
constexpr int RegistersPerMonth = 8;
constexpr int MaxBrightness = 100;
// Latitude, Longitude and Timezone come first in a place's keys; the 48 times follow.
constexpr int DescriptiveKeys = 3;

// A month's registers: hours and minutes of Rise, Begin, End and Set.
constexpr DayTime MonthOrder[] = {DayTime::Rise, DayTime::Begin, DayTime::End, DayTime::Set};

const QString UnsetTime = QStringLiteral("255255");

QString hex(int value)
{
    return hexByte(std::uint8_t(value & 0xff)).toUpper();
}

int decimal(const QString &text)
{
    return leadingNumber(text).value_or(0);
}

// Hours are the first two characters of "hhmm", minutes the last two; a shorter text is used
// whole for both; an empty text gives 0.
int timePart(const QString &time, bool minutes)
{
    if (time.size() < 2)
        return decimal(time);
    return decimal(minutes ? time.right(2) : time.left(2));
}

// "hhmm" from 0000 to 2359, or empty: no time.
bool isBoardTime(const QString &time)
{
    if (time.isEmpty())
        return true;
    return time.size() == 4 && allAsciiDigits(time) && time.left(2).toInt() < 24 && time.right(2).toInt() < 60;
}

bool isBoardBrightness(const QString &brightness)
{
    return brightness.size() <= 3 && allAsciiDigits(brightness) && brightness.toInt() <= MaxBrightness;
}

// The first time of the schedule the board cannot take, in the file's order, as its message.
QString timeProblem(const DayNightSchedule &schedule)
{
    LocationRecord record;
    record.times = schedule.times;
    for (const auto &[key, time] : placeEntries(record).mid(DescriptiveKeys)) {
        if (!isBoardTime(time))
            return LookupText(Text::TimeNotValid).arg(key, time);
    }
    return {};
}

struct TimeRegister {
    DayTime time;
    int month;
    bool minutes;
};

TimeRegister timeRegister(int reg)
{
    const int offset = reg - FirstTimeRegister;
    return {MonthOrder[(offset % RegistersPerMonth) / 2], offset / RegistersPerMonth, offset % 2 == 1};
}

// A register's answer as the text it came in ("50", "05"); nothing when it did not answer.
std::optional<QString> queryText(Exchange &exchange, int reg)
{
    const std::optional<std::string> answer =
        exchange.query(Frame::registerRead(Frame::registerNumber(reg)), 1, RegisterPause);
    if (!answer)
        return std::nullopt;
    return QString::fromStdString(*answer);
}

// One step of the download: the register's text, a register that did not answer noted.
std::optional<QString> readText(Exchange &exchange, int reg)
{
    const std::optional<QString> text = queryText(exchange, reg);
    exchange.step();
    if (!text)
        exchange.noteUnanswered();
    return text;
}

void readName(Exchange &exchange, DayNightDownload &download)
{
    QByteArray codes;
    bool answered = true;
    for (int reg = FirstNameRegister; reg < FirstNameRegister + NameLength; ++reg) {
        const std::optional<QString> text = readText(exchange, reg);
        answered = answered && text;
        if (text)
            codes += char(decimal(*text));
    }
    if (answered)
        download.name = boardNameOf(codes);
}

void readTimes(Exchange &exchange, DayNightDownload &download)
{
    for (int reg = FirstTimeRegister; reg <= LastScheduleRegister && !exchange.cancelled(); reg += 2) {
        const TimeRegister at = timeRegister(reg);
        const std::optional<QString> hours = readText(exchange, reg);
        const std::optional<QString> minutes = readText(exchange, reg + 1);
        if (hours && minutes) {
            const QString time = *hours + *minutes;
            download.times[std::size_t(at.time)][std::size_t(at.month)] = time == UnsetTime ? QString() : time;
        }
    }
}

} // namespace

StatusForm dayNightStatusForm()
{
    return StatusForm::dialog({Text::CheckPortAndSpeed});
}

QString scheduleProblem(const DayNightSchedule &schedule)
{
    if (const QString problem = boardCodeProblem(schedule.name); !problem.isEmpty())
        return problem;
    if (!isBoardBrightness(schedule.brightness))
        return LookupText(Text::BrightnessOutOfRange).arg(schedule.brightness);
    return timeProblem(schedule);
}

QString scheduleRegisterValue(const DayNightSchedule &schedule, int reg)
{
    if (reg == BrightnessRegister)
        return hex(decimal(schedule.brightness));
    if (reg < FirstTimeRegister) {
        const QByteArray name = toWindows1252(schedule.name);
        const int position = reg - FirstNameRegister;
        return hex(position < name.size() ? static_cast<unsigned char>(name[position]) : 0);
    }
    const TimeRegister at = timeRegister(reg);
    return hex(timePart(schedule.times[std::size_t(at.time)][std::size_t(at.month)], at.minutes));
}

QString scheduleReadForm(const DayNightSchedule &schedule, int reg)
{
    return twoDigits(scheduleRegisterValue(schedule, reg).toInt(nullptr, 16));
}

int scheduleTimeRegister(DayTime time, int month)
{
    const int index = int(std::ranges::find(MonthOrder, time) - std::begin(MonthOrder));
    return FirstTimeRegister + RegistersPerMonth * month + 2 * index;
}

BoardJob<NoData> scheduleUploadJob(const DayNightSchedule &schedule)
{
    BoardJob<NoData> job;
    job.texts = {Text::TimesUploading, Text::TimesUploaded, {}, dayNightStatusForm()};
    job.body = [schedule](Exchange &exchange, NoData &) {
        exchange.setTotalSteps(LastScheduleRegister - FirstScheduleRegister + 1);
        for (int reg = FirstScheduleRegister; reg <= LastScheduleRegister; ++reg) {
            exchange.writeRegister(reg, scheduleRegisterValue(schedule, reg).toStdString(), RegisterPause);
            if (!exchange.step())
                return;
        }
    };
    return job;
}

BoardJob<std::vector<RegisterCheck>> scheduleReadBackJob(const DayNightSchedule &schedule)
{
    std::vector<RegisterCheck> checks;
    for (int reg = FirstScheduleRegister; reg <= LastScheduleRegister; ++reg)
        checks.push_back({reg, scheduleReadForm(schedule, reg), std::nullopt});
    return registerReadBackJob(
        {Text::TimesDownloading, Text::TimesDownloaded, Text::TimesDownloadIncomplete, dayNightStatusForm()},
        std::move(checks), queryText);
}

BoardJob<DayNightDownload> scheduleDownloadJob()
{
    BoardJob<DayNightDownload> job;
    job.texts = {Text::TimesDownloading, Text::TimesDownloaded, Text::TimesDownloadIncomplete, dayNightStatusForm()};
    job.texts.readsOnly = true;
    job.body = [](Exchange &exchange, DayNightDownload &download) {
        exchange.setTotalSteps(LastScheduleRegister - FirstScheduleRegister + 1);
        download.brightness = readText(exchange, BrightnessRegister);
        readName(exchange, download);
        readTimes(exchange, download);
    };
    return job;
}

QString boardNameOf(const QByteArray &codes)
{
    QByteArray name = codes;
    name.removeIf([](char code) { return code == 0; });
    return fromWindows1252(name);
}

void applyDownload(const DayNightDownload &download, DayNightSchedule &schedule)
{
    schedule.brightness = download.brightness.value_or(schedule.brightness);
    schedule.name = download.name.value_or(schedule.name);
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month) {
            const std::optional<QString> &read = download.times[std::size_t(time)][std::size_t(month)];
            if (read)
                schedule.times[std::size_t(time)][std::size_t(month)] = *read;
        }
    }
}

QStringList scheduleLines(const DayNightSchedule &schedule)
{
    LocationRecord record;
    record.times = schedule.times;
    QStringList lines{QStringLiteral("Name=") + CommTrace::printableText(schedule.name),
                      QStringLiteral("Brightness=") + CommTrace::printableText(schedule.brightness)};
    for (const auto &[key, time] : placeEntries(record).mid(DescriptiveKeys))
        lines << key + u'=' + CommTrace::printableText(time);
    return lines;
}

} // namespace kestrix
