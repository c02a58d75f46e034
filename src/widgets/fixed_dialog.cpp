#include "widgets/fixed_dialog.h"

#include <QDialog>
#include <QLayout>

namespace kestrix {

void fixDialogSize(QDialog *dialog)
{
    dialog->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    dialog->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    dialog->setSizeGripEnabled(false);
    if (QLayout *layout = dialog->layout())
        layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kestrix
