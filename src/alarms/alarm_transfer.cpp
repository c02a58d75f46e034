#include "alarms/alarm_transfer.h"

#include "base/texts.h"
#include "base/text_digits.h"
#include "base/text_encoding.h"
#include "comm/protocol.h"
#include "comm/register_read_back.h"

#include <algorithm>
#include <utility>

namespace kestrix {

namespace {

using namespace std::chrono_literals;

constexpr Milliseconds ParameterPause = 10ms;
constexpr Milliseconds EntryPause = 30ms;
constexpr Milliseconds ClearPause = 10ms;
constexpr Milliseconds ReadPause = 10ms;

constexpr int FirstParameterRegister = 101;
constexpr char UnsetValue[] = "FF";

// An alarm type of one character gets "0" behind it: the type sits in the upper digit.
QString padBack(const QString &text)
{
    return text.size() == 1 ? text + u'0' : text;
}

// The parameter of register 101-106, by its row in key order.
const QString &parameterOfRegister(const AlarmParameters &parameters, int reg)
{
    const auto rows = alarmParameterTable();
    const auto row = std::ranges::find(rows, reg, &AlarmParameterInfo::reg);
    return parameters[std::size_t(row - rows.begin())];
}

int parameterIndexOfRegister(int reg)
{
    const auto rows = alarmParameterTable();
    return int(std::ranges::find(rows, reg, &AlarmParameterInfo::reg) - rows.begin());
}

// One register write of the upload.
struct AlarmWrite {
    int reg;
    QString value;
    Milliseconds pause;
};

std::vector<AlarmWrite> uploadWrites(const Alarms &alarms)
{
    std::vector<AlarmWrite> writes;
    for (int reg = FirstParameterRegister; reg < FirstParameterRegister + AlarmParameterCount; ++reg)
        writes.push_back({reg, padToTwo(parameterOfRegister(alarms.parameters, reg)), ParameterPause});
    for (int program = 0; program < AlarmProgramCount; ++program) {
        const AlarmProgram entries = packed(alarms.programs[program]);
        for (int position = 0; position < AlarmSlots && entries[position].filled(); ++position) {
            const AlarmEntry &entry = entries[position];
            const int base = alarmEntryRegister(program, position);
            const QString hour = entry.hour.trimmed();
            writes.push_back({base, padToTwo(hour), EntryPause});
            if (isMarkerHour(hour))
                continue;
            writes.push_back({base + 1, padToTwo(entry.minute.trimmed()), EntryPause});
            writes.push_back({base + 2, padBack(entry.type.trimmed()), EntryPause});
        }
    }
    return writes;
}

// What a register of each field can hold besides the unset byte: two decimal digits up to a
// limit (a type is its upper digit), and the hour markers.
struct FieldRange {
    int highest;   // of the two digits read as a decimal number
    bool markers;  // 25 and 29
};
constexpr FieldRange ParameterRange{99, false};
constexpr FieldRange HourRange{23, true};
constexpr FieldRange MinuteRange{59, false};
constexpr FieldRange TypeRange{99, false};
constexpr std::uint8_t Unset = 0xff;

bool holds(const FieldRange &range, std::uint8_t byte)
{
    const int high = byte >> 4;
    const int low = byte & 0x0f;
    if (byte == Unset || (range.markers && (byte == 0x25 || byte == 0x29)))
        return true;
    return high < 10 && low < 10 && high * 10 + low <= range.highest;
}

// A register's byte as two lower-case hexadecimal digits; "ff" (unset) as empty. A byte its
// field cannot hold (a board sending garbage) counts as no answer.
std::optional<QString> readValue(Exchange &exchange, int reg, const FieldRange &range)
{
    const std::optional<std::uint8_t> byte = exchange.readRegister(reg, ReadPause);
    exchange.step();
    if (!byte || !holds(range, *byte)) {
        exchange.noteUnanswered();
        return std::nullopt;
    }
    return *byte == Unset ? QString() : hexByte(*byte);
}

// The type sits in the upper digit; "f" is an unset byte.
std::optional<QString> typeOf(const std::optional<QString> &read)
{
    if (!read)
        return std::nullopt;
    const QString type = read->left(1);
    return type == QLatin1String("f") ? QString() : type;
}

void readProgram(Exchange &exchange, int program, AlarmDownload &download)
{
    for (int slot = 0; slot < AlarmSlots && !exchange.cancelled(); ++slot) {
        const int base = alarmEntryRegister(program, slot);
        AlarmSlotRead read{slot, readValue(exchange, base, HourRange), {}, {}};
        if (!read.hour)
            return;
        if (isMarkerHour(*read.hour)) {
            read.minute = read.type = QString();
        } else {
            read.minute = readValue(exchange, base + 1, MinuteRange);
            read.type = typeOf(readValue(exchange, base + 2, TypeRange));
        }
        download.slots[program].push_back(read);
        if (*read.hour == EndOfProgramHour)
            return;
    }
}

// A register's byte as a download shows it: "ff" (unset) as empty.
QString downloadForm(std::uint8_t byte)
{
    return byte == Unset ? QString() : hexByte(byte);
}

// A value sent as the byte the board stores from it, shown so; a value that is no byte (the
// board keeps its old one) as it was sent.
QString downloadFormOfSent(const QString &value)
{
    bool ok = false;
    const uint byte = value.toUInt(&ok, 16);
    if (!ok || value.size() > 2 || value.startsWith(u'+'))
        return value.toLower();
    return downloadForm(std::uint8_t(byte));
}

// Frames a download reads at the most: parameters, then three per slot.
constexpr int MaximumReads = AlarmParameterCount + AlarmProgramCount * AlarmSlots * 3;

} // namespace

StatusForm alarmStatusForm()
{
    return StatusForm::dialog({Text::CheckPortAndSpeed});
}

BoardJob<NoData> alarmUploadJob(const Alarms &alarms)
{
    BoardJob<NoData> job;
    job.texts = {Text::TimesUploading, Text::TimesUploaded, Text::AlarmFieldsNotSent, alarmStatusForm()};
    job.body = [writes = uploadWrites(alarms)](Exchange &exchange, NoData &) {
        exchange.setTotalSteps(int(writes.size()));
        for (const AlarmWrite &write : writes) {
            // A line break would end the frame early and send the rest as a frame of its own.
            const QByteArray value = toWindows1252(write.value);
            if (value.contains('\r') || value.contains('\n'))
                exchange.noteUnanswered();
            else
                exchange.writeRegister(write.reg, value.toStdString(), write.pause);
            if (!exchange.step())
                return;
        }
    };
    return job;
}

BoardJob<std::vector<RegisterCheck>> alarmReadBackJob(const Alarms &alarms)
{
    std::vector<RegisterCheck> checks;
    for (const AlarmWrite &write : uploadWrites(alarms)) {
        const QByteArray value = toWindows1252(write.value);
        if (!value.contains('\r') && !value.contains('\n'))
            checks.push_back({write.reg, downloadFormOfSent(write.value), std::nullopt});
    }
    return registerReadBackJob(
        {Text::TimesDownloading, Text::TimesDownloaded, Text::TimesDownloadIncomplete, alarmStatusForm()},
        std::move(checks), registerByteRead(ReadPause, downloadForm));
}

BoardJob<AlarmDownload> alarmDownloadJob()
{
    BoardJob<AlarmDownload> job;
    job.texts = {Text::TimesDownloading, Text::TimesDownloaded, Text::TimesDownloadIncomplete, alarmStatusForm()};
    job.texts.readsOnly = true;
    job.body = [](Exchange &exchange, AlarmDownload &download) {
        exchange.setTotalSteps(MaximumReads);
        for (int reg = FirstParameterRegister; reg < FirstParameterRegister + AlarmParameterCount; ++reg)
            download.parameters[std::size_t(parameterIndexOfRegister(reg))] = readValue(exchange, reg, ParameterRange);
        for (int program = 0; program < AlarmProgramCount; ++program)
            readProgram(exchange, program, download);
    };
    return job;
}

void applyDownload(const AlarmDownload &download, Alarms &alarms)
{
    for (int i = 0; i < AlarmParameterCount; ++i) {
        if (download.parameters[std::size_t(i)])
            alarms.parameters[std::size_t(i)] = *download.parameters[std::size_t(i)];
    }
    for (int program = 0; program < AlarmProgramCount; ++program) {
        for (const AlarmSlotRead &read : download.slots[program]) {
            AlarmEntry &entry = alarms.programs[program][read.slot];
            entry.hour = read.hour.value_or(entry.hour);
            entry.minute = read.minute.value_or(entry.minute);
            entry.type = read.type.value_or(entry.type);
        }
    }
}

BoardJob<NoData> alarmClearJob()
{
    BoardJob<NoData> job;
    job.texts = {Text::AlarmsClearing, Text::AlarmsCleared, {}, alarmStatusForm()};
    job.body = [](Exchange &exchange, NoData &) {
        exchange.setTotalSteps(AlarmParameterCount + AlarmProgramCount);
        for (int reg = FirstParameterRegister; reg < FirstParameterRegister + AlarmParameterCount; ++reg) {
            exchange.writeRegister(reg, UnsetValue, ClearPause);
            if (!exchange.step())
                return;
        }
        for (int program = 0; program < AlarmProgramCount; ++program) {
            exchange.writeRegister(alarmEntryRegister(program, 0), EndOfProgramHour.toStdString(), ClearPause);
            if (!exchange.step())
                return;
        }
    };
    return job;
}

void applyClear(Alarms &alarms)
{
    alarms = Alarms{};
}

} // namespace kestrix
