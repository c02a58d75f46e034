// A board's queue: jobs one at a time in order off the window's thread, cancel of the running
// job, abandoned owners, and the session's port and speed it holds.
#include "comm/board_queue.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <gtest/gtest.h>

using namespace kestrix;

namespace {

TEST(BoardQueue, RunsJobsOneAtATimeInOrderOffTheCallersThread)
{
    BoardQueue queue;
    QSignalSpy busy(&queue, &BoardQueue::busyChanged);
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> onCallersThread{false};
    int finished = 0;
    for (int job = 0; job < 3; ++job) {
        queue.start(
            [&, job](Reporter &) {
                overlapped = overlapped || running++ > 0;
                onCallersThread = onCallersThread || QThread::currentThread() == qApp->thread();
                QThread::msleep(30);
                order.push_back(job);
                --running;
            },
            nullptr, [&] { ++finished; });
    }
    EXPECT_TRUE(queue.busy());
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished == 3; }, 5000));
    EXPECT_FALSE(queue.busy());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(onCallersThread);
    ASSERT_EQ(busy.count(), 2);
    EXPECT_TRUE(busy.at(0).at(0).toBool());
    EXPECT_FALSE(busy.at(1).at(0).toBool());
}

TEST(BoardQueue, ForwardsLinesAndProgressAndWaitsForMessageBoxes)
{
    BoardQueue queue;
    QSignalSpy lines(&queue, &BoardQueue::lineChanged);
    QSignalSpy progress(&queue, &BoardQueue::progressChanged);
    bool boxOnCallersThread = false;
    QString boxText;
    queue.setMessageBoxHandler([&](QObject *, const QString &text, MessageIcon icon) {
        boxOnCallersThread = QThread::currentThread() == qApp->thread();
        boxText = icon == MessageIcon::Error ? text : QString();
    });
    bool afterBox = false;
    bool done = false;
    queue.start(
        [&](Reporter &reporter) {
            reporter.setLine(1, QStringLiteral("Checking"));
            reporter.progress(3, 80);
            reporter.messageBox(QStringLiteral("Error Opening Communication Port!"), MessageIcon::Error);
            afterBox = !boxText.isEmpty();   // the box was shown before the job went on
        },
        nullptr, [&] { done = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_TRUE(boxOnCallersThread);
    EXPECT_TRUE(afterBox);
    ASSERT_EQ(lines.count(), 1);
    EXPECT_EQ(lines.at(0).at(1).toInt(), 1);
    EXPECT_EQ(lines.at(0).at(2).toString(), QStringLiteral("Checking"));
    ASSERT_EQ(progress.count(), 1);
    EXPECT_EQ(progress.at(0).at(2).toInt(), 80);
}

TEST(BoardQueue, ResultsReachOnlyAWindowThatStillExists)
{
    BoardQueue queue;
    auto window = std::make_unique<QObject>();
    auto stays = std::make_unique<QObject>();
    std::atomic<bool> release{false};
    int delivered = 0;
    int kept = 0;
    queue.start([&](Reporter &) { while (!release) QThread::yieldCurrentThread(); }, window.get(), [&] { ++delivered; });
    queue.start([](Reporter &) {}, stays.get(), [&] { ++kept; });
    window.reset();   // closed while its job runs
    release = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !queue.busy(); }, 5000));
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(kept, 1);
}

// Waits until cancelled (at most a second); says in its first line how it ended.
void waitForCancel(Reporter &reporter, std::atomic<bool> &started)
{
    started = true;
    for (int wait = 0; wait < 500 && !reporter.cancelled(); ++wait)
        QThread::msleep(2);
    reporter.setLine(0, reporter.cancelled() ? QStringLiteral("Operation cancelled.") : QStringLiteral("Done."));
}

TEST(BoardQueue, CancelStopsOnlyTheRunningJob)
{
    BoardQueue queue;
    std::atomic<bool> started{false};
    std::vector<bool> sawCancel;
    const auto record = [&](Reporter &reporter) { sawCancel.push_back(reporter.cancelled()); };
    queue.start([&](Reporter &reporter) { waitForCancel(reporter, started); record(reporter); });
    queue.start(record);
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 5000));
    queue.cancel();
    queue.start(record);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sawCancel.size() == 3; }, 5000));
    EXPECT_EQ(sawCancel, (std::vector<bool>{true, false, false}));
}

TEST(BoardQueue, AbandonCancelsThatOwnersJobsAndTellsHowTheyEnded)
{
    BoardQueue queue;
    QSignalSpy abandoned(&queue, &BoardQueue::abandonedJobEnded);
    auto dialog = std::make_unique<QObject>();
    QObject window;
    std::atomic<bool> started{false};
    bool dialogTold = false;
    bool windowCancelled = true;
    queue.start([&](Reporter &reporter) { waitForCancel(reporter, started); }, dialog.get(), [&] { dialogTold = true; });
    queue.start([&](Reporter &reporter) { windowCancelled = reporter.cancelled(); }, &window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 5000));
    EXPECT_TRUE(queue.runs(dialog.get()));
    queue.abandon(dialog.get());
    dialog.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !queue.busy(); }, 5000));
    ASSERT_EQ(abandoned.count(), 1);
    EXPECT_EQ(abandoned.at(0).at(1).toString(), QStringLiteral("Operation cancelled."));
    EXPECT_EQ(abandoned.at(0).at(2).toInt(), 0) << "a job outside an envelope wrote no frame";
    EXPECT_FALSE(dialogTold);
    EXPECT_FALSE(windowCancelled) << "another owner's job runs as submitted";
}

TEST(BoardQueue, HoldsTheSessionsPortAndSpeed)
{
    BoardQueue queue(SerialSettings{3, 4800});
    EXPECT_EQ(queue.settings().port, 3);
    EXPECT_EQ(queue.settings().speed, 4800);
    queue.setSettings({5, 9600});
    EXPECT_EQ(queue.settings().port, 5);
    EXPECT_EQ(queue.settings().speed, 9600);
}

} // namespace
