// kestrix-cli run as a program against simulated boards: exit codes, results on standard
// output, status and errors on standard error, config.ini after a scan, the trace file.

#include "base/ini_file.h"
#include "comm/serial_channel.h"
#include "support/cli_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/types.h>

using namespace kestrix;
using kestrix::testing::ScratchDataDir;
using kestrix::testing::startBoardOn;
using kestrix::testing::CliRun;
using kestrix::testing::runCli;
using namespace std::chrono_literals;

namespace {

QString deviceOf(const std::unique_ptr<sim::BoardSim> &board)
{
    return QString::fromStdString(board->devicePath());
}

// The board on COM3 at 9600 bps.
using CliCheck = kestrix::testing::CliWithBoard;
using CliVersions = kestrix::testing::CliWithBoard;
using CliTrace = kestrix::testing::CliWithBoard;

// ---------------------------------------------------------------------------------------------
// Usage

TEST(CliUsage, HelpListsEveryCommandWithItsOperands)
{
    ScratchDataDir data;
    const CliRun run = runCli(data, {"--help"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Usage: kestrix-cli")) << run;
    for (const char *synopsis : {"  check\n", "  versions\n", "  scan\n", "  map-port N DEVICE\n", "  config-path\n"})
        EXPECT_TRUE(run.out.contains(synopsis)) << synopsis << "\n" << run;
    EXPECT_TRUE(run.out.contains("--trace FILE")) << run;
}

TEST(CliUsage, WrongUsageExits3)
{
    ScratchDataDir data;
    const QStringList wrong[] = {
        {"frobnicate"},
        {},
        {"check", "--speed", "1200"},
        {"check", "--port", "21"},
        {"check", "--bogus"},
        {"check", "--device", "tcp://host"},
        {"scan", "--device", "udp://host:7"},
        {"check", "extra"},
        {"map-port", "3"},
        {"map-port", "21", "/dev/null"},
    };
    for (const QStringList &arguments : wrong) {
        const CliRun run = runCli(data, arguments);
        EXPECT_EQ(run.exitCode, 3) << arguments.join(' ').toStdString() << "\n" << run;
        EXPECT_FALSE(run.err.isEmpty()) << run;
    }
}

// ---------------------------------------------------------------------------------------------
// check

TEST_F(CliCheck, BoardAnswersOnPortAndSpeed)
{
    const CliRun run = cliOnBoard({"check"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
}

TEST_F(CliCheck, PortAndSpeedFromConfig)
{
    data.writeConfig("[Settings]\nPort=5\nBaud=3\n");
    const auto onSix = startBoardOn(6, 19200);
    ASSERT_TRUE(onSix);
    const CliRun run = runCli(data, {"check"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
}

TEST_F(CliCheck, DeviceByName)
{
    const CliRun run = runCli(data, {"check", "--device", deviceOf(board), "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
}

TEST_F(CliCheck, WrongSpeedExits1)
{
    const CliRun run = runCli(data, {"check", "--port", "3", "--speed", "4800"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("Communication Error!")) << run;
    EXPECT_FALSE(run.out.contains("Communication OK.")) << run;
}

TEST_F(CliCheck, MissingDeviceExits2AndNamesIt)
{
    const CliRun run = runCli(data, {"check", "--port", "7", "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains("/nonexistent/kestrix-test-port-7")) << run;
    EXPECT_TRUE(run.err.contains("does not exist")) << run;
}

TEST_F(CliCheck, PortInUseExits2)
{
    SerialChannel holder;
    ASSERT_EQ(holder.Open(3, 9600), SerialChannel::Opened);

    const CliRun run = cliOnBoard({"check"});
    holder.Close();
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains(deviceOf(board))) << run;
    EXPECT_TRUE(run.err.contains("in use")) << run;
}

// ---------------------------------------------------------------------------------------------
// versions, scan, trace

TEST_F(CliVersions, PrintsSoftwareAndHardware)
{
    const CliRun run = cliOnBoard({"versions"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("sw: KX-SIM 1.0.3")) << run;
    EXPECT_TRUE(run.out.contains("hw: KX-HW 2")) << run;
}

TEST(CliScan, FindsTheBoardAndStoresPortAndSpeed)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=0\nBaud=0\n");
    const auto board = startBoardOn(5, 19200);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, {"scan"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Connected at COM5, 19200bps")) << run;
    EXPECT_TRUE(run.out.contains("sw: KX-SIM 1.0.3")) << run;
    EXPECT_TRUE(run.out.contains("hw: KX-HW 2")) << run;

    const IniFile config(data.file("config.ini"));
    EXPECT_EQ(config.read("Settings", "Port"), "4");
    EXPECT_EQ(config.read("Settings", "Baud"), "3");
}

TEST(CliLanguage, WithoutLanguageFilesInTheDataFolderTheShippedTablesSpeak)
{
    ScratchDataDir data;
    for (const char *name : {"identifiers.ini", "lng_english.ini", "lng_german.ini"})
        QFile::remove(data.file(name));
    const CliRun run = runCli(data, {"check", "--port", "7", "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains("Checking communication ...")) << run;
    EXPECT_FALSE(run.err.contains("?\n")) << run;
}

// Ctrl-C while the scan tries the board's port: no frame after the one in flight, nothing
// stored, the port free again, "Operation cancelled.", exit status 130.
TEST(CliScan, CtrlCStopsBeforeTheNextFrameAndStoresNothing)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=6\nBaud=1\n");
    const auto board = startBoardOn(1, 19200);
    ASSERT_TRUE(board);
    const QString before = data.readConfig();

    QProcess process;
    process.setProgram(QDir(QCoreApplication::applicationDirPath()).filePath("kestrix-cli"));
    process.setArguments({"--data-dir", data.path(), "scan"});
    process.start();
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(board->waitForFrames(3, 10s)) << "the scan reached the board";
    const auto interrupted = std::chrono::steady_clock::now();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    const auto ended = std::chrono::steady_clock::now();

    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError()).contains("Operation cancelled."));
    EXPECT_EQ(data.readConfig(), before);
    int framesAfter = 0;
    for (const sim::ReceivedFrame &frame : board->frames())
        framesAfter += frame.time > interrupted ? 1 : 0;
    EXPECT_LE(framesAfter, 1) << "only a frame already under way may arrive";
    SerialChannel again;
    EXPECT_EQ(again.Open(1, 19200), SerialChannel::Opened) << "the port is released";
    RecordProperty("msUntilEnded", int(std::chrono::duration_cast<std::chrono::milliseconds>(ended - interrupted).count()));
}

TEST_F(CliTrace, RecordsFramesAndAnswers)
{
    const QString trace = data.file("trace.log");
    const CliRun run = cli({"--trace", trace, "check", "--port", "3", "--speed", "9600"});
    ASSERT_EQ(run.exitCode, 0) << run;

    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("<ESC>TS?<CR>")) << text.toStdString();
    EXPECT_TRUE(text.contains("Hello")) << text.toStdString();
}

} // namespace
