// kestrix-cli info against simulated boards: the shipped variables with their values, a variable
// that does not answer (one incomplete ending, exit 1), clearing under the password of config.ini (right, wrong, none stored),
// the password kept out of every output and the trace, its length limit and signals while it is
// read, vars.txt in each encoding, and a missing vars.txt.

#include "support/process_support.h"
#include "support/test_support.h"

#include <QFile>
#include <QStringEncoder>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::ChildSetup;
using kt::CliRun;
using kt::runCli;

namespace {

const QStringList OnBoard{"--port", "3", "--speed", "9600"};
const QString Password = QStringLiteral("Kx-Secret7");
// The check, and the preamble before the operation opens the port.
constexpr size_t EnvelopeFrames = 3;
// Registers the shipped vars.txt names: 28 parameter registers and 7 of working memory.
constexpr size_t ShippedRegisters = 35;

class InfoCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.writeConfig("[Settings]\nadmin=" + Password + "\n");
        board = kt::startBoardOn(3, 9600);
        ASSERT_TRUE(board);
    }

    // Information as a board that has run a while keeps it.
    void presetInformation() const
    {
        const std::pair<int, uint8_t> registers[] = {
            {410, 0x30}, {411, 0x39}, {412, 0x01}, {413, 0x41}, {414, 0x00}, {415, 0x11}, {416, 0xFD},
            {420, 0x23}, {421, 0x15}, {422, 0x07}, {423, 0x02}, {424, 0x11}, {425, 0x26},
            {432, 0xFF}, {433, 0xF4}, {434, 0x00}, {435, 0x26}};
        for (const auto &[reg, value] : registers)
            board->setRegister(reg, value);
        for (const auto &[variable, value] : {std::pair{20, 0x00}, std::pair{21, 0x02}, std::pair{30, 0x07}})
            board->setVariable(variable, uint8_t(value));
    }

    void writeVariableFile(const QByteArray &bytes) const
    {
        QFile file(data.file("vars.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    // kestrix-cli with `input` on its standard input, to its end.
    CliRun runWithInput(const QStringList &arguments, const QByteArray &input, ChildSetup setup = {}) const
    {
        QProcess process;
        kt::startCli(process, data, arguments, std::move(setup));
        CliRun run;
        if (!process.waitForStarted()) {
            ADD_FAILURE() << "kestrix-cli did not start";
            return run;
        }
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "kestrix-cli did not run to its end";
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    kt::ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
};

TEST_F(InfoCli, PrintsEveryVariableOfVarsTxtWithItsValue)
{
    presetInformation();
    const CliRun run = runCli(data, QStringList{"info"} + OnBoard);
    EXPECT_EQ(run.exitCode, 0) << run;
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 15) << run;
    EXPECT_EQ(lines[0], "Hours of operation\t12345");
    EXPECT_EQ(lines[1], "Power-ups\t321");
    EXPECT_EQ(lines[2], "Resets\t17");
    EXPECT_EQ(lines[3], "Watchdog resets\t-3") << "a Char of kind Par is signed";
    EXPECT_EQ(lines[4], "Last power failure\t23:15:07 02.11.26.");
    EXPECT_EQ(lines[5], "Last reset\tff:ff:ff ff.ff.ff.") << "registers never set hold 0xFF";
    EXPECT_EQ(lines[6], "Lowest temperature\t-12");
    EXPECT_EQ(lines[7], "Highest temperature\t38");
    EXPECT_EQ(lines[11], "Display segment faults\t2");
    EXPECT_EQ(lines[14], "Light sensor level\t07") << "a Char of kind Ram shows at least two digits";
    const std::vector<std::string> frames = kt::received(*board, EnvelopeFrames + ShippedRegisters);
    ASSERT_EQ(frames.size(), EnvelopeFrames + ShippedRegisters);
    EXPECT_EQ(frames[EnvelopeFrames], "R410\r");
    EXPECT_EQ(frames[EnvelopeFrames + 7], "R420\r");
    EXPECT_EQ(frames[EnvelopeFrames + 28], "r020\r");
    EXPECT_EQ(frames.back(), "r030\r");
    EXPECT_TRUE(run.err.contains("Informations readed from clock.")) << run;
}

TEST_F(InfoCli, AVariableThatDidNotAnswerIsMarkedAndExitsOne)
{
    writeVariableFile("Hours;410;Int;Par\nResets;414;Int;Par\nOther;5;Word;Par\n");
    board->setRegister(410, 0x01);
    board->setRegister(411, 0x2C);
    board->setFaults({.unansweredReads = {415}});
    const CliRun run = runCli(data, QStringList{"info"} + OnBoard);
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_EQ(run.out, "Hours\t300\nResets\t(no answer)\nOther\t\n") << "an unknown type has an empty value";
}

// A read or a clearing of which a variable got no answer prints its incomplete ending, once and
// instead of the completion, and exits 1.
TEST_F(InfoCli, AnIncompleteReadOrClearingEndsOnceWithItsIncompleteText)
{
    struct Case {
        const char *name;
        QStringList arguments;
        sim::Faults faults;
        const char *incomplete;
        const char *completion;
    };
    const Case cases[] = {
        {"info", {"info"}, {.unansweredReads = {415}}, "Informations read; 1 variables did not answer.",
         "Informations readed from clock."},
        // The check's answer, then the two writes of Hours; Resets gets none.
        {"info --clear", {"info", "--clear", "--password-stdin"}, {.answerOnlyFirst = 3},
         "Clearing incomplete: 1 variables did not answer.", "All informations deleted."},
    };
    writeVariableFile("Hours;410;Int;Par\nResets;414;Int;Par\n");
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        board->setFaults(row.faults);
        const CliRun run = runWithInput(row.arguments + OnBoard, Password.toUtf8() + "\n");
        EXPECT_EQ(run.exitCode, 1) << run;
        EXPECT_EQ(run.err.count(row.incomplete), 1) << run;
        EXPECT_FALSE(run.err.contains(row.completion)) << run;
        EXPECT_TRUE(run.out.contains("Resets\t(no answer)\n")) << run;
    }
}

TEST_F(InfoCli, ClearWithTheStoredPasswordWritesZerosAndPrintsTheAnswers)
{
    presetInformation();
    const CliRun run = runWithInput(QStringList{"info", "--clear", "--password-stdin"} + OnBoard, Password.toUtf8() + "\n");
    EXPECT_EQ(run.exitCode, 0) << run;
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 15) << run;
    EXPECT_EQ(lines[0], "Hours of operation\t0");
    EXPECT_EQ(lines[4], "Last power failure\t00:00:00 00.00.00.") << "the answers as received";
    const std::vector<std::string> frames = kt::received(*board, EnvelopeFrames + ShippedRegisters);
    ASSERT_EQ(frames.size(), EnvelopeFrames + ShippedRegisters);
    EXPECT_EQ(frames[EnvelopeFrames], "W41000\r");
    EXPECT_EQ(frames[EnvelopeFrames + 1], "W41100\r");
    EXPECT_EQ(frames[EnvelopeFrames + 28], "w02000\r");
    EXPECT_EQ(frames.back(), "w03000\r");
    EXPECT_EQ(board->registerValue(410), 0);
    EXPECT_EQ(board->registerValue(433), 0);
    EXPECT_EQ(board->variable(21), 0);
    EXPECT_TRUE(run.err.contains("All informations deleted.")) << run;
}

