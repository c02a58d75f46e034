#include "time/ui/manual_dlg.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "widgets/localize.h"
#include "widgets/operation_progress.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace kestrix {
namespace {

// One field: its register, control, caption (number and English text), and character limit, in
// the order the dialog shows them.
struct FieldRow {
    Clock::Field field;
    int control;
    int caption;
    const char *text;
    int limit;
};

constexpr FieldRow FieldRows[] = {
    {Clock::Hours, CManualDlg::HourEdit, 1420, "Hour", 2},
    {Clock::Minutes, CManualDlg::MinuteEdit, 1421, "Minute", 2},
    {Clock::Seconds, CManualDlg::SecondEdit, 1422, "Second", 2},
    {Clock::Weekday, CManualDlg::WeekdayEdit, 1423, "Weekday", 1},
    {Clock::Day, CManualDlg::DayEdit, 1424, "Day", 2},
    {Clock::Month, CManualDlg::MonthEdit, 1425, "Month", 2},
    {Clock::Year, CManualDlg::YearEdit, 1426, "Year", 2},
};

QLineEdit *digitsEdit(int control, int limit, const QString &text, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setMaxLength(limit);
    edit->setAlignment(Qt::AlignCenter);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setText(text.left(limit));
    setControlNumber(edit, control);
    return edit;
}

} // namespace

CManualDlg::CManualDlg(QWidget *parent, const QDateTime &now) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Adjust Time & Date Manual Dialog"));
    createFields(now);

    m_upload = new QPushButton(QStringLiteral("Upload Time && Date"), this);
    setControlNumber(m_upload, UploadButton);
    m_upload->setAutoDefault(false);
    connect(m_upload, &QPushButton::clicked, this, &CManualDlg::OnUpload);

    m_close = new QPushButton(textOr(Text::CloseButton, QStringLiteral("Close")), this);
    setControlNumber(m_close, CloseButton);
    m_close->setAutoDefault(false);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        m_close->setIcon(closeIcon);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    m_status = numberedLabel(StatusLine, LookupText(Text::Status), this);

    auto *layout = qobject_cast<QGridLayout *>(this->layout());
    const int row = layout->rowCount();
    layout->addWidget(m_upload, row, 0, 1, int(std::size(FieldRows)));
    layout->addWidget(m_status, row + 1, 0, 1, int(std::size(FieldRows)));
    layout->addWidget(m_close, row + 2, 0, 1, int(std::size(FieldRows)), Qt::AlignCenter);

    readSerialSettings(m_settings);
    connectRunner();
    LocalizeDialog(this, DialogNumber);
}

void CManualDlg::createFields(const QDateTime &now)
{
    const ClockValues preset = clockFieldsOf(now);
    auto *layout = new QGridLayout(this);
    int column = 0;
    for (const FieldRow &row : FieldRows) {
        layout->addWidget(numberedLabel(row.caption, QString::fromUtf8(row.text), this), 0, column, Qt::AlignCenter);
        QLineEdit *edit = digitsEdit(row.control, row.limit, preset[size_t(row.field)], this);
        layout->addWidget(edit, 1, column++);
        m_fields[size_t(row.field)] = edit;
    }
}

void CManualDlg::connectRunner()
{
    connect(&m_runner, &OperationRunner::lineChanged, this, [this](int index, const QString &text) {
        if (index == 0)
            m_status->setText(text);
    });
    connect(&m_runner, &OperationRunner::busyChanged, this, [this](bool busy) { setButtonsEnabled(!busy); });
    showMessageBoxesOver(this, m_runner);
}

void CManualDlg::setButtonsEnabled(bool enabled)
{
    m_upload->setEnabled(enabled);
    m_close->setEnabled(enabled);
}

ClockValues CManualDlg::typedFields() const
{
    ClockValues typed;
    for (int field = 0; field < Clock::FieldCount; ++field)
        typed[size_t(field)] = m_fields[size_t(field)]->text();
    return typed;
}

void CManualDlg::OnUpload()
{
    if (m_runner.busy())
        return;
    m_runner.start([settings = m_settings, typed = typedFields()](Reporter &reporter) {
        uploadManualTime(settings, typed, reporter);
    }, this);
}

} // namespace kestrix
