// Clock information: vars.txt, the decoding of each type, reading and clearing against the
// simulated board, variables that do not answer, and the password rule.
#include "support/test_support.h"

#include "info/info_transfer.h"

#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {

const SerialSettings Board{3, 9600};

InfoVariable variable(const char *type, const char *kind, int reg = 120)
{
    return {"v", reg, type, kind};
}

TEST(InfoVariables, EveryLineThatHoldsAVariableIsOne)
{
    const InfoVariableFile file = parseInfoVariables(" Hours ;120;Int ;Par\r\nTemp;5;SInt;Ram;x\n\n\t\nLast;045x;Time;Par");
    ASSERT_EQ(file.variables.size(), 3u) << "the last line too; empty lines are none";
    EXPECT_EQ(file.variables[0].name, "Hours");
    EXPECT_EQ(file.variables[0].type(), InfoType::Int) << "fields are trimmed";
    EXPECT_EQ(file.variables[1].kindText, "Ram;x") << "the kind is the rest of the line";
    EXPECT_EQ(file.variables[1].registerCount(), 0);
    EXPECT_EQ(file.variables[2].reg, 45);
    EXPECT_EQ(file.variables[2].registerCount(), 6);

    QByteArray many;
    for (int i = 0; i < 53; ++i)
        many += "v;" + QByteArray::number(i) + ";Char;Par\n";
    const InfoVariableFile limited = parseInfoVariables(many);
    EXPECT_EQ(limited.variables.size(), 50u);
    EXPECT_EQ(limited.droppedLines, 3);
}

TEST(InfoVariables, TheShippedFileAvoidsTheRegistersOfTheOtherOperations)
{
    kt::ScratchDataDir data;
    const std::optional<InfoVariableFile> file = loadInfoVariables();
    ASSERT_TRUE(file);
    EXPECT_GE(file->variables.size(), 12u);
    const std::pair<int, int> used[] = {{0, 36}, {91, 107}, {110, 409}, {491, 491}, {849, 857}, {873, 874}, {893, 998}};
    for (const InfoVariable &v : file->variables) {
        EXPECT_GT(v.registerCount(), 0) << v.name.toStdString();
        if (v.kind() != InfoKind::Par)
            continue;
        for (auto [first, last] : used)
            EXPECT_TRUE(v.reg + v.registerCount() - 1 < first || v.reg > last) << v.name.toStdString();
    }
}

TEST(InfoValues, DecodeAsTheDownloadShowsThem)
{
    EXPECT_EQ(decodeInfoValue(variable("Char", "Par"), {255}), "-1");
    EXPECT_EQ(decodeInfoValue(variable("Char", "Par"), {200}), "-56");
    EXPECT_EQ(decodeInfoValue(variable("Char", "Ram"), {255}), "255");
    EXPECT_EQ(decodeInfoValue(variable("Char", "Ram"), {7}), "07");
    EXPECT_EQ(decodeInfoValue(variable("Int", "Par"), {0x01, 0x2c}), "300");
    EXPECT_EQ(decodeInfoValue(variable("SInt", "Par"), {0xff, 0xfe}), "-2");
    EXPECT_EQ(decodeInfoValue(variable("Int", "Par"), {0xff, 0xfe}), "65534");
    EXPECT_EQ(decodeInfoValue(variable("Time", "Par"), {0x12, 0x34, 0x56, 0x06, 0x12, 0x26}), "12:34:56 06.12.26.");
    EXPECT_EQ(clearedInfoValue(variable("SInt", "Par"), {"255", "254"}), "-2");
    EXPECT_EQ(clearedInfoValue(variable("Time", "Ram"), {"00", "00", "00", "00", "00", "00"}), "00:00:00 00.00.00.");
}

TEST(InfoPassword, OnlyTheStoredPasswordExactlyClears)
{
    EXPECT_TRUE(passwordAllowsClearing("Secret", "Secret"));
    EXPECT_FALSE(passwordAllowsClearing("Secret", "secret"));
    EXPECT_FALSE(passwordAllowsClearing("", ""));
    EXPECT_FALSE(passwordAllowsClearing("Secret", ""));
    kt::ScratchDataDir data;
    EXPECT_EQ(storedClearingPassword(), "");
    data.writeConfig("[Settings]\nadmin=Secret\n");
    EXPECT_EQ(storedClearingPassword(), "Secret");
}

class InfoTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        board = kt::startBoardOn(Board.port, Board.speed);
        ASSERT_TRUE(board);
    }

    kt::ScratchDataDir data;
    RecordingSleeper sleeper;
    RecordingReporter reporter;
    std::unique_ptr<sim::BoardSim> board;
};

TEST_F(InfoTransfer, DownloadReadsEachVariablesRegistersWithItsKind)
{
    board->setRegister(5, 255);
    board->setRegister(120, 0x01);
    board->setRegister(121, 0x2c);
    board->setVariable(45, 255);
    const std::vector<InfoVariable> variables{variable("Char", "Par", 5), variable("Char", "Ram", 45),
                                              variable("Int", "Par", 120), variable("Int", "par", 7),
                                              variable("Word", "Par", 9)};
    const InfoValues values = downloadInformation(variables, Board, reporter, sleeper);
    ASSERT_TRUE(values.complete());
    EXPECT_EQ(values.values, (std::vector<std::optional<QString>>{"-1", "255", "300", "", ""}));
    EXPECT_EQ(received(*board, 7), (std::vector<std::string>{Sm7, TestFrame, Sm7, "R005\r", "r045\r", "R120\r", "R121\r"}))
        << "an unknown kind or type reads nothing";
    const std::vector<int> pauses = sleeper.pauses();
    EXPECT_EQ(std::vector<int>(pauses.end() - 3, pauses.end()), (std::vector<int>{150, 150, 10}));
    EXPECT_EQ(reporter.lines[0], "Status: Informations readed from clock.");
}

TEST_F(InfoTransfer, AVariableThatDidNotAnswerHasNoValue)
{
    board->setRegister(120, 1);
    board->setRegister(121, 2);
    board->setFaults({.unansweredReads = {121}});
    const InfoValues values =
        downloadInformation({variable("Int", "Par", 120), variable("Char", "Ram", 7)}, Board, reporter, sleeper);
    EXPECT_FALSE(values.complete());
    EXPECT_EQ(values.unanswered, 1);
    EXPECT_EQ(values.values[0], std::nullopt) << "not 256, not 0";
    EXPECT_EQ(values.values[1], "00");
    EXPECT_EQ(reporter.lines[0], "Status: Informations read; 1 variables did not answer.");
}

TEST_F(InfoTransfer, ClearingWritesZerosAndShowsTheAnswers)
{
    const std::vector<InfoVariable> variables{variable("Int", "Par", 120), variable("Char", "Ram", 7)};
    const InfoValues values = clearInformation(variables, Board, reporter, sleeper);
    ASSERT_TRUE(values.complete());
    EXPECT_EQ(received(*board, 6), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W12000\r", "W12100\r", "w00700\r"}));
    EXPECT_EQ(values.values, (std::vector<std::optional<QString>>{"0", "00"}));
    EXPECT_EQ(board->registerValue(120), 0);
    EXPECT_EQ(reporter.lines[0], "Status: All informations deleted.");

    board->setFaults({.silent = true});
    const InfoValues none = clearInformation(variables, Board, reporter, sleeper);
    EXPECT_EQ(none.outcome, Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Communication Error! Check COM port and Speed.");
}

} // namespace
