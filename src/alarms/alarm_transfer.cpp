#include "alarms/alarm_transfer.h"

#include "base/language.h"
#include "base/texts.h"
#include "comm/protocol.h"

#include <algorithm>

namespace kestrix {

namespace {

using namespace std::chrono_literals;

constexpr Milliseconds ParameterPause = 10ms;
constexpr Milliseconds EntryPause = 30ms;
constexpr Milliseconds ClearPause = 10ms;
constexpr Milliseconds ReadPause = 10ms;

constexpr int FirstParameterRegister = 101;
constexpr char UnsetValue[] = "FF";

QString padFront(const QString &text)
{
    return text.size() == 1 ? u'0' + text : text;
}

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
        writes.push_back({reg, padFront(parameterOfRegister(alarms.parameters, reg)), ParameterPause});
    for (int program = 0; program < AlarmProgramCount; ++program) {
        const AlarmProgram entries = packed(alarms.programs[program]);
        for (int position = 0; position < AlarmSlots && entries[position].filled(); ++position) {
            const AlarmEntry &entry = entries[position];
            const int base = alarmEntryRegister(program, position);
            const QString hour = entry.hour.trimmed();
            writes.push_back({base, padFront(hour), EntryPause});
            if (isMarkerHour(hour))
                continue;
            writes.push_back({base + 1, padFront(entry.minute.trimmed()), EntryPause});
            writes.push_back({base + 2, padBack(entry.type.trimmed()), EntryPause});
        }
    }
    return writes;
}

// A register's byte as two lower-case hexadecimal digits; "ff" (unset) as empty.
std::optional<QString> readValue(Exchange &exchange, int reg, int &unanswered)
{
    const std::optional<std::uint8_t> byte = exchange.readRegister(reg, ReadPause);
    exchange.step();
    if (!byte) {
        ++unanswered;
        return std::nullopt;
    }
    return *byte == 0xff ? QString() : hexByte(*byte);
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
        AlarmSlotRead read{slot, readValue(exchange, base, download.unanswered), {}, {}};
        if (!read.hour)
            return;
        if (isMarkerHour(*read.hour)) {
            read.minute = read.type = QString();
        } else {
            read.minute = readValue(exchange, base + 1, download.unanswered);
            read.type = typeOf(readValue(exchange, base + 2, download.unanswered));
        }
        download.slots[program].push_back(read);
        if (*read.hour == EndOfProgramHour)
            return;
    }
}

// Frames a download reads at the most: parameters, then three per slot.
constexpr int MaximumReads = AlarmParameterCount + AlarmProgramCount * AlarmSlots * 3;

} // namespace

StatusForm alarmStatusForm()
{
    return StatusForm::dialog({Text::CheckPortAndSpeed});
}

Outcome uploadAlarms(const Alarms &alarms, Operation &operation)
{
    return operation.run({Text::TimesUploading, Text::TimesUploaded}, [&alarms](Exchange &exchange) {
        const std::vector<AlarmWrite> writes = uploadWrites(alarms);
        exchange.setTotalSteps(int(writes.size()));
        for (const AlarmWrite &write : writes) {
            exchange.writeRegister(write.reg, write.value.toStdString(), write.pause);
            if (!exchange.step())
                return;
        }
    });
}

AlarmDownload downloadAlarms(Operation &operation)
{
    AlarmDownload download;
    download.outcome = operation.run({Text::TimesDownloading, Text::TimesDownloaded}, [&download](Exchange &exchange) {
        exchange.setTotalSteps(MaximumReads);
        for (int reg = FirstParameterRegister; reg < FirstParameterRegister + AlarmParameterCount; ++reg)
            download.parameters[std::size_t(parameterIndexOfRegister(reg))] = readValue(exchange, reg, download.unanswered);
        for (int program = 0; program < AlarmProgramCount; ++program)
            readProgram(exchange, program, download);
    });
    if (download.outcome == Outcome::Completed && download.unanswered > 0) {
        StatusLines &status = operation.status();
        status.showText(0, LookupText(Text::TimesDownloadIncomplete).arg(download.unanswered));
    }
    if (download.outcome != Outcome::Completed) {
        const Outcome outcome = download.outcome;
        download = AlarmDownload();
        download.outcome = outcome;
    }
    return download;
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

Outcome clearAlarms(Operation &operation)
{
    return operation.run({Text::AlarmsClearing, Text::AlarmsCleared}, [](Exchange &exchange) {
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
    });
}

void applyClear(Alarms &alarms)
{
    alarms = Alarms{};
}

Outcome uploadAlarms(const Alarms &alarms, SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, alarmStatusForm(), sleeper);
    return uploadAlarms(alarms, operation);
}

AlarmDownload downloadAlarms(SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, alarmStatusForm(), sleeper);
    return downloadAlarms(operation);
}

Outcome clearAlarms(SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, alarmStatusForm(), sleeper);
    return clearAlarms(operation);
}

} // namespace kestrix
