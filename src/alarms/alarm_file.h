#pragma once
// Where the alarm data lives between two openings of the alarm dialog: the alarm times in
// alarms.txt in the data folder, one "p1;hour;minute;type" or "p2;..." line per entry ending in
// CR CR LF, and the six alarm-type parameters as the keys C1-C6 of config.ini [Parameters].

#include "alarms/alarm_data.h"
#include "base/ini_file.h"
#include "base/text_encoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace kestrix {

QString alarmFilePath();

// How alarms.txt holds its text, so that a rewrite keeps it: UTF-16 with its mark, or 8-bit
// lines (after a UTF-8 mark when it has one) in Windows-1252 unless most of its non-ASCII lines
// are UTF-8. A new file is 8-bit Windows-1252.
struct AlarmFileForm {
    TextForm form = TextForm::EightBit;
    QByteArray byteOrderMark;
    LineEncoding encoding = LineEncoding::Windows1252;
    bool operator==(const AlarmFileForm &) const = default;
};
AlarmFileForm alarmFileFormOf(const QByteArray &bytes);

struct AlarmFileRead {
    AlarmPrograms programs{};
    // Lines of each program beyond its 50 slots, which were not loaded.
    std::array<int, AlarmProgramCount> droppedLines{};
    AlarmFileForm form;
    int dropped() const { return droppedLines[0] + droppedLines[1]; }
};

// Lines are read as the INI files are (text_encoding.h): UTF-16 after its mark, else each line
// as UTF-8 or Windows-1252; they end at LF, CR LF or a lone CR, so no field holds a line break.
// A line's tag is the text before its first ";", trimmed; "p1" and "p2" (exactly) fill the next
// free slot of their program with the fields after it, each trimmed (a line with fewer fields
// leaves the missing ones empty). Other lines are skipped.
AlarmFileRead parseAlarmFile(const QByteArray &bytes);
// Program 1's filled slots, then program 2's, in slot order, as "p1;hour;minute;type".
QStringList alarmFileLines(const AlarmPrograms &programs);
// Those lines in `form`, each ending in CR CR LF.
QByteArray formatAlarmFile(const AlarmPrograms &programs, const AlarmFileForm &form = {});

// Nothing, with the reason in *error, when the file cannot be read.
std::optional<AlarmFileRead> loadAlarmFile(const QString &path, QString *error = nullptr);

// C1-C6 of [Parameters]; a value starting with "0" is cut to its last character, an absent or
// empty key leaves its parameter empty.
AlarmParameters alarmParametersOf(const IniSnapshot &config);
AlarmParameters readAlarmParameters();
// The keys C1-C6 as Save writes them: a one-character text with "0" in front.
QList<std::pair<QString, QString>> alarmParameterEntries(const AlarmParameters &parameters);

// C1-C6 and alarms.txt as one save left them: both are read under the lock a save holds, so a
// save running meanwhile is seen whole or not at all. `file` is nothing, with the reason in
// `error`, when alarms.txt cannot be read.
struct StoredAlarms {
    AlarmParameters parameters;
    std::optional<AlarmFileRead> file;
    QString error;
};
StoredAlarms readStoredAlarms(const QString &path = alarmFilePath());

struct AlarmSave {
    bool parametersWritten = false;
    bool fileWritten = false;
    QString error;   // why nothing was written
    bool ok() const { return parametersWritten && fileWritten; }
};

// Writes both files or neither. Both are checked first (a folder, a read-only file, a dangling
// link refuses the save). Under the lock of `path`, the alarm file is replaced atomically in the
// form it has, then C1-C6 of config.ini; when the keys cannot be written, the alarm file gets
// its old bytes back. A crash between the two replacements leaves the new programs with the old
// C1-C6. When both were written, the programs in `alarms` are packed as the file holds them.
AlarmSave saveAlarms(Alarms &alarms, const QString &path = alarmFilePath());

} // namespace kestrix
