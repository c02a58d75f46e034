#pragma once
// The main window's connection buttons: "Test Connection" scans every port and speed on the
// window's worker, "Select COM Port and Speed" opens the port dialog.

namespace kestrix {

class MainWindowHost;

void wireConnectionButtons(MainWindowHost &host);

} // namespace kestrix
