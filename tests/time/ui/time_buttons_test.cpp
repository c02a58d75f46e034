// The main window's time buttons: "Adjust" of "PC Time / Date" uploads the PC's time as a job
// of the session's queue, "Adjust Time && Date Manual" opens the manual time dialog on it.
#include "support/test_support.h"
#include "support/window_support.h"
#include "support/ui_support.h"

#include "app/main_window.h"
#include "time/ui/manual_time_dialog.h"
#include "widgets/board_panel.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;

namespace {

using TimeButtons = kt::WindowWithBoard;

TEST_F(TimeButtons, AdjustUploadsThePcTimeWithDlsOnTheSessionsQueue)
{
    QTest::mouseClick(window->button(MainButton::AdjustPcTime), Qt::LeftButton);
    EXPECT_TRUE(window->queue().busy());
    EXPECT_EQ(&window->queue(), &BoardQueues::instance().session());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->queue().busy(); }, kt::Timeout::DialogOperation));
    const std::vector<std::string> frames = kt::received(*board, 11);
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_EQ(frames[2], kt::Sm7);
    for (int reg = 0; reg < 7; ++reg)
        EXPECT_EQ(frames[size_t(3 + reg)].substr(0, 4), "W00" + std::to_string(reg));
    EXPECT_EQ(frames[10], "DLS\r");
    EXPECT_EQ(window->messageLine(0)->text(), "Time & Date Uploaded.");
}

TEST_F(TimeButtons, ManualOpensTheManualDialogOnTheSessionsBoard)
{
    SerialSettings settings;
    kt::whenModalOpens([&settings](QWidget *modal) {
        auto *dialog = qobject_cast<ManualTimeDialog *>(modal);
        ASSERT_NE(dialog, nullptr);
        settings = dialog->panel()->queue().settings();
        dialog->accept();
    });
    QTest::mouseClick(window->button(MainButton::ManualTime), Qt::LeftButton);
    EXPECT_EQ(settings, (SerialSettings{3, 9600}));
    EXPECT_TRUE(board->frameTexts().empty());
}

} // namespace
