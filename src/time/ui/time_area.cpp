#include "widgets/area.h"

#include "time/ui/time_buttons.h"
#include "time/ui/time_server_dialog.h"

namespace kestrix {

namespace {

const AreaDialog Dialogs[] = {
    {"ntp", [] { return std::unique_ptr<QDialog>(std::make_unique<TimeServerDialog>()); }},
};
} // namespace

namespace area {
extern const Area time;
const Area time{"time", wireTimeButtons, Dialogs};
} // namespace area

} // namespace kestrix
