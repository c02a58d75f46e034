// kestrix-cli set-time against the simulated board: the PC's time with "DLS", given fields
// without, a board unplugged on the way, and malformed operands or days that do not exist.
#include "support/cli_support.h"
#include "support/process_support.h"
#include "support/test_support.h"

#include "time/time_upload.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;
using kt::runCli;

namespace {

using Frames = std::vector<std::string>;

const QStringList OnBoard{"--port", "3", "--speed", "9600"};
// The check, and the preamble before the upload.
constexpr size_t EnvelopeFrames = 3;

// The time the register frames W000..W006 (frames 3-9) carry.
QDateTime timeOfFrames(const Frames &frames)
{
    ClockValues values;
    for (int field = 0; field < Clock::FieldCount; ++field) {
        const std::string &frame = frames[size_t(3 + field)];
        const std::string prefix = field == Clock::Weekday ? "W0030" : "W00" + std::to_string(field);
        if (frame.rfind(prefix, 0) != 0 || frame.back() != '\r')
            return {};
        values[size_t(field)] = QString::fromStdString(frame.substr(prefix.size(), frame.size() - prefix.size() - 1));
    }
    const QDateTime time(QDate(2000 + values[Clock::Year].toInt(), values[Clock::Month].toInt(), values[Clock::Day].toInt()),
                         QTime(values[Clock::Hours].toInt(), values[Clock::Minutes].toInt(), values[Clock::Seconds].toInt()));
    return clockFieldsOf(time) == values ? time : QDateTime();
}

TEST(CliSetTime, WithoutOperandsSendsThePcTimeAndDls)
{
    kt::ScratchDataDir data;
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const CliRun run = runCli(data, QStringList{"set-time"} + OnBoard);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.err.contains("Time & Date Uploaded.")) << run;
    const Frames frames = kt::received(*board, 11);
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_EQ(frames[10], "DLS\r");
    const QDateTime sent = timeOfFrames(frames);
    ASSERT_TRUE(sent.isValid());
    EXPECT_GE(sent, before.addMSecs(-before.time().msec()));
    EXPECT_LE(sent, after);
}

TEST(CliSetTime, WithoutABoardThePcTimeStillGoesOutAndExits1)
{
    kt::ScratchDataDir data;
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    board->setFaults({.silent = true});
    const CliRun run = runCli(data, QStringList{"set-time"} + OnBoard);
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("sent all the same")) << run;
    EXPECT_EQ(kt::received(*board, 11).size(), 11u);
}

TEST(CliSetTime, GivenFieldsArePaddedAndSentWithoutDls)
{
    kt::ScratchDataDir data;
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, QStringList{"set-time", "9:05:7", "0", "6.12.26"} + OnBoard);
    EXPECT_EQ(run.exitCode, 0) << run;
    const Frames expected{kt::Sm7,    kt::TestFrame, kt::Sm7,    "W00007\r", "W00105\r",
                          "W00209\r", "W00300\r",    "W00406\r", "W00512\r", "W00626\r"};
    EXPECT_EQ(kt::received(*board, expected.size() + 1), expected);
}

TEST(CliSetTime, GivenFieldsWithoutABoardSendNothingAndExit1)
{
    kt::ScratchDataDir data;
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    board->setFaults({.silent = true});
    const CliRun run = runCli(data, QStringList{"set-time", "09:05:07", "0", "06.12.26"} + OnBoard);
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("Check COM port and Speed.")) << run;
    EXPECT_EQ(kt::received(*board, 3), (Frames{kt::Sm7, kt::TestFrame}));
}

// Runs kestrix-cli and unplugs the board once it has received `frames` frames.
CliRun runUnplugged(const kt::ScratchDataDir &data, sim::BoardSim &board, const QStringList &arguments, size_t frames)
{
    QProcess process;
    kt::startCli(process, data, arguments);
    EXPECT_TRUE(board.waitForFrames(frames, std::chrono::milliseconds(kt::Timeout::ProcessRun.ms)));
    board.hangUp();
    EXPECT_TRUE(process.waitForFinished(kt::Timeout::ProcessRun.ms));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError()), 0};
}

// Unplugged after the first clock register: the board-lost ending alone, exit 1, and no
// further frame.
TEST(CliSetTime, ABoardUnpluggedMidUploadExitsOneWithTheBoardLost)
{
    const QStringList uploads[] = {{"set-time"}, {"set-time", "09:05:07", "0", "06.12.26"}};
    for (const QStringList &arguments : uploads) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        kt::ScratchDataDir data;
        auto board = kt::startBoardOn(3, 9600);
        ASSERT_TRUE(board);
        const CliRun run = runUnplugged(data, *board, arguments + OnBoard, EnvelopeFrames + 1);
        EXPECT_EQ(run.exitCode, 1) << run;
        EXPECT_EQ(run.err.count("Failed: the board was lost after"), 1) << run;
        EXPECT_FALSE(run.err.contains("Time & Date Uploaded.")) << run;
        EXPECT_LT(board->frameTexts().size(), EnvelopeFrames + Clock::FieldCount) << run;
    }
}

using CliSetTimeOnBoard = kt::CliWithBoard;

// Refused before the port opens: nothing at all reaches the board.
TEST_F(CliSetTimeOnBoard, MalformedOperandsAreUsageErrorsAndSendNothing)
{
    const QStringList wrong[] = {
        {"12:00:00"},
        {"12:00", "1", "01.01.26"},
        {"24:00:00", "1", "01.01.26"},
        {"12:60:00", "1", "01.01.26"},
        {"12:00:00", "7", "01.01.26"},
        {"12:00:00", "1", "32.01.26"},
        {"12:00:00", "1", "01.13.26"},
        {"12:00:00", "1", "1.1.2026"},
        {"a:b:c", "1", "01.01.26"},
        {"12:00:00\n", "3", "06.12.26"},   // a final line feed is no digit
        {"12:00\n:00", "3", "06.12.26"},
        {"12:00:00", "3\n", "06.12.26"},
        {"12:00:00", "3", "06.12.26\n"},
        {"12:00:00", "3", "31.02.27"},      // days that do not exist
        {"12:00:00", "3", "29.02.27"},
        {"12:00:00", "3", "31.04.28"},
    };
    for (const QStringList &operands : wrong) {
        const CliRun run = cliOnBoard(QStringList{"set-time"} + operands);
        EXPECT_EQ(run.exitCode, 3) << operands.join(' ').toStdString() << "\n" << run;
        EXPECT_TRUE(run.err.contains("set-time")) << run;
    }
    EXPECT_TRUE(board->frameTexts().empty());
    EXPECT_EQ(cliOnBoard({"set-time", "12:00:00", "2", "29.02.28"}).exitCode, 0) << "2028 is a leap year";
    EXPECT_TRUE(sent("W00429\r"));
}

} // namespace
