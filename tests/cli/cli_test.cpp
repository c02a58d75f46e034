// kestrix-cli run as a program against simulated boards: exit codes, results on standard
// output, status and errors on standard error, config.ini after a scan, the trace file.

#include "base/ini_file.h"
#include "comm/serial_channel.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kestrix;
using kestrix::testing::ScratchDataDir;
using kestrix::testing::startBoardOn;

namespace {

// Long enough for a scan of every port at every speed.
constexpr int ProgramWaitMs = 120000;

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

::std::ostream &operator<<(::std::ostream &stream, const CliRun &run)
{
    return stream << "exit " << run.exitCode << "\nstdout:\n" << run.out.toStdString()
                  << "\nstderr:\n" << run.err.toStdString();
}

// Runs kestrix-cli from beside the test executables with `data` as its data folder.
CliRun runCli(const ScratchDataDir &data, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(QDir(QCoreApplication::applicationDirPath()).filePath("kestrix-cli"));
    process.setArguments(QStringList{"--data-dir", data.path()} + arguments);
    process.start();
    CliRun run;
    if (!process.waitForStarted() || !process.waitForFinished(ProgramWaitMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "kestrix-cli did not run to its end: " << process.errorString().toStdString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString deviceOf(const std::unique_ptr<sim::BoardSim> &board)
{
    return QString::fromStdString(board->devicePath());
}

// ---------------------------------------------------------------------------------------------
// Usage

TEST(CliUsage, HelpPrintsUsage)
{
    ScratchDataDir data;
    const CliRun run = runCli(data, {"--help"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Usage: kestrix-cli")) << run;
    EXPECT_TRUE(run.out.contains("check")) << run;
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
        {"scan", "--port", "3"},
    };
    for (const QStringList &arguments : wrong) {
        const CliRun run = runCli(data, arguments);
        EXPECT_EQ(run.exitCode, 3) << arguments.join(' ').toStdString() << "\n" << run;
        EXPECT_FALSE(run.err.isEmpty()) << run;
    }
}

// ---------------------------------------------------------------------------------------------
// check

TEST(CliCheck, BoardAnswersOnPortAndSpeed)
{
    ScratchDataDir data;
    const auto board = startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, {"check", "--port", "3", "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
}

TEST(CliCheck, PortAndSpeedFromConfig)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=5\nBaud=3\n");
    const auto board = startBoardOn(6, 19200);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, {"check"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
}

TEST(CliCheck, DeviceByName)
{
    ScratchDataDir data;
    const auto board = startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, {"check", "--device", deviceOf(board), "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
}

TEST(CliCheck, WrongSpeedExits1)
{
    ScratchDataDir data;
    const auto board = startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, {"check", "--port", "3", "--speed", "4800"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("Communication Error!")) << run;
    EXPECT_FALSE(run.out.contains("Communication OK.")) << run;
}

TEST(CliCheck, MissingDeviceExits2AndNamesIt)
{
    ScratchDataDir data;
    const CliRun run = runCli(data, {"check", "--port", "7", "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains("/nonexistent/kestrix-test-port-7")) << run;
    EXPECT_TRUE(run.err.contains("does not exist")) << run;
}

TEST(CliCheck, PortInUseExits2)
{
    ScratchDataDir data;
    const auto board = startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    CComm holder;
    ASSERT_EQ(holder.Open(3, 9600), CComm::Opened);

    const CliRun run = runCli(data, {"check", "--port", "3", "--speed", "9600"});
    holder.Close();
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains(deviceOf(board))) << run;
    EXPECT_TRUE(run.err.contains("in use")) << run;
}

// ---------------------------------------------------------------------------------------------
// versions, scan, trace

TEST(CliVersions, PrintsSoftwareAndHardware)
{
    ScratchDataDir data;
    const auto board = startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, {"versions", "--port", "3", "--speed", "9600"});
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

TEST(CliTrace, RecordsFramesAndAnswers)
{
    ScratchDataDir data;
    const auto board = startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const QString trace = data.file("trace.log");
    const CliRun run = runCli(data, {"--trace", trace, "check", "--port", "3", "--speed", "9600"});
    ASSERT_EQ(run.exitCode, 0) << run;

    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("<ESC>TS?<CR>")) << text.toStdString();
    EXPECT_TRUE(text.contains("Hello")) << text.toStdString();
}

} // namespace
