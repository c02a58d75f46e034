#include "daynight/ui/daynight_buttons.h"

#include "daynight/ui/daynight_dialog.h"
#include "widgets/main_window_host.h"

namespace kestrix {

void wireDayNightButtons(MainWindowHost &host)
{
    host.wire(MainButton::DayNight, [&host] {
        DayNightDialog dialog(host.hostWidget());
        dialog.exec();
    });
}

} // namespace kestrix
