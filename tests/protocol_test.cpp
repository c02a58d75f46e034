// Frames, the operation envelope in both status forms, versions and the port scan, against
// the simulated board.
#include "test_support.h"

#include "app/language.h"
#include "comm/operation.h"
#include "comm/port_scan.h"
#include "comm/protocol.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace std::chrono_literals;
namespace kt = kestrix::testing;

namespace {

constexpr int BoardPort = 3;
const std::string Sm7 = "\x1bSM7\r";
const std::string TestFrame = "\x1bTS?\r";

// The frames the board received, once it has read the expected ones: a frame that gets no
// answer may still be on its way when the operation returns.
std::vector<std::string> received(const sim::BoardSim &board, size_t expected)
{
    board.waitForFrames(expected, 1s);
    return board.frameTexts();
}

TEST(Frames, RegisterNumbersAndValuesArePadded)
{
    EXPECT_EQ(Frame::registerWrite("5", "7"), "W00507\r");
    EXPECT_EQ(Frame::registerWrite("45", "15"), "W04515\r");
    EXPECT_EQ(Frame::registerRead("123"), "R123\r");
    EXPECT_EQ(Frame::variableRead("7"), "r007\r");
    EXPECT_EQ(Frame::variableClear("42"), "w04200\r");
    EXPECT_EQ(Frame::registerWrite("5", ""), "W005\r");
}

TEST(Frames, ToHexTextGivesTwoLowerCaseDigits)
{
    EXPECT_EQ(ToHexText("69"), "45");
    EXPECT_EQ(ToHexText("10"), "0a");
    EXPECT_EQ(ToHexText("255"), "ff");
    EXPECT_EQ(ToHexText("00"), "00");
    EXPECT_EQ(ToHexText("notconnected"), "00");
}

class EnvelopeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        board = kt::startBoardOn(BoardPort);
        ASSERT_TRUE(board);
    }

    Outcome upload(StatusForm form, EnvelopeTexts texts = {5039, 5040})
    {
        Operation operation({BoardPort, 9600}, reporter, std::move(form), sleeper);
        return operation.run(texts, [](CComm &channel, Sleeper &pause) {
            channel.Send(Frame::registerWrite("8", "15"));
            pause.pause(10ms);
        });
    }

    kt::ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
    RecordingSleeper sleeper;
    RecordingReporter reporter;
};

TEST_F(EnvelopeTest, CheckSendsPreambleThenTestAndNeedsExactlyHello)
{
    Operation operation({BoardPort, 9600}, reporter, StatusForm::mainWindow(), sleeper);
    EXPECT_EQ(operation.CheckCommunication(), "1");
    EXPECT_EQ(received(*board, 2), (std::vector<std::string>{Sm7, TestFrame}));
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{150, 50, 150, 150, 50}));
    EXPECT_EQ(reporter.lines[0], "Checking communication ...");

    board->setFaults({.wrongAnswers = true});   // "hello"
    EXPECT_EQ(operation.CheckCommunication(), "0");
    board->setFaults({.silent = true});
    EXPECT_EQ(operation.CheckCommunication(), "0");
}

TEST_F(EnvelopeTest, MainWindowFormShowsEachStepAndTheFrames)
{
    EXPECT_EQ(upload(StatusForm::mainWindow()), Outcome::Completed);
    EXPECT_EQ(received(*board, 4), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W00815\r"}));
    EXPECT_EQ(board->registerValue(8), 0x15);
    EXPECT_EQ(reporter.history, (std::vector<QString>{
                                    "0: Checking communication ...", "1: ", "2: ", "0: Communication OK.",
                                    "0: Uploading View times ...", "1: ", "0: View times uploaded.", "1: "}));
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{150, 50, 150, 150, 50, 50, 150, 50, 150, 10}));
}

