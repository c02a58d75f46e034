#include "alarms/ui/alarm_dialog.h"

#include "alarms/alarm_compare.h"
#include "alarms/alarm_file.h"
#include "alarms/alarm_transfer.h"
#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "widgets/localize.h"
#include "widgets/board_panel.h"
#include "widgets/comparison_marks.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrix {
namespace {

// Texts without a number in the dialog's template; numbered here so the language tables reach
// them. Each program's group repeats the labels of its edits.
namespace Label {
enum : int {
    ParametersGroup = 1450,
    AlarmType0 = 1451,
    AlarmType1 = 1452,
    Pulses = 1453,
    Duration = 1454,
    Pause = 1455,
    Program1Group = 1456,
    Program2Group = 1457,
    EditAlarmTime = 1458,
    Hour = 1459,
    Minute = 1460,
    Type = 1461,
};
} // namespace Label

struct ProgramControls {
    int list;
    std::array<int, AlarmDialog::TimeFieldCount> edits;
    int group;
    const char *title;
};

constexpr ProgramControls ProgramRows[AlarmProgramCount] = {
    {AlarmDialog::Program1List, {AlarmDialog::Hour1Edit, AlarmDialog::Minute1Edit, AlarmDialog::Type1Edit},
     Label::Program1Group, "Alarm Times - Alarm Programm 1"},
    {AlarmDialog::Program2List, {AlarmDialog::Hour2Edit, AlarmDialog::Minute2Edit, AlarmDialog::Type2Edit},
     Label::Program2Group, "Alarm Times - Alarm Programm 2"},
};

// The parameter grid: a row per quantity, a column per alarm type.
struct NumberedText {
    int number;
    const char *text;
};

constexpr NumberedText ParameterRows[] = {
    {Label::Pulses, "Number of pulses"},
    {Label::Duration, "Duration of impulse in 1/10 sec."},
    {Label::Pause, "Pause between 2 impulses in 1/10 sec."},
};
constexpr NumberedText ParameterColumns[] = {{Label::AlarmType0, "Alarm Type 0"}, {Label::AlarmType1, "Alarm Type 1"}};
constexpr int ParameterLimit = 2;

// The edits under a list, left to right, with their captions.
constexpr NumberedText TimeCaptions[AlarmDialog::TimeFieldCount] = {
    {Label::Hour, "Hour"}, {Label::Minute, "Minute"}, {Label::Type, "Type"}};
constexpr QString AlarmEntry::*EntryFields[AlarmDialog::TimeFieldCount] = {&AlarmEntry::hour, &AlarmEntry::minute,
                                                                       &AlarmEntry::type};

// The list columns: the row label, then the three fields of the slot. A column is wider when
// its head or its row labels need more in the font at hand.
constexpr int ColumnWidths[] = {60, 40, 40, 40};
constexpr int ColumnPadding = 16;
constexpr TextId ColumnTexts[] = {Text::HourColumn, Text::MinuteColumn, Text::TypeColumn};
constexpr const char *ColumnEnglish[] = {"Hour", "Min", "Type"};
constexpr int VisibleRows = 8;

QLabel *label(const NumberedText &text, QWidget *parent)
{
    return numberedLabel(text.number, QString::fromUtf8(text.text), parent);
}

QTreeWidget *alarmList(int control, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    setControlNumber(list, control);
    list->setColumnCount(int(std::size(ColumnWidths)));
    QStringList heads{QString()};
    for (size_t column = 0; column < std::size(ColumnTexts); ++column)
        heads << textOr(ColumnTexts[column], QString::fromUtf8(ColumnEnglish[column]));
    list->setHeaderLabels(heads);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    const QString alarm = textOr(Text::AlarmColumn, QStringLiteral("Alarm"));
    const QString widestRow = alarm + QStringLiteral(" 50");
    int width = 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < int(std::size(ColumnWidths)); ++column) {
        const QString widest = column == 0 ? widestRow : heads[column];
        const int needed = list->fontMetrics().horizontalAdvance(widest) + ColumnPadding;
        list->setColumnWidth(column, std::max(ColumnWidths[column], needed));
        width += list->columnWidth(column);
    }
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < AlarmSlots; ++row)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{alarm + u' ' + QString::number(row + 1)}));
    const int rowHeight = list->sizeHintForRow(0);
    list->setMinimumHeight(list->header()->sizeHint().height() + VisibleRows * rowHeight + 2 * list->frameWidth());
    list->setMinimumWidth(width);
    return list;
}

