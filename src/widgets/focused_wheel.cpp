#include "widgets/focused_wheel.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace kestrix {
namespace {

// Ignores the wheel for an unfocused control: an ignored wheel event goes on to the parent,
// and in the end to the scroll area's viewport.
class FocusedWheelFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        const auto *control = qobject_cast<QWidget *>(watched);
        if (!control || control->hasFocus())
            return false;
        event->ignore();
        return true;
    }
};

} // namespace

void takeWheelOnlyWhenFocused(QWidget *control)
{
    if (!control)
        return;
    // A wheel focus policy would give the control the focus with the first wheel turn.
    if (control->focusPolicy() == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new FocusedWheelFilter(control));
}

} // namespace kestrix
