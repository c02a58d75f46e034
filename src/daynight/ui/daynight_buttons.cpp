#include "daynight/ui/daynight_buttons.h"

#include "daynight/ui/daynight_dlg.h"
#include "widgets/main_window_host.h"

namespace kestrix {

void wireDayNightButtons(MainWindowHost &host)
{
    host.wire(MainButton::DayNight, [&host] {
        CDayNight dialog(host.hostWidget());
        dialog.exec();
    });
}

} // namespace kestrix
