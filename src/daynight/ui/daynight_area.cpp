#include "widgets/area.h"

#include "daynight/ui/daynight_buttons.h"
#include "daynight/ui/daynight_dialog.h"

#include <QComboBox>

namespace kestrix {

namespace {

// The day and night dialog with the last place of its list picked.
const AreaDialog Dialogs[] = {
    {"daynight", [] {
         auto dialog = std::make_unique<DayNightDialog>();
         dialog->placeList()->setCurrentIndex(dialog->placeList()->count() - 1);
         return std::unique_ptr<QDialog>(std::move(dialog));
     }},
};
} // namespace

namespace area {
extern const Area daynight;
const Area daynight{"daynight", wireDayNightButtons, Dialogs};
} // namespace area

} // namespace kestrix
