#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/boards_dialog.h"
#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "params/parameter_file.h"
#include "params/ui/parameter_area.h"
#include "widgets/digital_edit.h"
#include "widgets/area.h"
#include "widgets/board_panel.h"
#include "widgets/comparison_marks.h"
#include "widgets/localize.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>
#include <memory>
#include <span>

namespace kestrix {

namespace {

// Display controls of the window.
enum Control {
    PcDate = 1009,
    PcTime = 1010,
    PcWeekday = 1019,
    DownloadedClock = 1084,
    ClockDisplay = 1085,
    LogoPicture = 1212,
    PcTimeCaption = 1250,
    PcTimeLabel = 1253,
    PcWeekdayLabel = 1326,
    PcDateLabel = 1330,
    FootnoteLabel = 1331,
    DownloadedClockLabel = 1332,
    DownloadedClockNote = 1333,
    ResetNoteLabel = 1334,
};

using namespace MainButton;

// The window's buttons outside the parameter groups. The feature areas wire their actions.
struct Command {
    int number;
    const char *text;                   // the template text; the language tables replace it
    bool boardOperation;                // disabled while a board operation runs
    const char *icon;                   // an image of the data folder, or nullptr
};

const Command Commands[] = {
    {TestConnection, "Test Connection", true, nullptr},
    {TestClock, "Test Clock", true, nullptr},
    {DayNight, "Day&&Night Settings", true, nullptr},
    {AdjustPcTime, "Adjust", true, nullptr},
    {AdjustAll, "Adjust All", true, nullptr},
    {Reset, "Reset", true, "reset.png"},
    {ActivateAlarm1, "Activate Alarm 1", true, nullptr},
    {ActivateAlarm2, "Activate Alarm 2", true, nullptr},
    {Download, "Download Configuration", true, nullptr},
    {CompareWithBoard, "Compare with Board", true, nullptr},
    {Save, "Save", false, nullptr},
    {Load, "Load", false, nullptr},
    {AlarmConfiguration, "Alarm Configuration", true, nullptr},
    {ManualTime, "Adjust Time && Date Manual", true, nullptr},
    {NtpTime, "Adjust Time && Date via NTP servers", true, nullptr},
    {ClockInformation, "Clock Information", true, nullptr},
    {Boards, "Boards", false, nullptr},
    {SelectPort, "Select COM Port and Speed", true, nullptr},
    {About, "About", false, nullptr},
    {Close, "Close", false, "close.png"},
};

// The command buttons beside the parameter groups, row by row; 0 leaves a cell empty and a
// lone button spans the row.
constexpr int CommandRows[][2] = {
    {TestConnection, 0},
    {SelectPort, 0},
    {ManualTime, 0},
    {NtpTime, 0},
    {AlarmConfiguration, DayNight},
    {ClockInformation, Boards},
    {ActivateAlarm1, ActivateAlarm2},
    {AdjustAll, Reset},
    {Save, Load},
};

// The parameter groups of the middle and right columns, top to bottom; the left column holds the
// PC time, the downloaded clock, the command buttons and then the time zone.
constexpr Group MiddleColumn[] = {Group::ViewTimes, Group::P9, Group::A0, Group::A1, Group::A2, Group::A3};
constexpr Group RightColumn[] = {Group::A4, Group::ByteMap, Group::SimpleTiming, Group::SelfTimer};

QLineEdit *readOnlyField(int number, const QString &widestText, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(widestText) + 16);
    setControlNumber(field, number);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    return field;
}

// The clock box: the board's time, date and weekday on three lines, as the download read them.
QPlainTextEdit *clockBox(int number, QWidget *parent)
{
    constexpr int Lines = 3;
    auto *box = new QPlainTextEdit(parent);
    setControlNumber(box, number);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int margins = 2 * (box->frameWidth() + int(box->document()->documentMargin()));
    box->setFixedHeight(Lines * box->fontMetrics().lineSpacing() + margins);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 00.00.00 0")) + margins);
    return box;
}

// "(some changes are valid only after reset)" under the Reset button: the message text, unless
// the language tables give the label a text of its own.
QLabel *resetNote(QWidget *parent)
{
    const QString text = textOr(Text::ResetNote, QStringLiteral("(some changes are valid only after reset)"));
    QLabel *note = numberedLabel(ResetNoteLabel, text, parent);
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignRight | Qt::AlignTop);
    return note;
}

