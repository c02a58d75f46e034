#pragma once
// The password prompt before clearing the clock information (dialog 177). OK compares the typed
// password with the one of config.ini [Settings] admin and says so when it is another; the
// caller decides with passwordAllowed(). While the prompt exists the process writes no core
// dump; both passwords are wiped once compared, the typed one in the line edit too.

#include "info/held_password.h"

#include <QDialog>
#include <QString>

class QLineEdit;

namespace kestrix {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    enum Control {
        OkButton = 1,
        CancelButton = 2,
        PasswordEdit = 1131,
        PromptLabel = 1205,
        NoteLabel = 1206,
    };
    static constexpr int DialogNumber = 177;

    explicit PasswordDialog(QWidget *parent = nullptr);
    ~PasswordDialog() override;

    QLineEdit *passwordEdit() const { return m_edit; }
    // OK was pressed with the stored password, and that is not empty.
    bool passwordAllowed() const { return m_allowed; }

    void accept() override;

private:
    void wipeTyped();

    PasswordHold m_hold;   // first: dumps are off before the stored password is read
    WipedText m_stored;
    bool m_allowed = false;
    QLineEdit *m_edit = nullptr;
};

} // namespace kestrix
