#include "widgets/area.h"

#include "comm/ui/connection_buttons.h"

namespace kestrix {

namespace area {
extern const Area comm;
const Area comm{"comm", wireConnectionButtons, {}};
} // namespace area

} // namespace kestrix
