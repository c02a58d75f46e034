#pragma once
// Suites of a dialog with a board panel: a scratch data folder whose config.ini names COM3 at
// 9600 bps, the simulated board there as the session's board, and the dialog's jobs waited for.

#include "comm/board_queue.h"
#include "support/holding_sleeper.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "widgets/board_panel.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kestrix::testing {

template <class Dialog>
class DialogWithBoard : public ::testing::Test {
protected:
    // `settings` follows Port and Baud in config.ini; more sections may follow it.
    explicit DialogWithBoard(QString settings = {}) : m_settings(std::move(settings)) {}

    void SetUp() override
    {
        data.writeConfig("[Settings]\nPort=2\nBaud=2\n" + m_settings);
        board = startBoardOn(3, 9600);
        ASSERT_TRUE(board);
        BoardQueues::instance().setSession({3, 9600});
    }

    // The queues outlive the test: a job still running is ended before the sleeper it pauses
    // through goes away, and the sleeper is taken back.
    void TearDown() override
    {
        BoardQueue &queue = BoardQueues::instance().session();
        if (hold)
            hold->releaseAll();
        queue.cancelAll();
        EXPECT_TRUE(QTest::qWaitFor([&queue] { return !queue.busy(); }, Timeout::LongOperation));
        if (hold)
            queue.setSleeper(defaultSleeper());
    }

    // The session's jobs are held inside their pauses from the pause numbered `first` on, until
    // `hold` lets them go on; the test waits until one is held. A frame costs two pauses or more.
    void holdJobsFromPause(int first)
    {
        hold = std::make_unique<HoldingSleeper>(first);
        BoardQueues::instance().session().setSleeper(*hold);
    }
    void waitUntilHeld() const
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return hold->held(); }, Timeout::DialogOperation));
        // What the job reported before it was held reaches the window.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    static QPushButton *button(Dialog &dialog, int control) { return childByNumber<QPushButton>(&dialog, control); }

    // Waits until the dialog's job has ended.
    static void waitUntilIdle(Dialog &dialog, Wait timeout = Timeout::LongOperation)
    {
        ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.panel()->busy(); }, timeout));
    }

    // Clicks a button of the dialog and waits until the job it started has ended.
    static void clickAndWait(Dialog &dialog, int control)
    {
        QTest::mouseClick(button(dialog, control), Qt::LeftButton);
        waitUntilIdle(dialog);
    }

    // Waits until the board has received `count` frames.
    void waitForFrames(size_t count) const
    {
        ASSERT_TRUE(QTest::qWaitFor([this, count] { return board->frameTexts().size() >= count; },
                                    Timeout::DialogOperation));
    }

    bool receivedFrame(const std::string &frame) const
    {
        const std::vector<std::string> frames = board->frameTexts();
        return std::ranges::find(frames, frame) != frames.end();
    }

    // Closes the dialog with `close` while a job runs and answers the question about it.
    static void closeAnswering(QMessageBox::StandardButton answer, const std::function<void()> &close)
    {
        QString asked;
        whenModalOpens([&asked, answer](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_TRUE(box);
            asked = box->text();
            box->button(answer)->click();
        });
        close();
        EXPECT_EQ(asked, "An operation is running on the board. Cancel it and close?");
    }

    ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
    std::unique_ptr<HoldingSleeper> hold;

private:
    QString m_settings;
};

} // namespace kestrix::testing
