#include "alarms/alarm_file.h"

#include "base/atomic_file.h"
#include "base/config_file.h"
#include "base/file_read.h"
#include "base/text_encoding.h"
#include "base/text_digits.h"


namespace kestrix {

namespace {

const QString ParametersSection = QStringLiteral("Parameters");
const QString Tags[AlarmProgramCount] = {QStringLiteral("p1"), QStringLiteral("p2")};
constexpr char LineEnd[] = "\r\r\n";

// The program a tag names, or -1.
int programOfTag(const QString &tag)
{
    for (int program = 0; program < AlarmProgramCount; ++program) {
        if (tag == Tags[program])
            return program;
    }
    return -1;
}

// The fields after the tag: hour, minute, and the rest of the line as the type.
AlarmEntry entryOf(const QString &line)
{
    const QStringList fields = line.split(u';');
    AlarmEntry entry;
    entry.hour = fields.value(1).trimmed();
    entry.minute = fields.value(2).trimmed();
    entry.type = fields.size() > 3 ? fields.mid(3).join(u';').trimmed() : QString();
    return entry;
}

} // namespace

QString alarmFilePath()
{
    return dataFilePath(QStringLiteral("alarms.txt"));
}

AlarmFileRead parseAlarmFile(const QByteArray &bytes)
{
    AlarmFileRead read;
    std::array<int, AlarmProgramCount> next{};
    // An editor's UTF-8 byte order mark would hide the first line's tag.
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    for (const QByteArray &content : text.split('\n')) {
        const QString line = decodeLine(content, TextForm::EightBit);
        const int program = programOfTag(line.section(u';', 0, 0).trimmed());
        if (program < 0 || !line.contains(u';'))
            continue;
        if (next[program] == AlarmSlots) {
            ++read.droppedLines[program];
            continue;
        }
        read.programs[program][next[program]++] = entryOf(line);
    }
    return read;
}

QByteArray formatAlarmFile(const AlarmPrograms &programs)
{
    QByteArray bytes;
    for (int program = 0; program < AlarmProgramCount; ++program) {
        for (const AlarmEntry &entry : packed(programs[program])) {
            if (!entry.filled())
                break;
            const QString line = Tags[program] + u';' + entry.hour + u';' + entry.minute + u';' + entry.type;
            bytes += encodeLine(line, TextForm::EightBit, LineEncoding::Windows1252) + LineEnd;
        }
    }
    return bytes;
}

std::optional<AlarmFileRead> loadAlarmFile(const QString &path, QString *error)
{
    const std::optional<QByteArray> bytes = readFileBytes(path, error);
    if (!bytes)
        return std::nullopt;
    return parseAlarmFile(*bytes);
}

AlarmParameters alarmParametersOf(const IniSnapshot &config)
{
    AlarmParameters parameters;
    for (int i = 0; i < AlarmParameterCount; ++i) {
        const QString key = QString::fromLatin1(alarmParameterTable()[i].key);
        parameters[std::size_t(i)] = dropLeadingZero(config.read(ParametersSection, key));
    }
    return parameters;
}

AlarmParameters readAlarmParameters()
{
    return alarmParametersOf(configFile().snapshot());
}

QList<std::pair<QString, QString>> alarmParameterEntries(const AlarmParameters &parameters)
{
    QList<std::pair<QString, QString>> entries;
    for (int i = 0; i < AlarmParameterCount; ++i)
        entries.append({QString::fromLatin1(alarmParameterTable()[i].key), padToTwo(parameters[std::size_t(i)])});
    return entries;
}

AlarmSave saveAlarms(Alarms &alarms, const QString &path)
{
    AlarmSave save;
    save.parametersWritten = configFile().write(ParametersSection, alarmParameterEntries(alarms.parameters), &save.error);
    QString fileError;
    save.fileWritten = writeFileAtomically(path, formatAlarmFile(alarms.programs), &fileError);
    if (!save.fileWritten) {
        save.error = save.error.isEmpty() ? fileError : save.error + u'\n' + fileError;
        return save;
    }
    for (AlarmProgram &program : alarms.programs)
        program = packed(program);
    return save;
}

} // namespace kestrix
