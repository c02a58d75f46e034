#include "params/ui/parameter_buttons.h"

#include "base/language.h"
#include "base/texts.h"
#include "params/parameter_download.h"
#include "params/parameter_file.h"
#include "params/ui/parameter_area.h"
#include "widgets/main_window_host.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>
#include <optional>

namespace kestrix {

namespace {

constexpr char FileFilter[] = "Configuration File  (*.ini)";

// Runs `upload` on the worker with a copy of what the controls show. When it has ended, the
// stored digits it changed on the copy (the brightness digit, Adjust All's list digits) are
// taken back, and only those: edits made meanwhile stay.
template <class Upload>
void uploadOnWorker(MainWindowHost &host, ParameterArea &parameters, Upload upload)
{
    const ParameterValues before = parameters.values();
    host.runner().run(
        host.hostWidget(),
        [upload = std::move(upload), values = before, settings = host.settings()](Reporter &reporter) mutable {
            upload(values, settings, reporter);
            return values;
        },
        [&parameters, before](const ParameterValues &after) {
            parameters.applyDigits(changedDigits(before.digits(), after.digits()));
        });
}

void adjust(MainWindowHost &host, ParameterArea &parameters, Group group)
{
    uploadOnWorker(host, parameters, [group](ParameterValues &values, SerialSettings settings, Reporter &reporter) {
        uploadGroup(group, values, settings, reporter);
    });
}

void adjustAll(MainWindowHost &host, ParameterArea &parameters, const TimeUpload &timeUpload)
{
    uploadOnWorker(host, parameters, [timeUpload](ParameterValues &values, SerialSettings settings, Reporter &reporter) {
        uploadAll(values, timeUpload, settings, reporter);
    });
}

// A completed download fills the controls and the clock box; a cancelled or failed one
// changes nothing.
void download(MainWindowHost &host, ParameterArea &parameters)
{
    host.runner().run(
        host.hostWidget(),
        [settings = host.settings()](Reporter &reporter) { return downloadConfiguration(settings, reporter); },
        [&host, &parameters](const Download &download) {
            if (download.outcome != Outcome::Completed)
                return;
            parameters.apply(download.update, ParameterArea::Preview::Keep);
            host.showDownloadedClock(clockBoxText(download.clock));
        });
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

void showFileError(QWidget *window, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, window->windowTitle(), LookupText(Text::FileOpenError), QMessageBox::Ok, window);
    box.setInformativeText(reason);
    box.exec();
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
        showFileError(host.hostWidget(), error);
}

void load(MainWindowHost &host, ParameterArea &parameters)
{
    const std::optional<QString> chosen = chooseFile(host.hostWidget(), QFileDialog::AcceptOpen);
    if (!chosen)
        return;
    QString error;
    const std::optional<ParameterUpdate> update = loadParameterFile(*chosen, &error);
    if (!update) {
        showFileError(host.hostWidget(), error);
        return;
    }
    parameters.apply(*update, ParameterArea::Preview::Follow);
}

} // namespace

void wireParameterButtons(MainWindowHost &host, ParameterArea &parameters, TimeUpload timeUpload)
{
    for (const GroupInfo &info : groupTable()) {
        const Group group = info.group;
        host.wire(info.adjustButton, [&host, &parameters, group] { adjust(host, parameters, group); });
    }
    host.wire(MainButton::AdjustAll, [&host, &parameters, timeUpload = std::move(timeUpload)] {
        adjustAll(host, parameters, timeUpload);
    });
    host.wire(MainButton::Download, [&host, &parameters] { download(host, parameters); });
    host.wire(MainButton::Save, [&host, &parameters] { save(host, parameters); });
    host.wire(MainButton::Load, [&host, &parameters] { load(host, parameters); });
}

} // namespace kestrix
