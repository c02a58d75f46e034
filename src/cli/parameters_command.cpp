// kestrix-cli upload GROUP... and download: the main window's Adjust buttons, Adjust All and
// Download Configuration, on values given as a parameter file and --set KEY=VALUE.

#include "cli/commands.h"
#include "cli/comparison_output.h"
#include "cli/console_reporter.h"
#include "cli/parameter_settings.h"

#include "comm/trace.h"
#include "params/parameter_download.h"
#include "params/parameter_file.h"
#include "params/parameter_upload.h"
#include "params/register_read_back.h"
#include "time/time_upload.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace kestrix::cli {

namespace {

// An operand of upload: one group, or nothing for all (Adjust All).
using Target = std::optional<Group>;
const QString AllName = QStringLiteral("all");

QString targetName(const Target &target)
{
    return target ? QString::fromLatin1(groupInfo(*target).name) : AllName;
}

QString targetNames()
{
    QStringList names;
    for (const GroupInfo &info : groupTable())
        names << QString::fromLatin1(info.name);
    return (names << AllName).join(QStringLiteral(", "));
}

bool parseTargets(const QStringList &operands, std::vector<Target> &targets, QString *error)
{
    for (const QString &operand : operands) {
        const auto groups = groupTable();
        const auto found = std::ranges::find_if(groups, [&operand](const GroupInfo &info) {
            return operand.compare(QLatin1String(info.name), Qt::CaseInsensitive) == 0;
        });
        if (found != groups.end()) {
            targets.push_back(found->group);
        } else if (operand.compare(AllName, Qt::CaseInsensitive) == 0) {
            targets.push_back(std::nullopt);
        } else {
            *error = QStringLiteral("upload: unknown group %1; the groups are %2").arg(operand, targetNames());
            return false;
        }
    }
    return true;
}

// What a completed upload wrote: the group's writes, or those of Adjust All's standard groups
// (its time upload writes only clock registers, which a read-back leaves out).
std::vector<RegisterWrite> writesOf(const Target &target, const ParameterValues &values)
{
    return target ? groupWrites(*target, values) : standardGroupWrites(values);
}

// --verify: reads back what the upload wrote and prints what differs or did not answer.
int verifyWrites(const std::vector<RegisterWrite> &writes, Operation &operation)
{
    return printReadBack(operation.run(readBackJob(writes)), Success);
}

// One group's Adjust, or Adjust All with the PC time first; the values take the digits the
// job took. A completed one prints its ending on standard output.
int uploadTarget(const Target &target, ParameterValues &values, Operation &operation)
{
    JobEnding ending;
    if (target) {
        const JobResult<ParameterValues> group = operation.run(groupUploadJob(*target, values));
        ending = group.ending;
        values = group.data;
    } else {
        const JobResult<AllUpload> all = uploadAll(values, {pcTimeUploadJob(), PcTimeUploadSteps}, operation);
        ending = all.ending;
        values = all.data.values;
    }
    if (ending.completed())
        printResult(ending.text);
    return exitStatusOf(ending.outcome);
}

// The targets one after the other, each its own job; a failed one does not stop the others.
// With `verify`, each completed one is read back at once.
int uploadTargets(const std::vector<Target> &targets, ParameterValues &values, bool verify, Operation &operation)
{
    int status = Success;
    QStringList failed;
    for (const Target &target : targets) {
        int result = uploadTarget(target, values, operation);
        if (result == Success && verify)
            result = verifyWrites(writesOf(target, values), operation);
        else if (result != Success && result != Cancelled)
            failed << targetName(target);
        if (result == Cancelled)
            return Cancelled;
        status = std::max(status, result);
    }
    if (targets.size() > 1 && !failed.isEmpty())
        printStatus(QStringLiteral("Not uploaded: %1.").arg(failed.join(QStringLiteral(", "))));
    return status;
}

// The values the upload sends: the window's starting values, the --file, then each --set.
std::optional<ParameterValues> valuesToSend(const Options &options, int &status)
{
    QString error;
    const auto settings = parseSettings(options.valuesOf(QStringLiteral("set")), &error);
    if (!settings) {
        status = usageErrorOf(error);
        return std::nullopt;
    }
    std::optional<ParameterValues> values = startingValues(options.value(QStringLiteral("file")), &error);
    if (!values) {
        printStatus(QStringLiteral("The parameter file cannot be read (%1); nothing was sent.").arg(error));
        status = PortFailure;
        return std::nullopt;
    }
    for (const ParameterUpdate &setting : *settings)
        values->apply(setting);
    return values;
}

// Writes the values as Save does; PortFailure, the old file intact, when it cannot be written.
int saveValues(const QString &chosen, const ParameterValues &values)
{
    const QString path = parameterFilePath(chosen);
    QString error;
    if (!saveParameterFile(path, values, &error)) {
        printStatus(QStringLiteral("The parameter file %1 was not saved: %2").arg(path, error));
        return PortFailure;
    }
    printStatus(QStringLiteral("Saved %1.").arg(path));
    return Success;
}

} // namespace

int runUpload(const Options &options)
{
    std::vector<Target> targets;
    QString error;
    if (!parseTargets(options.operands, targets, &error))
        return usageErrorOf(error);
    if (options.has(QStringLiteral("file")) && options.value(QStringLiteral("file")).isEmpty())
        return usageErrorOf(QStringLiteral("upload: --file needs a file name"));
    int status = Success;
    std::optional<ParameterValues> values = valuesToSend(options, status);
    if (!values)
        return status;
    const bool verify = options.has(QStringLiteral("verify"));
    return withBoard(options, [&](Operation &operation, const SerialSettings &) {
        return uploadTargets(targets, *values, verify, operation);
    });
}

// Prints the clock box's lines and the values read. A register that did not answer is left out
// and makes the status NoBoard; --save then writes nothing.
int runDownload(const Options &options)
{
    QString savePath = options.value(QStringLiteral("save"));
    if (options.has(QStringLiteral("save")) && savePath.isEmpty())
        return usageErrorOf(QStringLiteral("download: --save needs a file name"));
    // A folder gets the board's own file: COM3.ini, or the board's name.
    if (QFileInfo(savePath).isDir()) {
        const QString label = options.device.isEmpty() ? boardLabel(resolveSettings(options).port) : options.device;
        savePath = QDir(savePath).filePath(boardFileStem(label) + QStringLiteral(".ini"));
    }
    ParameterUpdate update;
    const int status = withBoard(options, [&update](Operation &operation, const SerialSettings &) {
        const JobResult<Download> download = operation.run(downloadJob());
        if (!download.ending.ran())
            return exitStatusOf(download.ending.outcome);
        for (const QString &line : download.data.clock)
            printResult(line);
        for (const QString &line : downloadedLines(download.data.update))
            printResult(line);
        update = download.data.update;
        return exitStatusOf(download.ending.outcome);
    });
    if (!options.has(QStringLiteral("save")))
        return status;
    if (status != Success) {
        printStatus(QStringLiteral("The parameter file %1 was not saved: the download was incomplete.")
                        .arg(parameterFilePath(savePath)));
        return status;
    }
    QString error;
    std::optional<ParameterValues> values = startingValues(QString(), &error);
    values->apply(update);
    return saveValues(savePath, *values);
}

} // namespace kestrix::cli
