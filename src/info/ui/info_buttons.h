#pragma once
// The main window's "Clock Information" button, which opens the clock information dialog.

namespace kestrix {

class MainWindowHost;

void wireInfoButtons(MainWindowHost &host);

} // namespace kestrix