QLineEdit *newTimeEdit(int control, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    setControlNumber(edit, control);
    edit->setAlignment(Qt::AlignCenter);
    edit->setMaximumWidth(48);
    return edit;
}

SpinEdit *newParameterEdit(const AlarmParameterInfo &row, QWidget *parent)
{
    auto *spin = new SpinEdit(parent);
    setControlNumber(spin->edit(), row.edit);
    setControlNumber(spin->upDown(), row.spin);
    spin->setRange(0, 99);
    spin->edit()->setMaxLength(ParameterLimit);
    spin->edit()->setAlignment(Qt::AlignCenter);
    spin->edit()->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), spin->edit()));
    spin->edit()->setMaximumWidth(40);
    return spin;
}

} // namespace

AlarmDialog::AlarmDialog(QWidget *parent) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Alarm Configuration Dialog"));
    m_marks = new ComparisonMarks(this);

    auto *top = new QHBoxLayout;
    top->addWidget(createParameters());
    top->addLayout(createButtons(), 1);
    auto *programs = new QHBoxLayout;
    for (int program = 0; program < AlarmProgramCount; ++program)
        programs->addWidget(createProgram(program));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(programs, 1);

    // Localised before the fields are filled: some of their numbers name main-window texts.
    LocalizeDialog(this, DialogNumber);
    BoardPanel::useBoardDialogKeys(this);
    loadAlarms();
}

QLabel *AlarmDialog::statusLine() const
{
    return m_panel->line(0);
}

QWidget *AlarmDialog::createParameters()
{
    auto *group = new QGroupBox(QStringLiteral("Alarm Type Parameters"), this);
    setControlNumber(group, Label::ParametersGroup);
    auto *grid = new QGridLayout(group);
    for (int column = 0; column < int(std::size(ParameterColumns)); ++column)
        grid->addWidget(label(ParameterColumns[column], group), 0, 1 + 2 * column, 1, 2, Qt::AlignCenter);
    for (int row = 0; row < int(std::size(ParameterRows)); ++row)
        grid->addWidget(label(ParameterRows[row], group), 1 + row, 0);
    const auto table = alarmParameterTable();
    for (int index = 0; index < AlarmParameterCount; ++index) {
        const AlarmParameterInfo &info = table[size_t(index)];
        const int row = 1 + index % 3;
        const int column = 1 + 2 * (index / 3);
        grid->addWidget(new QLabel(QString::fromLatin1(info.label), group), row, column, Qt::AlignRight);
        m_parameters[size_t(index)] = newParameterEdit(info, group);
        grid->addWidget(m_parameters[size_t(index)], row, column + 1);
        connect(m_parameters[size_t(index)]->edit(), &QLineEdit::textChanged, this,
                [this, index](const QString &text) { m_alarms.parameters[size_t(index)] = text; });
        m_marks->watch({m_parameters[size_t(index)]->edit()});
    }
    return group;
}

QWidget *AlarmDialog::createProgram(int program)
{
    const ProgramControls &controls = ProgramRows[program];
    ProgramView &view = m_programs[size_t(program)];
    auto *group = new QGroupBox(QString::fromUtf8(controls.title), this);
    setControlNumber(group, controls.group);
    view.list = alarmList(controls.list, group);
    connect(view.list, &QTreeWidget::currentItemChanged, this, [this, program](QTreeWidgetItem *item) {
        if (item)
            selectRow(program, list(program)->indexOfTopLevelItem(item));
    });

    auto *edits = new QGridLayout;
    edits->addWidget(label({Label::EditAlarmTime, "Edit Alarm Time"}, group), 1, 0);
    constexpr int EditColumns[TimeFieldCount] = {1, 3, 4};
    for (int field = 0; field < TimeFieldCount; ++field) {
        edits->addWidget(label(TimeCaptions[field], group), 0, EditColumns[field], Qt::AlignCenter);
        view.edits[field] = newTimeEdit(controls.edits[size_t(field)], group);
        edits->addWidget(view.edits[field], 1, EditColumns[field]);
        connect(view.edits[field], &QLineEdit::textEdited, this,
                [this, program, field](const QString &text) { typed(program, TimeField(field), text); });
        // Typing clears the marks; a text shown for another selected row does not.
        connect(view.edits[field], &QLineEdit::textEdited, m_marks, &ComparisonMarks::clear);
    }
    edits->addWidget(new QLabel(QStringLiteral(":"), group), 1, 2, Qt::AlignCenter);
    edits->setColumnStretch(5, 1);

    auto *layout = new QVBoxLayout(group);
    layout->addWidget(view.list, 1);
    layout->addLayout(edits);
    return group;
}

