// Runs every suite inside a QApplication on the offscreen platform, with the protocol's pauses
// recorded instead of waited. The board queues belong to the application and outlive each test:
// after a test its jobs are ended, so none reaches into the next one, and the queues pause
// through the suite's sleeper again.
#include "comm/board_queue.h"
#include "support/test_support.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class EndBoardJobs : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        for (kestrix::BoardQueue *queue : kestrix::BoardQueues::instance().all()) {
            queue->cancelAll();
            QTest::qWaitFor([queue] { return !queue->busy(); }, 60000);
            queue->setSleeper(kestrix::defaultSleeper());
        }
        kestrix::testing::suiteSleeper().clear();
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    kestrix::setDefaultSleeper(kestrix::testing::suiteSleeper());
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new EndBoardJobs);
    return RUN_ALL_TESTS();
}
