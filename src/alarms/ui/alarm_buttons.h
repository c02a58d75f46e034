#pragma once
// The main window's "Alarm Configuration" button, which opens the alarm dialog.

namespace kestrix {

class MainWindowHost;

void wireAlarmButtons(MainWindowHost &host);

} // namespace kestrix
