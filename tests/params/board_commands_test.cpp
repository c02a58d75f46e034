// Reset, alarm activation and the script upload against a simulated board: frames byte for
// byte and in order, the exact pauses, the status texts, a missing script file and cancel.
#include "support/board_support.h"

#include "comm/protocol.h"
#include "params/board_commands.h"

#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {

// The communication check: preamble (150 + 50), test (150 + 150), close (50); then the
// envelope's 50 ms after "Communication OK.".
const std::vector<int> CheckPauses{150, 50, 150, 150, 50, 50};
const std::vector<int> PreamblePauses{150, 50};

std::vector<int> joined(std::initializer_list<std::vector<int>> parts)
{
    std::vector<int> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class BoardCommands : public kt::BoardTest {
protected:
    QString writeScript(const QByteArray &bytes) const
    {
        const QString path = data.file("script.txt");
        kt::writeBytes(path, bytes);
        return path;
    }

    bool historyHas(const QString &entry) const
    {
        return std::find(reporter.history.begin(), reporter.history.end(), entry) != reporter.history.end();
    }
};

TEST_F(BoardCommands, ResetSendsRstWithoutAPreambleOfItsOwn)
{
    EXPECT_EQ(run(resetJob()).ending.outcome, Outcome::Completed);
    const std::vector<std::string> expected{Sm7, TestFrame, "\x1bRST\r"};
    EXPECT_EQ(received(*board, expected.size()), expected);
    EXPECT_EQ(sleeper.pauses(), joined({CheckPauses, {150, 10}}));
    EXPECT_TRUE(historyHas("0: Reseting device ..."));
    EXPECT_EQ(reporter.lines[0], "Device reseted.");
    EXPECT_EQ(reporter.lines[1], "");
}

struct AlarmCase {
    AlarmOutput alarm;
    const char *frame;
    const char *text;
};

TEST_F(BoardCommands, ActivateAlarmSendsItsCommandAndEndsWithItsTextAndDone)
{
    const AlarmCase cases[] = {
        {AlarmOutput::First, "AL0\r", "Alarm 1 activation ... Done"},
        {AlarmOutput::Second, "AL1\r", "Alarm 2 activation ... Done"},
    };
    for (const AlarmCase &test : cases) {
        board->clearFrames();
        sleeper.clear();
        reporter.lines[2] = "left over";
        EXPECT_EQ(run(activateAlarmJob(test.alarm)).ending.outcome, Outcome::Completed);
        const std::vector<std::string> expected{Sm7, TestFrame, Sm7, test.frame};
        EXPECT_EQ(received(*board, expected.size()), expected) << test.frame;
        EXPECT_EQ(sleeper.pauses(), joined({CheckPauses, PreamblePauses, {150, 10}}));
        EXPECT_EQ(reporter.lines[0], test.text) << "one ending line";
        EXPECT_EQ(reporter.lines[1], "");
    }
}

TEST_F(BoardCommands, AFailedCheckShowsTheErrorLinesAndSendsNothingMore)
{
    board->setFaults({.silent = true});
    reporter.lines[2] = "left over";
    EXPECT_EQ(run(activateAlarmJob(AlarmOutput::Second)).ending.outcome, Outcome::CommunicationFailed);
    const std::vector<std::string> expected{Sm7, TestFrame};
    EXPECT_EQ(received(*board, expected.size()), expected);
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "Check COM port and Speed.");
    EXPECT_EQ(reporter.lines[2], "");
    EXPECT_EQ(run(resetJob()).ending.outcome, Outcome::CommunicationFailed);
    for (const std::string &frame : board->frameTexts())
        EXPECT_NE(frame, "\x1bRST\r");
}

TEST_F(BoardCommands, ScriptSendsEachLineWithCrHalfASecondApart)
{
    // LF and CR LF line ends, an empty line, a byte outside ASCII, no line end at the end.
    const QString path = writeScript("W01234\r\n\nW021\xe9\r\nAL0");
    const JobResult<ScriptUpload> job = run(scriptUploadJob(path));
    const ScriptUpload &upload = job.data;
    EXPECT_EQ(job.ending.outcome, Outcome::Completed);
    EXPECT_FALSE(upload.fileUnreadable);
    EXPECT_EQ(upload.linesSent, 4);
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "W01234\r", "\r", "W021\xe9\r", "AL0\r"};
    EXPECT_EQ(received(*board, expected.size()), expected);
    EXPECT_EQ(sleeper.pauses(), joined({CheckPauses, PreamblePauses, {150, 500, 150, 500, 150, 500, 150, 500}}));
    EXPECT_TRUE(historyHas("0: Uploading parameters A5-C0 ..."));
    EXPECT_EQ(reporter.lines[0], "Parameters A5-C0 uploaded.");
    EXPECT_EQ(reporter.progressTotal, 4);
    EXPECT_EQ(reporter.progressDone, 4);
}

TEST_F(BoardCommands, WithoutTheScriptFileNothingIsSentAndThePortIsFree)
{
    const JobResult<ScriptUpload> job = run(scriptUploadJob(data.file("no-such-script.txt")));
    const ScriptUpload &upload = job.data;
    EXPECT_TRUE(upload.fileUnreadable) << "the caller says the file could not be opened";
    EXPECT_EQ(upload.linesSent, 0);
    EXPECT_EQ(reporter.lines[0], "Uploading parameters A5-C0 ...");
    EXPECT_FALSE(historyHas("0: Parameters A5-C0 uploaded."));

    EXPECT_EQ(run(resetJob()).ending.outcome, Outcome::Completed) << "the port was released";
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, Sm7, TestFrame, "\x1bRST\r"};
    EXPECT_EQ(received(*board, expected.size()), expected);
}

TEST_F(BoardCommands, CancelStopsBetweenScriptLines)
{
    const QString path = writeScript("L1\nL2\nL3\nL4\n");
    reporter.cancelAtStep = 2;
    const JobResult<ScriptUpload> job = run(scriptUploadJob(path));
    EXPECT_EQ(job.ending.outcome, Outcome::Cancelled);
    EXPECT_EQ(job.data.linesSent, 2);
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "L1\r", "L2\r"};
    EXPECT_EQ(received(*board, expected.size()), expected);
    EXPECT_EQ(reporter.lines[0], "Operation cancelled.");
}

TEST_F(BoardCommands, TheDefaultScriptIsTestTxtInTheDataFolder)
{
    EXPECT_EQ(defaultScriptPath(), data.file("test.txt"));
}

} // namespace
