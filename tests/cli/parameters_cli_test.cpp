// kestrix-cli upload and download against simulated boards: the frames of the values given by
// --set and --file, Adjust All with failing groups, the KEY=value lines of a download, --save,
// and --set values that are refused before anything is sent.

#include "support/cli_support.h"

#include "board_preset.h"

#include "params/parameter_file.h"

#include <QFile>
#include <gtest/gtest.h>
#include <algorithm>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;

namespace {


// On a board as set up: the clock 14:05:09 on day 7, 06.12.26, and a few parameter registers.
constexpr std::pair<int, uint8_t> BoardRegisters[] = {
    {0, 0x09}, {1, 0x05}, {2, 0x14}, {3, 0x07}, {4, 0x06}, {5, 0x12}, {6, 0x26},
    {8, 0x05}, {98, 0x13}, {17, 0xA2}, {13, 0x0A}, {21, 0x1A}, {107, 0x01}, {849, 0x02},
};

class ParametersCli : public kt::CliWithBoard {
protected:
    void SetUp() override
    {
        CliWithBoard::SetUp();
        for (const sim::RegisterValue &configured : sim::configuredParameters())
            board->setRegister(configured.reg, configured.value);
        for (const auto &[reg, value] : BoardRegisters)
            board->setRegister(reg, value);
    }
};

QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST_F(ParametersCli, UploadSendsTheSetValuesOfEachGroup)
{
    const CliRun views = cliOnBoard({"upload", "view-times", "--set", "P6=7", "--set", "P7=12",
                                                  "--set", "p8=0"});
    EXPECT_EQ(views.exitCode, 0) << views;
    EXPECT_EQ(views.out, "View times uploaded.\n") << views;
    for (const char *frame : {"W00807\r", "W00912\r", "W01000\r"})
        EXPECT_TRUE(sent(frame)) << frame;

    board->clearFrames();
    const CliRun groups = cliOnBoard({"upload", "A1", "simple-timing", "--set", "A1=a2", "--set",
                                                   "timing-direction=up", "--set", "Timing-Hour=3"});
    EXPECT_EQ(groups.exitCode, 0) << groups;
    EXPECT_EQ(lines(groups.out).size(), 2) << "one completion line per group\n" << groups;
    for (const char *frame : {"W017a2\r", "W10701\r", "W09103\r"})
        EXPECT_TRUE(sent(frame)) << frame;

    board->clearFrames();
    const CliRun euro = cliOnBoard({"upload", "A5-C0", "--set", "A5=\u20ac"});
    EXPECT_EQ(euro.exitCode, 0) << euro;
    EXPECT_TRUE(sent("W0210\x80\r")) << "a character goes out as its one Windows-1252 byte";
}

TEST_F(ParametersCli, UploadTakesConfigIniThenTheFileThenEachSet)
{
    writeConfig("[Parameters]\nA3=12\nA2=44\n");
    const QString file = data.file("plant.ini");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("[Parameters]\nP9=21\nA2=05\nPC=-30\n");
    out.close();
    const CliRun run = cliOnBoard({"upload", "P9", "A2", "A3", "view-times", "--file", file,
                                                "--set", "A2=7"});
    EXPECT_EQ(run.exitCode, 0) << run;
    for (const char *frame : {"W01221\r", "W01807\r", "W01912\r", "W09813\r"})
        EXPECT_TRUE(sent(frame)) << frame;

    board->clearFrames();
    const CliRun missing = cliOnBoard({"upload", "A2", "--file", data.file("missing.ini")});
    EXPECT_EQ(missing.exitCode, 2) << missing;
    EXPECT_TRUE(missing.err.contains(data.file("missing.ini"))) << missing;
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(ParametersCli, UploadAllNamesTheGroupsABoardFallingSilentMissed)
{
    // Adjust All's own check and the time upload's are answered; every group's check is not.
    board->setFaults({.answerOnlyFirst = 2});
    const CliRun run = cliOnBoard({"upload", "all"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("except: View times, A0, P9, A1, A2, A3, A4, A5-C0.")) << run;
    EXPECT_TRUE(run.out.isEmpty()) << run;
    EXPECT_EQ(run.err.count("Parameters uploaded, except"), 1) << "Adjust All's one ending\n" << run;
}

TEST_F(ParametersCli, RefusedSettingsAndGroupsAreUsageErrorsAndSendNothing)
{
    const CliRun unknown = cliOnBoard({"upload", "A2", "--set", "Z9=1"});
    EXPECT_EQ(unknown.exitCode, 3) << unknown;
    EXPECT_TRUE(unknown.err.contains("Z9")) << unknown;
    EXPECT_TRUE(unknown.err.contains("P6, P7, P8, TP, PC, AC, P9, A0")) << unknown;
    EXPECT_TRUE(unknown.err.contains("humidity-view")) << unknown;
    struct Case {
        const char *setting;   // UTF-8
        const char *problem;
    };
    const Case refused[] = {
        {"P6=123", "too long"},
        {"P6=\u0665", "not a number in the digits 0-9"},   // an Arabic-Indic five
        {"P6=ab", "not a number"},
        {"P6=", "takes a value"},
        {"P6= ", "takes a value"},
        {"humidity-view=", "takes a value"},
        {"payment=10", "out of range"},
        {"P9=41", "no entry of the list"},
        {"P9=123", "one or two digits"},
        {"A1=b0", "no entry of the list"},
        {"A0=2A", "not 1 or 0"},
        {"A0=1C", "A (day time depending)"},
        {"PC=-3", "auxiliary digit"},
        {"PC=-3x", "auxiliary digit"},
        {"speed-unit=4", "no entry of the list"},
        {"timing-direction=sideways", "not 1 or 0"},
        {"A5=abc", "too long"},
        {"A5=\u0665", "no Windows-1252 byte"},
        {"A2=1\n2", "control character"},
        {"timezone-hour=\x1bR", "control character"},
        {"P6=12\n", "control character"},
    };
    for (const Case &c : refused) {
        const QString setting = QString::fromUtf8(c.setting);
        const CliRun run = cliOnBoard({"upload", "A2", "--set", setting});
        EXPECT_EQ(run.exitCode, 3) << c.setting << "\n" << run;
        EXPECT_TRUE(run.err.contains("--set " + setting.section(u'=', 0, 0) + ":")) << run;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.problem))) << c.problem << "\n" << run;
        EXPECT_FALSE(run.err.contains(QChar(0x1b))) << "a control character reaches no terminal";
    }
    EXPECT_EQ(cliOnBoard({"upload", "A22"}).exitCode, 3);
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(ParametersCli, DownloadPrintsTheClockAndEveryValueInReadOrder)
{
    const CliRun run = cliOnBoard({"download"});
    EXPECT_EQ(run.exitCode, 0) << run;
    const QStringList out = lines(run.out);
    ASSERT_EQ(out.size(), 3 + 45) << "one line per register, a pair's two digits in one\n" << run;
    EXPECT_EQ(out.mid(0, 4), (QStringList{"14:05:09", "06.12.26.", "7", "P6=5"}));
    for (const char *line : {"PC=-3", "A1=a2", "A0=0a", "A5=1a", "timing-direction=1", "self-timer-mode=2"})
        EXPECT_TRUE(out.contains(line)) << line << "\n" << run;
    EXPECT_EQ(out.last(), "displaytime-speed=00");
    EXPECT_FALSE(run.out.contains("A4=")) << run;
}

TEST_F(ParametersCli, AnIncompleteDownloadLeavesOutTheUnansweredAndSavesNothing)
{
    // The check and the 7 clock reads, then all but the last two parameter reads are answered.
    board->setFaults({.answerOnlyFirst = 1 + 7 + 43});
    const QString file = data.file("partial.ini");
    const CliRun run = cliOnBoard({"download", "--save", file});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.out.contains("repeat=00")) << run;
    EXPECT_FALSE(run.out.contains("displaytime-racer")) << run;
    EXPECT_FALSE(run.out.contains("displaytime-speed")) << run;
    EXPECT_TRUE(run.err.contains("Parameters downloaded; 2 registers did not answer.")) << run;
    EXPECT_FALSE(run.err.contains("Parameters downloaded.\n")) << "one ending, no success before it\n" << run;
    EXPECT_TRUE(run.err.contains("not saved")) << run;
    EXPECT_FALSE(QFile::exists(file));
}

