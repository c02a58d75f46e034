// kestrix-cli alarms against simulated boards: the frames an upload of config.ini's C1-C6 and
// alarms.txt sends (also from files in other encodings and line ends), a missing alarms.txt,
// the lines a download prints and what --save writes, an incomplete download, a board answering
// garbage, saves that cannot write, an upload to a board unplugged on the way, clear, compare and
// upload --verify, and options and operations that are refused. Each operation prints one ending.

#include "support/cli_support.h"

#include <QFile>
#include <gtest/gtest.h>
#include <algorithm>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;

namespace {

// The check, and the preamble before the operation opens the port.
constexpr size_t EnvelopeFrames = 3;

// Program 1: 06:30 type 1, then the end marker. Program 2: an hour-only 25, 07:45 type 0, the
// end marker. The registers behind the markers hold values a download must not read.
constexpr std::pair<int, uint8_t> BoardAlarms[] = {
    {101, 0x05}, {110, 0x06}, {111, 0x30}, {112, 0x10}, {113, 0x29}, {114, 0x12},
    {260, 0x25}, {261, 0x11}, {263, 0x07}, {264, 0x45}, {265, 0x00}, {266, 0x29}, {267, 0x08},
};

const QString BoardLines = "p1;06;30;1\np1;29;;\np2;25;;\np2;07;45;0\np2;29;;\n";

class AlarmsCli : public kt::CliWithBoard {
protected:
    void SetUp() override
    {
        CliWithBoard::SetUp();
        for (const auto &[reg, value] : BoardAlarms)
            board->setRegister(reg, value);
    }

    void writeAlarmFile(const QByteArray &bytes) const { kt::writeBytes(data.file("alarms.txt"), bytes); }

