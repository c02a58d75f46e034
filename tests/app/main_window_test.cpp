// The main window: the clock and its display cycle, the parameter controls and their stored
// digits, the status area while an operation runs on the worker, the port dialog, the
// language, the window's size, lists, wheel, Tab and Escape keys, and cancelling a scan.

#include "time/display_cycle.h"
#include "base/language.h"
#include "base/texts.h"
#include "widgets/localize.h"
#include "params/ui/parameter_area.h"
#include "widgets/board_panel.h"
#include "widgets/spin_edit.h"
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "comm/serial_channel.h"
#include "comm/ui/port_dialog.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "widgets/digital_edit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <memory>

namespace kestrix {
namespace {

using testing::ScratchDataDir;

using testing::whenModalOpens;
using testing::showActive;
using testing::turnWheel;
using testing::waitForSettledLayout;

// Monday, 7 December 2026, 09:05:03.
const QDateTime Start(QDate(2026, 12, 7), QTime(9, 5, 3));

// ---------------------------------------------------------------------------------------------
// The window

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.writeConfig("[Settings]\nPort=0\nBaud=2\n");
        window = std::make_unique<MainWindow>();
        window->clockTimer().stop();
    }

    template <class Widget>
    Widget *control(int number) const
    {
        Widget *found = window->control<Widget>(number);
        EXPECT_NE(found, nullptr) << "control " << number;
        return found;
    }

    SpinEdit *spin(ParamId id) const { return window->parameters()->spinEdit(id); }

    ScratchDataDir data;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, OpensWithSettingsFromTheFileStatusCaptionAndEmptyMessageLines)
{
    EXPECT_EQ(window->settings().port, 1);
    EXPECT_EQ(window->settings().speed, 9600);
    EXPECT_EQ(window->windowTitle(), "Kestrix Configuration Utility");
    EXPECT_EQ(control<QLabel>(1215)->text(), "Status:");
    for (int line = 0; line < 3; ++line)
        EXPECT_TRUE(window->messageLine(line)->text().isEmpty());
    EXPECT_EQ(control<QLabel>(1331)->text(), "(1) - Not included in standard KESTRIXs");
    EXPECT_EQ(control<QLabel>(1334)->text(), "(some changes are valid only after reset)");
    EXPECT_EQ(control<QLineEdit>(1085), window->display());
}

TEST_F(MainWindowTest, HasEveryButtonWithItsTextAndTheTestClockButtonHidden)
{
    const std::pair<int, const char *> buttons[] = {
        {1137, "Test Connection"}, {1238, "Day&&Night Settings"}, {1000, "Adjust"}, {1012, "Adjust"},
        {1013, "Adjust"}, {1014, "Adjust"}, {1016, "Adjust"}, {1061, "Adjust"}, {1062, "Adjust"},
        {1066, "Adjust"}, {1083, "Adjust"}, {1089, "Adjust"}, {1090, "Adjust"}, {1095, "Adjust"},
        {1005, "Adjust All"}, {1058, "Reset"}, {1140, "Activate Alarm 1"}, {1141, "Activate Alarm 2"},
        {1060, "Download Configuration"}, {1059, "Save"}, {1207, "Load"}, {1092, "Alarm Configuration"},
        {1087, "Adjust Time && Date Manual"}, {1088, "Adjust Time && Date via NTP servers"},
        {1128, "Clock Information"}, {5500, "Boards"}, {1004, "Select COM Port and Speed"}, {1086, "About"},
        {1, "Close"}, {1174, "Test Clock"}};
    window->show();
    for (const auto &[number, text] : buttons) {
        QPushButton *button = window->button(number);
        ASSERT_NE(button, nullptr) << number;
        EXPECT_EQ(button->text(), text) << number;
        EXPECT_EQ(button->isVisible(), number != 1174) << number;
    }
    EXPECT_FALSE(window->button(1058)->icon().isNull()) << "Reset has its icon";
    EXPECT_FALSE(window->button(1)->icon().isNull()) << "Close has its icon";
}

TEST_F(MainWindowTest, ParameterControlsStartAsTheTableSays)
{
    for (const Parameter &row : parameterTable()) {
        QWidget *widget = window->control(row.control);
        ASSERT_NE(widget, nullptr) << row.control;
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            EXPECT_EQ(edit->text(), QString::fromUtf8(row.startText)) << row.control;
        }
        if (auto *list = qobject_cast<QComboBox *>(widget)) {
            const ParameterList *entries = parameterList(row.control);
            ASSERT_NE(entries, nullptr);
            ASSERT_EQ(list->count(), int(entries->strings.size())) << row.control;
            EXPECT_EQ(list->currentIndex(), 0) << row.control;
        }
        if (row.spin != NoControl) {
            EXPECT_NE(window->control(row.spin), nullptr) << "up-down " << row.spin;
        }
    }
    EXPECT_EQ(control<QComboBox>(1015)->itemText(10), "A  Points");
    EXPECT_EQ(control<QComboBox>(1017)->itemText(6), "d  Countdown mode");
    for (int i = 0; i < StoredDigitCount; ++i)
        EXPECT_EQ(window->digits().digit(StoredDigit(i)), "0") << i;
}