TEST_F(EnvelopeTest, FailedCheckStopsTheOperationWithTheFormsFailureText)
{
    board->setFaults({.silent = true});
    EXPECT_EQ(upload(StatusForm::mainWindow()), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "Check COM port and Speed.");
    EXPECT_EQ(received(*board, 2), (std::vector<std::string>{Sm7, TestFrame}));

    EXPECT_EQ(upload(StatusForm::dialog({5035})), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Check COM port and Speed.");
    EXPECT_EQ(upload(StatusForm::dialog({5034, 5035})), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Communication Error! Check COM port and Speed.");
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST_F(EnvelopeTest, DialogFormUsesItsSingleStatusLine)
{
    EXPECT_EQ(upload(StatusForm::dialog({5035}), {5083, 5084}), Outcome::Completed);
    EXPECT_EQ(reporter.history, (std::vector<QString>{"0: Status: Checking communication ...",
                                                      "0: Status: Communication OK.",
                                                      "0: Status: Uploading Times ...",
                                                      "0: Status: Times Uploaded."}));
}

TEST_F(EnvelopeTest, PcTimeUploadGoesOnAfterAFailedCheckWithoutItsFinalText)
{
    board->setFaults({.silent = true});
    EnvelopeTexts texts{5037, 5038};
    texts.goOnAfterFailedCheck = true;
    EXPECT_EQ(upload(StatusForm::mainWindow(), texts), Outcome::CommunicationFailed);
    EXPECT_EQ(received(*board, 4), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W00815\r"}));
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
}

// Takes the board away as soon as the check has passed.
class UnplugAfterCheck : public RecordingReporter {
public:
    explicit UnplugAfterCheck(sim::BoardSim &board) : m_board(board) {}
    void setLine(int index, const QString &text) override
    {
        RecordingReporter::setLine(index, text);
        if (text == "Communication OK.")
            m_board.hangUp();
    }

private:
    sim::BoardSim &m_board;
};

TEST_F(EnvelopeTest, PortThatFailsAfterAGoodCheckShowsTheErrorBoxAndSendsNothing)
{
    UnplugAfterCheck unplugging(*board);
    Operation operation({BoardPort, 9600}, unplugging, StatusForm::mainWindow(), sleeper);
    bool framesSent = false;
    EXPECT_EQ(operation.run({5039, 5040}, [&](CComm &, Sleeper &) { framesSent = true; }), Outcome::PortError);
    EXPECT_FALSE(framesSent);
    ASSERT_EQ(unplugging.boxes.size(), 1u);
    EXPECT_EQ(unplugging.boxes[0].text, "Error Opening Communication Port!");
    EXPECT_EQ(unplugging.boxes[0].icon, MessageIcon::Error);
}

TEST_F(EnvelopeTest, WriteRegisterPadsAndReturnsTheAnswer)
{
    Operation operation({BoardPort, 9600}, reporter, StatusForm::mainWindow(), sleeper);
    ASSERT_EQ(operation.channel().Open(BoardPort, 9600), CComm::Opened);
    EXPECT_EQ(operation.WriteRegister("5", "7", 1), "07");
    operation.channel().Close();
    EXPECT_EQ(board->frameTexts().back(), "W00507\r");
    EXPECT_EQ(sleeper.pauses().back(), 30);
}

TEST_F(EnvelopeTest, VersionsFillLinesTwoAndThreeOrStayEmpty)
{
    Operation operation({BoardPort, 9600}, reporter, StatusForm::mainWindow(), sleeper);
    const VersionTexts versions = operation.ReadVersions();
    EXPECT_EQ(versions.software, "sw: KX-SIM 1.0.3");
    EXPECT_EQ(reporter.lines[1], "sw: KX-SIM 1.0.3");
    EXPECT_EQ(reporter.lines[2], "hw: KX-HW 2");

    board->setFaults({.answerOnlyFirst = 1});
    operation.ReadVersions();
    EXPECT_EQ(reporter.lines[1], "sw: KX-SIM 1.0.3");
    EXPECT_EQ(reporter.lines[2], "");
}

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

TEST_F(ScanTest, NoBoardAndNoSettingsLeavesTheLastPairTried)
{
    const ScanResult result = scanPorts({}, reporter, sleeper);
    EXPECT_EQ(result.settings.port, 20);
    EXPECT_EQ(result.settings.speed, 19200);
    EXPECT_FALSE(configFile().value("Settings", "Port").has_value());
}

} // namespace
