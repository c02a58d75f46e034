#include "daynight/ui/daynight_dlg.h"

#include "base/language.h"
#include "base/texts.h"
#include "daynight/daynight_transfer.h"
#include "widgets/localize.h"
#include "widgets/operation_progress.h"
#include "widgets/spin_edit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kestrix {
namespace {

constexpr int NameLimit = 9;
constexpr int TimeZoneLimit = 3;
constexpr int TimeLimit = 4;
constexpr int BrightnessLimit = 2;
constexpr int BrightnessMaximum = 100;

constexpr const char *MonthCaptions[MonthCount] = {"Jan.", "Feb.", "Mar.", "Apr.", "May",  "June",
                                                   "July", "Aug.", "Sep.", "Oct.", "Nov.", "Dec."};

// The first time edit of each row, by DayTime, and the row's caption.
struct TimeRow {
    int firstEdit;
    int caption;
    const char *text;
};

constexpr TimeRow TimeRows[DayTimeCount] = {
    {CDayNight::FirstRiseEdit, CDayNight::RiseCaption, "Rise"},
    {CDayNight::FirstSetEdit, CDayNight::SetCaption, "Set"},
    {CDayNight::FirstBeginEdit, CDayNight::BeginCaption, "Begin"},
    {CDayNight::FirstEndEdit, CDayNight::EndCaption, "End"},
};

// The place's descriptive fields: label, edit, typing limit (0: none).
struct PlaceField {
    int label;
    const char *text;
    int edit;
    int limit;
    QLineEdit *CDayNight::*member;
};

QValidator *digitsUpTo(int characters, QObject *parent)
{
    const QString pattern = QStringLiteral("[0-9]{0,%1}").arg(characters);
    return new QRegularExpressionValidator(QRegularExpression(pattern), parent);
}

QLineEdit *newEdit(int control, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    setControlNumber(edit, control);
    return edit;
}

// Digits only, at most four typed; a downloaded text of more characters shows whole.
QLineEdit *newTimeEdit(int control, QWidget *parent)
{
    QLineEdit *edit = newEdit(control, parent);
    edit->setValidator(digitsUpTo(TimeLimit, edit));
    edit->setAlignment(Qt::AlignCenter);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 10);
    return edit;
}

// The English text a control is built with, before the language tables replace it.
QString builtIn(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

CDayNight::CDayNight(QWidget *parent) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Day and Night Settings"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(createPlace());
    layout->addWidget(createTimes(FirstSunMonth, SunNote, "*Sun Rise and Sun Set: (format hhmm)", DayTime::Rise,
                                  DayTime::Set));
    layout->addWidget(createTimes(FirstDayMonth, DayNote, "*Day Begin and Day End: (format hhmm)", DayTime::Begin,
                                  DayTime::End));
    layout->addWidget(numberedLabel(FirstDayNote, QStringLiteral("*Values are for 1st day of each month"), this));
    layout->addLayout(createBrightness());
    layout->addLayout(createButtons());

    connectRunner();
    // Localised before the fields are filled. "Choose Location:" carries 1334, which names
    // the main window's reset note in the language tables, so it takes its own text number.
    LocalizeDialog(this, DialogNumber);
    m_choose->setText(textOr(Text::ChooseLocation, QStringLiteral("Choose Location:")));
    readSerialSettings(m_settings);
    loadList();
}

CDayNight::~CDayNight()
{
    // The runner waits for a running operation; what it still reports goes nowhere.
    disconnect(&m_runner, nullptr, this, nullptr);
}

