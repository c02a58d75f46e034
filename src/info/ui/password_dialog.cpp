#include "info/ui/password_dialog.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "info/info_variables.h"
#include "widgets/fixed_dialog.h"
#include "widgets/localize.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

PasswordDialog::PasswordDialog(QWidget *parent) : QDialog(parent), m_stored(storedClearingPassword())
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Clear Informations"));

    // The labels start empty: only the language tables give them a text.
    auto *prompt = numberedLabel(PromptLabel, QString(), this);
    auto *note = numberedLabel(NoteLabel, QString(), this);
    note->setWordWrap(true);
    m_edit = new QLineEdit(this);
    setControlNumber(m_edit, PasswordEdit);
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setMaxLength(MaxPasswordBytes);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(textOr(Text::OkButton, QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    setControlNumber(ok, OkButton);
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(textOr(Text::CancelButton, QStringLiteral("Cancel")),
                                             QDialogButtonBox::RejectRole);
    setControlNumber(cancel, CancelButton);
    const QIcon cancelIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!cancelIcon.isNull())
        cancel->setIcon(cancelIcon);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_edit);
    layout->addWidget(note);
    layout->addWidget(buttons);
    m_edit->setMinimumWidth(300);

    LocalizeDialog(this, DialogNumber);
    fixDialogSize(this);
    m_edit->setFocus();
}

PasswordDialog::~PasswordDialog()
{
    wipeTyped();
}

// The edit's text() shares its characters with the edit's own buffer: wiping that copy
// overwrites the buffer; setting an empty text then drops the edit's undo history as well.
void PasswordDialog::wipeTyped()
{
    QString typed = m_edit->text();
    wipe(typed);
    m_edit->setText(QString());
}

// A password other than the stored one is reported here; the prompt closes as accepted
// either way.
void PasswordDialog::accept()
{
    const bool other = m_edit->text() != m_stored.text;
    m_allowed = passwordAllowsClearing(m_stored.text, m_edit->text());
    wipeTyped();
    wipe(m_stored.text);
    if (other) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(),
                        textOr(Text::WrongPassword, QStringLiteral("Wrong Password! Can't clear parameters.")),
                        QMessageBox::Ok, this);
        box.exec();
    }
    QDialog::accept();
}

} // namespace kestrix
