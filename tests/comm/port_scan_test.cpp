// The port scan behind "Test Connection", against simulated boards.
#include "support/test_support.h"

#include "base/language.h"
#include "comm/operation.h"
#include "comm/port_scan.h"
#include "comm/protocol.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace kestrix;
using namespace std::chrono_literals;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {


class ScanTest : public ::testing::Test {
protected:
    kt::ScratchDataDir data;
    RecordingSleeper sleeper;
    RecordingReporter reporter;
};

TEST_F(ScanTest, FindsTheBoardStoresItAndShowsItsVersions)
{
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const ScanResult result = scanPorts({}, reporter, sleeper);
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.settings.port, 3);
    EXPECT_EQ(result.settings.speed, 9600);
    EXPECT_EQ(configFile().read("Settings", "Port"), "2");
    EXPECT_EQ(configFile().read("Settings", "Baud"), "2");
    EXPECT_EQ(reporter.lines[0], "Connected at COM3, 9600bps");
    EXPECT_EQ(reporter.lines[1], "sw: KX-SIM 1.0.3");
    EXPECT_EQ(reporter.lines[2], "hw: KX-HW 2");
    const auto &history = reporter.history;
    EXPECT_EQ(history.front(), "0: Testing communication with clock ...");
    EXPECT_NE(std::find(history.begin(), history.end(), "1: Checking COM1, Baud Rate:  2400"), history.end());
    EXPECT_NE(std::find(history.begin(), history.end(), "1: Checking COM20, Baud Rate: 19200"), history.end());
    EXPECT_EQ(std::count_if(history.begin(), history.end(), [](const QString &line) { return line.startsWith("1: Checking"); }),
              ScanTries);
    // Each try on the board's port is the preamble, then the test on a fresh opening; the
    // versions follow the last try. Ports without a device cost no pause.
    const std::vector<std::string> tryFrames{Sm7, TestFrame};
    std::vector<std::string> expected;
    for (int speed = 0; speed < 4; ++speed)
        expected.insert(expected.end(), tryFrames.begin(), tryFrames.end());
    expected.insert(expected.end(), {Sm7, "\x1bSV?\r", "\x1bHV?\r"});
    EXPECT_EQ(received(*board, expected.size()), expected);
    std::vector<int> pauses;
    for (int speed = 0; speed < 4; ++speed)
        pauses.insert(pauses.end(), {150, 50, 150, 150, 50});
    pauses.insert(pauses.end(), {150, 50, 150, 150, 50, 150, 150, 50});
    EXPECT_EQ(sleeper.pauses(), pauses);
    // Every speed was tried on the board's port.
    std::vector<int> speeds;
    for (const auto &frame : board->frames()) {
        if (frame.bytes == TestFrame)
            speeds.push_back(frame.lineSpeed);
    }
    EXPECT_EQ(speeds, (std::vector<int>{2400, 4800, 9600, 19200}));
}

TEST_F(ScanTest, TheLastPairThatAnswersWins)
{
    auto first = kt::startBoardOn(2, 4800);
    auto second = kt::startBoardOn(5, 2400);
    ASSERT_TRUE(first && second);
    const ScanResult result = scanPorts({}, reporter, sleeper);
    EXPECT_EQ(result.settings.port, 5);
    EXPECT_EQ(result.settings.speed, 2400);
    EXPECT_EQ(reporter.lines[0], "Connected at COM5, 2400bps");
}

TEST_F(ScanTest, NoBoardLeavesTheFileAndRestoresItsSettings)
{
    data.writeConfig("[Settings]\nPort=6\nBaud=1\n");
    const QString before = data.readConfig();
    const ScanResult result = scanPorts({1, 2400}, reporter, sleeper);
    EXPECT_FALSE(result.found);
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "");
    EXPECT_EQ(reporter.lines[2], "");
    EXPECT_EQ(result.settings.port, 7);
    EXPECT_EQ(result.settings.speed, 4800);
    EXPECT_EQ(data.readConfig(), before);
}

TEST_F(ScanTest, NoBoardButBusyPortsNamesThem)
{
    auto held = kt::startBoardOn(3, 9600);
    auto locked = kt::startBoardOn(7, 9600);
    ASSERT_TRUE(held && locked);
    // One port held by a channel of this program, the other locked by another program's way.
    SerialChannel holder;
    ASSERT_EQ(holder.Open(3, 9600), SerialChannel::Opened);
    const int other = ::open(locked->devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

    const ScanResult result = scanPorts({}, reporter, sleeper);
    holder.Close();
    ::close(other);
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.busyPorts, (std::vector<int>{3, 7}));
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "Busy ports: COM3, COM7");
    EXPECT_EQ(reporter.lines[2], "");
    EXPECT_TRUE(locked->frameTexts().empty());
}