    QByteArray alarmFile() const
    {
        QFile file(data.file("alarms.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    // The register writes, once the board has read `count` of them.
    std::vector<std::string> writes(size_t count) const
    {
        std::vector<std::string> frames = kt::received(*board, EnvelopeFrames + count);
        std::erase_if(frames, [](const std::string &frame) { return !frame.starts_with('W'); });
        return frames;
    }

    bool read(int reg) const
    {
        const std::vector<std::string> frames = board->frameTexts();
        return std::ranges::find(frames, "R" + std::to_string(reg) + "\r") != frames.end();
    }
};

TEST_F(AlarmsCli, UploadSendsTheParametersThenEachProgramsFilledSlotsPacked)
{
    writeConfig("[Parameters]\nC1=07\nC5=3\n");
    // Program 2's lines stand around program 1's and fill slots 1 and 2 of their program.
    writeAlarmFile("p2;7;00;0\r\r\np1;6;30;1\r\r\np1;25;;\r\np2 ; 8 ; 5 ; 1 \nP1;09;00;0\nx;1;2;3\n");
    const CliRun run = cliOnBoard({"alarms", "upload"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, "Times Uploaded.\n") << run;
    const std::vector<std::string> expected{
        "W10107\r", "W102\r", "W103\r", "W10403\r", "W105\r", "W106\r",
        "W11006\r", "W11130\r", "W11210\r", "W11325\r",
        "W26007\r", "W26100\r", "W26200\r", "W26308\r", "W26405\r", "W26510\r"};
    EXPECT_EQ(writes(expected.size()), expected);
}

// Files as editors leave them: the frames their upload sends, and the form a download --save
// writes them back in.
TEST_F(AlarmsCli, OddAlarmFilesUploadTheirLinesAndAreSavedInTheirOwnForm)
{
    const auto utf16 = [](const QString &text) {
        return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    };
    const QByteArray boardFirst = "p1;06;30;1\r\r\np1;29;;\r\r\n";
    struct Row {
        const char *name;
        QByteArray file;
        std::vector<std::string> writes;   // after the six parameters
        QByteArray savedStart;
    } rows[] = {
        {"UTF-16", utf16("p1;06;30;1\r\n"), {"W11006\r", "W11130\r", "W11210\r"}, utf16(boardFirst)},
        {"Windows-1252", "p1;0\xB0;3\xE9;1\r\r\n", {"W1100\xB0\r", "W1113\xE9\r", "W11210\r"}, boardFirst},
        {"CR line ends", "p1;08;00;0\rp1;09;00;1",
         {"W11008\r", "W11100\r", "W11200\r", "W11309\r", "W11400\r", "W11510\r"}, boardFirst},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        writeConfig("[Parameters]\n");   // without the C1 of the row before
        writeAlarmFile(row.file);
        board->clearFrames();
        const CliRun run = cliOnBoard({"alarms", "upload"});
        EXPECT_EQ(run.exitCode, 0) << run;
        std::vector<std::string> expected{"W101\r", "W102\r", "W103\r", "W104\r", "W105\r", "W106\r"};
        expected.insert(expected.end(), row.writes.begin(), row.writes.end());
        EXPECT_EQ(writes(expected.size()), expected);
        EXPECT_EQ(board->frameTexts().size(), EnvelopeFrames + expected.size()) << "no stray frame";

        for (const auto &[reg, value] : BoardAlarms)
            board->setRegister(reg, value);
        const CliRun saved = cliOnBoard({"alarms", "download", "--save"});
        EXPECT_EQ(saved.exitCode, 0) << saved;
        EXPECT_TRUE(alarmFile().startsWith(row.savedStart)) << alarmFile().toHex(' ').toStdString();
    }
}

TEST_F(AlarmsCli, AnUploadToABoardUnpluggedOnTheWayExitsOneWithoutTimesUploaded)
{
    QByteArray file;
    for (int line = 0; line < 20; ++line)
        file += "p1;06;30;1\r\r\n";
    writeAlarmFile(file);
    const CliRun run = runUnplugged({"alarms", "upload"}, EnvelopeFrames + 8);
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.out.isEmpty()) << run;
    EXPECT_EQ(run.err.count("Failed: the board was lost after"), 1) << run;
    EXPECT_FALSE(run.err.contains("Times Uploaded.")) << run;
    EXPECT_LT(board->frameTexts().size(), EnvelopeFrames + 6 + 20 * 3);
}

TEST_F(AlarmsCli, UploadWithoutAnAlarmFileSendsNothing)
{
    const CliRun run = cliOnBoard({"alarms", "upload"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains(data.file("alarms.txt"))) << run;
    EXPECT_TRUE(run.err.contains("nothing was sent")) << run;
    EXPECT_TRUE(run.out.isEmpty()) << run;
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(AlarmsCli, DownloadPrintsTheParametersAndProgramsUpToTheirMarkers)
{
    const CliRun run = cliOnBoard({"alarms", "download"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, "C1=05\nC2=\nC3=\nC4=\nC5=\nC6=\n" + BoardLines) << run;
    EXPECT_FALSE(read(114)) << "read past program 1's end marker";
    EXPECT_FALSE(read(261)) << "read the minute of an hour-only entry";
    EXPECT_FALSE(read(267)) << "read past program 2's end marker";
    EXPECT_FALSE(QFile::exists(data.file("alarms.txt")));
    EXPECT_FALSE(data.readConfig().contains("C1=")) << data.readConfig().toStdString();
}

TEST_F(AlarmsCli, DownloadStartsFromTheFilesAndWarnsOfLinesBeyondFifty)
{
    QByteArray file;
    for (int line = 0; line < 52; ++line)
        file += QStringLiteral("p1;%1;00;0\r\r\n").arg(line % 24, 2, 10, QLatin1Char('0')).toLatin1();
    writeAlarmFile(file);
    const CliRun run = cliOnBoard({"alarms", "download"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.err.contains("2 lines of alarms.txt beyond the 50 alarms")) << run;
    const QStringList out = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(out.size(), 6 + 50 + 3) << run;
    EXPECT_EQ(out[0], "C1=05");
    // The board's two slots of program 1 over the file's first two; slot 3 on as the file has them.
    EXPECT_EQ(out.mid(6, 3), (QStringList{"p1;06;30;1", "p1;29;;", "p1;02;00;0"}));
    EXPECT_EQ(out[55], "p1;01;00;0");
    EXPECT_EQ(out.mid(56), (QStringList{"p2;25;;", "p2;07;45;0", "p2;29;;"}));
    EXPECT_EQ(alarmFile(), file) << "changed without --save";
}

TEST_F(AlarmsCli, AnIncompleteDownloadExitsOneAndSavesNothing)
{
    writeConfig("[Parameters]\nC2=4\n");
    board->setFaults({.unansweredReads = {103, 264}});
    writeAlarmFile("p1;12;00;1\r\r\n");
    const QString config = data.readConfig();
    const CliRun run = cliOnBoard({"alarms", "download", "--save"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_EQ(run.err.count("Download incomplete: 2 registers did not answer."), 1) << run;
    EXPECT_FALSE(run.err.contains("Times Downloaded.")) << "one ending\n" << run;
    EXPECT_TRUE(run.err.contains("not saved")) << run;
    EXPECT_TRUE(run.out.startsWith("C1=05\nC2=04\n")) << "the unanswered C2 stays as config.ini has it\n" << run;
    EXPECT_TRUE(run.out.contains("p2;07;;0")) << "the unanswered minute stays as it was\n" << run;
    EXPECT_EQ(alarmFile(), "p1;12;00;1\r\r\n");
    EXPECT_EQ(data.readConfig(), config);
}

TEST_F(AlarmsCli, ABoardAnsweringGarbageAfterItsHelloDownloadsIncompleteAndSavesNothing)
{
    writeConfig("[Parameters]\nC2=4\n");
    writeAlarmFile("p1;12;00;1\r\r\n");
    const QString config = data.readConfig();
    board->setFaults({.answerGarbage = true});
    const CliRun run = cliOnBoard({"alarms", "download", "--save"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_EQ(run.err.count("Download incomplete:"), 1) << run;
    EXPECT_TRUE(run.err.contains("not saved")) << run;
    EXPECT_EQ(alarmFile(), "p1;12;00;1\r\r\n");
    EXPECT_EQ(data.readConfig(), config);
}

TEST_F(AlarmsCli, DownloadSaveWritesAlarmsTxtAndConfigIni)
{
    writeAlarmFile("p2;01;02;1\r\r\np2;03;04;0\r\r\np2;05;06;1\r\r\np2;07;08;0\r\r\n");
    const CliRun run = cliOnBoard({"alarms", "download", "--save"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.err.contains("Saved")) << run;
    EXPECT_EQ(alarmFile(), "p1;06;30;1\r\r\np1;29;;\r\r\np2;25;;\r\r\np2;07;45;0\r\r\np2;29;;\r\r\np2;07;08;0\r\r\n");
    const QString config = data.readConfig();
    for (const char *line : {"C1=05\n", "C2=\n", "C3=\n", "C4=\n", "C5=\n", "C6=\n"})
        EXPECT_TRUE(config.contains(line)) << line << "\n" << config.toStdString();
    EXPECT_TRUE(config.contains("[Ports]")) << "the rest of config.ini stays";
}

TEST_F(AlarmsCli, ASaveThatCannotWriteAlarmsTxtExitsTwoAndKeepsTheOldFile)
{
    // alarms.txt is longer than the files the program may write now; config.ini is shorter.
    QByteArray file;
    for (int line = 0; line < 100; ++line)
        file += QStringLiteral("p%1;10;%2;1\r\r\n").arg(line % 2 + 1).arg(line % 60, 2, 10, QLatin1Char('0')).toLatin1();
    writeAlarmFile(file);
    const qsizetype limit = data.readConfig().size() + 200;
    ASSERT_GT(file.size(), limit);
    const CliRun run = cliOnBoard({"alarms", "download", "--save"}, kt::fileSizeLimit(limit));
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains("The alarm data was not saved")) << run;
    EXPECT_TRUE(run.err.contains("alarms.txt")) << run;
    EXPECT_EQ(alarmFile(), file);
}

// A read-only alarms.txt stops the save before either file changes (the other targets that
// cannot be written are rows of the file suite).
TEST_F(AlarmsCli, ASaveToAReadOnlyAlarmsTxtSaysFileOpeningErrorAndChangesNeitherFile)
{
    writeAlarmFile("p1;12;00;1\r\r\n");
    QFile(data.file("alarms.txt")).setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    const QString config = data.readConfig();
    const CliRun run = cliOnBoard({"alarms", "download", "--save"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_EQ(run.err.count("File Opening Error! "), 1) << run;
    EXPECT_TRUE(run.err.contains("read-only")) << run;
    EXPECT_EQ(alarmFile(), "p1;12;00;1\r\r\n");
    EXPECT_EQ(data.readConfig(), config);
}

TEST_F(AlarmsCli, ClearSendsTheEightFramesAndLeavesTheFiles)
{
    writeAlarmFile("p1;06;30;1\r\r\n");
    const CliRun run = cliOnBoard({"alarms", "clear"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, "Alarm Times Cleared.\n") << run;
    const std::vector<std::string> expected{"W101FF\r", "W102FF\r", "W103FF\r", "W104FF\r",
                                            "W105FF\r", "W106FF\r", "W11029\r", "W26029\r"};
    EXPECT_EQ(writes(expected.size()), expected);
    EXPECT_EQ(alarmFile(), "p1;06;30;1\r\r\n");
}

// compare prints what differs between the files and the board and writes nothing; --verify reads
// back what an upload wrote.
TEST_F(AlarmsCli, CompareAndVerifyNameWhatDiffersAndListWhatDidNotAnswerApart)
{
    const QByteArray boardFile = "p1;06;30;1\r\r\np1;29;;\r\r\np2;25;;\r\r\np2;07;45;0\r\r\np2;29;;\r\r\n";
    struct Row {
        const char *name;
        QStringList arguments;
        QString parameters;   // of config.ini
        QByteArray file;
        std::vector<std::pair<int, uint8_t>> registers;   // on top of BoardAlarms
        sim::Faults faults;
        int exitCode;
        QString out;
    };
    const std::vector<Row> rows{
        {"equal", {"alarms", "compare"}, "C1=5", boardFile, {}, {}, 0, "No item differs.\n"},
        // The file's gap is packed away; the board's free slot 2 stays, its end marker after the
        // files' last entry ends both alike.
        {"differing", {"alarms", "compare"}, "C1=07\nC3=2",
         "p1;06;30;2\r\r\np1;;;\r\r\np1;29;;\r\r\np2;07;45;0\r\r\np2;29;;\r\r\n", {{113, 0xFF}, {116, 0x29}}, {}, 4,
         "C1: file 07, board 05\nC3: file 02, board (empty)\np1 slot 1: file 06;30;2, board 06;30;1\n"
         "p1 slot 2: file 29;;, board (free)\np2 slot 1: file 07;45;0, board 25;;\n"
         "p2 slot 2: file 29;;, board 07;45;0\n6 items differ.\n"},
        {"unanswered", {"alarms", "compare"}, "C1=5", boardFile, {}, {.unansweredReads = {102, 110, 264}}, 1,
         "No item differs.\nNo answer: C4 (R102), file (empty)\nNo answer: p1 slot 1 and after (R110), file 06;30;1\n"
         "No answer: p2 slot 2 (R264), file 07;45;0\n"},
        {"verified", {"alarms", "upload", "--verify"}, "C1=5", boardFile, {}, {}, 0,
         "Times Uploaded.\nVerified: the board holds the 15 registers sent.\n"},
        {"stored as another value", {"alarms", "upload", "--verify"}, "C1=5", boardFile, {}, {.storedAs = {{111, 0x31}}},
         5, "Times Uploaded.\nR111: sent 30, board holds 31\nRead back 15 registers: 1 differ, 0 did not answer.\n"},
        {"verify with download", {"alarms", "download", "--verify"}, "", boardFile, {}, {}, 3, ""},
        {"verify with clear", {"alarms", "clear", "--verify"}, "", boardFile, {}, {}, 3, ""},
        {"save with compare", {"alarms", "compare", "--save"}, "", boardFile, {}, {}, 3, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto &[reg, value] : BoardAlarms)
            board->setRegister(reg, value);
        for (const auto &[reg, value] : row.registers)
            board->setRegister(reg, value);
        board->setFaults(row.faults);
        board->clearFrames();
        writeConfig("[Parameters]\n" + row.parameters + "\n");
        writeAlarmFile(row.file);
        const QString config = data.readConfig();
        const CliRun run = cliOnBoard(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run;
        EXPECT_EQ(run.out, row.out) << run;
        EXPECT_EQ(alarmFile(), row.file);
        EXPECT_EQ(data.readConfig(), config);
        if (row.arguments[1] == "compare") {
            EXPECT_TRUE(std::ranges::none_of(board->frameTexts(), [](const std::string &frame) { return frame.starts_with('W'); }))
                << "compare wrote to the board";
        }
    }
}

TEST_F(AlarmsCli, SaveBesideAnotherOperationAndUnknownOperationsAreUsageErrors)
{
    writeAlarmFile("p1;06;30;1\r\r\n");
    const QList<QStringList> refused{
        {"alarms", "upload", "--save"}, {"alarms", "--save", "clear"}, {"alarms", "erase"},
        {"alarms"}, {"alarms", "upload", "clear"}, {"alarms", "download", "--save", "x.txt"}};
    for (const QStringList &arguments : refused) {
        const CliRun run = cliOnBoard(arguments);
        EXPECT_EQ(run.exitCode, 3) << arguments.join(u' ').toStdString() << "\n" << run;
    }
    EXPECT_TRUE(cliOnBoard({"alarms", "clear", "--save"}).err.contains("--save goes only with download"));
    // download's own --save still takes its file name.
    EXPECT_EQ(cliOnBoard({"download", "--save"}).exitCode, 3);
    EXPECT_TRUE(board->frameTexts().empty());
}

} // namespace