TEST_F(MainWindowTest, EditsTakeNoMoreThanTheirTypingLimitButKeepWhatTheArrowsWrite)
{
    QLineEdit *timeView = control<QLineEdit>(1030);
    QTest::keyClicks(timeView, "123");
    EXPECT_EQ(timeView->text(), "12");

    QLineEdit *byteField = control<QLineEdit>(1067);
    byteField->clear();
    QTest::keyClicks(byteField, "0a7");
    EXPECT_EQ(byteField->text(), "0a");

    // The temperature correction takes one typed character; its arrows still write "-1".
    SpinEdit *correction = spin(ParamId::Ac);
    QTest::mouseClick(correction->downButton(), Qt::LeftButton);
    EXPECT_EQ(correction->text(), "-1");
    for (int i = 0; i < 12; ++i)
        QTest::mouseClick(correction->downButton(), Qt::LeftButton);
    EXPECT_EQ(correction->text(), "-9") << "stops at the range's end";
}

TEST_F(MainWindowTest, TimeViewArrowChangesTheDisplayCycleFromTheNextCycleOn)
{
    SpinEdit *timeView = spin(ParamId::Th);
    SpinEdit *dateView = spin(ParamId::Td);
    timeView->setText("4");
    QTest::mouseClick(timeView->upButton(), Qt::LeftButton);
    dateView->setText("4");
    QTest::mouseClick(dateView->downButton(), Qt::LeftButton);
    EXPECT_EQ(timeView->text(), "5");
    EXPECT_EQ(dateView->text(), "3");
    EXPECT_EQ(window->cycle().timeViewSeconds(), 5);
    EXPECT_EQ(window->cycle().dateViewSeconds(), 3);

    // Into the date part of the first cycle, then one click up.
    int second = 0;
    const auto tickOnce = [&] {
        window->tick(Start.addSecs(second++));
        return window->display()->text();
    };
    QStringList firstCycle;
    for (int i = 0; i < 6; ++i)
        firstCycle << tickOnce();
    QTest::mouseClick(timeView->upButton(), Qt::LeftButton);
    EXPECT_EQ(timeView->text(), "6");
    while (window->cycle().viewCounter() != 0)
        tickOnce();

    const int cycleStart = second;
    QStringList nextCycle;
    for (int i = 0; i < 10; ++i)
        nextCycle << tickOnce();
    const QString date = displayDateText(Start);
    QStringList expected;
    for (int i = 0; i < 6; ++i)
        expected << displayTimeText(Start.addSecs(cycleStart + i));
    expected << date << date << date << date;   // three date ticks and the kept one
    EXPECT_EQ(nextCycle, expected);
    EXPECT_EQ(firstCycle.mid(0, 5), QStringList({"09:05:03", "09:05:04", "09:05:05", "09:05:06", "09:05:07"}));
    EXPECT_EQ(firstCycle[5], date);
    const QDateTime last = Start.addSecs(second - 1);
    EXPECT_EQ(control<QLineEdit>(1010)->text(), last.toString("HH : mm : ss"));
    EXPECT_EQ(control<QLineEdit>(1009)->text(), "07. 12. 2026");
    EXPECT_EQ(control<QLineEdit>(1019)->text(), "1");
}

TEST_F(MainWindowTest, ListPicksAndBoxClicksChangeTheStoredDigitsAtOnce)
{
    control<QComboBox>(1015)->setCurrentIndex(10);
    EXPECT_EQ(window->digits().digit(StoredDigit::Se1), "a");
    control<QComboBox>(1015)->setCurrentIndex(9);
    EXPECT_EQ(window->digits().digit(StoredDigit::Se1), "9");
    control<QComboBox>(1017)->setCurrentIndex(6);
    EXPECT_EQ(window->digits().digit(StoredDigit::Se2), "6");
    control<QComboBox>(1007)->setCurrentIndex(2);
    control<QComboBox>(1008)->setCurrentIndex(3);
    EXPECT_EQ(window->digits().digit(StoredDigit::Ar1), "2");
    EXPECT_EQ(window->digits().digit(StoredDigit::Ar2), "3");
    control<QComboBox>(1115)->setCurrentIndex(3);
    control<QComboBox>(1114)->setCurrentIndex(1);
    EXPECT_EQ(window->digits().digit(StoredDigit::Al1), "3");
    EXPECT_EQ(window->digits().digit(StoredDigit::Al2), "1");

    window->show();
    QTest::mouseClick(control<QCheckBox>(1038), Qt::LeftButton);
    EXPECT_EQ(window->digits().digit(StoredDigit::Br1), "1");
    QTest::mouseClick(control<QCheckBox>(1219), Qt::LeftButton);
    EXPECT_EQ(window->digits().digit(StoredDigit::Direction), "1");
    QTest::mouseClick(control<QCheckBox>(1219), Qt::LeftButton);
    EXPECT_EQ(window->digits().digit(StoredDigit::Direction), "0");
}

TEST_F(MainWindowTest, BrightnessBoxesExcludeEachOtherAndDisableTheField)
{
    window->show();
    QCheckBox *dayTime = control<QCheckBox>(1040);
    QCheckBox *lightSensor = control<QCheckBox>(1041);
    QLineEdit *field = control<QLineEdit>(1065);
    const BrightnessState &brightness = window->digits().brightness();

    QTest::mouseClick(dayTime, Qt::LeftButton);
    EXPECT_TRUE(dayTime->isChecked());
    EXPECT_FALSE(field->isEnabled());
    EXPECT_EQ(brightness.storedDigit(), "A");

    QTest::mouseClick(lightSensor, Qt::LeftButton);
    EXPECT_FALSE(dayTime->isChecked());
    EXPECT_TRUE(lightSensor->isChecked());
    EXPECT_FALSE(field->isEnabled());
    EXPECT_EQ(brightness.storedDigit(), "B");

    QTest::mouseClick(lightSensor, Qt::LeftButton);
    EXPECT_FALSE(lightSensor->isChecked());
    EXPECT_TRUE(field->isEnabled());
    field->setText("7");
    EXPECT_EQ(brightness.digit(field->text()), "7") << "the next A0 upload takes the field";
}

