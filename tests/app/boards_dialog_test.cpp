// The boards dialog: one operation on several simulated boards at once, each row with its own
// ending, a hung-up board failing alone, and Retry Failed running on that board only.

#include "app/boards_dialog.h"
#include "comm/board_queue.h"
#include "support/test_support.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace kestrix {
namespace {

namespace kt = kestrix::testing;
using Action = BoardsDialog::Action;

constexpr int Ports[] = {4, 5, 6};
constexpr int HungUp = 6;   // unplugged before the first run

struct Case {
    const char *name;
    Action action;
    std::vector<std::string> frames;   // every board that completes receives these, in order
    QString ending;
    QString failure;   // the hung-up board's row
};

void PrintTo(const Case &test, std::ostream *out)
{
    *out << test.name;
}

// Frames a board received that start with one of the expected ones, in order.
std::vector<std::string> matching(const sim::BoardSim &board, const std::vector<std::string> &expected)
{
    std::vector<std::string> found;
    for (const std::string &frame : board.frameTexts()) {
        const auto starts = [&frame](const std::string &start) { return frame.starts_with(start); };
        if (std::ranges::any_of(expected, starts))
            found.push_back(frame.substr(0, std::ranges::find_if(expected, starts)->size()));
    }
    return found;
}

class BoardsDialogTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        data.writeConfig("[Settings]\nPort=3\nBaud=2\n[Boards]\nCOM4=Hall north\n[Parameters]\nC1=07\nC2=05\n");
        kt::writeBytes(data.file("alarms.txt"), "p1;06;30;1\r\r\np2;12;15;1\r\r\n");
        for (int port : Ports) {
            boards[port] = kt::startBoardOn(port, 9600);
            ASSERT_TRUE(boards[port]);
        }
        BoardQueues::instance().setSession({4, 9600});
    }

    void TearDown() override
    {
        for (int port : Ports) {
            BoardQueue &queue = BoardQueues::instance().queue(port);
            queue.cancelAll();
            EXPECT_TRUE(QTest::qWaitFor([&queue] { return !queue.busy(); }, kt::Timeout::LongOperation));
        }
    }

    static void runAndWait(BoardsDialog &dialog, const std::function<void()> &action)
    {
        action();
        EXPECT_TRUE(dialog.running());
        EXPECT_FALSE(dialog.button(BoardsDialog::SetTimeButton)->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.running(); }, kt::Timeout::LongOperation));
    }

    kt::ScratchDataDir data;
    std::map<int, std::unique_ptr<sim::BoardSim>> boards;
};

TEST_P(BoardsDialogTest, RunsOnEveryCheckedBoardAndRetriesTheFailedOne)
{
    const Case &test = GetParam();
    // A second port of COM5's device is listed but cannot be checked.
    ASSERT_TRUE(mapPortToDevice(7, QString::fromStdString(boards[5]->devicePath())));
    BoardsDialog dialog;
    ASSERT_EQ(dialog.ports(), std::vector<int>(std::begin(Ports), std::end(Ports)));
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(BoardsDialog::BoardColumn), "Hall north");
    EXPECT_EQ(dialog.list()->topLevelItem(1)->text(BoardsDialog::BoardColumn), "COM5");
    const QTreeWidgetItem *twin = dialog.list()->topLevelItem(3);
    EXPECT_EQ(twin->text(BoardsDialog::OutcomeColumn), "Same device as COM5: one board runs one job at a time.");
    EXPECT_FALSE(twin->flags() & Qt::ItemIsUserCheckable);
    EXPECT_EQ(dialog.list()->topLevelItem(1)->text(BoardsDialog::DeviceColumn),
              QString::fromStdString(boards[5]->devicePath()));
    for (int port : Ports)
        dialog.setChecked(port, true);
    // Unplugged: its device is gone. (Hanging up the simulated board would free its terminal's
    // number for another test's board to take while this one still names it.)
    boards[HungUp].reset();
    ASSERT_TRUE(mapPortToDevice(HungUp, data.file("unplugged")));

    runAndWait(dialog, [&] { dialog.start(test.action); });
    for (int port : {4, 5}) {
        EXPECT_EQ(matching(*boards[port], test.frames), test.frames) << "COM" << port;
        EXPECT_EQ(dialog.outcome(port), test.ending) << "COM" << port;
        EXPECT_EQ(dialog.completed(port), true);
    }
    EXPECT_EQ(dialog.completed(HungUp), false);
    // A port error the job asks a message box for shows in its row (outcome and details) instead.
    EXPECT_EQ(dialog.outcome(HungUp), test.failure);
    EXPECT_EQ(dialog.details(HungUp).count(test.failure), 1 + int(test.action == Action::SetTime));
    EXPECT_TRUE(dialog.button(BoardsDialog::RetryButton)->isEnabled());

    // The board is back: Retry Failed runs on it alone.
    boards[HungUp] = kt::startBoardOn(HungUp, 9600);
    ASSERT_TRUE(boards[HungUp]);
    for (int port : {4, 5})
        boards[port]->clearFrames();
    runAndWait(dialog, [&] { dialog.retryFailed(); });
    EXPECT_EQ(matching(*boards[HungUp], test.frames), test.frames);
    EXPECT_EQ(dialog.outcome(HungUp), test.ending);
    EXPECT_EQ(dialog.completed(HungUp), true);
    for (int port : {4, 5}) {
        EXPECT_TRUE(boards[port]->frameTexts().empty()) << "COM" << port;
        EXPECT_EQ(dialog.outcome(port), test.ending);
    }
    EXPECT_FALSE(dialog.button(BoardsDialog::RetryButton)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Actions, BoardsDialogTest,
    ::testing::Values(Case{"SetTimeFromPc",
                           Action::SetTime,
                           {"W000", "W001", "W002", "W003", "W004", "W005", "W006", "DLS\r"},
                           "Time & Date Uploaded.",
                           "Error Opening Communication Port!"},
                      Case{"UploadAlarms",
                           Action::UploadAlarms,
                           {"W10107\r", "W102\r", "W10305\r", "W104\r", "W105\r", "W106\r", "W11006\r", "W11130\r",
                            "W11210\r", "W26012\r", "W26115\r", "W26210\r"},
                           "Times Uploaded.",
                           "Check COM port and Speed."}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
} // namespace kestrix
