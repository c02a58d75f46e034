#pragma once
// The main window's parameter buttons: each group's Adjust and Adjust All upload what the
// controls show, Download Configuration reads the board back into them, Save and Load write
// and read parameter files.

namespace kestrix {

class MainWindowHost;
class ParameterArea;

// Adjust All starts with the PC time and date upload of the time area.
void wireParameterButtons(MainWindowHost &host, ParameterArea &parameters);

} // namespace kestrix