TEST_F(MainWindowTest, ShowsSuppliedDigitsInTheListsAndBoxes)
{
    ParameterArea *area = window->parameters();
    area->digits().setDigit(StoredDigit::Se1, "a");
    area->digits().setDigit(StoredDigit::Br2, "b");
    area->showStoredDigits();
    EXPECT_EQ(control<QComboBox>(1015)->currentIndex(), 10);
    EXPECT_EQ(window->digits().digit(StoredDigit::Se1), "a");
    EXPECT_TRUE(control<QCheckBox>(1041)->isChecked());
    EXPECT_FALSE(control<QLineEdit>(1065)->isEnabled());

    // Any other brightness digit goes into the field with both boxes unticked.
    area->digits().setDigit(StoredDigit::Br2, "5");
    area->showStoredDigits();
    EXPECT_EQ(control<QLineEdit>(1065)->text(), "5");
    EXPECT_TRUE(control<QLineEdit>(1065)->isEnabled());
    EXPECT_FALSE(control<QCheckBox>(1041)->isChecked());
    EXPECT_EQ(window->digits().valueText(parameter(ParamId::Brightness), area->controlText(ParamId::Brightness)), "5");
}

TEST_F(MainWindowTest, ScrollsWhenSmallerThanItsContentALineOfControlsPerNotch)
{
    window->show();
    const QSize full = window->fullSize();
    window->resize(full.width(), full.height() - 300);
    testing::waitForSettledLayout(window.get());
    QScrollBar *bar = window->scrollArea()->verticalScrollBar();
    const int range = bar->maximum();
    EXPECT_GE(range, 250);
    EXPECT_TRUE(bar->isEnabled());
    // A wheel notch (three steps) moves about one line of controls, not a few pixels.
    const int controlLine = window->button(1060)->height();
    EXPECT_GE(3 * bar->singleStep(), controlLine);
    EXPECT_LE(3 * bar->singleStep(), 2 * controlLine + 12);
    EXPECT_EQ(bar->pageStep(), range / 10);

    // A few pixels too small still scrolls: steps of at least one pixel, at most the range,
    // where a tenth of the range would be zero and the arrows would do nothing.
    window->resize(full.width(), full.height() - 5);
    testing::waitForSettledLayout(window.get());
    ASSERT_GT(bar->maximum(), 0);
    ASSERT_LT(bar->maximum(), 10);
    EXPECT_GE(bar->singleStep(), 1);
    EXPECT_LE(bar->singleStep(), bar->maximum());
    EXPECT_EQ(bar->pageStep(), 1);

    window->resize(full.width() + 50, full.height() + 100);
    testing::waitForSettledLayout(window.get());
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_FALSE(bar->isEnabled());
}

TEST_F(MainWindowTest, MessageBoxesOfAnOperationAreShownOverTheWindowWithTheirIcon)
{
    window->show();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget *parent = nullptr;
    QString text;
    whenModalOpens([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        parent = box->parentWidget();
        text = box->text();
        box->accept();
    });
    QSignalSpy idle(&window->queue(), &BoardQueue::busyChanged);
    window->queue().start([](Reporter &reporter) { reporter.messageBox(LookupText(Text::PortOpenError), MessageIcon::Error); },
                          window.get());
    while (idle.count() < 2 && idle.wait(10000)) {
    }
    ASSERT_EQ(idle.count(), 2);
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(parent, window.get());
    EXPECT_EQ(text, "Error Opening Communication Port!");
}

TEST_F(MainWindowTest, PortDialogHandsItsChoiceToTheWindow)
{
    window->show();
    whenModalOpens([](QWidget *modal) {
        auto *dialog = qobject_cast<PortDialog *>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->portList()->setCurrentIndex(11);
        dialog->speedList()->setCurrentIndex(3);
        dialog->accept();
    });
    QTest::mouseClick(window->button(1004), Qt::LeftButton);
    EXPECT_EQ(window->settings().port, 12);
    EXPECT_EQ(window->settings().speed, 19200);
    EXPECT_EQ(configFile().read("Settings", "Port"), "11");
    EXPECT_EQ(configFile().read("Settings", "Baud"), "3");
}

TEST_F(MainWindowTest, PortDialogClosedWithoutOkChangesNothing)
{
    window->show();
    whenModalOpens([](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); });
    QTest::mouseClick(window->button(1004), Qt::LeftButton);
    EXPECT_EQ(window->settings().port, 1);
    EXPECT_EQ(window->settings().speed, 9600);
}

TEST_F(MainWindowTest, CloseEndsTheWindow)
{
    window->show();
    QTimer::singleShot(0, window.get(), [this] { QTest::mouseClick(window->button(1), Qt::LeftButton); });
    window->exec();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, WithBothViewDurationsZeroTheClockShowsTheTimeEveryTick)
{
    ASSERT_EQ(window->cycle().timeViewSeconds(), 0);
    ASSERT_EQ(window->cycle().dateViewSeconds(), 0);
    window->tick(Start);
    EXPECT_EQ(window->display()->text(), "09:05:03");
    window->tick(Start.addSecs(1));
    EXPECT_EQ(window->display()->text(), "09:05:04");
}