QLayout *AlarmDialog::createButtons()
{
    struct ButtonRow {
        int control;
        QString text;
        void (AlarmDialog::*action)();
    };
    const ButtonRow rows[] = {
        {DownloadButton, QStringLiteral("Download Alarm Times"), &AlarmDialog::OnDownload},
        {CompareButton, QStringLiteral("Compare with Board"), &AlarmDialog::OnCompare},
        {SaveButton, QStringLiteral("Save Alarm Times To File"), &AlarmDialog::OnSave},
        {ClearButton, textOr(Text::ClearAlarmsButton, QStringLiteral("Clear Alarm Times")), &AlarmDialog::OnClear},
        {UpdateButton, QStringLiteral("Update Alarms"), &AlarmDialog::OnUpdate},
    };
    auto *column = new QVBoxLayout;
    m_panel = BoardPanel::forDialog(BoardQueues::instance().session(), StatusLine, this);
    m_panel->setLine(0, textOr(Text::Status, QStringLiteral("Status:")));
    m_panel->line(0)->setMinimumWidth(220);
    column->addWidget(m_panel);
    for (const ButtonRow &row : rows) {
        auto *button = new QPushButton(row.text, this);
        setControlNumber(button, row.control);
        connect(button, &QPushButton::clicked, this, row.action);
        column->addWidget(button);
        // Save writes files only, but not while a job may be reading them into the dialog.
        m_panel->addOperationButtons({button});
    }
    m_verify = createVerifyBox(*m_panel, this);
    column->addWidget(m_verify);
    column->addStretch();

    auto *close = new QPushButton(textOr(Text::CloseButton, QStringLiteral("Close")), this);
    setControlNumber(close, CloseButton);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        close->setIcon(closeIcon);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    column->addWidget(close);
    return column;
}

// The parameters of config.ini and the alarm times of alarms.txt. Without the file (a new data
// folder) the programs start empty and Save creates it; a file that cannot be read says why.
void AlarmDialog::loadAlarms()
{
    const StoredAlarms stored = readStoredAlarms();
    m_alarms.parameters = stored.parameters;
    if (stored.file)
        m_alarms.programs = stored.file->programs;
    showAlarms();
    if (!stored.file && QFileInfo::exists(alarmFilePath()))
        m_panel->showFileError(stored.error);
    else if (stored.file->dropped() > 0)
        showStatus(textOr(Text::AlarmLinesNotLoaded, QStringLiteral("%1")).arg(stored.file->dropped()));
}

void AlarmDialog::showAlarms()
{
    const AlarmParameters parameters = m_alarms.parameters;
    for (int index = 0; index < AlarmParameterCount; ++index)
        m_parameters[size_t(index)]->setText(parameters[size_t(index)]);
    refreshLists();
    for (int program = 0; program < AlarmProgramCount; ++program)
        showSelected(program);
}

void AlarmDialog::refreshLists()
{
    for (int program = 0; program < AlarmProgramCount; ++program) {
        for (int row = 0; row < AlarmSlots; ++row) {
            QTreeWidgetItem *item = list(program)->topLevelItem(row);
            const AlarmEntry &entry = m_alarms.programs[size_t(program)][size_t(row)];
            for (int field = 0; field < TimeFieldCount; ++field)
                item->setText(1 + field, entry.*EntryFields[field]);
        }
    }
}

void AlarmDialog::showSelected(int program)
{
    const ProgramView &view = m_programs[size_t(program)];
    const AlarmEntry &entry = m_alarms.programs[size_t(program)][size_t(view.selected)];
    for (int field = 0; field < TimeFieldCount; ++field)
        view.edits[field]->setText(entry.*EntryFields[field]);
}

void AlarmDialog::selectRow(int program, int row)
{
    if (row < 0 || row >= AlarmSlots)
        return;
    m_programs[size_t(program)].selected = row;
    showSelected(program);
    // The time edits now show another slot: their marks follow it.
    if (!m_marks->empty() && m_compared)
        m_marks->show(*m_compared, [this](const QString &item) { return controlsOfItem(item); });
}

void AlarmDialog::typed(int program, TimeField field, const QString &text)
{
    AlarmEntry &entry = m_alarms.programs[size_t(program)][size_t(m_programs[size_t(program)].selected)];
    entry.*EntryFields[field] = text;
    refreshLists();
}

