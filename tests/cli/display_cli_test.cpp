// kestrix-cli display: the lines each action sends, its answer on standard output, and the exit
// status (0 only when the board accepted).

#include "support/cli_support.h"

#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;

namespace {

using Lines = std::vector<std::string>;

class DisplayCli : public kt::CliWithBoard {
protected:
    CliRun display(const QStringList &arguments) const { return cliOnBoard(QStringList{"display"} + arguments); }
};

TEST_F(DisplayCli, EachActionSendsItsFramedLineAndExits0WhenAccepted)
{
    const std::pair<QStringList, std::string> actions[] = {
        {{"currency", "3", "1", "1.5", "1.4567"}, "$03I|    1.5| 1.4567|\r\n"},
        {{"currency-code", "USD", "b", "-1.5", "12"}, "$00B|   -1.5|   12.0|\r\n"},
        {{"intensity", "5", "2", "06:30", "22:00"}, "#05A06:30/22:00\r\n"},
        {{"intensity", "5", "0"}, "#05U\r\n"},
        {{"currency", "3", "i", "1.5", "1.4567"}, "$03I|    1.5| 1.4567|\r\n"},
        {{"intensity", "5", "A", "6:30", "22:00"}, "#05A06:30/22:00\r\n"},
        {{"test"}, "T\r\n"},
    };
    for (const auto &[arguments, line] : actions) {
        board->clearFrames();
        const CliRun run = display(arguments);
        EXPECT_EQ(run.exitCode, 0) << run;
        EXPECT_EQ(run.out, ">\n") << run;
        EXPECT_EQ(kt::received(*board, 3), (Lines{"as\r\n", line, "sa\r\n"})) << run;
    }
}

// The time text takes no answer, so none is printed: exit 0 says it was written, whether the
// board listens or not.
TEST_F(DisplayCli, TimeIsPrintedAndSentAloneAndUnconfirmed)
{
    for (const bool silent : {false, true}) {
        board->clearFrames();
        board->setFaults({.silent = silent});
        const CliRun run = display({"time", "2014-05-13T09:07:15"});
        EXPECT_EQ(run.exitCode, 0) << run;
        EXPECT_EQ(run.out, "0f:07:09:0d:05:0e\n") << run;
        EXPECT_EQ(kt::received(*board, 1), Lines{"0f:07:09:0d:05:0e"});
    }
    const CliRun help = cli({"--help"});
    EXPECT_TRUE(help.out.contains("the time text is sent unconfirmed")) << help;
}

TEST_F(DisplayCli, SilentBoardExits1AfterFiveStartLines)
{
    board->setFaults({.silent = true});
    const CliRun run = display({"currency", "3", "1", "1.5", "1.4567"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_EQ(run.out, "(no answer)\n") << run;
    EXPECT_EQ(kt::received(*board, 5), Lines(5, "as\r\n"));
}

TEST_F(DisplayCli, RejectedOperationLineExits1)
{
    board->setFaults({.rejectOperationLines = true});
    const CliRun run = display({"intensity", "5", "1"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_EQ(run.out, "?\n") << run;
}

TEST_F(DisplayCli, ValuesOutsideTheTablesSendNothingAndMalformedOnesAreUsageErrors)
{
    for (const QStringList &refused : {QStringList{"currency", "3", "3", "1", "2"},
                                       QStringList{"currency-code", "gbp", "b", "1", "2"},
                                       QStringList{"intensity", "5", "3"}}) {
        const CliRun run = display(refused);
        EXPECT_EQ(run.exitCode, 1) << run;
        EXPECT_TRUE(run.err.contains("Nothing was sent.")) << run;
    }
    for (const QStringList &wrong : {QStringList{"currency", "x", "1", "1", "2"}, QStringList{"intensity", "5", "2"},
                                     QStringList{"intensity", "5", "2", "24:00", "06:00"},
                                     QStringList{"time", "13.05.2014"}, QStringList{"blink"},
                                     // Only the whole operand counts: no line break, blank or
                                     // control character reaches a line for the board.
                                     QStringList{"currency", "3\n", "1", "1", "2"},
                                     QStringList{"currency", "3", "1\r", "1", "2"},
                                     QStringList{"currency", "3", "1", "1.5\n", "2"},
                                     QStringList{"currency", "3", "1", "1.5", "2\x1b"},
                                     QStringList{"currency", "100", "1", "1", "2"},
                                     QStringList{"currency-code", "usd\n", "b", "1", "2"},
                                     QStringList{"currency-code", "usd", " b", "1", "2"},
                                     QStringList{"intensity", "5", "2", "06:30\n", "22:00"},
                                     QStringList{"intensity", "5\n", "0"},
                                     QStringList{"time", "2014-05-13T09:07:15\n"}}) {
        const CliRun run = display(wrong);
        EXPECT_EQ(run.exitCode, 3) << run;
        EXPECT_FALSE(run.err.contains(QChar(0x1b))) << run;
    }
    EXPECT_FALSE(board->waitForFrames(1, std::chrono::milliseconds(200)));
}

} // namespace
