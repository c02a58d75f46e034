#include "alarms/alarm_compare.h"

#include "base/text_digits.h"

#include <QStringList>
#include <algorithm>

namespace kestrix {

namespace {

const QString Empty = QStringLiteral("(empty)");
const QString Free = QStringLiteral("(free)");
const QString ProgramTags[AlarmProgramCount] = {QStringLiteral("p1"), QStringLiteral("p2")};

QString shown(const QString &value, const QString &none)
{
    return value.isEmpty() ? none : value;
}

// A slot as alarms.txt holds its line after the tag; empty for a free slot.
QString slotText(const QString &hour, const QString &minute, const QString &type)
{
    if (hour.isEmpty())
        return {};
    if (isMarkerHour(hour))
        return hour + QStringLiteral(";;");
    return hour + u';' + minute + u';' + type;
}

// A file entry as the board holds it after an upload and a download reads it back.
QString fileSlotText(const AlarmEntry &entry)
{
    const QString hour = padToTwo(entry.hour.trimmed());
    const QString type = entry.type.trimmed().left(1);
    return slotText(hour.toLower(), padToTwo(entry.minute.trimmed()).toLower(), type.toLower());
}

// The files' entries of a program as an upload sends them, up to and with its end marker.
std::vector<QString> fileSlots(const AlarmProgram &program)
{
    std::vector<QString> slots;
    for (const AlarmEntry &entry : packed(program)) {
        if (!entry.filled())
            break;
        slots.push_back(fileSlotText(entry));
        if (entry.hour.trimmed() == EndOfProgramHour)
            break;
    }
    return slots;
}

void compareParameters(const AlarmParameters &files, const AlarmDownload &board, ItemComparison &result)
{
    for (int i = 0; i < AlarmParameterCount; ++i) {
        const AlarmParameterInfo &info = alarmParameterTable()[std::size_t(i)];
        const QString item = QString::fromLatin1(info.key);
        const QString file = padToTwo(files[std::size_t(i)].trimmed());
        const std::optional<QString> &read = board.parameters[std::size_t(i)];
        if (!read)
            result.unanswered.push_back({QStringLiteral("%1 (%2)").arg(item, registerName(info.reg)), shown(file, Empty)});
        else if (file.compare(*read, Qt::CaseInsensitive) != 0)
            result.differing.push_back({item, shown(file, Empty), shown(*read, Empty)});
    }
}

void compareProgram(int program, const AlarmProgram &files, const std::vector<AlarmSlotRead> &reads,
                    ItemComparison &result)
{
    const std::vector<QString> file = fileSlots(files);
    const int fileCount = int(file.size());
    const int readCount = int(reads.size());
    const bool boardEnded = readCount == AlarmSlots || (readCount > 0 && reads.back().hour == EndOfProgramHour);
    const QString tag = ProgramTags[program];
    for (int slot = 0; slot < std::max(fileCount, readCount); ++slot) {
        const QString item = QStringLiteral("%1 slot %2").arg(tag).arg(slot + 1);
        const QString fileText = slot < fileCount ? file[std::size_t(slot)] : QString();
        if (slot >= readCount) {
            if (!boardEnded)
                break;   // said below as the hour that did not answer
            result.differing.push_back({item, shown(fileText, Free), Free});
            continue;
        }
        const AlarmSlotRead &read = reads[std::size_t(slot)];
        const int base = alarmEntryRegister(program, slot);
        QStringList silent;
        if (!read.minute)
            silent << registerName(base + 1);
        if (!read.type)
            silent << registerName(base + 2);
        if (!silent.isEmpty()) {
            result.unanswered.push_back({QStringLiteral("%1 (%2)").arg(item, silent.join(u' ')), shown(fileText, Free)});
            continue;
        }
        const QString boardText = slotText(*read.hour, *read.minute, *read.type);
        // The files' program ended before: the board's end marker or free slots end it too.
        const bool endsBoth = slot >= fileCount && (boardText.isEmpty() || *read.hour == EndOfProgramHour);
        if (boardText != fileText && !endsBoth)
            result.differing.push_back({item, shown(fileText, Free), shown(boardText, Free)});
    }
    if (!boardEnded) {
        const QString item = QStringLiteral("%1 slot %2 and after (%3)")
                                 .arg(tag).arg(readCount + 1).arg(registerName(alarmEntryRegister(program, readCount)));
        result.unanswered.push_back({item, shown(readCount < fileCount ? file[std::size_t(readCount)] : QString(), Free)});
    }
}

} // namespace

ItemComparison compareAlarms(const Alarms &files, const AlarmDownload &board)
{
    ItemComparison result;
    compareParameters(files.parameters, board, result);
    for (int program = 0; program < AlarmProgramCount; ++program)
        compareProgram(program, files.programs[program], board.slots[program], result);
    return result;
}

} // namespace kestrix
