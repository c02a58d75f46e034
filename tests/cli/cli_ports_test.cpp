// kestrix-cli and ports that other programs use: the programs named when a check fails, busy
// ports named by a scan, board text that cannot act on the terminal, the reason a scan could not
// store its result, and trace files that cannot be written.

#include "support/cli_support.h"

#include "comm/port_owners.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

using kestrix::testing::ScratchDataDir;
using namespace kestrix::testing;

namespace {

// The board on COM3 at 9600 bps.
using CliBoardText = CliWithBoard;
using CliScan = CliWithBoard;
using CliTrace = CliWithBoard;
using CliPortLeftovers = CliWithBoard;

// The simulated board as the program an operator runs, silent, in a process of its own.
class SilentBoardProgram {
public:
    SilentBoardProgram() { m_process.start(programBesideTests("kestrix-board-sim"), {"--silent"}); }
    ~SilentBoardProgram()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }

    // The device from its first line, "Simulated Kestrix board on /dev/pts/N at ...".
    QString device()
    {
        QByteArray output;
        while (!output.contains('\n') && m_process.waitForReadyRead(10000))
            output += m_process.readAllStandardOutput();
        const auto match = QRegularExpression(" on (\\S+) at ").match(QString::fromLocal8Bit(output));
        return match.hasMatch() ? match.captured(1) : QString();
    }

private:
    QProcess m_process;
};

