// kestrix-cli on several boards at once: each board gets its own frames with the protocol's
// pauses, side by side; one board's failure is its own; the summary names it; each board's
// download goes to a file of its own; what would run two jobs on one board is refused.

#include "support/cli_support.h"

#include "comm/serial_settings.h"
#include "board_preset.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;
using namespace std::chrono_literals;

namespace {

class CliManyBoards : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Boards set up as the board program starts them, so that a download is complete.
        const std::time_t now = std::time(nullptr);
        for (int port : {3, 5}) {
            boards.push_back(startBoardOn(port, 9600));
            ASSERT_TRUE(boards.back());
            for (const sim::RegisterValue &value : sim::configuredParameters())
                boards.back()->setRegister(value.reg, value.value);
            for (const sim::RegisterValue &value : sim::clockRegisters(*std::localtime(&now)))
                boards.back()->setRegister(value.reg, value.value);
        }
    }

    QString device(size_t board) const { return QString::fromStdString(boards[board]->devicePath()); }
    void nameBoard(int port, const QString &name) const
    {
        QFile config(data.file("config.ini"));
        ASSERT_TRUE(config.open(QIODevice::Append));
        config.write(QStringLiteral("\n[Boards]\nCOM%1=%2\n").arg(port).arg(name).toUtf8());
    }
    CliRun cli(const QStringList &arguments) const { return runCli(data, arguments + QStringList{"--speed", "9600"}); }

    ScratchDataDir data;
    std::vector<std::unique_ptr<sim::BoardSim>> boards;
};

// The clock registers of the PC's time and the pause each needs after it.
struct ClockFrame {
    const char *prefix;
    std::chrono::milliseconds pauseAfter;
};
constexpr ClockFrame ClockFrames[] = {{"W000", 20ms}, {"W001", 20ms}, {"W002", 20ms}, {"W003", 30ms},
                                      {"W004", 30ms}, {"W005", 30ms}, {"W006", 30ms}};

std::vector<sim::ReceivedFrame> clockFrames(const sim::BoardSim &board)
{
    std::vector<sim::ReceivedFrame> found;
    for (const sim::ReceivedFrame &frame : board.frames()) {
        if (frame.bytes.starts_with("W00"))
            found.push_back(frame);
    }
    return found;
}

TEST_F(CliManyBoards, SetTimeReachesEveryBoardSideBySideWithItsPauses)
{
    // The point is the pace on each board and the overlap of the two: pauses waited for real.
    const RealPace pace;
    nameBoard(5, QStringLiteral("Hall north"));
    const struct {
        const char *naming;
        QStringList arguments;
        QStringList labels;
    } rows[] = {
        {"port list", {"--port", "3,5"}, {"COM3", "Hall north"}},
        {"configured ports", {"--ports", "configured"}, {"COM3", "Hall north"}},
        {"devices", {"--device", device(0), "--device", device(1)}, {device(0), device(1)}},
    };
    // A port with a device is one board: the port's device for this run.
    const CliRun one = cli({"--port", "5", "--device", device(0), "check"});
    EXPECT_EQ(one.exitCode, 0) << one;
    EXPECT_EQ(one.out, "Communication OK.\n") << one;
    EXPECT_EQ(boards[0]->frames().size(), 2u);
    EXPECT_TRUE(boards[1]->frames().empty());
    for (const auto &row : rows) {
        SCOPED_TRACE(row.naming);
        for (auto &board : boards)
            board->clearFrames();
        const CliRun run = cli(row.arguments + QStringList{"set-time"});
        EXPECT_EQ(run.exitCode, 0) << run;
        for (const QString &label : row.labels) {
            EXPECT_TRUE(run.err.contains(label + ": Time & Date Uploaded.")) << run;
            EXPECT_TRUE(run.out.contains(QRegularExpression("\n" + QRegularExpression::escape(label) + "[^\n]*  done  ")))
                << run;
        }
        std::vector<std::vector<sim::ReceivedFrame>> frames{clockFrames(*boards[0]), clockFrames(*boards[1])};
        for (const auto &own : frames) {
            ASSERT_EQ(own.size(), std::size(ClockFrames)) << run;
            for (size_t i = 0; i < own.size(); ++i) {
                EXPECT_TRUE(own[i].bytes.starts_with(ClockFrames[i].prefix)) << own[i].bytes;
                if (i + 1 < own.size())
                    EXPECT_GE(own[i + 1].time - own[i].time, ClockFrames[i].pauseAfter) << ClockFrames[i].prefix;
            }
        }
        // Side by side: each board's clock frames began before the other board's ended.
        EXPECT_LT(frames[0].front().time, frames[1].back().time);
        EXPECT_LT(frames[1].front().time, frames[0].back().time);
    }
}

