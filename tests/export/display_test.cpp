// The display operations against a simulated board: the lines as the board receives them, the
// retries, and the values and tables they are made of.
#include "support/test_support.h"

#include "comm/serial_channel.h"
#include "export/display_exchange.h"

#include <cmath>
#include <limits>
#include <QThread>
#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::display;
namespace kt = kestrix::testing;

namespace {

constexpr int BoardPort = 1;
const std::string Start = "as\r\n";
const std::string End = "sa\r\n";
const std::string Rate = "$03I|    1.5| 1.4567|\r\n";

using Lines = std::vector<std::string>;

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board);
        ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    }

    void setFaults(sim::Faults faults)
    {
        board->setFaults(faults);
    }

    Lines lines(size_t expected) const { return kt::received(*board, expected); }

    void expectCountersAtRest() const
    {
        EXPECT_EQ(channel.nestingCounter, 0);
        EXPECT_EQ(channel.retryCount, DisplayExchange::FirstRetry);
    }

    kt::ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board = kt::startBoardOn(BoardPort);
    RecordingSleeper sleeper;
    SerialChannel channel{sleeper};
    DisplayExchange display{channel};
};

TEST(DisplayValues, AreFormattedAsTheBoardShowsThem)
{
    const std::pair<double, const char *> examples[] = {
        {1.5, "1.5"}, {12, "12.0"}, {0, "0.0"}, {1234.5678, "1234.56"}, {0.123456789, "0.12345"},
        {123456.7, "123456."}, {10000000, "1000000"}, {-1.5, "-1.5"}, {1e-9, "0.0"}, {1e300, "1000000"},
        {-1e300, "-100000"}, {std::numeric_limits<double>::quiet_NaN(), "nan.0"},
        {-std::numeric_limits<double>::quiet_NaN(), "nan.0"}, {INFINITY, "inf.0"}, {-INFINITY, "-inf.0"},
    };
    for (const auto &[value, shown] : examples)
        EXPECT_EQ(formatValue(value), shown) << value;
}

TEST(DisplayTables, IgnoreLetterCaseAndTakeOnlyTheirEntries)
{
    EXPECT_EQ(currencyLine("eur"), 8);
    EXPECT_EQ(currencyLine("FRF"), 6);
    EXPECT_EQ(currencyLine("Gbr"), 1);
    EXPECT_EQ(currencyLine("USD"), 0);
    for (const char *unknown : {"gbp", "", "usdx", "us"})
        EXPECT_FALSE(currencyLine(unknown)) << unknown;
    EXPECT_EQ(kindOfText("b"), 2);
    EXPECT_EQ(kindOfText("U"), 0);
    for (const char *unknown : {"x", "", "bb", "1"})
        EXPECT_FALSE(kindOfText(unknown)) << unknown;
    EXPECT_EQ(kindLetter(2), 'B');
    EXPECT_EQ(typeLetter(2), 'A');
    EXPECT_EQ(typeOfText("a"), 2);
    EXPECT_FALSE(typeOfText("B"));
    EXPECT_FALSE(kindLetter(3));
    EXPECT_FALSE(typeLetter(-1));
}

TEST_F(DisplayTest, RateLineIsFramedByStartAndEndLines)
{
    EXPECT_EQ(display.setCurrency(3, 1, 1.5, 1.4567), Accepted);
    EXPECT_EQ(lines(3), (Lines{Start, Rate, End}));
    expectCountersAtRest();
}

TEST_F(DisplayTest, TextFormMapsCodeAndKindAndRefusesOthersWithoutSending)
{
    EXPECT_TRUE(display.setCurrency("usd", "b", 1.5, 12));
    EXPECT_EQ(lines(3), (Lines{Start, "$00B|    1.5|   12.0|\r\n", End}));
    board->clearFrames();
    EXPECT_FALSE(display.setCurrency("gbp", "b", 1.5, 12));
    EXPECT_FALSE(display.setCurrency("eur", "x", 1.5, 12));
    EXPECT_EQ(display.setCurrency(3, 3, 1.5, 12), 0);
    EXPECT_EQ(display.setIntensity(5, 3, {}), 0);
    EXPECT_EQ(display.setCurrency(3, -1, 1.5, 12), 0);
    EXPECT_FALSE(board->waitForFrames(1, std::chrono::milliseconds(300)));
    expectCountersAtRest();
}

TEST_F(DisplayTest, BrightnessLinesCarryTimesOnlyForTypeTwo)
{
    EXPECT_EQ(display.setIntensity(5, 2, {6, 30, 22, 0}), Accepted);
    EXPECT_EQ(display.setIntensity(5, 0, {6, 30, 22, 0}), Accepted);
    EXPECT_EQ(lines(6), (Lines{Start, "#05A06:30/22:00\r\n", End, Start, "#05U\r\n", End}));
}

TEST_F(DisplayTest, OneRejectedStartLineIsRepeated)
{
    setFaults({.rejectDisplayLines = 1});
    EXPECT_EQ(display.setCurrency(3, 1, 1.5, 1.4567), Accepted);
    EXPECT_EQ(lines(4), (Lines{Start, Start, Rate, End}));
    expectCountersAtRest();
}