// A board answering random bytes: answers that are no value of their fields count as missing.
TEST_F(ParametersCli, ABoardAnsweringGarbageGivesAnIncompleteDownloadThatIsNotSaved)
{
    board->setFaults({.answerGarbage = true});
    const QString file = data.file("garbage.ini");
    const CliRun run = cliOnBoard({"download", "--save", file});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("registers did not answer.")) << run;
    EXPECT_TRUE(run.err.contains("not saved")) << run;
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ParametersCli, DownloadSaveWritesAFileThatLoadsBackTheBoardsValues)
{
    const CliRun run = cliOnBoard({"download", "--save", data.file("board")});
    EXPECT_EQ(run.exitCode, 0) << run;
    const std::optional<ParameterUpdate> loaded = loadParameterFile(data.file("board.ini"));
    ASSERT_TRUE(loaded);
    ParameterValues values;
    values.apply(*loaded);
    EXPECT_EQ(values.text(ParamId::Th), "5");
    EXPECT_EQ(values.text(ParamId::Pc), "-3");
    EXPECT_EQ(values.digits().digit(StoredDigit::Se1), "a");
    EXPECT_TRUE(values.digits().brightness().dayTimeTicked());
    EXPECT_EQ(values.text(ParamId::ByteMapFirst), "1a");
}

} // namespace
