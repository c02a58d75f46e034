// kestrix-cli reset, activate-alarm and test-clock against simulated boards: frames, exit
// statuses, a missing script file and Ctrl-C between script lines.

#include "support/cli_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <csignal>

using namespace kestrix;
using namespace std::chrono_literals;
namespace kt = kestrix::testing;
using kt::CliRun;
using kt::Sm7;
using kt::TestFrame;

namespace {

using CliBoardCommands = kt::CliWithBoard;

TEST(CliBoardCommandsUsage, HelpListsTheCommandsWithTheirOperands)
{
    kt::ScratchDataDir data;
    const CliRun run = kt::runCli(data, {"--help"});
    EXPECT_EQ(run.exitCode, 0) << run;
    for (const char *synopsis : {"  reset\n", "  activate-alarm 1|2\n", "  test-clock [FILE]\n"})
        EXPECT_TRUE(run.out.contains(synopsis)) << synopsis << "\n" << run;
}

TEST_F(CliBoardCommands, ResetSendsRstAndExits0)
{
    const CliRun run = cliOnBoard({"reset"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Device reseted.")) << run;
    const std::vector<std::string> expected{Sm7, TestFrame, "\x1bRST\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
}

TEST_F(CliBoardCommands, ActivateAlarm2SendsAl1)
{
    const CliRun run = cliOnBoard({"activate-alarm", "2"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Alarm 2 activation ... Done")) << run;
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "AL1\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
}

TEST_F(CliBoardCommands, AnAlarmOtherThan1Or2IsAUsageErrorAndSendsNothing)
{
    for (const char *alarm : {"3", "0", "x"}) {
        const CliRun run = cliOnBoard({"activate-alarm", alarm});
        EXPECT_EQ(run.exitCode, 3) << run;
        EXPECT_FALSE(run.err.isEmpty()) << run;
    }
    EXPECT_EQ(cliOnBoard({"activate-alarm"}).exitCode, 3);
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(CliBoardCommands, NoBoardExits1)
{
    board->setFaults({.silent = true});
    const CliRun run = cliOnBoard({"reset"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("Communication Error!")) << run;
}

TEST_F(CliBoardCommands, TestClockSendsTestTxtOfTheDataFolderByDefault)
{
    kt::writeBytes(data.file("test.txt"), "W01701\n\n");
    const CliRun run = cliOnBoard({"test-clock"});
    EXPECT_EQ(run.exitCode, 0) << run;
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "W01701\r", "\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
}

TEST_F(CliBoardCommands, TestClockSendsAGivenFile)
{
    const QString path = data.file("other.txt");
    kt::writeBytes(path, "AL0\r\n");
    const CliRun run = cliOnBoard({"test-clock", path});
    EXPECT_EQ(run.exitCode, 0) << run;
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "AL0\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
}

TEST_F(CliBoardCommands, AMissingScriptExits2AndNamesTheFile)
{
    const QString path = data.file("missing.txt");
    const CliRun run = cliOnBoard({"test-clock", path});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains("File Opening Error!")) << run;
    EXPECT_TRUE(run.err.contains(path)) << run;
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
}

TEST_F(CliBoardCommands, AMissingDeviceExits2AndNamesIt)
{
    const CliRun run = cli({"reset", "--port", "7", "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains("/nonexistent/kestrix-test-port-7")) << run;
}

TEST_F(CliBoardCommands, CtrlCStopsTheScriptBeforeItsNextLine)
{
    QByteArray script;
    for (int line = 0; line < 20; ++line)
        script += "LINE" + QByteArray::number(line) + "\n";
    kt::writeBytes(data.file("test.txt"), script);
    QProcess process;
    kt::startCli(process, data, QStringList{"test-clock"} + OnBoard);
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(board->waitForFrames(4, 10s)) << "the first line reached the board";
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError()).contains("Operation cancelled."));
    EXPECT_LE(board->frameTexts().size(), 5u) << "only a line already under way may follow";
}

} // namespace