TEST_F(MainWindowTest, EscapeLeavesTheWindowOpenWhileTheCloseBoxEndsIt)
{
    ASSERT_TRUE(showActive(window.get()));
    QLineEdit *field = control<QLineEdit>(1030);
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([field] { return field->hasFocus(); }));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible()) << "Escape in a field";
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible()) << "Escape to the window";

    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

// ---------------------------------------------------------------------------------------------
// The mouse wheel: only a focused control takes it; otherwise it scrolls the window.

class MainWindowWheel : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        const QSize full = window->fullSize();
        window->resize(full.width(), full.height() - 300);
        ASSERT_TRUE(showActive(window.get()));
        bar = window->scrollArea()->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 100);
        ASSERT_EQ(bar->value(), 0);
        // The focus is elsewhere: on the Close button.
        window->button(1)->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->button(1)->hasFocus(); }));
    }

    void focus(QWidget *widget)
    {
        widget->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([widget] { return widget->hasFocus(); }));
    }

    QScrollBar *bar = nullptr;
};

TEST_F(MainWindowWheel, OverAnUnfocusedListScrollsTheWindowAndKeepsTheEntry)
{
    QComboBox *hourMode = control<QComboBox>(1008);
    turnWheel(hourMode, -120);
    EXPECT_EQ(hourMode->currentIndex(), 0);
    EXPECT_EQ(window->digits().digit(StoredDigit::Ar2), "0");
    EXPECT_GT(bar->value(), 0) << "the window scrolled down";
    EXPECT_FALSE(hourMode->hasFocus()) << "the wheel gives no focus";

    const int scrolled = bar->value();
    turnWheel(control<QComboBox>(1115), 120);
    EXPECT_EQ(control<QComboBox>(1115)->currentIndex(), 0);
    EXPECT_LT(bar->value(), scrolled) << "the window scrolled up";
}

TEST_F(MainWindowWheel, AFocusedListTakesTheWheelAndTheWindowStays)
{
    QComboBox *hourMode = control<QComboBox>(1008);
    focus(hourMode);
    turnWheel(hourMode, -120);
    EXPECT_EQ(hourMode->currentIndex(), 1);
    EXPECT_EQ(window->digits().digit(StoredDigit::Ar2), "1");
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(MainWindowWheel, OverAnUnfocusedSpinEditScrollsTheWindowAndKeepsTheValue)
{
    SpinEdit *timeView = spin(ParamId::Th);
    timeView->setText("5");
    turnWheel(timeView->edit(), -120);
    EXPECT_EQ(timeView->text(), "5");
    EXPECT_GT(bar->value(), 0);
    const int scrolled = bar->value();
    turnWheel(timeView->upButton(), -120);
    EXPECT_EQ(timeView->text(), "5") << "over the arrows too";
    EXPECT_GT(bar->value(), scrolled);
    EXPECT_EQ(window->cycle().timeViewSeconds(), 0);
}

TEST_F(MainWindowWheel, AFocusedSpinEditStepsOnePerNotchAndTheWindowStays)
{
    SpinEdit *timeView = spin(ParamId::Th);
    timeView->setText("5");
    focus(timeView->edit());
    turnWheel(timeView->edit(), 120);
    EXPECT_EQ(timeView->text(), "6");
    EXPECT_EQ(window->cycle().timeViewSeconds(), 6);
    turnWheel(timeView->upButton(), -240);
    EXPECT_EQ(timeView->text(), "4");
    // A fine-grained wheel steps once its turns add up to a notch.
    turnWheel(timeView->edit(), 60);
    EXPECT_EQ(timeView->text(), "4");
    turnWheel(timeView->edit(), 60);
    EXPECT_EQ(timeView->text(), "5");
    EXPECT_EQ(bar->value(), 0);
}

// ---------------------------------------------------------------------------------------------
// Tab order

// The part of the window a widget belongs to: the top row and the footer outside the scrolled
// columns, or a group or box of a column inside them.
QWidget *blockOf(QWidget *widget, QWidget *content)
{
    QWidget *window = content->window();
    while (widget && widget->parentWidget() != content && widget->parentWidget() != window)
        widget = widget->parentWidget();
    return widget;
}

// Rows top to bottom, each left to right: `b` comes after `a` in reading order.
bool readsAfter(const QRect &a, const QRect &b)
{
    const bool sameRow = (b.center().y() >= a.top() && b.center().y() <= a.bottom()) ||
                         (a.center().y() >= b.top() && a.center().y() <= b.bottom());
    return sameRow ? b.left() > a.left() : b.center().y() > a.center().y();
}

TEST_F(MainWindowTest, TabFollowsTheScreenGroupByGroupAndNeverStopsAtTheScrollArea)
{
    ASSERT_TRUE(showActive(window.get()));
    QPushButton *first = window->button(1000);   // Adjust of "PC Time / Date", top left
    first->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([first] { return first->hasFocus(); }));

    QList<QWidget *> visited{first};
    for (int i = 0; i < 300; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        if (now == first)
            break;
        ASSERT_FALSE(visited.contains(now)) << "Tab came back to control " << controlNumber(now);
        visited << now;
    }

    QSet<QWidget *> stops;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy() && widget->isVisible() && widget->isEnabled())
            stops.insert(widget);
    }
    EXPECT_EQ(QSet<QWidget *>(visited.begin(), visited.end()), stops) << "Tab reaches every control";
    EXPECT_FALSE(visited.contains(window->scrollArea()));
    EXPECT_FALSE(visited.contains(window->scrollArea()->viewport()));

    QSet<QWidget *> adjustButtons{window->button(1000)};
    for (const GroupInfo &group : groupTable())
        adjustButtons.insert(window->button(group.adjustButton));

    // Blocks: the top row, then the columns left to right, each top to bottom, then the footer.
    QWidget *content = window->scrollArea()->widget();
    QWidget *topRow = blockOf(window->statusPanel(), content);
    QWidget *footer = blockOf(window->button(1), content);
    const auto blockKey = [&](QWidget *block) {
        const int band = block == topRow ? 0 : block == footer ? 2 : 1;
        return std::tuple(band, block->x(), block->y());
    };
    QList<QWidget *> blocksSeen;
    QWidget *previous = nullptr;
    for (QWidget *widget : visited) {
        QWidget *block = blockOf(widget, content);
        ASSERT_NE(block, nullptr) << controlNumber(widget);
        if (blocksSeen.isEmpty() || blocksSeen.last() != block) {
            ASSERT_FALSE(blocksSeen.contains(block)) << "Tab returns to a group it left, at control " << controlNumber(widget);
            if (!blocksSeen.isEmpty()) {
                EXPECT_LT(blockKey(blocksSeen.last()), blockKey(block)) << "group of control " << controlNumber(widget);
            }
            blocksSeen << block;
            previous = nullptr;
        }
        // Within a group: its controls in reading order, its Adjust button last.
        if (previous && adjustButtons.contains(previous))
            ADD_FAILURE() << "control " << controlNumber(widget) << " comes after its group's Adjust button";
        if (previous && !adjustButtons.contains(widget)) {
            const QRect a(previous->mapTo(block, QPoint(0, 0)), previous->size());
            const QRect b(widget->mapTo(block, QPoint(0, 0)), widget->size());
            EXPECT_TRUE(readsAfter(a, b)) << "control " << controlNumber(widget) << " after " << controlNumber(previous);
        }
        previous = widget;
    }
    EXPECT_GE(blocksSeen.size(), 15);
}

