// Clock information: vars.txt, the decoding of each type, reading and clearing against the
// simulated board, variables that do not answer, one ending per job, an unplugged board, and the
// password rule.
#include "support/board_support.h"
#include "support/test_support.h"

#include "base/text_encoding.h"
#include "comm/operation.h"
#include "info/held_password.h"
#include "info/info_transfer.h"

#include <QStringEncoder>
#include <algorithm>
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

// vars.txt is read as the INI files are: a byte order mark is no part of the first name.
TEST(InfoVariables, AreReadInEachEncodingOfTheTextFiles)
{
    const QString names[] = {QStringLiteral("Außen"), QStringLiteral("Tür")};
    const QString text = names[0] + ";120;Int;Par\r\n" + names[1] + ";5;Char;Ram\r\n";
    auto utf16 = [&text](QStringConverter::Encoding encoding) -> QByteArray { return QStringEncoder(encoding, QStringEncoder::Flag::WriteBom).encode(text); };
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"UTF-8", text.toUtf8()},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + text.toUtf8()},
        {"Windows-1252", toWindows1252(text)},
        {"UTF-16 LE", utf16(QStringConverter::Utf16LE)},
        {"UTF-16 BE", utf16(QStringConverter::Utf16BE)},
        {"lines ending in CR", text.toUtf8().replace("\r\n", "\r")},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        const InfoVariableFile file = parseInfoVariables(row.bytes);
        ASSERT_EQ(file.variables.size(), 2u);
        EXPECT_EQ(file.variables[0].name, names[0]);
        EXPECT_EQ(file.variables[0].reg, 120);
        EXPECT_EQ(file.variables[0].registerCount(), 2);
        EXPECT_EQ(file.variables[1].name, names[1]);
        EXPECT_EQ(file.variables[1].kind(), InfoKind::Ram);
    }
}

// A variable whose registers go beyond 999 is refused as one of an unknown type is: nothing is
// read or written for it, as the frames name three digits.
TEST(InfoVariables, RegistersBeyond999AreNone)
{
    const std::pair<const char *, int> cases[] = {
        {"v;999;Char;Par", 1}, {"v;998;Int;Par", 2}, {"v;999;Int;Par", 0},  {"v;994;Time;Ram", 6},
        {"v;995;Time;Par", 0}, {"v;1000;Char;Ram", 0}, {"v;1003;SInt;Par", 0},
    };
    for (const auto &[line, registers] : cases) {
        const InfoVariableFile file = parseInfoVariables(line);
        ASSERT_EQ(file.variables.size(), 1u) << line;
        EXPECT_EQ(file.variables[0].registerCount(), registers) << line;
    }
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

// While any password is held the process writes no core dump; afterwards as before. Wiping
// overwrites the characters every copy shares, and lets a literal be.
TEST(InfoPassword, IsHeldWithoutCoreDumpsAndWipedInEveryCopy)
{
    const bool before = coreDumpsAllowed();
    {
        const PasswordHold prompt;
        EXPECT_FALSE(coreDumpsAllowed());
        {
            const PasswordHold comparison;
            EXPECT_FALSE(coreDumpsAllowed());
        }
        EXPECT_FALSE(coreDumpsAllowed()) << "the prompt still holds one";
    }
    EXPECT_EQ(coreDumpsAllowed(), before);

    QString typed = QString::fromUtf8("Kx-Secret7");
    const QString shared = typed;
    wipe(typed);
    EXPECT_TRUE(typed.isEmpty());
    EXPECT_EQ(shared, QString(10, QChar(0)));
    QByteArray bytes("Kx-Secret7");
    const QByteArray sharedBytes = bytes;
    wipe(bytes);
    EXPECT_EQ(sharedBytes, QByteArray(10, '\0'));
    QString literal = QStringLiteral("not in writable memory");
    wipe(literal);
    EXPECT_TRUE(literal.isEmpty());
}

using UnpluggingReporter = kt::UnpluggingReporter;

class InfoTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        board = kt::startBoardOn(Board.port, Board.speed);
        ASSERT_TRUE(board);
    }

    JobResult<InfoValues> run(const BoardJob<InfoValues> &job)
    {
        Operation operation(Board, reporter, job.texts.form, sleeper);
        return operation.run(job);
    }

    // The status line shows `ending`, and its history one ending only.
    void expectOneEnding(const QString &ending) const
    {
        EXPECT_EQ(reporter.lines[0], "Status: " + ending);
        const QString endings[] = {"Informations readed", "Informations read;", "All informations deleted.",
                                   "Clearing incomplete", "Communication Error!", "Failed:"};
        int shown = 0;
        for (const QString &line : reporter.history)
            shown += int(std::ranges::count_if(endings, [&line](const QString &text) { return line.contains(text); }));
        EXPECT_EQ(shown, 1) << "one ending in the status history";
    }

    kt::ScratchDataDir data;
    RecordingSleeper sleeper;
    UnpluggingReporter reporter;
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
                                              variable("Word", "Par", 9), variable("Int", "Par", 999),
                                              variable("Char", "Ram", 1000)};
    const JobResult<InfoValues> result = run(informationDownloadJob(variables));
    ASSERT_TRUE(result.ending.completed());
    EXPECT_EQ(result.data.values, (std::vector<std::optional<QString>>{"-1", "255", "300", "", "", "", ""}));
    EXPECT_EQ(received(*board, 7), (std::vector<std::string>{Sm7, TestFrame, Sm7, "R005\r", "r045\r", "R120\r", "R121\r"}))
        << "an unknown kind or type, or registers beyond 999, read nothing";
    const std::vector<int> pauses = sleeper.pauses();
    EXPECT_EQ(std::vector<int>(pauses.end() - 3, pauses.end()), (std::vector<int>{150, 150, 10}));
    expectOneEnding("Informations readed from clock.");
}

