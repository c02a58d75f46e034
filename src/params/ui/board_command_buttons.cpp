#include "params/ui/board_command_buttons.h"

#include "base/language.h"
#include "base/texts.h"
#include "params/board_commands.h"
#include "params/ui/parameter_area.h"
#include "widgets/board_panel.h"
#include "widgets/main_window_host.h"

#include <QComboBox>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QWidget>

namespace kestrix {

namespace {

// The Display Mode entry the script expects the board to show: "4 Configurable".
constexpr int ScriptDisplayMode = 4;

void reset(MainWindowHost &host)
{
    host.panel().submit(resetJob(), [](const JobResult<NoData> &) {});
}

void activate(MainWindowHost &host, AlarmOutput alarm)
{
    host.panel().submit(activateAlarmJob(alarm), [](const JobResult<NoData> &) {});
}

// Shows "Test info", selects "4 Configurable" without changing the stored digit, then sends
// the script.
void testClock(MainWindowHost &host, ParameterArea &parameters)
{
    QWidget *window = host.hostWidget();
    QMessageBox info(QMessageBox::Information, window->windowTitle(), LookupText(Text::TestInfo), QMessageBox::Ok, window);
    info.exec();
    if (QComboBox *displayMode = parameters.list(ParamId::DisplayMode)) {
        const QSignalBlocker quiet(displayMode);
        displayMode->setCurrentIndex(ScriptDisplayMode);
    }
    const QString path = defaultScriptPath();
    host.panel().submit(scriptUploadJob(path), [&host, path](const JobResult<ScriptUpload> &result) {
        if (result.data.fileUnreadable)
            host.panel().showFileError(path);
    });
}

} // namespace

void wireBoardCommandButtons(MainWindowHost &host, ParameterArea &parameters)
{
    host.wire(MainButton::Reset, [&host] { reset(host); });
    host.wire(MainButton::ActivateAlarm1, [&host] { activate(host, AlarmOutput::First); });
    host.wire(MainButton::ActivateAlarm2, [&host] { activate(host, AlarmOutput::Second); });
    host.wire(MainButton::TestClock, [&host, &parameters] { testClock(host, parameters); });
}

} // namespace kestrix
