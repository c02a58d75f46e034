#pragma once
// Dialogs of fixed content (About, the port, the password, the manual time, the time server):
// as large as their content needs, never resized, without a maximise button.

class QDialog;

namespace kestrix {

// Call once the dialog's layout holds its content.
void fixDialogSize(QDialog *dialog);

} // namespace kestrix