TEST(CliHolders, AFailedCheckNamesTheProgramThatHasThePortOpen)
{
    ScratchDataDir data;
    SilentBoardProgram board;
    const QString device = board.device();
    ASSERT_FALSE(device.isEmpty());
    OtherProgram other(device);
    ASSERT_TRUE(other.started());

    const CliRun run = runCli(data, {"check", "--device", device, "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("Check COM port and Speed.\n")) << run;
    EXPECT_TRUE(run.err.contains(QStringLiteral("Also open in: cat (pid %1)\n").arg(other.pid()))) << run;
    // The board program holds the far end of its pseudo-terminal: it is the line, not a user.
    EXPECT_FALSE(run.err.contains("kestrix-board")) << run;
}

// A device that config.ini would give back otherwise (cut, trimmed, unquoted, or empty and so
// the platform's default) is refused, and config.ini stays as it was; one it keeps is stored.
TEST(CliMapPort, StoresOnlyADeviceThatReadsBackAsWritten)
{
    ScratchDataDir data;
    const QString before = data.readConfig();
    const QString refused[] = {
        QString(300, 'x').prepend("/dev/"), "/dev/ttyS0\n", QString("/dev/tty") + QChar(0x1b) + "S0",
        QString("/dev/ttyS0") + QChar(0x85), "", " /dev/ttyS0", "/dev/ttyS0\t", "\"/dev/ttyS0\"",
        "rfc2217://", "tcp://host", "tcp://host:0", "tcp://host:99999", "tcp://[::1", "tcp://[::1]2000",
        "tcp://ho st:2000", "tcp://host:2000\n", "udp://host:2000", "http://host:80", "tcp://[1.2.3.4]:2000",
    };
    for (const QString &device : refused) {
        const CliRun run = runCli(data, {"map-port", "3", device});
        EXPECT_EQ(run.exitCode, 3) << run;
        EXPECT_TRUE(run.err.contains("is no device to store")) << run;
        EXPECT_FALSE(run.err.contains(QChar(0x1b))) << run;
        EXPECT_EQ(data.readConfig(), before) << run;
    }
    const QString kept = "/dev/serial/by-id/usb-FTDI_FT232R " + QString(160, 'x');
    const CliRun run = runCli(data, {"map-port", "3", kept});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(kestrix::deviceForPort(3), kept);
    for (const QString network : {"rfc2217://[::1]:2001", "tcp://board-7.hall:4001", "RFC2217://10.0.0.7:2001"}) {
        const CliRun stored = runCli(data, {"map-port", "4", network});
        EXPECT_EQ(stored.exitCode, 0) << stored;
        EXPECT_FALSE(stored.err.contains("does not exist")) << stored;
        EXPECT_EQ(kestrix::deviceForPort(4), network);
    }
}

// A run killed while it has the port open leaves its lock file and, on a pseudo-terminal, the
// exclusive mode behind: the next run opens the port all the same.
TEST_F(CliPortLeftovers, TheNextRunOpensThePortThatAKilledRunHeld)
{
    if (!isRoot())
        GTEST_SKIP() << "only root may open a terminal in exclusive mode to switch the mode off";
    board->setFaults({.silent = true});
    QProcess killed;
    startCli(killed, data, QStringList{"display", "test"} + OnBoard);
    ASSERT_TRUE(board->waitForFrames(1, Timeout::ProcessRun));
    ::kill(pid_t(killed.processId()), SIGKILL);
    ASSERT_TRUE(killed.waitForFinished(Timeout::ProcessEnd));
    board->setFaults({});
    const CliRun run = cliOnBoard({"check"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
}

// With no room for the port's lock file the run names the file and the reason, instead of a
// program that does not exist; the signal of a file size limit does not end it.
TEST_F(CliPortLeftovers, ALockFileThatCannotBeWrittenIsNamedWithTheReason)
{
    const QString lock = kestrix::serialLockFile(QString::fromStdString(board->devicePath()));
    ASSERT_FALSE(lock.isEmpty());
    const CliRun run = cliOnBoard({"check"}, [] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit nothing{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &nothing);
    });
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.err.contains(lock + " cannot be written: File too large")) << run;
    EXPECT_FALSE(run.err.contains("in use by another program")) << run;
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(CliBoardText, VersionsAndScanSpellOutControlCharacters)
{
    // A title change with a bell, and a screen clear.
    board->setVersions("\x1b]0;owned\x07KX", "\x1b[2J");
    const CliRun versions = runCli(data, {"versions", "--port", "3", "--speed", "9600"});
    const CliRun scan = runCli(data, {"scan"});
    for (const CliRun &run : {versions, scan}) {
        EXPECT_EQ(run.exitCode, 0) << run;
        EXPECT_TRUE(run.out.contains("sw: <ESC>]0;owned<07>KX\n")) << run;
        EXPECT_TRUE(run.out.contains("hw: <ESC>[2J\n")) << run;
        for (const QString &output : {run.out, run.err}) {
            EXPECT_FALSE(output.contains(QChar(0x1b))) << run;
            EXPECT_FALSE(output.contains(QChar(0x07))) << run;
        }
    }
}

TEST_F(CliScan, NoBoardButABusyPortNamesIt)
{
    const int other = ::open(board->devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    const CliRun run = runCli(data, {"scan"});
    ::close(other);
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.err.contains("Communication Error!\nBusy ports: COM3\n")) << run;
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(CliScan, APairThatCannotBeStoredIsShownWithTheReason)
{
    const QString before = data.readConfig();
    // config.ini, with its [Ports], is longer than the files the program may write now; the
    // lock file of the port is shorter.
    const CliRun run = runCli(data, {"scan"}, fileSizeLimit(512));
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.out.contains("Connected at COM3, 9600bps")) << run;
    EXPECT_TRUE(run.err.contains(QRegularExpression("File Opening Error! cannot write \\S*config\\.ini: File too large")))
        << run;
    EXPECT_EQ(data.readConfig(), before);
}

TEST_F(CliTrace, ATraceFileThatCannotBeWrittenStopsBeforeTheBoard)
{
    const CliRun run = runCli(data, {"--trace", "/dev/full", "check", "--port", "3", "--speed", "9600"});
    EXPECT_EQ(run.exitCode, 3) << run;
    EXPECT_TRUE(run.err.contains("/dev/full: No space left on device")) << run;
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(CliTrace, ATraceThatBreaksOffIsReportedOnceAndTheCheckStands)
{
    // An earlier trace, then room for the first line of this one and no more.
    const QString trace = data.file("trace.log");
    QFile earlier(trace);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write(QByteArray(2000, 'x') + '\n');
    earlier.close();
    const CliRun run = runCli(data, {"--trace", trace, "check", "--port", "3", "--speed", "9600"}, fileSizeLimit(2001 + 60));
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
    EXPECT_EQ(run.err.count("the trace is incomplete"), 1) << run;
    EXPECT_TRUE(run.err.contains(trace + ": File too large")) << run;
}

} // namespace