QLayout *CDayNight::createPlace()
{
    auto *grid = new QGridLayout;
    m_choose = numberedLabel(ChooseLabel, QStringLiteral("Choose Location:"), this);
    grid->addWidget(m_choose, 0, 0);
    m_places = new QComboBox(this);
    setControlNumber(m_places, PlaceList);
    m_places->setMinimumContentsLength(NameLimit + 3);
    connect(m_places, &QComboBox::currentIndexChanged, this, &CDayNight::OnPick);
    grid->addWidget(m_places, 0, 1);

    const PlaceField fields[] = {
        {NameLabel, "Location:", NameEdit, NameLimit, &CDayNight::m_name},
        {LatitudeLabel, "Latitude:", LatitudeEdit, 0, &CDayNight::m_latitude},
        {LongitudeLabel, "Longitude:", LongitudeEdit, 0, &CDayNight::m_longitude},
        {TimeZoneLabel, "Time zone:", TimeZoneEdit, TimeZoneLimit, &CDayNight::m_timeZone},
    };
    for (int index = 0; index < int(std::size(fields)); ++index) {
        const PlaceField &field = fields[index];
        const int row = 1 + index / 2;
        const int column = 2 * (index % 2);
        grid->addWidget(numberedLabel(field.label, builtIn(field.text), this), row, column);
        QLineEdit *edit = newEdit(field.edit, this);
        setTypingLimit(edit, field.limit);
        this->*field.member = edit;
        grid->addWidget(edit, row, column + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return grid;
}

// A table of two rows of time edits under the month captions: months across, the rows down.
QWidget *CDayNight::createTimes(int monthCaptions, int noteNumber, const char *note, DayTime first, DayTime second)
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(numberedLabel(noteNumber, builtIn(note), box), 0, 0, 1, 1 + MonthCount);
    for (int month = 0; month < MonthCount; ++month)
        grid->addWidget(numberedLabel(monthCaptions + month, builtIn(MonthCaptions[month]), box), 1, 1 + month,
                        Qt::AlignCenter);
    const DayTime rows[] = {first, second};
    for (int row = 0; row < 2; ++row) {
        const TimeRow &info = TimeRows[size_t(rows[row])];
        grid->addWidget(numberedLabel(info.caption, builtIn(info.text), box), 2 + row, 0);
        for (int month = 0; month < MonthCount; ++month) {
            QLineEdit *edit = newTimeEdit(info.firstEdit + month, box);
            m_times[size_t(rows[row])][size_t(month)] = edit;
            grid->addWidget(edit, 2 + row, 1 + month);
        }
    }
    return box;
}

QLayout *CDayNight::createBrightness()
{
    auto *row = new QHBoxLayout;
    row->addWidget(numberedLabel(BrightnessLabel, QStringLiteral("Minimal brightness during night time:"), this));
    m_brightness = new SpinEdit(this);
    setControlNumber(m_brightness->edit(), BrightnessEdit);
    setControlNumber(m_brightness->upDown(), BrightnessUpDown);
    m_brightness->setRange(0, BrightnessMaximum);
    m_brightness->edit()->setValidator(digitsUpTo(BrightnessLimit, m_brightness->edit()));
    m_brightness->edit()->setAlignment(Qt::AlignCenter);
    row->addWidget(m_brightness);
    row->addStretch();
    return row;
}

QLayout *CDayNight::createButtons()
{
    struct ButtonRow {
        int control;
        const char *text;
        void (CDayNight::*action)();
    };
    constexpr ButtonRow rows[] = {
        {UploadButton, "Upload", &CDayNight::OnUpload},
        {DownloadButton, "Download", &CDayNight::OnDownload},
        {SaveButton, "Save Settings", &CDayNight::OnSave},
    };
    auto *buttons = new QHBoxLayout;
    for (size_t index = 0; index < std::size(rows); ++index) {
        auto *button = new QPushButton(builtIn(rows[index].text), this);
        setControlNumber(button, rows[index].control);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, rows[index].action);
        buttons->addWidget(button);
        m_operationButtons[index] = button;
    }
    m_operationButtons[0]->setDefault(true);
    buttons->addStretch();

    m_status = numberedLabel(StatusLine, textOr(Text::Status, QStringLiteral("Status:")), this);
    m_status->setWordWrap(true);
    m_progress = new OperationProgress(m_runner, this);
    auto *column = new QVBoxLayout;
    column->addLayout(buttons);
    column->addWidget(m_status);
    column->addWidget(m_progress);
    return column;
}

