// kestrix-cli compare and upload --verify against a simulated board as set up: each kind of
// parameter differing, a register that does not answer, and a read-back that finds a register
// holding another value than was sent.

#include "support/cli_support.h"

#include "board_preset.h"

#include <QFile>
#include <gtest/gtest.h>
#include <algorithm>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;

namespace {

// The values of sim::configuredParameters() as a parameter file holds them.
constexpr char BoardAsSetUp[] = "[Parameters]\n"
                                "P6=05\nP7=03\nP8=02\nTP=00\nPC=00\nAC=00\nP9=10\nA0=15\nA1=02\nA2=30\nA3=01\n"
                                "A5=01\nA6=00\nA7=02\nA8=00\nA9=03\nB0=00\nB1=04\nB2=00\n"
                                "B3=05\nB4=00\nB5=06\nB6=00\nB7=07\nB8=00\nB9=08\nC0=00\n";

class CompareCli : public kt::CliWithBoard {
protected:
    void SetUp() override
    {
        CliWithBoard::SetUp();
        std::tm local{};
        local.tm_hour = 14;
        local.tm_mday = 6;
        local.tm_mon = 11;
        local.tm_year = 126;
        for (const sim::RegisterValue &clock : sim::clockRegisters(local))
            board->setRegister(clock.reg, clock.value);
        for (const sim::RegisterValue &configured : sim::configuredParameters())
            board->setRegister(configured.reg, configured.value);
        file = data.file("board.ini");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(BoardAsSetUp);
    }

    QString file;
};

TEST_F(CompareCli, CompareNamesTheKeyAndBothValuesOfEachKindOfParameter)
{
    const CliRun equal = cliOnBoard({"compare", "--file", file});
    EXPECT_EQ(equal.exitCode, 0) << equal;
    EXPECT_EQ(equal.out, "No item differs.\n") << equal;

    struct Case {
        const char *kind;
        int reg;   // changed on the board
        uint8_t value;
        const char *line;
    };
    const Case cases[] = {
        {"list", 12, 0x11, "P9: file 10, board 11"},
        {"number", 98, 0x13, "PC: file 00, board -30"},
        {"pair", 13, 0x14, "A0: file 15, board 14"},
        {"byte map", 21, 0x1A, "A5: file 01, board 1a"},
        {"strip rule", 18, 0x45, "A2: file 30, board 45"},
    };
    for (const Case &c : cases)
        board->setRegister(c.reg, c.value);
    const CliRun run = cliOnBoard({"compare", "--file", file});
    EXPECT_EQ(run.exitCode, 4) << run;
    const QStringList out = run.out.split(u'\n', Qt::SkipEmptyParts);
    for (const Case &c : cases)
        EXPECT_TRUE(out.contains(QString::fromLatin1(c.line))) << c.kind << "\n" << run;
    EXPECT_EQ(out.size(), 6) << run;
    EXPECT_EQ(out.last(), "5 items differ.") << run;
    const bool wrote = std::ranges::any_of(board->frameTexts(), [](const std::string &f) { return f[0] == 'W'; });
    EXPECT_FALSE(wrote) << "compare only reads";
}

TEST_F(CompareCli, AnUnansweredRegisterIsListedApartAndNoDifference)
{
    board->setFaults({.unansweredReads = {18}});
    board->setRegister(21, 0x1A);
    const CliRun run = cliOnBoard({"compare", "--file", file});
    EXPECT_EQ(run.exitCode, 1) << "an incomplete download, though a key differs\n" << run;
    EXPECT_TRUE(run.out.contains("A5: file 01, board 1a\n1 item differs.\n")) << run;
    EXPECT_TRUE(run.out.contains("No answer: A2, file 30\n")) << run;
    EXPECT_FALSE(run.out.contains("A2: ")) << run;
}

TEST_F(CompareCli, VerifyReadsBackEveryRegisterWritten)
{
    struct Case {
        const char *board;
        std::vector<std::pair<int, uint8_t>> storedAs;
        int exitCode;
        const char *line;
    };
    const Case cases[] = {
        {"good", {}, 0, "Verified: the board holds the 6 registers sent."},
        {"faulty cell", {{9, 0x07}}, 5, "R009: sent 03, board holds 07"},
    };
    for (const Case &c : cases) {
        board->setFaults({.storedAs = c.storedAs});
        board->clearFrames();
        const CliRun run = cliOnBoard({"upload", "view-times", "--file", file, "--verify"});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.board << "\n" << run;
        EXPECT_TRUE(run.out.split(u'\n').contains(QString::fromLatin1(c.line))) << c.board << "\n" << run;
        EXPECT_EQ(run.out.count("R0"), c.exitCode == 5 ? 1 : 0) << "only the register that differs\n" << run;
        for (const char *read : {"R008\r", "R009\r", "R010\r", "R011\r", "R098\r", "R491\r"})
            EXPECT_TRUE(sent(read)) << read;
        EXPECT_FALSE(sent("R873\r")) << "an empty field stores nothing and is not read back";
    }
}

} // namespace
