#pragma once
// The mouse wheel over a value control changes the value only when that control has the focus;
// over an unfocused one it goes on to the scrolling window, so that scrolling through a window
// of lists never changes a setting on the way.

class QWidget;

namespace kestrix {

// Makes `control` (a list, say) take the wheel only while it has the focus, and never take the
// focus from the wheel; an unfocused control passes the wheel on to its parents.
void takeWheelOnlyWhenFocused(QWidget *control);

} // namespace kestrix
