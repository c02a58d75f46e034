#include "widgets/area.h"

#include "alarms/ui/alarm_buttons.h"
#include "alarms/ui/alarm_dialog.h"

namespace kestrix {

namespace {

const AreaDialog Dialogs[] = {
    {"alarms", [] { return std::unique_ptr<QDialog>(std::make_unique<AlarmDialog>()); }},
};
} // namespace

namespace area {
extern const Area alarms;
const Area alarms{"alarms", wireAlarmButtons, Dialogs};
} // namespace area

} // namespace kestrix
