#include "daynight/ui/daynight_dialog.h"

#include "base/language.h"
#include "base/texts.h"
#include "daynight/daynight_compare.h"
#include "daynight/daynight_transfer.h"
#include "widgets/localize.h"
#include "widgets/board_panel.h"
#include "widgets/comparison_marks.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
    {DayNightDialog::FirstRiseEdit, DayNightDialog::RiseCaption, "Rise"},
    {DayNightDialog::FirstSetEdit, DayNightDialog::SetCaption, "Set"},
    {DayNightDialog::FirstBeginEdit, DayNightDialog::BeginCaption, "Begin"},
    {DayNightDialog::FirstEndEdit, DayNightDialog::EndCaption, "End"},
};

// The place's descriptive fields: label, edit, typing limit (0: none).
struct PlaceField {
    int label;
    const char *text;
    int edit;
    int limit;
    QLineEdit *DayNightDialog::*member;
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

DayNightDialog::DayNightDialog(QWidget *parent) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Day and Night Settings"));
    m_marks = new ComparisonMarks(this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(createPlace());
    layout->addWidget(createTimes(FirstSunMonth, SunNote, "*Sun Rise and Sun Set: (format hhmm)", DayTime::Rise,
                                  DayTime::Set));
    layout->addWidget(createTimes(FirstDayMonth, DayNote, "*Day Begin and Day End: (format hhmm)", DayTime::Begin,
                                  DayTime::End));
    layout->addWidget(numberedLabel(FirstDayNote, QStringLiteral("*Values are for 1st day of each month"), this));
    layout->addLayout(createBrightness());
    layout->addLayout(createButtons());
    // Any edit of a compared field clears the marks.
    QList<QWidget *> compared{m_name, m_brightness->edit()};
    for (const auto &row : m_times)
        compared.append(QList<QWidget *>(row.begin(), row.end()));
    m_marks->watch(compared);

    // Localised before the fields are filled. "Choose Location:" carries 1334, which names
    // the main window's reset note in the language tables, so it takes its own text number.
    LocalizeDialog(this, DialogNumber);
    m_choose->setText(textOr(Text::ChooseLocation, QStringLiteral("Choose Location:")));
    BoardPanel::useBoardDialogKeys(this);
    loadList();
}

QLabel *DayNightDialog::statusLine() const
{
    return m_panel->line(0);
}

QLayout *DayNightDialog::createPlace()
{
    auto *grid = new QGridLayout;
    m_choose = numberedLabel(ChooseLabel, QStringLiteral("Choose Location:"), this);
    grid->addWidget(m_choose, 0, 0);
    m_places = new QComboBox(this);
    setControlNumber(m_places, PlaceList);
    m_places->setMinimumContentsLength(NameLimit + 3);
    connect(m_places, &QComboBox::currentIndexChanged, this, &DayNightDialog::OnPick);
    grid->addWidget(m_places, 0, 1);

    const PlaceField fields[] = {
        {NameLabel, "Location:", NameEdit, NameLimit, &DayNightDialog::m_name},
        {LatitudeLabel, "Latitude:", LatitudeEdit, 0, &DayNightDialog::m_latitude},
        {LongitudeLabel, "Longitude:", LongitudeEdit, 0, &DayNightDialog::m_longitude},
        {TimeZoneLabel, "Time zone:", TimeZoneEdit, TimeZoneLimit, &DayNightDialog::m_timeZone},
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
QWidget *DayNightDialog::createTimes(int monthCaptions, int noteNumber, const char *note, DayTime first, DayTime second)
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

QLayout *DayNightDialog::createBrightness()
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

QLayout *DayNightDialog::createButtons()
{
    struct ButtonRow {
        int control;
        const char *text;
        void (DayNightDialog::*action)();
    };
    constexpr ButtonRow rows[] = {
        {UploadButton, "Upload", &DayNightDialog::OnUpload},
        {DownloadButton, "Download", &DayNightDialog::OnDownload},
        {CompareButton, "Compare with Board", &DayNightDialog::OnCompare},
        {SaveButton, "Save Settings", &DayNightDialog::OnSave},
    };
    m_panel = BoardPanel::forDialog(BoardQueues::instance().session(), StatusLine, this);
    m_panel->setLine(0, textOr(Text::Status, QStringLiteral("Status:")));
    auto *buttons = new QHBoxLayout;
    for (const ButtonRow &row : rows) {
        auto *button = new QPushButton(builtIn(row.text), this);
        setControlNumber(button, row.control);
        connect(button, &QPushButton::clicked, this, row.action);
        buttons->addWidget(button);
        if (row.control == UploadButton) {
            m_upload = button;
            m_verify = createVerifyBox(*m_panel, this);
            buttons->addWidget(m_verify);
        } else {
            m_panel->addOperationButtons({button});
        }
    }
    buttons->addStretch();
    // Upload also waits for a place: it follows the board's queue itself.
    connect(&m_panel->queue(), &BoardQueue::busyChanged, this, &DayNightDialog::enableUpload);
    enableUpload();

    auto *column = new QVBoxLayout;
    column->addLayout(buttons);
    column->addWidget(m_panel);
    return column;
}

void DayNightDialog::setPlaceLoaded()
{
    m_placeLoaded = true;
    enableUpload();
}

void DayNightDialog::enableUpload()
{
    m_upload->setEnabled(m_placeLoaded && !m_panel->busy());
}

// The place names in file order and the brightness; no place selected, the fields as they are.
// A file that cannot be read gives no places, and the status line says why.
void DayNightDialog::loadList()
{
    QString error;
    const std::optional<IniSnapshot> file = readLocationFile(locationFilePath(), &error);
    if (!file)
        showStatus(LookupText(Text::PlacesUnreadable).arg(error));
    const LocationList list = file ? locationListOf(*file) : LocationList{};
    {
        const QSignalBlocker quiet(m_places);
        m_places->clear();
        m_places->addItems(list.names);
        m_places->setCurrentIndex(-1);
    }
    m_brightness->setText(list.brightness);
}

void DayNightDialog::OnPick(int index)
{
    if (index < 0)
        return;
    showRecord(loadLocation(index + 1));
    setPlaceLoaded();
}

LocationRecord DayNightDialog::record() const
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

void DayNightDialog::showRecord(const LocationRecord &record)
{
    m_name->setText(record.name);
    m_latitude->setText(record.latitude);
    m_longitude->setText(record.longitude);
    m_timeZone->setText(record.timeZone);
    showTimes(record.times);
}

void DayNightDialog::showTimes(const std::array<MonthTimes, DayTimeCount> &times)
{
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month)
            m_times[size_t(time)][size_t(month)]->setText(times[size_t(time)][size_t(month)]);
    }
}

DayNightSchedule DayNightDialog::schedule() const
{
    const LocationRecord fields = record();
    return {m_brightness->text(), fields.name, fields.times};
}

// A name the file cannot hold is refused in the status line; a file that cannot be written
// gets the file box. Either way the fields keep what was typed.
void DayNightDialog::OnSave()
{
    if (m_panel->busy())
        return;
    const LocationRecord fields = record();
    if (const QString problem = nameProblem(fields.name); !problem.isEmpty()) {
        showStatus(problem);
        return;
    }
    QString error;
    if (!saveLocation(fields, m_brightness->text(), &error)) {
        m_panel->showFileError(error);
        return;
    }
    loadList();
    setPlaceLoaded();
}

// Fields the board cannot take (a name it cannot show, a brightness outside 0-100, a time that
// is not hhmm) are refused in the status line before anything is sent.
void DayNightDialog::OnUpload()
{
    if (!m_placeLoaded || m_panel->busy())
        return;
    const DayNightSchedule fields = schedule();
    if (const QString problem = scheduleProblem(fields); !problem.isEmpty()) {
        showStatus(problem);
        return;
    }
    m_panel->submit(scheduleUploadJob(fields), [this, fields](const JobResult<NoData> &upload) {
        if (upload.ending.completed() && m_verify->isChecked())
            verifyUpload(*m_panel, scheduleReadBackJob(fields));
    });
}

// The schedule the fields show, as Upload would send it, against a download; nothing is saved
// and the fields keep their values.
void DayNightDialog::OnCompare()
{
    if (m_panel->busy())
        return;
    const DayNightSchedule shown = schedule();
    compareWithBoard<DayNightDownload>(
        *m_panel, *m_marks, scheduleDownloadJob(),
        [shown](const DayNightDownload &board) { return compareSchedule(shown, board); },
        [this](const QString &item) { return controlsOfItem(item); });
}

// An item the board did not answer for names its registers after the key: "January Rise (R...)".
QList<QWidget *> DayNightDialog::controlsOfItem(const QString &item) const
{
    const QString key = item.section(QStringLiteral(" ("), 0, 0);
    if (key == QLatin1String("Brightness"))
        return {m_brightness};
    if (key == QLatin1String("Name"))
        return {m_name};
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month) {
            if (timeKey(month, DayTime(time)) == key)
                return {m_times[size_t(time)][size_t(month)]};
        }
    }
    return {};
}

void DayNightDialog::OnDownload()
{
    if (!m_panel->busy())
        m_panel->submit(scheduleDownloadJob(),
                        [this](const JobResult<DayNightDownload> &download) { downloaded(download); });
}

// Only a download whose frames all went out changes the fields; registers that did not answer
// leave theirs as they were. Latitude, longitude, time zone and the list stay.
void DayNightDialog::downloaded(const JobResult<DayNightDownload> &download)
{
    if (!download.ending.ran())
        return;
    DayNightSchedule fields = schedule();
    applyDownload(download.data, fields);
    m_brightness->setText(fields.brightness);
    m_name->setText(fields.name);
    showTimes(fields.times);
    setPlaceLoaded();
}

void DayNightDialog::showStatus(const QString &message)
{
    m_panel->setLine(0, textOr(Text::Status, QStringLiteral("Status:")) + u' ' + message);
}

void DayNightDialog::done(int result)
{
    if (m_panel->confirmClose())
        QDialog::done(result);
}

} // namespace kestrix
