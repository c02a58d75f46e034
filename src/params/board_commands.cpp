#include "params/board_commands.h"

#include "base/config_file.h"
#include "base/file_read.h"
#include "base/language.h"
#include "base/texts.h"
#include "comm/protocol.h"

#include <memory>
#include <optional>
#include <vector>

namespace kestrix {

namespace {

struct AlarmCommand {
    AlarmOutput alarm;
    const char *command;
    TextId text;
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
    const std::optional<QByteArray> bytes = readFileBytes(path);
    if (!bytes)
        return std::nullopt;
    std::vector<std::string> lines;
    for (QByteArrayView rest(*bytes); !rest.isEmpty();) {
        const qsizetype end = rest.indexOf('\n');
        QByteArrayView line = rest.first(end < 0 ? rest.size() : end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (end >= 0 && line.endsWith('\r'))
            line.chop(1);
        lines.push_back(line.toByteArray().toStdString());
    }
    return lines;
}

} // namespace

BoardJob<NoData> resetJob()
{
    BoardJob<NoData> job;
    job.texts = {Text::Resetting, Text::ResetDone, {}, StatusForm::mainWindow(), false};
    job.body = [](Exchange &exchange, NoData &) {
        exchange.setTotalSteps(1);
        exchange.send(Frame::Reset, Pause::Command);
        exchange.step();
    };
    return job;
}

QString alarmActivatedText(AlarmOutput alarm)
{
    return LookupText(alarmCommand(alarm).text) + QLatin1Char(' ') + LookupText(Text::Done);
}

BoardJob<NoData> activateAlarmJob(AlarmOutput alarm)
{
    const AlarmCommand &row = alarmCommand(alarm);
    BoardJob<NoData> job;
    job.texts = {row.text, row.text, {}};
    job.body = [&row](Exchange &exchange, NoData &) {
        exchange.setTotalSteps(1);
        exchange.command(row.command, Pause::Command);
        exchange.step();
    };
    job.completionText = [alarm](const NoData &) { return alarmActivatedText(alarm); };
    return job;
}

QString defaultScriptPath()
{
    return dataFilePath(QStringLiteral("test.txt"));
}

BoardJob<ScriptUpload> scriptUploadJob(const QString &path)
{
    // Read before the envelope, so that a file that cannot be read keeps the progress text in
    // place of the completion text.
    auto lines = std::make_shared<const std::optional<std::vector<std::string>>>(scriptLines(path));
    BoardJob<ScriptUpload> job;
    job.texts = {Text::ByteMapUploading, *lines ? Text::ByteMapUploaded : Text::ByteMapUploading, {}};
    job.start.fileUnreadable = !*lines;
    job.body = [lines](Exchange &exchange, ScriptUpload &upload) {
        if (!*lines)
            return;
        exchange.setTotalSteps(int((*lines)->size()));
        for (const std::string &line : **lines) {
            if (exchange.cancelled())
                return;
            exchange.send(line + Frame::Cr, Pause::ScriptLine);
            ++upload.linesSent;
            if (!exchange.step())
                return;
        }
    };
    return job;
}

} // namespace kestrix