// The window's vertical scroll bar: a wheel notch (three lines) moves about one line of controls,
// a page a tenth of the range, at least one pixel each; disabled when there is nothing to scroll.
class WindowScrollBar : public QScrollBar {
public:
    explicit WindowScrollBar(int lineHeight, QWidget *parent = nullptr)
        : QScrollBar(Qt::Vertical, parent), m_lineHeight(lineHeight)
    {
    }

protected:
    void sliderChange(SliderChange change) override
    {
        QScrollBar::sliderChange(change);
        if ((change == SliderRangeChange || change == SliderStepsChange) && !m_applying) {
            m_applying = true;
            // A wheel notch (three steps) moves by about a line of controls.
            const int range = maximum() - minimum();
            setSingleStep(std::clamp(m_lineHeight / 3, 1, std::max(1, range)));
            setPageStep(std::max(1, range / 10));
            setEnabled(range > 0);
            m_applying = false;
        }
    }

private:
    int m_lineHeight;
    bool m_applying = false;
};

QVBoxLayout *column(const QList<QWidget *> &widgets)
{
    auto *layout = new QVBoxLayout;
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    layout->addStretch();
    return layout;
}

// Lays the widget and everything in it out afresh. Texts and lists set while the window is
// hidden do not reach the layouts' cached sizes, so every layout is invalidated, then activated
// from the innermost out, each taking its children's settled sizes.
void settleLayouts(QWidget *root)
{
    root->ensurePolished();
    for (QLayout *layout : root->findChildren<QLayout *>())
        layout->invalidate();
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    // findChildren lists a widget before its descendants; backwards, the innermost come first.
    for (auto widget = widgets.crbegin(); widget != widgets.crend(); ++widget) {
        if (QLayout *layout = (*widget)->layout())
            layout->activate();
    }
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildWindow();
    initialise();
    sizeToScreen();   // after the texts and lists are in, which set the content's size
    orderTabStops();
    wireButtons();
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(QDateTime::currentDateTime()); });
    m_timer.start(TickMilliseconds);
}

MainWindow::~MainWindow()
{
    // A job still running is cancelled; its ending no longer reaches the window.
    queue().cancelAll();
    m_timer.stop();
}

BoardQueue &MainWindow::queue()
{
    return m_status->queue();
}

SerialSettings MainWindow::settings() const
{
    return m_status->queue().settings();
}

// The session moves to the board of these settings; the panel follows its queue.
void MainWindow::setSettings(const SerialSettings &settings)
{
    BoardQueues::instance().setSession(settings);
    m_status->setQueue(BoardQueues::instance().session());
}

// ---------------------------------------------------------------------------------------------
// Building

void MainWindow::createButtons()
{
    for (const Command &command : Commands) {
        const QString text = QString::fromUtf8(command.text);
        auto *button = new QPushButton(command.number == Close ? textOr(Text::CloseButton, text) : text, this);
        setControlNumber(button, command.number);
        button->setAutoDefault(false);
        if (command.icon) {
            const QIcon icon(resourceFilePath(QString::fromUtf8(command.icon)));
            if (!icon.isNull())
                button->setIcon(icon);
        }
        m_buttons[command.number] = button;
    }
    button(TestClock)->hide();
}

void MainWindow::buildWindow()
{
    createButtons();
    m_params = new ParameterArea(this);
    // The Adjust buttons join the window's own, so every button is found without a search.
    for (const GroupInfo &group : groupTable())
        m_buttons[group.adjustButton] = m_params->adjustButton(group.group);
    connect(m_params, &ParameterArea::timeViewChanged, this, [this](int seconds) { m_cycle.setTimeViewSeconds(seconds); });
    connect(m_params, &ParameterArea::dateViewChanged, this, [this](int seconds) { m_cycle.setDateViewSeconds(seconds); });

    m_scroll = new QScrollArea(this);
    m_scroll->setFocusPolicy(Qt::NoFocus);   // the Tab key stops at controls only
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setVerticalScrollBar(new WindowScrollBar(button(Download)->sizeHint().height() + 6));
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setWidget(buildContent());

    // The clock with the board panel, and the footer with Close, stay outside the scrolled
    // columns: Cancel and Close are on screen however small the window.
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_topRow);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_footer);
}

QWidget *MainWindow::buildContent()
{
    m_content = new QWidget;
    m_topRow = buildTopRow();
    m_footer = buildFooter();
    auto *columns = new QHBoxLayout;
    columns->addLayout(column({buildPcTimeGroup(), buildDownloadedClock(), buildCommandButtons(),
                               m_params->groupFrame(Group::TimeZone)}));
    for (std::span<const Group> groups : {std::span<const Group>(MiddleColumn), std::span<const Group>(RightColumn)}) {
        QList<QWidget *> frames;
        for (Group group : groups)
            frames << m_params->groupFrame(group);
        columns->addLayout(column(frames));
    }

    auto *layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(columns);
    layout->addStretch();
    return m_content;
}

