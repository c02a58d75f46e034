// Widgets shared by the dialogs: localisation by number, the seven-segment display, the spin
// edit's Tab stop and wheel, and lists that take the wheel only when focused.

#include "base/language.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "widgets/digital_edit.h"
#include "widgets/focused_wheel.h"
#include "widgets/localize.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ScratchDataDir;
using testing::childByNumber;
using testing::OwnTables;

// ---------------------------------------------------------------------------------------------
// Localisation by number

TEST(LocalizeDialog, ReplacesTitleAndTextsOfNumberedControlsAtAnyDepth)
{
    ScratchDataDir data;
    OwnTables tables("DLG=9100\nGROUP=9101\nLABEL=9102\nBUTTON=9103\nEDIT=9104\nCHECK=9105\n",
                     "DLG=Titel\nGROUP=Gruppe\nLABEL=Beschriftung\nBUTTON=Knopf\nEDIT=Feld\nCHECK=Wahl\n");
    QDialog dialog;
    dialog.setWindowTitle("title");
    auto *group = new QGroupBox("group", &dialog);
    auto *inner = new QWidget(group);
    auto *label = new QLabel("label", inner);
    auto *button = new QPushButton("button", inner);
    auto *edit = new QLineEdit("edit", inner);
    auto *check = new QCheckBox("check", group);
    setControlNumber(group, 9101);
    setControlNumber(label, 9102);
    setControlNumber(button, 9103);
    setControlNumber(edit, 9104);
    setControlNumber(check, 9105);

    LocalizeDialog(&dialog, 9100);

    EXPECT_EQ(dialog.windowTitle(), "Titel");
    EXPECT_EQ(group->title(), "Gruppe");
    EXPECT_EQ(label->text(), "Beschriftung");
    EXPECT_EQ(button->text(), "Knopf");
    EXPECT_EQ(edit->text(), "Feld");
    EXPECT_EQ(check->text(), "Wahl");
}

TEST(LocalizeDialog, KeepsBuiltInTextsWhereTheTablesGiveNone)
{
    ScratchDataDir data;
    // 0 has an entry, but number 0 means "no number"; 9201 has a text beginning with "?";
    // 9202 has a name without a text; 9203 has no entry at all.
    OwnTables tables("ZERO=0\nQUERY=9201\nEMPTY=9202\n", "ZERO=Null\nQUERY=?Frage\nEMPTY=\n");
    QDialog dialog;
    dialog.setWindowTitle("title");
    auto *unnumbered = new QLabel("unnumbered", &dialog);
    auto *query = new QLabel("query", &dialog);
    auto *empty = new QPushButton("empty", &dialog);
    auto *missing = new QLabel("missing", &dialog);
    setControlNumber(query, 9201);
    setControlNumber(empty, 9202);
    setControlNumber(missing, 9203);

    LocalizeDialog(&dialog, 0);
    EXPECT_EQ(dialog.windowTitle(), "title");
    LocalizeDialog(&dialog, 9201);
    EXPECT_EQ(dialog.windowTitle(), "title");

    EXPECT_EQ(controlNumber(unnumbered), 0);
    EXPECT_EQ(unnumbered->text(), "unnumbered");
    EXPECT_EQ(query->text(), "query");
    EXPECT_EQ(empty->text(), "empty");
    EXPECT_EQ(missing->text(), "missing");
}

// ---------------------------------------------------------------------------------------------
// Seven-segment display

const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);

TEST(DigitalEdit, IsRedOnBlackInEveryPaletteGroup)
{
    DigitalEdit edit;
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_EQ(edit.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        SCOPED_TRACE(int(group));
        EXPECT_EQ(edit.palette().color(group, QPalette::Text), Red);
        EXPECT_EQ(edit.palette().color(group, QPalette::Base), Black);
        EXPECT_EQ(edit.palette().color(group, QPalette::Window), Black);
    }
}

// Counts pure red pixels and checks the inside next to the frame is black.
void expectDrawnRedOnBlack(QWidget &widget)
{
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(6, image.height() / 2), Black);
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            red += image.pixelColor(x, y) == Red;
    }
    EXPECT_GT(red, 20);
}