TEST_F(DisplayTest, SilentBoardGetsFiveStartLinesAndTheCallerSeesNoAnswer)
{
    setFaults({.silent = true});
    EXPECT_EQ(display.setCurrency(3, 1, 1.5, 1.4567), 0);
    EXPECT_EQ(lines(5), Lines(5, Start));
    EXPECT_FALSE(board->waitForFrames(6, std::chrono::milliseconds(300)));
    // The port was reset on the way and is open again for the next operation.
    EXPECT_TRUE(channel.isOpen());
    expectCountersAtRest();
    EXPECT_FALSE(display.setCurrency("usd", "u", 1, 2));
}

TEST_F(DisplayTest, CancelledExchangeSendsNothingMoreAndKeepsThePort)
{
    setFaults({.silent = true});
    int asked = 0;
    // The board goes away as the operation is cancelled: a port reset now could not reopen.
    display.setCancelCheck([&] {
        if (++asked == 2)
            board->hangUp();
        return asked > 1;
    });
    EXPECT_EQ(display.setCurrency(3, 1, 1.5, 1.4567), 0);
    EXPECT_EQ(board->frameTexts(), Lines{Start});
    EXPECT_TRUE(channel.isOpen());
    expectCountersAtRest();
}

TEST_F(DisplayTest, RejectedOperationLineIsRetriedThenReportedAsRejected)
{
    setFaults({.rejectOperationLines = true});
    EXPECT_EQ(display.setCurrency(3, 1, 1.5, 1.4567), '?');
    Lines expected;
    for (int attempt = 0; attempt < 4; ++attempt)
        expected.insert(expected.end(), {Start, Rate});
    expected.push_back(Start);
    EXPECT_EQ(lines(9), expected);
    expectCountersAtRest();
}

TEST_F(DisplayTest, TestLineIsFramedAndARejectedStartResetsThePort)
{
    EXPECT_EQ(display.test(), Accepted);
    EXPECT_EQ(lines(3), (Lines{Start, "T\r\n", End}));
    board->clearFrames();
    // The second start line meets the closed port, which reopens; the board never sees it.
    setFaults({.rejectDisplayLines = 1});
    EXPECT_EQ(display.test(), Accepted);
    EXPECT_EQ(lines(3), (Lines{Start, "T\r\n", End}));
    board->clearFrames();
    setFaults({.silent = true});
    EXPECT_EQ(display.test(), 0);
    EXPECT_EQ(lines(2), (Lines{Start, "T\r\n"}));
}

TEST_F(DisplayTest, TimeTextGoesAloneAfterTheConfirmation)
{
    std::string confirmed;
    display.setTimeConfirmation([&](const std::string &text) {
        confirmed = text;
        EXPECT_TRUE(board->frameTexts().empty()) << "confirmed before sending";
    });
    EXPECT_EQ(display.setTime({15, 7, 9, 13, 5, 2014}), Accepted);
    EXPECT_EQ(confirmed, "0f:07:09:0d:05:0e");
    EXPECT_EQ(lines(1), Lines{"0f:07:09:0d:05:0e"});
    EXPECT_EQ(timeText({45, 59, 23, 31, 12, 2099}), "2d:3b:17:1f:0c:63");
}

TEST_F(DisplayTest, TimeThatCannotBeWrittenIsNotReportedAsSent)
{
    channel.Close();
    board->hangUp();
    EXPECT_EQ(display.setTime({15, 7, 9, 13, 5, 2014}), 0);
}

// Two boards driven at once from two threads each get their own lines.
TEST(DisplayThreads, ObjectsOnDifferentChannelsShareNothing)
{
    kt::ScratchDataDir data;
    auto first = kt::startBoardOn(1);
    auto second = kt::startBoardOn(2);
    ASSERT_TRUE(first && second);
    auto drive = [](int port, int line, double value) {
        SerialChannel channel;
        ASSERT_EQ(channel.Open(port, 9600), SerialChannel::Opened);
        DisplayExchange display(channel);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(display.setCurrency(line, 0, value, value), Accepted);
        channel.Close();
    };
    std::unique_ptr<QThread> one(QThread::create(drive, 1, 1, 1.25));
    std::unique_ptr<QThread> two(QThread::create(drive, 2, 2, 2.5));
    one->start();
    two->start();
    one->wait();
    two->wait();
    const Lines firstBoard = kt::received(*first, 9);
    const Lines secondBoard = kt::received(*second, 9);
    ASSERT_EQ(firstBoard.size(), 9u);
    ASSERT_EQ(secondBoard.size(), 9u);
    for (size_t i = 1; i < 9; i += 3) {
        EXPECT_EQ(firstBoard[i], "$01U|   1.25|   1.25|\r\n");
        EXPECT_EQ(secondBoard[i], "$02U|    2.5|    2.5|\r\n");
    }
}

} // namespace
