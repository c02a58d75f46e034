#include "alarms/alarm_file.h"

#include "base/atomic_file.h"
#include "base/config_file.h"
#include "base/file_read.h"
#include "base/text_encoding.h"
#include "base/text_digits.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

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

// Why each of the files cannot be written now, one line each; empty when all can.
QString writeProblems(std::initializer_list<QString> paths)
{
    QStringList problems;
    for (const QString &path : paths) {
        if (const QString problem = writeProblem(path); !problem.isEmpty())
            problems.append(problem);
    }
    return problems.join(u'\n');
}

// The alarm file as it was before a save whose second half failed: its old bytes, or no file.
// When that fails too, *error says that the file holds the new programs.
void putBack(const QString &path, const std::optional<QByteArray> &old, QString *error)
{
    QString reason;
    if (old ? writeFileAtomically(path, *old, &reason) : QFile::remove(path) || !QFileInfo::exists(path))
        return;
    *error += QStringLiteral("\n%1 was not put back and holds the new alarm times: %2").arg(path, reason);
}

} // namespace

QString alarmFilePath()
{
    return dataFilePath(QStringLiteral("alarms.txt"));
}

AlarmFileForm alarmFileFormOf(const QByteArray &bytes)
{
    const TextLines file = splitLines(bytes);
    const bool anyNonAscii = std::ranges::any_of(file.lines, [](const TextLine &line) { return !isAscii(line.content); });
    const bool utf8 = !file.byteOrderMark.isEmpty() || (anyNonAscii && prevailingEncoding(file) == LineEncoding::Utf8);
    return {file.form, file.byteOrderMark, utf8 ? LineEncoding::Utf8 : LineEncoding::Windows1252};
}

AlarmFileRead parseAlarmFile(const QByteArray &bytes)
{
    AlarmFileRead read;
    read.form = alarmFileFormOf(bytes);
    std::array<int, AlarmProgramCount> next{};
    for (const TextLine &content : splitLines(bytes).lines) {
        const QString &line = content.text;
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

QStringList alarmFileLines(const AlarmPrograms &programs)
{
    QStringList lines;
    for (int program = 0; program < AlarmProgramCount; ++program) {
        for (const AlarmEntry &entry : packed(programs[program])) {
            if (!entry.filled())
                break;
            lines.append(Tags[program] + u';' + entry.hour + u';' + entry.minute + u';' + entry.type);
        }
    }
    return lines;
}

QByteArray formatAlarmFile(const AlarmPrograms &programs, const AlarmFileForm &form)
{
    QByteArray bytes = form.byteOrderMark;
    for (const QString &line : alarmFileLines(programs))
        bytes += encodeLine(line + QLatin1String(LineEnd), form.form, form.encoding);
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

StoredAlarms readStoredAlarms(const QString &path)
{
    // Without the lock (a data folder that cannot be written) the files are read all the same.
    const FileWriteLock lock(path);
    StoredAlarms stored;
    stored.file = loadAlarmFile(path, &stored.error);
    stored.parameters = readAlarmParameters();
    return stored;
}

AlarmSave saveAlarms(Alarms &alarms, const QString &path)
{
    AlarmSave save;
    save.error = writeProblems({path, configFilePath()});
    if (!save.error.isEmpty())
        return save;
    const FileWriteLock lock(path);
    if (!lock.locked()) {
        save.error = lock.error();
        return save;
    }
    std::optional<QByteArray> old;
    if (QFileInfo::exists(path) && !(old = readFileBytes(path, &save.error)))
        return save;
    const QByteArray bytes = formatAlarmFile(alarms.programs, alarmFileFormOf(old.value_or(QByteArray())));
    if (!writeFileAtomically(path, bytes, &save.error))
        return save;
    if (!configFile().write(ParametersSection, alarmParameterEntries(alarms.parameters), &save.error)) {
        putBack(path, old, &save.error);
        return save;
    }
    save.fileWritten = save.parametersWritten = true;
    for (AlarmProgram &program : alarms.programs)
        program = packed(program);
    return save;
}

} // namespace kestrix