// A board that fails ends its own row; the other completes, and its files are written.
TEST_F(CliManyBoards, OneBoardsFailureIsItsOwnAndNamed)
{
    nameBoard(5, QStringLiteral("Hall north"));
    const QString folder = data.file("downloads");
    ASSERT_TRUE(QDir().mkpath(folder));
    const struct {
        const char *failure;
        sim::Faults faults;
        QStringList command;
        QString row;
    } rows[] = {
        {"a read unanswered", {.unansweredReads = {12}}, {"download", "--save", folder}, "Hall north \\(COM5\\) +incomplete +1 +"},
        {"silent", {.silent = true}, {"set-time"}, "Hall north \\(COM5\\) +no answer +the check +"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.failure);
        boards[1]->setFaults(row.faults);
        const CliRun run = cli(QStringList{"--port", "3,5"} + row.command);
        EXPECT_EQ(run.exitCode, 1) << run;
        EXPECT_TRUE(run.out.contains(QRegularExpression("\nCOM3 +done +- +\\d+\\.\\d s\n"))) << run;
        EXPECT_TRUE(run.out.contains(QRegularExpression(row.row))) << run;
        EXPECT_TRUE(run.out.endsWith("Failed: 1 of 2 boards: Hall north\n")) << run;
    }
    // The complete download has its own file; the incomplete one wrote none.
    EXPECT_TRUE(QFile::exists(QDir(folder).filePath("COM3.ini")));
    EXPECT_FALSE(QFile::exists(QDir(folder).filePath("Hall north.ini")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"COM3.ini"});
}

// Every port at once; each board found is reported, and of two none is stored.
TEST_F(CliManyBoards, ScanReportsEveryBoardFound)
{
    const QString before = data.readConfig();
    const CliRun run = cli({"--port", "3-5", "scan"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("COM3: a board at 9600 bps\n")) << run;
    EXPECT_TRUE(run.out.contains("COM5: a board at 9600 bps\n")) << run;
    EXPECT_TRUE(run.out.contains("2 of 3 ports have a board.\n")) << run;
    EXPECT_TRUE(run.err.contains("Not stored: several boards answered")) << run;
    EXPECT_EQ(data.readConfig(), before);
}

// Two jobs on one board, or several boards writing one file, are refused before any frame.
TEST_F(CliManyBoards, WhatWouldShareABoardOrAFileIsRefused)
{
    ASSERT_TRUE(mapPortToDevice(7, device(0)));
    const struct {
        QStringList arguments;
        QString message;
    } rows[] = {
        {{"--port", "3,3", "check"}, "COM3 is named twice"},
        {{"--port", "3", "--port", "COM3", "check"}, "COM3 is named twice"},
        {{"--port", "3,7", "check"}, "COM3 and COM7 are one device"},
        {{"--device", device(0), "--device", device(0), "check"}, "is named twice"},
        {{"--port", "5-3", "check"}, "runs backwards"},
        {{"--port", "3,5", "--device", device(0), "check"}, "either by --port or by --device"},
        {{"--ports", "all", "check"}, "--ports takes only \"configured\""},
        {{"--port", "3,5", "map-port", "3", "/dev/null"}, "map-port uses no board"},
        {{"--port", "3,5", "config-path"}, "config-path uses no board"},
        {{"--port", "3,5", "daynight", "places"}, "daynight uses no board"},
        {{"--port", "3,5", "time-server", "--print"}, "time-server uses no board"},
        {{"--port", "3,5", "alarms", "download", "--save"}, "alarms download --save writes the shared files"},
        {{"--port", "3,5", "daynight", "download", "--save"}, "daynight download --save writes the shared files"},
        {{"--port", "3,5", "download", "--save", data.file("nothing-here")}, "needs an existing folder"},
        {{"--port", "3,5", "info", "--clear"}, "one board at a time"},
    };
    for (const auto &row : rows) {
        const CliRun run = cli(row.arguments);
        EXPECT_EQ(run.exitCode, 3) << run;
        EXPECT_TRUE(run.err.contains(row.message)) << run;
    }
    for (const auto &board : boards)
        EXPECT_TRUE(board->frames().empty());
}

} // namespace
