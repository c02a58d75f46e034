#include "params/ui/parameter_buttons.h"

#include "base/language.h"
#include "base/texts.h"
#include "params/parameter_compare.h"
#include "params/parameter_download.h"
#include "params/parameter_upload.h"
#include "params/parameter_file.h"
#include "params/register_read_back.h"
#include "params/ui/parameter_area.h"
#include "time/time_upload.h"
#include "widgets/board_panel.h"
#include "widgets/comparison_marks.h"
#include "widgets/main_window_host.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>
#include <optional>

namespace kestrix {

namespace {

constexpr char FileFilter[] = "Configuration File  (*.ini)";

// The digits a job changed on its copy of the values (the brightness digit, Adjust All's list
// digits) are taken back when it has ended, and only those: edits made meanwhile stay.
void takeChangedDigits(ParameterArea &parameters, const ParameterValues &before, const ParameterValues &after)
{
    parameters.applyDigits(changedDigits(before.digits(), after.digits()));
}

// With Verify after upload ticked, a completed upload is read back at once.
void verifyIfTicked(MainWindowHost &host, const JobEnding &upload, const std::vector<RegisterWrite> &writes)
{
    if (upload.completed() && host.verifyBox()->isChecked())
        verifyUpload(host.panel(), readBackJob(writes));
}

void adjust(MainWindowHost &host, ParameterArea &parameters, Group group)
{
    const ParameterValues before = parameters.values();
    host.panel().submit(groupUploadJob(group, before),
                        [&host, &parameters, before, group](const JobResult<ParameterValues> &result) {
                            takeChangedDigits(parameters, before, result.data);
                            verifyIfTicked(host, result.ending, groupWrites(group, result.data));
                        });
}

// Adjust All: the PC time, then every standard group, under one progress bar and one ending.
void adjustAll(MainWindowHost &host, ParameterArea &parameters)
{
    const ParameterValues before = parameters.values();
    host.panel().run(
        StatusForm::mainWindow(),
        [before](Operation &operation) {
            return uploadAll(before, TimeUpload{pcTimeUploadJob(), PcTimeUploadSteps}, operation);
        },
        [&host, &parameters, before](const JobResult<AllUpload> &result) {
            takeChangedDigits(parameters, before, result.data.values);
            verifyIfTicked(host, result.ending, standardGroupWrites(result.data.values));
        });
}

// A download that ran fills the controls and the clock box (what did not answer keeps its
// value); a cancelled or failed one changes nothing.
void download(MainWindowHost &host, ParameterArea &parameters)
{
    host.panel().submit(downloadJob(), [&host, &parameters](const JobResult<Download> &result) {
        if (!result.ending.ran())
            return;
        parameters.apply(result.data.update, ParameterArea::Preview::Keep);
        host.showDownloadedClock(clockBoxText(result.data.clock));
    });
}

// Compare with Board: a download compared with the values the controls show; what differs or
// did not answer is marked, and the controls keep their values.
void compare(MainWindowHost &host, ParameterArea &parameters, ComparisonMarks &marks)
{
    const ParameterValues shown = parameters.values();
    compareWithBoard<Download>(
        host.panel(), marks, downloadJob(),
        [shown](const Download &download) { return compareParameters(shown, download.update); },
        [&parameters](const QString &key) { return parameters.controlsOfKey(key); });
}

// The file dialog of Save and Load: no proposed name, no default suffix; Save asks before
// replacing a file. Qt's own dialog, which offers no read-only choice and which tests can drive.
std::optional<QString> chooseFile(QWidget *window, QFileDialog::AcceptMode mode)
{
    const bool saving = mode == QFileDialog::AcceptSave;
    QFileDialog dialog(window);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromLatin1(FileFilter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

// The file dialog asked about the name as typed; with ".ini" appended it names another file,
// which may hold another plant's parameters.
bool mayReplace(QWidget *window, const QString &chosen, const QString &path)
{
    if (path == chosen || !QFileInfo::exists(path))
        return true;
    const QString question = LookupText(Text::ReplaceFileQuestion).arg(QDir::toNativeSeparators(path));
    return QMessageBox::question(window, window->windowTitle(), question) == QMessageBox::Yes;
}

void save(MainWindowHost &host, const ParameterArea &parameters)
{
    const std::optional<QString> chosen = chooseFile(host.hostWidget(), QFileDialog::AcceptSave);
    if (!chosen)
        return;
    const QString path = parameterFilePath(*chosen);
    if (!mayReplace(host.hostWidget(), *chosen, path))
        return;
    QString error;
    if (!saveParameterFile(path, parameters.values(), &error))
        host.panel().showFileError(error);
}

void load(MainWindowHost &host, ParameterArea &parameters)
{
    const std::optional<QString> chosen = chooseFile(host.hostWidget(), QFileDialog::AcceptOpen);
    if (!chosen)
        return;
    QString error;
    const std::optional<ParameterUpdate> update = loadParameterFile(*chosen, &error);
    if (!update) {
        host.panel().showFileError(error);
        return;
    }
    parameters.apply(*update, ParameterArea::Preview::Follow);
}

} // namespace

void wireParameterButtons(MainWindowHost &host, ParameterArea &parameters)
{
    for (const GroupInfo &info : groupTable()) {
        const Group group = info.group;
        host.wire(info.adjustButton, [&host, &parameters, group] { adjust(host, parameters, group); });
    }
    host.wire(MainButton::AdjustAll, [&host, &parameters] { adjustAll(host, parameters); });
    host.wire(MainButton::Download, [&host, &parameters] { download(host, parameters); });
    auto *marks = new ComparisonMarks(&parameters);
    marks->watch(parameters.valueControls());
    host.wire(MainButton::CompareWithBoard, [&host, &parameters, marks] { compare(host, parameters, *marks); });
    host.wire(MainButton::Save, [&host, &parameters] { save(host, parameters); });
    host.wire(MainButton::Load, [&host, &parameters] { load(host, parameters); });
}

} // namespace kestrix