void CDayNight::connectRunner()
{
    connect(&m_runner, &OperationRunner::lineChanged, this, [this](int index, const QString &text) {
        if (index == 0)
            m_status->setText(text);
    });
    connect(&m_runner, &OperationRunner::busyChanged, this, [this](bool busy) { setButtonsEnabled(!busy); });
    showMessageBoxesOver(this, m_runner);
}

// The place names in file order and the brightness; no place selected, the fields as they are.
void CDayNight::loadList()
{
    const LocationList list = loadLocationList();
    {
        const QSignalBlocker quiet(m_places);
        m_places->clear();
        m_places->addItems(list.names);
        m_places->setCurrentIndex(-1);
    }
    m_brightness->setText(list.brightness);
}

void CDayNight::OnPick(int index)
{
    if (index >= 0)
        showRecord(loadLocation(index + 1));
}

LocationRecord CDayNight::record() const
{
    LocationRecord record;
    record.name = m_name->text();
    record.latitude = m_latitude->text();
    record.longitude = m_longitude->text();
    record.timeZone = m_timeZone->text();
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month)
            record.times[size_t(time)][size_t(month)] = m_times[size_t(time)][size_t(month)]->text();
    }
    return record;
}

void CDayNight::showRecord(const LocationRecord &record)
{
    m_name->setText(record.name);
    m_latitude->setText(record.latitude);
    m_longitude->setText(record.longitude);
    m_timeZone->setText(record.timeZone);
    showTimes(record.times);
}

void CDayNight::showTimes(const std::array<MonthTimes, DayTimeCount> &times)
{
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month)
            m_times[size_t(time)][size_t(month)]->setText(times[size_t(time)][size_t(month)]);
    }
}

DayNightSchedule CDayNight::schedule() const
{
    const LocationRecord fields = record();
    return {m_brightness->text(), fields.name, fields.times};
}

// A name the file cannot hold is refused in the status line; a file that cannot be written
// gets the file box. Either way the fields keep what was typed.
void CDayNight::OnSave()
{
    if (m_runner.busy())
        return;
    const LocationRecord fields = record();
    if (const QString problem = nameProblem(fields.name); !problem.isEmpty()) {
        showStatus(problem);
        return;
    }
    QString error;
    if (!saveLocation(fields, m_brightness->text(), &error)) {
        fileBox(error);
        return;
    }
    loadList();
}

void CDayNight::OnUpload()
{
    if (m_runner.busy())
        return;
    m_runner.start([settings = m_settings, schedule = schedule()](Reporter &reporter) {
        uploadSchedule(schedule, settings, reporter);
    }, this);
}

void CDayNight::OnDownload()
{
    if (m_runner.busy())
        return;
    m_runner.run(
        this, [settings = m_settings](Reporter &reporter) { return downloadSchedule(settings, reporter); },
        [this](const DayNightDownload &download) { downloaded(download); });
}

// Only a download that ran to its end changes the fields; registers that did not answer leave
// theirs as they were. Latitude, longitude, time zone and the list stay.
void CDayNight::downloaded(const DayNightDownload &download)
{
    if (download.outcome != Outcome::Completed)
        return;
    DayNightSchedule fields = schedule();
    applyDownload(download, fields);
    m_brightness->setText(fields.brightness);
    m_name->setText(fields.name);
    showTimes(fields.times);
}

void CDayNight::setButtonsEnabled(bool enabled)
{
    for (QPushButton *button : m_operationButtons)
        button->setEnabled(enabled);
}

void CDayNight::showStatus(const QString &message)
{
    m_status->setText(textOr(Text::Status, QStringLiteral("Status:")) + u' ' + message);
}

// "File Opening Error!" without an icon, the reason beneath.
void CDayNight::fileBox(const QString &reason)
{
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), textOr(Text::FileOpenError, QStringLiteral("File Opening Error!")),
                    QMessageBox::Ok, this);
    box.setInformativeText(reason);
    box.exec();
}

void CDayNight::done(int result)
{
    m_runner.cancel();
    QDialog::done(result);
}

} // namespace kestrix