// Another case, a prefix, an empty line, no line at all; and a stored password the prompt is
// never shown for when config.ini has none.
TEST_F(InfoCli, ClearIsRefusedWithoutTheStoredPasswordAndSendsNothing)
{
    for (const QByteArray &input : {QByteArray("kx-secret7\n"), QByteArray("Kx-Secret\n"), QByteArray("\n"), QByteArray()}) {
        const CliRun run = runWithInput(QStringList{"info", "--clear", "--password-stdin"} + OnBoard, input);
        EXPECT_EQ(run.exitCode, 1) << run;
        EXPECT_TRUE(run.err.contains("Wrong Password! Can't clear parameters.")) << run;
        EXPECT_TRUE(run.out.isEmpty()) << run;
    }
    data.writeConfig("[Settings]\nPort=3\n");
    const CliRun run = runWithInput(QStringList{"info", "--clear", "--password-stdin"} + OnBoard, Password.toUtf8() + "\n");
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("Clearing is not possible")) << run;
    EXPECT_TRUE(run.err.contains("admin")) << run;
    EXPECT_TRUE(board->frameTexts().empty());
    EXPECT_EQ(board->registerValue(410), 0xFF);

    const CliRun noTerminal = runWithInput(QStringList{"info", "--clear"} + OnBoard, Password.toUtf8() + "\n");
    EXPECT_EQ(noTerminal.exitCode, 1) << noTerminal << "no stored password: refused before asking";
}

TEST_F(InfoCli, ThePasswordAppearsInNoOutputAndNotInTheTrace)
{
    writeVariableFile("Hours;410;Int;Par\n");
    const QString trace = data.file("trace.log");
    for (const QString &entered : {Password, Password + "x"}) {
        const CliRun run = runWithInput(QStringList{"--trace", trace, "info", "--clear", "--password-stdin"} + OnBoard,
                                        entered.toUtf8() + "\n");
        EXPECT_EQ(run.exitCode, entered == Password ? 0 : 1) << run;
        EXPECT_FALSE(run.out.contains(Password)) << run;
        EXPECT_FALSE(run.err.contains(Password)) << run;
    }
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray traced = file.readAll();
    EXPECT_TRUE(traced.contains("W41000")) << traced.toStdString();
    EXPECT_FALSE(traced.contains(Password.toUtf8())) << traced.toStdString();
    EXPECT_FALSE(traced.contains(Password.left(4).toUtf8())) << traced.toStdString();

    const CliRun noTerminal = runWithInput(QStringList{"info", "--clear"} + OnBoard, Password.toUtf8() + "\n");
    EXPECT_EQ(noTerminal.exitCode, 3) << noTerminal << "without --password-stdin only a terminal is asked";
}

