#include "params/ui/board_command_buttons.h"

#include "base/language.h"
#include "base/texts.h"
#include "params/board_commands.h"
#include "params/ui/parameter_area.h"
#include "widgets/main_window_host.h"

#include <QComboBox>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QWidget>

namespace kestrix {

namespace {

// The Display Mode entry the script expects the board to show: "4 Configurable".
constexpr int ScriptDisplayMode = 4;

template <class Work>
void runOnWorker(MainWindowHost &host, Work work)
{
    host.runner().run(host.hostWidget(), std::move(work), [](const auto &) {});
}

void reset(MainWindowHost &host)
{
    runOnWorker(host, [settings = host.settings()](Reporter &reporter) { return resetBoard(settings, reporter); });
}

void activate(MainWindowHost &host, AlarmOutput alarm)
{
    runOnWorker(host, [settings = host.settings(), alarm](Reporter &reporter) {
        return activateAlarm(alarm, settings, reporter);
    });
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
    runOnWorker(host, [settings = host.settings(), path = defaultScriptPath()](Reporter &reporter) {
        return uploadScript(path, settings, reporter);
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