// ---------------------------------------------------------------------------------------------
// Status lines

TEST_F(MainWindowTest, AStatusLineTooLongForItsPlaceIsCutAndShowsWholeInItsTooltip)
{
    window->show();
    waitForSettledLayout(window.get());
    const QSize size = window->size();
    const QString incomplete = LookupText(Text::DownloadUnanswered).arg(43);
    const QString text = incomplete + " " + incomplete + " " + incomplete;
    window->statusPanel()->setLine(1, text);
    waitForSettledLayout(window.get());

    QLabel *line = window->messageLine(1);
    const QString shown = window->statusPanel()->shownText(1);
    EXPECT_EQ(line->text(), text);
    EXPECT_EQ(line->toolTip(), text);
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(text.startsWith(shown.chopped(1)));
    EXPECT_LE(line->fontMetrics().horizontalAdvance(shown), line->contentsRect().width());
    EXPECT_EQ(window->size(), size) << "a long line does not widen the window";

    window->statusPanel()->clearLines();
    EXPECT_TRUE(line->toolTip().isEmpty());
}

// The incomplete download's ending shows whole in either language.
void expectIncompleteEndingShowsWhole(const char *language)
{
    SCOPED_TRACE(language);
    ScratchDataDir data;
    data.writeConfig(QStringLiteral("[System]\nLanguage=%1\n").arg(QString::fromLatin1(language)));
    LoadLanguage(configuredLanguage());
    MainWindow window;
    window.clockTimer().stop();
    window.resize(window.fullSize());
    window.show();
    waitForSettledLayout(&window);
    const QString text = LookupText(Text::DownloadUnanswered).arg(43);
    window.statusPanel()->setLine(0, text);
    EXPECT_EQ(window.messageLine(0)->text(), text);
    EXPECT_EQ(window.statusPanel()->shownText(0), text);
    EXPECT_LE(window.messageLine(0)->fontMetrics().horizontalAdvance(text), window.messageLine(0)->contentsRect().width());
    EXPECT_EQ(window.messageLine(0)->toolTip(), text);
    LoadLanguage("english");
}

TEST(MainWindowStatus, IncompleteEndingShowsWholeInEnglishAndGerman)
{
    expectIncompleteEndingShowsWhole("english");
    expectIncompleteEndingShowsWhole("german");
}

// ---------------------------------------------------------------------------------------------
// Size and lists in both languages

// The window as it first opens in `language`, its timer stopped.
class WindowIn {
public:
    explicit WindowIn(const char *language)
    {
        m_data.writeConfig(QStringLiteral("[System]\nLanguage=%1\n").arg(QString::fromLatin1(language)));
        LoadLanguage(configuredLanguage());
        window = std::make_unique<MainWindow>();
        window->clockTimer().stop();
    }
    ~WindowIn()
    {
        window.reset();
        LoadLanguage("english");
    }

    std::unique_ptr<MainWindow> window;

private:
    ScratchDataDir m_data;
};

// True when `part` lies whole inside `window`'s own area.
bool shownWhole(QWidget *part, QWidget *window)
{
    const QRect shown(part->mapTo(window, QPoint(0, 0)), part->size());
    return part->isVisible() && window->rect().contains(shown);
}

