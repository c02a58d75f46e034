#pragma once
// The main window's parameter buttons: each group's Adjust and Adjust All upload what the
// controls show, Download Configuration reads the board back into them, Save and Load write
// and read parameter files.

#include "params/parameter_upload.h"

namespace kestrix {

class MainWindowHost;
class ParameterArea;

// `timeUpload` is the PC time and date upload Adjust All starts with; the window supplies it,
// as the time area owns it.
void wireParameterButtons(MainWindowHost &host, ParameterArea &parameters, TimeUpload timeUpload);

} // namespace kestrix