// Names every port's device for this process alone, ahead of config.ini; forgets them at the end.
class DevicesOverride {
public:
    explicit DevicesOverride(const QString &boardDevice, int boardPort)
    {
        for (int port = 1; port <= PortCount; ++port)
            overrideDeviceForPort(port, port == boardPort ? boardDevice : QStringLiteral("/nonexistent/override"));
    }
    ~DevicesOverride()
    {
        for (int port = 1; port <= PortCount; ++port)
            overrideDeviceForPort(port, QString());
    }
};

TEST_F(ScanTest, AFoundPairThatCannotBeStoredSaysWhy)
{
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const DevicesOverride devices(QString::fromStdString(board->devicePath()), 3);
    // A folder where config.ini should be: it can be neither read nor replaced, also by root.
    ASSERT_TRUE(QFile::remove(data.file("config.ini")));
    ASSERT_TRUE(QDir(data.path()).mkdir("config.ini"));

    const ScanResult result = scanPorts({}, reporter, sleeper);
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.settings.port, 3);
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(result.saveError.contains("config.ini")) << result.saveError.toStdString();
}

// Cancels once the scan has shown the given number of "Checking" lines.
class CancellingReporter : public RecordingReporter {
public:
    explicit CancellingReporter(int tries) : m_tries(tries) {}
    bool cancelled() const override
    {
        return std::count_if(history.begin(), history.end(), [](const QString &line) { return line.startsWith("1: Checking"); })
            >= m_tries;
    }

private:
    int m_tries;
};

TEST_F(ScanTest, ACancelledScanStopsAtItsNextTryAndChangesNothing)
{
    auto board = kt::startBoardOn(20, 19200);
    ASSERT_TRUE(board);
    data.writeConfig("[Settings]\nPort=6\nBaud=1\n");
    const QString before = data.readConfig();
    CancellingReporter cancelling(3);
    const ScanResult result = scanPorts({7, 4800}, cancelling, sleeper);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.settings.port, 7);
    EXPECT_EQ(result.settings.speed, 4800);
    EXPECT_EQ(data.readConfig(), before);
    EXPECT_TRUE(board->frameTexts().empty());
}

// Cancels as soon as the board has received a frame.
class CancelAfterFirstFrame : public RecordingReporter {
public:
    explicit CancelAfterFirstFrame(const sim::BoardSim &board) : m_board(board) {}
    bool cancelled() const override { return m_board.waitForFrames(1, 0ms); }

private:
    const sim::BoardSim &m_board;
};

// Each pause lasts until the board has the first frame, so that the cancel it causes is seen
// before the next frame however busy the machine is.
class WaitForFirstFrame final : public Sleeper {
public:
    explicit WaitForFirstFrame(const sim::BoardSim &board) : m_board(board) {}
    void pause(Milliseconds) override { m_board.waitForFrames(1, 2000ms); }

private:
    const sim::BoardSim &m_board;
};

TEST_F(ScanTest, CancelInsideATryStopsBeforeTheNextFrameAndReleasesThePort)
{
    auto board = kt::startBoardOn(1, 9600);
    ASSERT_TRUE(board);
    const QString before = data.readConfig();
    CancelAfterFirstFrame cancelling(*board);
    WaitForFirstFrame waiting(*board);
    const ScanResult result = scanPorts({}, cancelling, waiting);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(cancelling.lines[0], "Operation cancelled.");
    EXPECT_EQ(cancelling.lines[1], "");
    // The preamble of the first try went out; its test frame did not.
    board->waitForFrames(2, 300ms);
    EXPECT_EQ(board->frameTexts(), (std::vector<std::string>{Sm7}));
    EXPECT_EQ(data.readConfig(), before);
    SerialChannel again;
    EXPECT_EQ(again.Open(1, 9600), SerialChannel::Opened) << "the scan released the port";
}

TEST_F(ScanTest, NoBoardAndNoSettingsLeavesTheLastPairTried)
{
    const ScanResult result = scanPorts({}, reporter, sleeper);
    EXPECT_EQ(result.settings.port, 20);
    EXPECT_EQ(result.settings.speed, 19200);
    EXPECT_FALSE(configFile().value("Settings", "Port").has_value());
}

} // namespace
