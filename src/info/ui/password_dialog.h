#pragma once
// The password prompt before clearing the clock information (dialog 177). OK takes the typed
// password and says so when it is not the one of config.ini [Settings] admin; the caller
// decides with passwordAllowed().

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

    QLineEdit *passwordEdit() const { return m_edit; }
    // Empty until OK is pressed.
    const QString &enteredPassword() const { return m_entered; }
    const QString &storedPassword() const { return m_stored; }
    // OK was pressed with the stored password, and that is not empty.
    bool passwordAllowed() const;

    void accept() override;

private:
    QString m_entered;
    QString m_stored;
    QLineEdit *m_edit = nullptr;
};

} // namespace kestrix