// Variables with a register that did not answer: counted, without a value, and the job ends
// with the incomplete text alone.
TEST_F(InfoTransfer, VariablesThatDidNotAnswerEndTheJobIncomplete)
{
    struct Case {
        const char *name;
        BoardJob<InfoValues> (*job)(std::vector<InfoVariable>);
        std::vector<int> unansweredReads;
        int unanswered;
        const char *ending;
    };
    const Case cases[] = {
        {"download", informationDownloadJob, {121}, 1, "Informations read; 1 variables did not answer."},
        {"clearing", informationClearingJob, {}, 2, "Clearing incomplete: 2 variables did not answer."},
    };
    board->setRegister(120, 1);
    board->setRegister(121, 2);
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        reporter.history.clear();
        board->setFaults({.silent = false, .answerOnlyFirst = row.unansweredReads.empty() ? 1 : -1,
                          .unansweredReads = row.unansweredReads});
        const JobResult<InfoValues> result = run(row.job({variable("Int", "Par", 120), variable("Char", "Ram", 7)}));
        EXPECT_EQ(result.ending.outcome, Outcome::Incomplete);
        EXPECT_EQ(result.ending.unanswered, row.unanswered);
        EXPECT_EQ(result.data.values[0], std::nullopt) << "not 256, not 0";
        expectOneEnding(row.ending);
    }
}

TEST_F(InfoTransfer, ClearingWritesZerosAndShowsTheAnswers)
{
    const std::vector<InfoVariable> variables{variable("Int", "Par", 120), variable("Char", "Ram", 7)};
    const JobResult<InfoValues> result = run(informationClearingJob(variables));
    ASSERT_TRUE(result.ending.completed());
    EXPECT_EQ(received(*board, 6), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W12000\r", "W12100\r", "w00700\r"}));
    EXPECT_EQ(result.data.values, (std::vector<std::optional<QString>>{"0", "00"}));
    EXPECT_EQ(board->registerValue(120), 0);
    expectOneEnding("All informations deleted.");

    reporter.history.clear();
    board->setFaults({.silent = true});
    EXPECT_EQ(run(informationClearingJob(variables)).ending.outcome, Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Communication Error! Check COM port and Speed.");
}

TEST_F(InfoTransfer, UnpluggedMidClearingEndsBoardLostWithTheFramesSent)
{
    reporter.board = board.get();
    reporter.unplugAtStep = 2;
    const JobResult<InfoValues> result =
        run(informationClearingJob({variable("Int", "Par", 120), variable("Char", "Ram", 7), variable("Char", "Par", 9)}));
    EXPECT_EQ(result.ending.outcome, Outcome::BoardLost);
    EXPECT_EQ(result.ending.framesSent, 2);
    // Frames still in the line when it was cut may never reach the board; none follows them.
    EXPECT_LE(board->frameTexts().size(), 3u + 2u) << "nothing after the unplugged frame";
    expectOneEnding("Failed: the board was lost after 2 frames; it may hold part of the data.");
}

} // namespace
