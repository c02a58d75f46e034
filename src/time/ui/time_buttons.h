#pragma once
// The main window's time buttons: "Adjust" of "PC Time / Date" uploads the PC's time as a job
// of the window, "Adjust Time && Date Manual" opens the manual time dialog, "Adjust Time &&
// Date via NTP servers" the time-server dialog.

namespace kestrix {

class MainWindowHost;

void wireTimeButtons(MainWindowHost &host);

} // namespace kestrix
