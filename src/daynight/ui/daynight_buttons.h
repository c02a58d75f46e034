#pragma once
// The main window's "Day&Night Settings" button, which opens the day and night dialog.

namespace kestrix {

class MainWindowHost;

void wireDayNightButtons(MainWindowHost &host);

} // namespace kestrix