void AlarmDialog::showStatus(const QString &message)
{
    m_panel->setLine(0, textOr(Text::Status, QStringLiteral("Status:")) + u' ' + message);
}

// config.ini's C1-C6 and alarms.txt; after a written file the lists show the programs packed
// as the file holds them.
bool AlarmDialog::save()
{
    const AlarmSave saved = saveAlarms(m_alarms, alarmFilePath());
    showAlarms();
    if (!saved.ok())
        m_panel->showFileError(saved.error);
    else
        showStatus(LookupText(Text::AlarmsSaved).arg(QDir::toNativeSeparators(alarmFilePath())));
    return saved.ok();
}

void AlarmDialog::OnSave()
{
    if (!m_panel->busy())
        save();
}

// With Verify after upload ticked, a completed upload is read back: exactly the alarms it sent.
void AlarmDialog::OnUpdate()
{
    if (m_panel->busy())
        return;
    save();   // the upload goes on when the files could not be written
    const Alarms sent = m_alarms;
    m_panel->submit(alarmUploadJob(sent), [this, sent](const JobResult<NoData> &upload) {
        if (upload.ending.completed() && m_verify->isChecked())
            verifyUpload(*m_panel, alarmReadBackJob(sent));
    });
}

// The alarms the fields show, as Update Alarms would send them, against a download; nothing is
// saved and the fields keep their values.
void AlarmDialog::OnCompare()
{
    if (m_panel->busy())
        return;
    const Alarms shown = m_alarms;
    compareWithBoard<AlarmDownload>(
        *m_panel, *m_marks, alarmDownloadJob(),
        [this, shown](const AlarmDownload &board) {
            ItemComparison comparison = compareAlarms(shown, board);
            // Kept for the marks from the call that shows them; the job's own call for its
            // ending runs on the board's thread.
            if (QThread::currentThread() == thread())
                m_compared = comparison;
            return comparison;
        },
        [this](const QString &item) { return controlsOfItem(item); });
}

// The row a slot of the packed program comes from: the filled rows in order, then the free ones.
int AlarmDialog::rowOfSlot(int program, int slot) const
{
    const AlarmProgram &rows = m_alarms.programs[size_t(program)];
    std::vector<int> order;
    for (const bool filled : {true, false}) {
        for (int row = 0; row < AlarmSlots; ++row) {
            if (rows[size_t(row)].filled() == filled)
                order.push_back(row);
        }
    }
    return slot >= 0 && slot < AlarmSlots ? order[size_t(slot)] : -1;
}

QList<QWidget *> AlarmDialog::controlsOfItem(const QString &item) const
{
    static const QRegularExpression parameter(QStringLiteral("^C([1-6])\\b"));
    static const QRegularExpression slot(QStringLiteral("^p([1-2]) slot (\\d+)"));
    if (const QRegularExpressionMatch match = parameter.match(item); match.hasMatch())
        return {m_parameters[size_t(match.captured(1).toInt() - 1)]};
    const QRegularExpressionMatch match = slot.match(item);
    if (!match.hasMatch())
        return {};
    const int program = match.captured(1).toInt() - 1;
    const ProgramView &view = m_programs[size_t(program)];
    QList<QWidget *> controls{view.list};
    if (rowOfSlot(program, match.captured(2).toInt() - 1) == view.selected)
        controls << view.edits[Hour] << view.edits[Minute] << view.edits[Type];
    return controls;
}

void AlarmDialog::OnDownload()
{
    if (!m_panel->busy())
        m_panel->submit(alarmDownloadJob(), [this](const JobResult<AlarmDownload> &download) { downloaded(download); });
}

// Only a download whose frames all went out changes the dialog; slots that did not answer keep
// their texts.
void AlarmDialog::downloaded(const JobResult<AlarmDownload> &download)
{
    if (!download.ending.ran())
        return;
    applyDownload(download.data, m_alarms);
    m_marks->clear();
    showAlarms();
}

void AlarmDialog::OnClear()
{
    if (!m_panel->busy())
        m_panel->submit(alarmClearJob(), [this](const JobResult<NoData> &clear) { cleared(clear); });
}

void AlarmDialog::cleared(const JobResult<NoData> &clear)
{
    if (!clear.ending.completed())
        return;
    applyClear(m_alarms);
    m_marks->clear();
    showAlarms();
}

void AlarmDialog::done(int result)
{
    if (m_panel->confirmClose())
        QDialog::done(result);
}

} // namespace kestrix
