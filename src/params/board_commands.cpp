#include "params/board_commands.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "comm/protocol.h"

#include <QFile>
#include <optional>
#include <vector>

namespace kestrix {

namespace {

struct AlarmCommand {
    AlarmOutput alarm;
    const char *command;
    int text;
};

constexpr AlarmCommand AlarmCommands[] = {
    {AlarmOutput::First, "AL0", Text::Alarm1Activation},
    {AlarmOutput::Second, "AL1", Text::Alarm2Activation},
};

const AlarmCommand &alarmCommand(AlarmOutput alarm)
{
    for (const AlarmCommand &row : AlarmCommands) {
        if (row.alarm == alarm)
            return row;
    }
    return AlarmCommands[0];
}

// The lines of a file without their line ends (LF or CR LF); nothing when it cannot be read.
std::optional<std::vector<std::string>> scriptLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::vector<std::string> lines;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n')) {
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
        }
        lines.push_back(line.toStdString());
    }
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return lines;
}

} // namespace

Outcome resetBoard(Operation &operation)
{
    const EnvelopeTexts texts{Text::Resetting, Text::ResetDone, false};
    return operation.run(texts, [](Exchange &exchange) {
        exchange.setTotalSteps(1);
        exchange.send(Frame::Reset, Pause::Command);
        exchange.step();
    });
}

Outcome activateAlarm(AlarmOutput alarm, Operation &operation)
{
    const AlarmCommand &row = alarmCommand(alarm);
    const Outcome outcome = operation.run({row.text, row.text}, [&row](Exchange &exchange) {
        exchange.setTotalSteps(1);
        exchange.command(row.command, Pause::Command);
        exchange.step();
    });
    if (outcome == Outcome::Completed) {
        operation.status().show(1, Text::Done);
        operation.status().clear(2);
    }
    return outcome;
}

QString defaultScriptPath()
{
    return dataFilePath(QStringLiteral("test.txt"));
}

ScriptUpload uploadScript(const QString &path, Operation &operation)
{
    // Read before the envelope, so that a file that cannot be read keeps the progress text in
    // place of the completion text; the message box still comes once the channel is open.
    const auto lines = scriptLines(path);
    ScriptUpload result;
    result.fileUnreadable = !lines;
    const EnvelopeTexts texts{Text::ByteMapUploading, lines ? Text::ByteMapUploaded : Text::ByteMapUploading};
    result.outcome = operation.run(texts, [&](Exchange &exchange) {
        if (!lines) {
            operation.status().reporter().messageBox(LookupText(Text::FileOpenError), MessageIcon::Warning);
            return;
        }
        exchange.setTotalSteps(int(lines->size()));
        for (const std::string &line : *lines) {
            if (exchange.cancelled())
                return;
            exchange.send(line + Frame::Cr, Pause::ScriptLine);
            ++result.linesSent;
            if (!exchange.step())
                return;
        }
    });
    return result;
}

Outcome resetBoard(SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, StatusForm::mainWindow(), sleeper);
    return resetBoard(operation);
}

Outcome activateAlarm(AlarmOutput alarm, SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, StatusForm::mainWindow(), sleeper);
    return activateAlarm(alarm, operation);
}

ScriptUpload uploadScript(const QString &path, SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, StatusForm::mainWindow(), sleeper);
    return uploadScript(path, operation);
}

} // namespace kestrix
