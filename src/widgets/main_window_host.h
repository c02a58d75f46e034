#pragma once
// What the main window offers the feature areas whose buttons it shows: each area's ui/ code
// wires its own buttons through this interface, so the window stays a shell and an operation
// is found from its button in two steps (the button's number here, the area's wiring there).

#include "comm/board_queue.h"
#include "comm/serial_settings.h"

#include <functional>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QString;
class QWidget;
QT_END_NAMESPACE

namespace kestrix {

class BoardPanel;
class ParameterArea;

// Buttons of the main window (template 102) outside the parameter groups.
namespace MainButton {
enum : int {
    Close = 1,
    AdjustPcTime = 1000,
    SelectPort = 1004,
    AdjustAll = 1005,
    Reset = 1058,
    Save = 1059,
    Download = 1060,
    About = 1086,
    ManualTime = 1087,
    NtpTime = 1088,
    AlarmConfiguration = 1092,
    ClockInformation = 1128,
    TestConnection = 1137,
    ActivateAlarm1 = 1140,
    ActivateAlarm2 = 1141,
    TestClock = 1174,
    Load = 1207,
    DayNight = 1238,
    Boards = 5500,
    CompareWithBoard = 5520,
};
} // namespace MainButton

class MainWindowHost {
public:
    virtual ~MainWindowHost() = default;

    // The window: parent of the dialogs an area opens, and the context whose lifetime limits
    // the delivery of operation results.
    virtual QWidget *hostWidget() = 0;
    // The session board's queue, and the window's board panel that shows its jobs: areas
    // submit the window's jobs through the panel.
    virtual BoardQueue &queue() = 0;
    virtual BoardPanel &panel() = 0;
    // The session's port and speed, as every board job uses them; they hold for the session
    // also when they cannot be stored.
    virtual SerialSettings settings() const = 0;
    virtual void setSettings(const SerialSettings &settings) = 0;
    // Makes `handler` the action of a button (by control number).
    virtual void wire(int button, std::function<void()> handler) = 0;
    // The parameter groups, the window's body.
    virtual ParameterArea &parameterArea() = 0;
    // "Verify after upload": ticked, every upload of the window is read back.
    virtual QCheckBox *verifyBox() = 0;
    // Puts the board's time, date and weekday, as last downloaded, into the clock box (1084).
    virtual void showDownloadedClock(const QString &text) = 0;
};

} // namespace kestrix
