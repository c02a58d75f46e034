#pragma once
// The main window's board command buttons: Reset, Activate Alarm 1 and 2, and the hidden Test
// Clock button that sends the script file "test.txt" of the data folder.

namespace kestrix {

class MainWindowHost;
class ParameterArea;

void wireBoardCommandButtons(MainWindowHost &host, ParameterArea &parameters);

} // namespace kestrix
