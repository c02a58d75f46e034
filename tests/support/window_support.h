#pragma once
// The main window with a simulated board on COM3 at 9600 bps, the port config.ini names; the
// clock timer stopped, so tests drive the window alone.

#include "app/main_window.h"
#include "support/test_support.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace kestrix::testing {

class WindowWithBoard : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.writeConfig("[Settings]\nPort=2\nBaud=2\n");
        board = startBoardOn(3, 9600);
        ASSERT_TRUE(board);
        window = std::make_unique<MainWindow>();
        window->clockTimer().stop();
    }

    // Clicks a button of the window and waits until the operation it started has ended.
    void clickAndWait(QPushButton *button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->queue().busy(); }, Timeout::DialogOperation));
    }

    ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
    std::unique_ptr<MainWindow> window;
};

} // namespace kestrix::testing
