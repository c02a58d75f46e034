// The main window's Reset, Activate Alarm and hidden Test Clock buttons against a simulated
// board: what goes out, the status lines, the "Test info" box and the Display Mode list.
#include "support/test_support.h"
#include "support/window_support.h"
#include "support/ui_support.h"

#include "app/main_window.h"
#include "widgets/board_panel.h"
#include "params/ui/parameter_area.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

namespace kt = kestrix::testing;
using kt::Sm7;
using kt::TestFrame;

class BoardCommandButtons : public kt::WindowWithBoard {
protected:
    void SetUp() override
    {
        WindowWithBoard::SetUp();
        window->show();
    }

    QString line(int index) const { return window->messageLine(index)->text(); }
};

TEST_F(BoardCommandButtons, ResetSendsRstAndSaysSo)
{
    clickAndWait(window->button(1058));
    const std::vector<std::string> expected{Sm7, TestFrame, "\x1bRST\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
    EXPECT_EQ(line(0), "Device reseted.");
}

TEST_F(BoardCommandButtons, ActivateAlarm1SendsAl0)
{
    clickAndWait(window->button(1140));
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "AL0\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
    EXPECT_EQ(line(0), "Alarm 1 activation ... Done");
    EXPECT_EQ(line(1), "");
}

TEST_F(BoardCommandButtons, TestClockShowsTheInfoBoxSelectsConfigurableAndSendsTheScript)
{
    QFile script(data.file("test.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("W01701\r\n\n");
    script.close();
    QComboBox *displayMode = window->parameters()->list(ParamId::DisplayMode);
    displayMode->setCurrentIndex(1);
    ASSERT_EQ(window->digits().digit(StoredDigit::Se1), "1");

    QPushButton *testClock = window->button(1174);
    EXPECT_FALSE(testClock->isVisible());
    QString boxText;
    int indexWhileBoxOpen = -1;
    kt::whenModalOpens([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        boxText = box->text();
        indexWhileBoxOpen = displayMode->currentIndex();
        box->accept();
    });
    clickAndWait(testClock);
    EXPECT_EQ(boxText, "Test info");
    EXPECT_EQ(indexWhileBoxOpen, 1) << "the list changes after the box";
    EXPECT_EQ(displayMode->currentIndex(), 4);
    EXPECT_EQ(window->digits().digit(StoredDigit::Se1), "1") << "the selection only";
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "W01701\r", "\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
    EXPECT_EQ(line(0), "Parameters A5-C0 uploaded.");
}

} // namespace
} // namespace kestrix
