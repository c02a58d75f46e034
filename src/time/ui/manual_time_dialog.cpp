#include "time/ui/manual_time_dialog.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "widgets/fixed_dialog.h"
#include "widgets/localize.h"
#include "widgets/board_panel.h"

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
    {Clock::Hours, ManualTimeDialog::HourEdit, 1420, "Hour", 2},
    {Clock::Minutes, ManualTimeDialog::MinuteEdit, 1421, "Minute", 2},
    {Clock::Seconds, ManualTimeDialog::SecondEdit, 1422, "Second", 2},
    {Clock::Weekday, ManualTimeDialog::WeekdayEdit, 1423, "Weekday", 1},
    {Clock::Day, ManualTimeDialog::DayEdit, 1424, "Day", 2},
    {Clock::Month, ManualTimeDialog::MonthEdit, 1425, "Month", 2},
    {Clock::Year, ManualTimeDialog::YearEdit, 1426, "Year", 2},
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

ManualTimeDialog::ManualTimeDialog(QWidget *parent, const QDateTime &now) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Adjust Time & Date Manual Dialog"));
    createFields(now);

    m_upload = new QPushButton(QStringLiteral("Upload Time && Date"), this);
    setControlNumber(m_upload, UploadButton);
    m_upload->setAutoDefault(false);
    connect(m_upload, &QPushButton::clicked, this, &ManualTimeDialog::OnUpload);

    m_close = new QPushButton(textOr(Text::CloseButton, QStringLiteral("Close")), this);
    setControlNumber(m_close, CloseButton);
    m_close->setAutoDefault(false);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        m_close->setIcon(closeIcon);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    m_panel = BoardPanel::forDialog(BoardQueues::instance().session(), StatusLine, this);
    statusLine()->setText(LookupText(Text::Status));
    m_panel->addOperationButtons({m_upload});

    auto *layout = qobject_cast<QGridLayout *>(this->layout());
    const int row = layout->rowCount();
    layout->addWidget(m_upload, row, 0, 1, int(std::size(FieldRows)));
    layout->addWidget(m_panel, row + 1, 0, 1, int(std::size(FieldRows)));
    layout->addWidget(m_close, row + 2, 0, 1, int(std::size(FieldRows)), Qt::AlignCenter);

    BoardPanel::useBoardDialogKeys(this);
    LocalizeDialog(this, DialogNumber);
    fixDialogSize(this);
}

void ManualTimeDialog::createFields(const QDateTime &now)
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

QLabel *ManualTimeDialog::statusLine() const
{
    return m_panel->line(0);
}

ClockValues ManualTimeDialog::typedFields() const
{
    ClockValues typed;
    for (int field = 0; field < Clock::FieldCount; ++field)
        typed[size_t(field)] = m_fields[size_t(field)]->text();
    return typed;
}

void ManualTimeDialog::OnUpload()
{
    if (m_panel->busy())
        return;
    m_panel->submit(manualTimeUploadJob(typedFields()), [](const JobResult<NoData> &) {});
}

void ManualTimeDialog::done(int result)
{
    if (m_panel->confirmClose())
        QDialog::done(result);
}

} // namespace kestrix
