#pragma once
// Where the alarm data lives between two openings of the alarm dialog: the alarm times in
// alarms.txt in the data folder, one "p1;hour;minute;type" or "p2;..." line per entry ending in
// CR CR LF, and the six alarm-type parameters as the keys C1-C6 of config.ini [Parameters].

#include "alarms/alarm_data.h"
#include "base/ini_file.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace kestrix {

QString alarmFilePath();

struct AlarmFileRead {
    AlarmPrograms programs{};
    // Lines of each program beyond its 50 slots, which were not loaded.
    std::array<int, AlarmProgramCount> droppedLines{};
    int dropped() const { return droppedLines[0] + droppedLines[1]; }
};

// Lines end at LF. A line's tag is the text before its first ";", trimmed; "p1" and "p2"
// (exactly) fill the next free slot of their program with the fields after it, each trimmed
// (a line with fewer fields leaves the missing ones empty). Other lines are skipped.
AlarmFileRead parseAlarmFile(const QByteArray &bytes);
// Program 1's filled slots, then program 2's, in slot order, each line ending in CR CR LF.
QByteArray formatAlarmFile(const AlarmPrograms &programs);

// Nothing, with the reason in *error, when the file cannot be read.
std::optional<AlarmFileRead> loadAlarmFile(const QString &path, QString *error = nullptr);

// C1-C6 of [Parameters]; a value starting with "0" is cut to its last character, an absent or
// empty key leaves its parameter empty.
AlarmParameters alarmParametersOf(const IniSnapshot &config);
AlarmParameters readAlarmParameters();
// The keys C1-C6 as Save writes them: a one-character text with "0" in front.
QList<std::pair<QString, QString>> alarmParameterEntries(const AlarmParameters &parameters);

struct AlarmSave {
    bool parametersWritten = false;
    bool fileWritten = false;
    QString error;   // why a part was not written
    bool ok() const { return parametersWritten && fileWritten; }
};

// Writes C1-C6 into config.ini, then replaces the alarm file at `path` atomically. When the
// file was written, the programs in `alarms` are packed as the file holds them.
AlarmSave saveAlarms(Alarms &alarms, const QString &path = alarmFilePath());

} // namespace kestrix