void expectFirstSizeHoldsEverything(const char *language)
{
    SCOPED_TRACE(language);
    WindowIn in(language);
    MainWindow &window = *in.window;
    const QSize first = window.size();
    window.show();
    waitForSettledLayout(&window);
    EXPECT_EQ(window.size(), first);

    QScrollArea *scroll = window.scrollArea();
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << "nothing to scroll";
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(scroll->widget()->height(), scroll->viewport()->height());
    // The lowest group shows whole in the scrolled part; the footer lies outside it.
    QWidget *lowest = window.parameters()->groupFrame(Group::SelfTimer);
    const QRect shown(lowest->mapTo(scroll->viewport(), QPoint(0, 0)), lowest->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(shown));
    for (QWidget *part : std::initializer_list<QWidget *>{window.control(1331), window.button(1086), window.button(1)})
        EXPECT_TRUE(shownWhole(part, &window)) << "control " << controlNumber(part);
}

TEST(MainWindowSize, FirstSizeHoldsTheWholeContentInEnglish)
{
    if (testing::onScreenOfAtLeast(QSize(2560, 1600)))
        expectFirstSizeHoldsEverything("english");
}

TEST(MainWindowSize, FirstSizeHoldsTheWholeContentInGerman)
{
    if (testing::onScreenOfAtLeast(QSize(2560, 1600)))
        expectFirstSizeHoldsEverything("german");
}

TEST(MainWindowSize, OnASmallerScreenTheWindowFitsItAndScrollsToTheBottomRow)
{
    WindowIn in("german");
    MainWindow &window = *in.window;
    const QSize available = window.screen()->availableGeometry().size();
    const QSize full = window.fullSize();
    if (full.width() <= available.width() && full.height() <= available.height())
        GTEST_SKIP() << "the screen holds the whole window";
    EXPECT_LE(window.width(), available.width());
    EXPECT_LE(window.height(), available.height());
    EXPECT_EQ(window.size(), full.boundedTo(window.size())) << "no larger than its content needs";

    window.show();
    waitForSettledLayout(&window);
    QScrollArea *scroll = window.scrollArea();
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
    waitForSettledLayout(&window);
    // Scrolled to the end, the last group's bottom right corner is in view.
    QWidget *lowest = window.parameters()->groupFrame(Group::SelfTimer);
    const QPoint corner = lowest->mapTo(scroll->viewport(), QPoint(lowest->width() - 1, lowest->height() - 1));
    EXPECT_TRUE(scroll->viewport()->rect().contains(corner)) << "the last group can be scrolled to";
    EXPECT_TRUE(shownWhole(window.button(1), &window)) << "Close needs no scrolling";
}

// At the size the window opens with on a 1280x720 screen, a running job's progress bar and
// Cancel and the window's Close are on screen without scrolling, in either language.
TEST(MainWindowSize, At1280x720CancelAndCloseShowWhileAJobRuns)
{
    for (const char *language : {"english", "german"}) {
        SCOPED_TRACE(language);
        WindowIn in(language);
        MainWindow &window = *in.window;
        window.resize(1264, 672);
        window.show();
        waitForSettledLayout(&window);
        auto release = std::make_shared<std::atomic<bool>>(false);
        window.queue().start([release](Reporter &) {
            while (!*release)
                QThread::msleep(5);
        }, &window);
        window.statusPanel()->submit(BoardJob<NoData>{{Text::TimesUploading, Text::TimesUploaded, {}}, {}, {}, {}},
                                     [](const JobResult<NoData> &) {});
        BoardPanel *panel = window.statusPanel();
        EXPECT_TRUE(shownWhole(panel->cancelButton(), &window));
        EXPECT_TRUE(shownWhole(panel->progressBar(), &window));
        EXPECT_TRUE(shownWhole(window.button(1), &window));
        EXPECT_FALSE(window.button(1060)->isEnabled()) << "board buttons wait for the board";
        *release = true;
        window.queue().cancelAll();
        ASSERT_TRUE(QTest::qWaitFor([&window] { return !window.queue().busy(); }, testing::Timeout::DialogOperation));
        EXPECT_FALSE(panel->cancelButton()->isVisible());
        EXPECT_TRUE(window.button(1060)->isEnabled());
    }
}

// The width a closed list has for the text of its entry.
int textRoom(QComboBox *list)
{
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = list->isEditable();
    option.frame = list->hasFrame();
    option.currentText = list->currentText();
    return list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list).width();
}

void expectListsShowEveryEntryWhole(const char *language)
{
    SCOPED_TRACE(language);
    WindowIn in(language);
    in.window->show();
    waitForSettledLayout(in.window.get());
    int lists = 0;
    for (const ParameterList &entries : listTable()) {
        auto *list = in.window->control<QComboBox>(entries.control);
        ASSERT_NE(list, nullptr) << entries.control;
        ++lists;
        const int room = textRoom(list);
        for (int index = 0; index < list->count(); ++index) {
            const QString entry = list->itemText(index);
            EXPECT_LE(list->fontMetrics().horizontalAdvance(entry), room) << entries.control << " " << entry.toStdString();
        }
    }
    EXPECT_EQ(lists, 8);
}

TEST(MainWindowLists, ClosedListsShowTheirLongestEntryWholeInEnglishAndGerman)
{
    expectListsShowEveryEntryWhole("english");
    expectListsShowEveryEntryWhole("german");
}