// A password line has a limit: one byte beyond it is refused without reading on, so that an
// endless input (/dev/zero) ends at once; a line of the limit is compared as any other.
TEST_F(InfoCli, APasswordLineBeyond1024BytesIsRefusedUnread)
{
    const ChildSetup zeroInput = [] {
        const int zero = ::open("/dev/zero", O_RDONLY);
        ::dup2(zero, STDIN_FILENO);
    };
    struct Case {
        const char *name;
        QByteArray input;
        ChildSetup setup;
        const char *message;
    };
    const Case cases[] = {
        {"1024 bytes", QByteArray(1024, 'x') + "\n", {}, "Wrong Password! Can't clear parameters."},
        {"1025 bytes", QByteArray(1025, 'x') + "\n", {}, "The password is longer than 1024 bytes; nothing was cleared."},
        {"/dev/zero", {}, zeroInput, "The password is longer than 1024 bytes; nothing was cleared."},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        const CliRun run = runWithInput(QStringList{"info", "--clear", "--password-stdin"} + OnBoard, row.input, row.setup);
        EXPECT_EQ(run.exitCode, 1) << run;
        EXPECT_TRUE(run.err.contains(row.message)) << run;
    }
    EXPECT_TRUE(board->frameTexts().empty());
}

// Ctrl-C or SIGTERM while the password is read ends the run at once (the first one), cancelled.
TEST_F(InfoCli, ASignalWhileThePasswordIsReadCancels)
{
    // 51 variables: the warning about the last one shows that the program is past its start.
    QByteArray lines;
    for (int i = 0; i < 51; ++i)
        lines += "Hours;410;Int;Par\n";
    writeVariableFile(lines);
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        QProcess process;
        kt::startCli(process, data, QStringList{"info", "--clear", "--password-stdin"} + OnBoard);
        process.setReadChannel(QProcess::StandardError);
        ASSERT_TRUE(process.waitForReadyRead(kt::Timeout::ProcessRun));
        ::kill(pid_t(process.processId()), signal);
        const bool ended = process.waitForFinished(kt::Timeout::ProcessEnd);
        if (!ended)
            process.kill();
        ASSERT_TRUE(ended) << "the first signal did not end the reading";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130);
        EXPECT_TRUE(process.readAllStandardError().contains("Operation cancelled."));
    }
    EXPECT_TRUE(board->frameTexts().empty());
}

// vars.txt in UTF-16 or with a UTF-8 byte order mark prints the names, without the mark.
TEST_F(InfoCli, VarsTxtInEachEncodingPrintsItsNames)
{
    const QString text = QStringLiteral("Betriebsstunden;410;Int;Par\r\nTür;414;Int;Par\r\n");
    for (const QByteArray &bytes : {QByteArray("\xEF\xBB\xBF") + text.toUtf8(),
                                    QByteArray(QStringEncoder(QStringConverter::Utf16LE, QStringEncoder::Flag::WriteBom).encode(text))}) {
        writeVariableFile(bytes);
        const CliRun run = runCli(data, QStringList{"info"} + OnBoard);
        EXPECT_EQ(run.out, "Betriebsstunden\t65535\nTür\t65535\n") << run;
    }
}

TEST_F(InfoCli, AMissingVarsTxtExitsTwoAndAnExtraPasswordFlagIsAUsageError)
{
    ASSERT_TRUE(QFile::remove(data.file("vars.txt")));
    for (const QStringList &arguments : {QStringList{"info"}, QStringList{"info", "--clear", "--password-stdin"}}) {
        const CliRun run = runWithInput(arguments + OnBoard, Password.toUtf8() + "\n");
        EXPECT_EQ(run.exitCode, 2) << run;
        EXPECT_TRUE(run.err.contains("File Opening Error!")) << run;
        EXPECT_TRUE(run.err.contains(data.file("vars.txt"))) << run;
        EXPECT_TRUE(run.out.isEmpty()) << run;
    }
    const CliRun run = runCli(data, QStringList{"info", "--password-stdin"} + OnBoard);
    EXPECT_EQ(run.exitCode, 3) << run;
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(InfoCli, MoreThanFiftyVariablesWarnAndReadFifty)
{
    QByteArray lines;
    for (int i = 0; i < 52; ++i)
        lines += "Light " + QByteArray::number(i) + ";30;Char;Ram\n";
    writeVariableFile(lines);
    board->setVariable(30, 140);
    const CliRun run = runCli(data, QStringList{"info"} + OnBoard);
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out.count(u'\n'), 50) << run;
    EXPECT_TRUE(run.out.startsWith("Light 0\t140\n")) << run;
    EXPECT_TRUE(run.err.contains("2 lines of vars.txt beyond 50 variables were not used.")) << run;
}

} // namespace
