#include "info/ui/info_buttons.h"

#include "info/ui/clock_info_dialog.h"
#include "widgets/main_window_host.h"

namespace kestrix {

void wireInfoButtons(MainWindowHost &host)
{
    host.wire(MainButton::ClockInformation, [&host] {
        ClockInfoDialog dialog(host.hostWidget());
        dialog.exec();
    });
}

} // namespace kestrix