TEST(MainWindowStart, ViewKeysOfTheConfigurationStartTheDisplayCycle)
{
    ScratchDataDir data;
    data.writeConfig("[Parameters]\nP6=05\nP7=12\n");
    MainWindow window;
    window.clockTimer().stop();
    EXPECT_EQ(window.cycle().timeViewSeconds(), 5);
    EXPECT_EQ(window.cycle().dateViewSeconds(), 12);
    EXPECT_EQ(window.parameters()->controlText(ParamId::Th), "5");
    EXPECT_EQ(window.parameters()->controlText(ParamId::Td), "12");
    window.tick(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3)));
    EXPECT_EQ(window.display()->text(), "09:05:03");
}

TEST(MainWindowStart, EveryParameterKeyOfTheConfigurationPresetsItsControls)
{
    ScratchDataDir data;
    data.writeConfig("[Parameters]\nP8=07\nP9=21\nA0=0A\nA1=a2\nA2=00\nA3=12\nA4=13\nA5=1a\nC0=7\n"
                     "TP=05\nPC=-30\n");
    MainWindow window;
    window.clockTimer().stop();
    ParameterArea *area = window.parameters();
    EXPECT_EQ(area->controlText(ParamId::Tt), "7");
    EXPECT_EQ(area->list(ParamId::DaylightSaving)->currentText(), "2 USA");
    EXPECT_EQ(area->list(ParamId::HourMode)->currentIndex(), 1);
    EXPECT_FALSE(area->checkBox(ParamId::Fade)->isChecked());
    EXPECT_TRUE(area->dayTimeBox()->isChecked());
    EXPECT_FALSE(area->spinEdit(ParamId::Brightness)->isEnabled());
    EXPECT_EQ(area->list(ParamId::DisplayMode)->currentText(), "A  Points");
    EXPECT_EQ(area->list(ParamId::SerialProtocol)->currentText(), "2 Torvel-9600bps");
    EXPECT_EQ(area->controlText(ParamId::InactivityPeriod), "0");
    EXPECT_EQ(area->controlText(ParamId::DeviceAddress), "12");
    EXPECT_EQ(area->list(ParamId::ActiveAlarmProgram)->currentIndex(), 1);
    EXPECT_EQ(area->list(ParamId::AlarmActivation)->currentIndex(), 3);
    EXPECT_EQ(area->controlText(ParamId::ByteMapFirst), "1a");
    EXPECT_EQ(area->controlText(ParamId::ByteMapLast), "7");
    // config.ini does not preset TP, PC and AC.
    EXPECT_EQ(area->controlText(ParamId::Tp), "");
    EXPECT_EQ(area->controlText(ParamId::Pc), "");
}

TEST(MainWindowStart, AKeyForTwoListsChangesOnlyThoseTwo)
{
    ScratchDataDir data;
    data.writeConfig("[Parameters]\nP9=21\nA0=\n");
    MainWindow window;
    window.clockTimer().stop();
    ParameterArea *area = window.parameters();
    EXPECT_EQ(area->list(ParamId::DaylightSaving)->currentIndex(), 2);
    EXPECT_EQ(area->list(ParamId::HourMode)->currentIndex(), 1);
    for (ParamId list : {ParamId::DisplayMode, ParamId::SerialProtocol, ParamId::ActiveAlarmProgram})
        EXPECT_EQ(area->list(list)->currentIndex(), 0) << int(list);
    EXPECT_FALSE(area->dayTimeBox()->isChecked());
    EXPECT_EQ(area->controlText(ParamId::ByteMapFirst), "00");
    EXPECT_EQ(window.digits().digit(StoredDigit::Br2), "0") << "an empty value leaves its digits";
}

// Qt's own texts (standard buttons, the edit menu) follow the configured language where Qt has a
// translation; any other language keeps Qt's English.
TEST(QtTranslations, QtsOwnTextsFollowTheConfiguredLanguage)
{
    struct Case {
        const char *language;
        bool loaded;
        const char *cancel;
        const char *copy;
    };
    const Case cases[] = {
        {"german", true, "Abbrechen", "&Kopieren"},
        {"English", false, "Cancel", "&Copy"},
        {"no such language", false, "Cancel", "&Copy"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(loadQtTranslations(QString::fromUtf8(c.language)), c.loaded) << c.language;
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), c.cancel) << c.language;
        EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), c.copy) << c.language;
    }
}

TEST(MainWindowLanguage, GermanConfigurationGivesTheGermanWindow)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=german\n");
    LoadLanguage(configuredLanguage());
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), "Kestrix Konfigurationsprogramm");
    EXPECT_EQ(window.button(1137)->text(), "Verbindung testen");
    EXPECT_EQ(window.button(1)->text(), "Schließen");
    EXPECT_EQ(window.control<QLabel>(1331)->text(), "(1) - Nicht in Standard-KESTRIX enthalten");
    EXPECT_EQ(window.control<QLabel>(1334)->text(), "(einige Änderungen gelten erst nach einem Reset)");
    EXPECT_EQ(window.control<QGroupBox>(1342)->title(), "Anzeigedauer (Sekunden 0-99)");
    LoadLanguage("english");
}

// ---------------------------------------------------------------------------------------------
// Test Connection against a simulated board

class TestConnection : public MainWindowTest {
protected:
    void SetUp() override
    {
        data.writeConfig("[Settings]\nPort=0\nBaud=0\n");
        // Every port but COM3 names a device that does not exist, so the scan is quick.
        for (int port = 1; port <= PortCount; ++port)
            mapPortToDevice(port, data.file(QStringLiteral("no-device-%1").arg(port)));
        board = testing::startBoardOn(3, 9600);
        ASSERT_NE(board, nullptr);
        window = std::make_unique<MainWindow>();
        window->show();
    }

