#include "info/ui/info_buttons.h"

#include "info/ui/parameters_dlg.h"
#include "widgets/main_window_host.h"

namespace kestrix {

void wireInfoButtons(MainWindowHost &host)
{
    host.wire(MainButton::ClockInformation, [&host] {
        CParametersDlg dialog(host.hostWidget());
        dialog.exec();
    });
}

} // namespace kestrix
