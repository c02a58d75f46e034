#include "widgets/area.h"

#include "params/ui/board_command_buttons.h"
#include "params/ui/parameter_buttons.h"
#include "widgets/main_window_host.h"

namespace kestrix {

namespace {

// The parameter groups are the main window's body: their Adjust buttons, Download, Save and
// Load, and the board commands beside them.
void wireParameterArea(MainWindowHost &host)
{
    wireParameterButtons(host, host.parameterArea());
    wireBoardCommandButtons(host, host.parameterArea());
}
} // namespace

namespace area {
extern const Area params;
const Area params{"params", wireParameterArea, {}};
} // namespace area

} // namespace kestrix
