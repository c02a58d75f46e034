// The worker thread that keeps the window responsive while board operations run.
#include "comm/operation_runner.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <gtest/gtest.h>

using namespace kestrix;

namespace {

TEST(OperationRunner, RunsJobsOneAtATimeInOrderOffTheCallersThread)
{
    OperationRunner runner;
    QSignalSpy busy(&runner, &OperationRunner::busyChanged);
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> onCallersThread{false};
    int finished = 0;
    for (int job = 0; job < 3; ++job) {
        runner.start(
            [&, job](Reporter &) {
                overlapped = overlapped || running++ > 0;
                onCallersThread = onCallersThread || QThread::currentThread() == qApp->thread();
                QThread::msleep(30);
                order.push_back(job);
                --running;
            },
            nullptr, [&] { ++finished; });
    }
    EXPECT_TRUE(runner.busy());
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished == 3; }, 5000));
    EXPECT_FALSE(runner.busy());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(onCallersThread);
    ASSERT_EQ(busy.count(), 2);
    EXPECT_TRUE(busy.at(0).at(0).toBool());
    EXPECT_FALSE(busy.at(1).at(0).toBool());
}

TEST(OperationRunner, ForwardsLinesAndProgressAndWaitsForMessageBoxes)
{
    OperationRunner runner;
    QSignalSpy lines(&runner, &OperationRunner::lineChanged);
    QSignalSpy progress(&runner, &OperationRunner::progressChanged);
    bool boxOnCallersThread = false;
    QString boxText;
    runner.setMessageBoxHandler([&](const QString &text, MessageIcon icon) {
        boxOnCallersThread = QThread::currentThread() == qApp->thread();
        boxText = icon == MessageIcon::Error ? text : QString();
    });
    bool afterBox = false;
    bool done = false;
    runner.start(
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
    EXPECT_EQ(lines.at(0).at(0).toInt(), 1);
    EXPECT_EQ(lines.at(0).at(1).toString(), QStringLiteral("Checking"));
    ASSERT_EQ(progress.count(), 1);
    EXPECT_EQ(progress.at(0).at(1).toInt(), 80);
}

TEST(OperationRunner, ResultsReachOnlyAWindowThatStillExists)
{
    OperationRunner runner;
    auto window = std::make_unique<QObject>();
    auto stays = std::make_unique<QObject>();
    std::atomic<bool> release{false};
    int delivered = 0;
    int keptResult = 0;
    runner.run(window.get(), [&](Reporter &) { while (!release) QThread::yieldCurrentThread(); return 1; },
               [&](int) { ++delivered; });
    runner.run(stays.get(), [](Reporter &) { return 42; }, [&](int result) { keptResult = result; });
    window.reset();   // closed while its operation runs
    release = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !runner.busy(); }, 5000));
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(keptResult, 42);
}

TEST(OperationRunner, CancelStopsTheRunningAndQueuedJobsButNotLaterOnes)
{
    OperationRunner runner;
    std::atomic<bool> started{false};
    std::vector<bool> sawCancel;
    const auto job = [&](Reporter &reporter) {
        started = true;
        for (int wait = 0; wait < 500 && !reporter.cancelled(); ++wait)
            QThread::msleep(2);
        return reporter.cancelled();
    };
    const auto keep = [&](bool cancelled) { sawCancel.push_back(cancelled); };
    runner.run(nullptr, job, keep);
    runner.run(nullptr, [](Reporter &reporter) { return reporter.cancelled(); }, keep);
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 5000));
    runner.cancel();
    runner.run(nullptr, [](Reporter &reporter) { return reporter.cancelled(); }, keep);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sawCancel.size() == 3; }, 5000));
    EXPECT_EQ(sawCancel, (std::vector<bool>{true, true, false}));
}

} // namespace
