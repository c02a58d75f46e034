#include "alarms/ui/alarm_buttons.h"

#include "alarms/ui/alarm_dialog.h"
#include "widgets/main_window_host.h"

namespace kestrix {

void wireAlarmButtons(MainWindowHost &host)
{
    host.wire(MainButton::AlarmConfiguration, [&host] {
        AlarmDialog dialog(host.hostWidget());
        dialog.exec();
    });
}

} // namespace kestrix
