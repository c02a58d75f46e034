#pragma once
// The one mapping from a job's message icon to the message box's icon.

#include "comm/reporter.h"

#include <QMessageBox>

namespace kestrix {

inline QMessageBox::Icon messageBoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace kestrix
