#include "widgets/area.h"

#include "comm/ui/connection_buttons.h"

namespace kestrix {

namespace areas {
extern const Area comm;
const Area comm{"comm", wireConnectionButtons, {}};
} // namespace areas

} // namespace kestrix