// The Tab key follows the screen: the status panel's Cancel at the top, then the columns left to
// right, each group top to bottom with its controls in reading order, then the footer.
void MainWindow::orderTabStops()
{
    QList<QWidget *> order{m_status->cancelButton(), button(AdjustPcTime), button(Download), button(CompareWithBoard)};
    for (const auto &pair : CommandRows) {
        for (int number : pair) {
            if (number != 0)
                order << button(number);
            if (number == Reset)
                order << m_verify;
        }
    }
    order << m_params->focusChain(Group::TimeZone);
    for (std::span<const Group> groups : {std::span<const Group>(MiddleColumn), std::span<const Group>(RightColumn)}) {
        for (Group group : groups)
            order << m_params->focusChain(group);
    }
    order << button(TestClock) << button(About) << button(Close);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QWidget *MainWindow::buildTopRow()
{
    auto *row = new QWidget(this);
    m_display = new DigitalEdit(row);
    setControlNumber(m_display, ClockDisplay);
    // As wide as the clock's text, leaving the rest of the row to the message lines.
    m_display->setFixedWidth(m_display->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 40);
    SerialSettings settings;
    readSerialSettings(settings);
    BoardQueues::instance().setSession(settings);
    m_status = BoardPanel::forMainWindow(BoardQueues::instance().session(), row);

    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(logoPicture(LogoPicture, row), 0, Qt::AlignTop);
    layout->addStretch(1);
    layout->addWidget(m_display, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    // The message lines take most of the room beside the clock, so long texts show whole.
    layout->addWidget(m_status, 3);
    return row;
}

QWidget *MainWindow::buildPcTimeGroup()
{
    auto *group = new QGroupBox(QStringLiteral("PC Time / Date"), m_content);
    setControlNumber(group, PcTimeCaption);
    m_pcTime = readOnlyField(PcTime, QStringLiteral("00 : 00 : 00"), group);
    m_pcWeekday = readOnlyField(PcWeekday, QStringLiteral("0"), group);
    m_pcDate = readOnlyField(PcDate, QStringLiteral("00. 00. 0000"), group);

    auto *grid = new QGridLayout(group);
    grid->addWidget(numberedLabel(PcTimeLabel, QStringLiteral("Time:"), group), 0, 0);
    grid->addWidget(m_pcTime, 0, 1);
    grid->addWidget(numberedLabel(PcWeekdayLabel, QStringLiteral("Week day:"), group), 1, 0);
    grid->addWidget(m_pcWeekday, 1, 1);
    grid->addWidget(numberedLabel(PcDateLabel, QStringLiteral("Date:"), group), 2, 0);
    grid->addWidget(m_pcDate, 2, 1);
    grid->addWidget(button(AdjustPcTime), 0, 2, Qt::AlignTop);
    return group;
}

QWidget *MainWindow::buildDownloadedClock()
{
    auto *frame = new QGroupBox(m_content);
    m_downloadedClock = clockBox(DownloadedClock, frame);
    auto *grid = new QGridLayout(frame);
    grid->addWidget(button(Download), 0, 0, 1, 2);
    grid->addWidget(button(CompareWithBoard), 1, 0, 1, 2);
    grid->addWidget(numberedLabel(DownloadedClockLabel, QStringLiteral("Time Date Weekday"), frame), 2, 0);
    grid->addWidget(numberedLabel(DownloadedClockNote, QStringLiteral("(downloaded)"), frame), 2, 1, Qt::AlignRight);
    grid->addWidget(m_downloadedClock, 3, 0, 1, 2);
    return frame;
}

QWidget *MainWindow::buildCommandButtons()
{
    auto *box = new QWidget(m_content);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    for (const auto &pair : CommandRows) {
        if (pair[1] == 0) {
            grid->addWidget(button(pair[0]), row, 0, 1, 2);
        } else {
            grid->addWidget(button(pair[0]), row, 0);
            grid->addWidget(button(pair[1]), row, 1);
        }
        ++row;
        if (pair[1] == Reset) {
            grid->addWidget(resetNote(box), row++, 0, 1, 2);
            m_verify = createVerifyBox(*m_status, box);
            grid->addWidget(m_verify, row++, 0, 1, 2);
        }
    }
    return box;
}

QWidget *MainWindow::buildFooter()
{
    auto *footer = new QWidget(this);
    auto *layout = new QHBoxLayout(footer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(numberedLabel(FootnoteLabel, QStringLiteral("(1) - Not included in standard KESTRIXs"), footer));
    layout->addStretch();
    layout->addWidget(button(TestClock));
    layout->addWidget(button(About));
    layout->addWidget(button(Close));
    return footer;
}

// Every part shows without scrolling when the screen is large enough; else the window takes
// what the screen offers and scrolls.
void MainWindow::sizeToScreen()
{
    QSize size = fullSize();
    if (const QScreen *screen = this->screen()) {
        const QSize available = screen->availableGeometry().size() - QSize(16, 48);
        size = size.boundedTo(available);
    }
    resize(size);
}

// Measured on the settled layout, at the content's preferred width: captions that wrap there
// make the content taller than its plain size hint says.
QSize MainWindow::fullSize()
{
    settleLayouts(this);
    const QSize hint = m_content->sizeHint().expandedTo(m_content->minimumSizeHint());
    const int contentHeight = m_content->hasHeightForWidth()
                                  ? std::max(hint.height(), m_content->heightForWidth(hint.width()))
                                  : hint.height();
    const int bar = m_scroll->verticalScrollBar()->sizeHint().width();
    const QMargins margins = layout()->contentsMargins();
    const int spacing = layout()->spacing();
    const int width = std::max({hint.width() + bar, m_topRow->sizeHint().width(), m_footer->sizeHint().width()});
    const int height = m_topRow->sizeHint().height() + contentHeight + m_footer->sizeHint().height() + 2 * spacing;
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

// ---------------------------------------------------------------------------------------------
// Initialisation: serial settings, language, status caption, lists and starting values.

void MainWindow::initialise()
{
    LocalizeDialog(this, DialogNumber);
    m_params->wrapCaptions();
    m_status->caption()->setText(LookupText(Text::Status));
    m_params->fillLists();
    m_params->resetToStart();
    m_status->clearLines();
    presetStartParameters();
    m_cycle.restart();
}

// The parameter controls take the [Parameters] keys of config.ini; the display cycle takes its
// time-view and date-view seconds from the th and td fields (P6 and P7).
void MainWindow::presetStartParameters()
{
    m_params->apply(readStartParameters(), ParameterArea::Preview::Follow);
}

// Buttons that start board jobs are disabled while the board's queue is busy.
void MainWindow::registerOperationButtons()
{
    for (const Command &command : Commands) {
        if (command.boardOperation)
            m_status->addOperationButtons({button(command.number)});
    }
    for (const GroupInfo &group : groupTable())
        m_status->addOperationButtons({m_params->adjustButton(group.group)});
}

// Escape does not end the main window (a stray key would close the whole program); Close and
// the window's close box do.
void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Closing the window while a job runs asks first; closing anyway stops the job before its next
// frame, as Cancel does: a scan then writes nothing and releases its port.
void MainWindow::done(int result)
{
    if (!m_status->confirmClose())
        return;
    queue().cancelAll();
    QDialog::done(result);
}

// ---------------------------------------------------------------------------------------------
// Accessors

QLabel *MainWindow::messageLine(int index) const
{
    return m_status->line(index);
}

const ParameterDigits &MainWindow::digits() const
{
    return m_params->digits();
}

QPushButton *MainWindow::button(int number) const
{
    const auto found = m_buttons.find(number);
    if (found != m_buttons.end())
        return found->second;
    return qobject_cast<QPushButton *>(control(number));
}

QWidget *MainWindow::control(int number) const
{
    const QList<QWidget *> children = findChildren<QWidget *>();
    for (QWidget *child : children) {
        // Dialogs opened from the window are its children too and reuse numbers.
        if (controlNumber(child) == number && child->window() == this)
            return child;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Clock

void MainWindow::tick(const QDateTime &now)
{
    const ClockTexts texts = clockTexts(now);
    m_pcDate->setText(texts.date);
    m_pcTime->setText(texts.time);
    m_pcWeekday->setText(texts.weekday);
    if (const std::optional<QString> shown = m_cycle.tick(now))
        m_display->setText(*shown);
    Q_EMIT ticked();
}

// ---------------------------------------------------------------------------------------------
// Buttons

// Each feature area wires its own buttons.
void MainWindow::wireButtons()
{
    wire(About, [this] { OnAbout(); });
    wire(Boards, [this] { OnBoards(); });
    wire(Close, [this] { accept(); });
    for (const Area *area : areas())
        area->wire(*this);
    registerOperationButtons();
}

void MainWindow::wire(int number, std::function<void()> handler)
{
    QPushButton *target = button(number);
    if (!target || m_wired.contains(number))
        return;
    m_wired.insert(number);
    connect(target, &QPushButton::clicked, this, std::move(handler));
}

void MainWindow::showDownloadedClock(const QString &text)
{
    m_downloadedClock->setPlainText(text);
}

// The boards dialog uploads the window's values, as Adjust All would, when asked to.
void MainWindow::OnBoards()
{
    BoardsDialog dialog([this] { return m_params->values(); }, this);
    dialog.exec();
}

void MainWindow::OnAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

} // namespace kestrix