TEST(DigitalEdit, DrawsRedOnBlackInAnyWindowStateAndWhenDisabled)
{
    QWidget window;
    auto *edit = new DigitalEdit(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    edit->setText("88:88:88");
    window.resize(500, 120);
    window.show();
    {
        // Offscreen windows are usually not active, which is the inactive-window case.
        SCOPED_TRACE(window.isActiveWindow() ? "enabled, active window" : "enabled, inactive window");
        expectDrawnRedOnBlack(*edit);
    }
    edit->setEnabled(false);
    {
        SCOPED_TRACE("disabled");
        expectDrawnRedOnBlack(*edit);
    }
}

TEST(DigitalEdit, ClockFontIsTheSevenSegmentFaceAt42Points)
{
    const QFont font = clockFont();
    EXPECT_EQ(font.pointSize(), 42);
    const QStringList families = QFontDatabase::families();
    if (families.contains("DS-Digital Italic", Qt::CaseInsensitive)) {
        EXPECT_EQ(font.family(), "DS-Digital Italic");
    } else if (families.contains("DSEG7 Classic", Qt::CaseInsensitive)) {
        EXPECT_EQ(QFontInfo(font).family(), "DSEG7 Classic");
        EXPECT_TRUE(QFontInfo(font).italic());
    } else {
        EXPECT_EQ(font.family(), "DS-Digital Italic");
    }
    EXPECT_EQ(DigitalEdit().font(), font);
}

// ---------------------------------------------------------------------------------------------
// The wheel and the Tab key

// A window that counts the wheel turns that reach it, as a scrolling window would take them.
class WheelCounter : public QWidget {
public:
    int turns = 0;

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        ++turns;
        event->accept();
    }
};

class FocusAndWheel : public ::testing::Test {
protected:
    void SetUp() override
    {
        layout = new QVBoxLayout(&window);
        list = new QComboBox(&window);
        list->addItems({"zero", "one", "two"});
        takeWheelOnlyWhenFocused(list);
        spin = new SpinEdit(&window);
        spin->setRange(0, 9);
        spin->setText("5");
        other = new QPushButton("other", &window);
        layout->addWidget(list);
        layout->addWidget(spin);
        layout->addWidget(other);
        ASSERT_TRUE(testing::showActive(&window));
        focus(other);
    }

    void focus(QWidget *widget)
    {
        widget->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([widget] { return widget->hasFocus(); }));
    }

    WheelCounter window;
    QVBoxLayout *layout = nullptr;
    QComboBox *list = nullptr;
    SpinEdit *spin = nullptr;
    QPushButton *other = nullptr;
};

TEST_F(FocusAndWheel, AnUnfocusedListPassesTheWheelOnAndTakesNoFocus)
{
    testing::turnWheel(list, -120);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(window.turns, 1);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(list->focusPolicy(), Qt::StrongFocus);
}

TEST_F(FocusAndWheel, AFocusedListTakesTheWheel)
{
    focus(list);
    testing::turnWheel(list, -120);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(window.turns, 0);
}

TEST_F(FocusAndWheel, AnUnfocusedSpinEditPassesTheWheelOnFromItsFieldAndArrows)
{
    testing::turnWheel(spin->edit(), 120);
    testing::turnWheel(spin->downButton(), -120);
    EXPECT_EQ(spin->text(), "5");
    EXPECT_EQ(window.turns, 2);
}

TEST_F(FocusAndWheel, AFocusedSpinEditStepsWithinItsRange)
{
    focus(spin->edit());
    QList<int> positions;
    QObject::connect(spin, &SpinEdit::positionChanged, [&positions](int value) { positions << value; });
    testing::turnWheel(spin->edit(), 120);
    testing::turnWheel(spin->upButton(), 3 * 120);
    EXPECT_EQ(spin->text(), "9") << "stops at the range's end";
    EXPECT_EQ(positions, QList<int>({6, 9}));
    testing::turnWheel(spin->edit(), -120);
    EXPECT_EQ(spin->text(), "8");
    EXPECT_EQ(window.turns, 0);
}

TEST_F(FocusAndWheel, SpinEditsTakeTheirPlaceInTheTabOrderAsOneStop)
{
    auto *first = new SpinEdit(&window);
    auto *second = new SpinEdit(&window);
    layout->addWidget(first);
    layout->addWidget(second);
    first->show();
    second->show();
    // Against the creation order: other, second, first.
    QWidget::setTabOrder(other, second);
    QWidget::setTabOrder(second, first);
    focus(other);
    QTest::keyClick(other, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), second->edit());
    QTest::keyClick(second->edit(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), first->edit());
}

} // namespace
} // namespace kestrix
