#include "comm/ui/connection_buttons.h"

#include "comm/port_scan.h"
#include "comm/ui/port_dialog.h"
#include "widgets/board_panel.h"
#include "widgets/main_window_host.h"

namespace kestrix {

namespace {

// The window takes the pair found, or what the configuration file says, when the scan ends;
// a cancelled scan leaves it as it was.
void testConnection(MainWindowHost &host)
{
    host.panel().run(
        StatusForm::mainWindow(),
        [](Operation &operation) {
            return scanPorts(operation.settings(), operation.status().reporter(), operation.sleeper());
        },
        [&host](const ScanResult &result) { host.setSettings(result.settings); });
}

void selectPort(MainWindowHost &host)
{
    PortDialog dialog(host.hostWidget());
    if (host.settings().port != 0)
        dialog.select(host.settings());
    if (dialog.exec() != QDialog::Accepted || dialog.chosenPort() == 0)
        return;
    host.setSettings({dialog.chosenPort(), dialog.chosenSpeed()});
}

} // namespace

void wireConnectionButtons(MainWindowHost &host)
{
    host.wire(MainButton::TestConnection, [&host] { testConnection(host); });
    host.wire(MainButton::SelectPort, [&host] { selectPort(host); });
}

} // namespace kestrix