    // Clicks Test Connection and waits for the scan to end; counts clock ticks meanwhile.
    int runScan()
    {
        QSignalSpy busy(&window->queue(), &BoardQueue::busyChanged);
        QSignalSpy ticks(window.get(), &MainWindow::ticked);
        QTest::mouseClick(window->button(1137), Qt::LeftButton);
        EXPECT_FALSE(window->button(1137)->isEnabled()) << "no second operation while one runs";
        EXPECT_FALSE(window->button(1012)->isEnabled());
        EXPECT_TRUE(window->button(1086)->isEnabled()) << "About starts no board operation";
        EXPECT_TRUE(window->statusPanel()->progressBar()->isVisible());
        while (busy.count() < 2 && busy.wait(60000)) {
        }
        EXPECT_EQ(busy.count(), 2) << "the scan ended";
        return int(ticks.count());
    }

    // Clicks Test Connection and waits until the scan tries the board's port, COM3.
    void startScanUntilTheBoardsPort()
    {
        QTest::mouseClick(window->button(1137), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->messageLine(1)->text().startsWith("Checking COM3,"); }, 30000));
    }

    void waitUntilIdle()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->queue().busy(); }, 30000));
    }

    // The board's port opens at once: the scan released it.
    void expectThePortIsFree()
    {
        SerialChannel channel;
        EXPECT_EQ(channel.Open(3, 9600), SerialChannel::Opened) << channel.lastOpenError().toStdString();
        channel.Close();
    }

    std::unique_ptr<sim::BoardSim> board;
};

TEST_F(TestConnection, FindsTheBoardShowsItsVersionsWhileTheClockKeepsTicking)
{
    const int ticksDuringScan = runScan();
    EXPECT_GE(ticksDuringScan, 1) << "the clock ticked while the scan ran";
    EXPECT_EQ(window->messageLine(0)->text(), "Connected at COM3, 9600bps");
    EXPECT_EQ(window->messageLine(1)->text(), "sw: " + QString::fromLatin1(sim::DefaultSoftwareVersion));
    EXPECT_EQ(window->messageLine(2)->text(), "hw: " + QString::fromLatin1(sim::DefaultHardwareVersion));
    EXPECT_EQ(window->settings().port, 3);
    EXPECT_EQ(window->settings().speed, 9600);
    EXPECT_EQ(configFile().read("Settings", "Port"), "2");
    EXPECT_EQ(configFile().read("Settings", "Baud"), "2");
    EXPECT_TRUE(window->button(1137)->isEnabled());
    EXPECT_TRUE(window->button(1012)->isEnabled());
    EXPECT_FALSE(window->statusPanel()->progressBar()->isVisible());
}

TEST_F(TestConnection, WithoutABoardShowsTheErrorAndKeepsTheSettingsOfTheFile)
{
    board->stop();
    runScan();
    EXPECT_EQ(window->messageLine(0)->text(), "Communication Error!");
    EXPECT_TRUE(window->messageLine(1)->text().isEmpty());
    EXPECT_EQ(window->settings().port, 1);
    EXPECT_EQ(window->settings().speed, 2400);
}

TEST_F(TestConnection, ProgressBarShowsTriesDoneOfAllTriesWhileItRuns)
{
    startScanUntilTheBoardsPort();
    QProgressBar *bar = window->statusPanel()->progressBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 80);
    // COM1 and COM2 are done (8 tries); COM3 is being tried.
    const QStringList whileOnComThree{"8 / 80", "9 / 80", "10 / 80", "11 / 80", "12 / 80"};
    EXPECT_TRUE(whileOnComThree.contains(bar->text())) << bar->text().toStdString();
    EXPECT_EQ(bar->text(), QString("%1 / 80").arg(bar->value()));
    waitUntilIdle();
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(TestConnection, CancelStopsTheScanWritesNothingAndReleasesThePort)
{
    const QString config = data.readConfig();
    startScanUntilTheBoardsPort();
    QPushButton *cancel = window->statusPanel()->cancelButton();
    ASSERT_TRUE(cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    waitUntilIdle();
    expectThePortIsFree();

    EXPECT_EQ(window->messageLine(0)->text(), "Operation cancelled.");
    EXPECT_EQ(window->settings(), (SerialSettings{1, 2400})) << "the settings of the file, as before";
    EXPECT_EQ(data.readConfig(), config);
    for (int button : {1137, 1004, 1012, 1005})
        EXPECT_TRUE(window->button(button)->isEnabled()) << button;
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_FALSE(window->statusPanel()->progressBar()->isVisible());
}

TEST_F(TestConnection, ClosingTheWindowDuringTheScanCancelsItAndWritesNothing)
{
    const QString config = data.readConfig();
    startScanUntilTheBoardsPort();
    // Closing while the scan runs asks first; "No" keeps the window and the scan.
    whenModalOpens([](QWidget *modal) { qobject_cast<QMessageBox *>(modal)->button(QMessageBox::No)->click(); });
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->queue().busy());
    whenModalOpens([](QWidget *modal) { qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    waitUntilIdle();
    expectThePortIsFree();

    EXPECT_EQ(window->messageLine(0)->text(), "Operation cancelled.");
    EXPECT_EQ(window->settings(), (SerialSettings{1, 2400}));
    EXPECT_EQ(data.readConfig(), config);
}

} // namespace
} // namespace kestrix
