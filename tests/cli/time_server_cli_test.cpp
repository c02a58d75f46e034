// kestrix-cli time-server: against the simulated time server, which answers on a thread of its
// own while the test waits for the child (the times printed, the seven frames of an upload, the
// defaults of config.ini, a silent server, refused options), and against a real Time Protocol
// server, xinetd's built-in one, compared with the system clock and rdate.

#include "support/process_support.h"
#include "support/test_support.h"
#include "time_server_sim.h"

#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;
using kt::runCli;
namespace Timeout = kt::Timeout;
namespace Interval = kt::Interval;

namespace {

const QStringList OnBoard{"--port", "3", "--speed", "9600"};
// The check, and the preamble before the upload opens the port.
constexpr size_t EnvelopeFrames = 3;
// The client gives a silent server 10 s, never less; the run takes at least this long.
constexpr qint64 SilentServerRunMs = 10000;
// The simulated server's answer, 3600000000 s after 1900: Wednesday 2014-01-29 16:00:00 UTC.
const QString ServerLine = QStringLiteral("Server time: 2014-01-29 16:00:00 UTC");

// The simulated time server on 127.0.0.1, answering 3600000000.
class TimeServerCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.start("127.0.0.1", 0, &error)) << error;
        server.setSeconds(sim::SampleServerSeconds);
    }

    QString serverAddress() const { return QString::fromStdString(server.address()); }

    kt::ScratchDataDir data;
    sim::TimeServerSim server;
};

TEST_F(TimeServerCli, PrintShowsTheServersTimeAndTheZonesFieldsAndSendsNothing)
{
    const auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, QStringList{"time-server", "--server", serverAddress(), "--timezone", "1", "--print"} + OnBoard);
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, ServerLine + "\nBoard time: 17:00:00 weekday 03 29.01.14 (UTC+1)\n") << run;
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(board->frameTexts().empty());

    sim::TimeServerSim ipv6;
    if (!ipv6.start("::1"))
        GTEST_SKIP() << "no IPv6 loopback here";
    ipv6.setSeconds(sim::SampleServerSeconds);
    const CliRun overIpv6 = runCli(data, {"time-server", "--server", QString::fromStdString(ipv6.address()), "--timezone", "-12", "--print"});
    EXPECT_EQ(overIpv6.exitCode, 0) << overIpv6;
    EXPECT_EQ(overIpv6.out, ServerLine + "\nBoard time: 04:00:00 weekday 03 29.01.14 (UTC-12)\n") << overIpv6;
}

TEST_F(TimeServerCli, UploadSendsTheSevenFieldsWithoutDls)
{
    const auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    const CliRun run = runCli(data, QStringList{"time-server", "--server", serverAddress(), "--timezone", "1"} + OnBoard);
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, ServerLine + "\nBoard time: 17:00:00 weekday 03 29.01.14 (UTC+1)\nTime & Date Uploaded.\n") << run;
    const std::vector<std::string> frames = kt::received(*board, EnvelopeFrames + 7);
    const std::vector<std::string> expected{kt::Sm7,     kt::TestFrame, kt::Sm7,     "W00000\r", "W00100\r",
                                            "W00217\r", "W00303\r",    "W00429\r", "W00501\r", "W00614\r"};
    EXPECT_EQ(frames, expected);
}

// A TimeZone that is no zone is used as the nearest one, or 0 for a text, with a warning.
TEST_F(TimeServerCli, ServerAndTimeZoneDefaultToConfigIni)
{
    struct Case {
        const char *zone;
        const char *boardTime;
        bool warned;
    };
    const Case cases[] = {
        {"-3", "13:00:00 weekday 03 29.01.14 (UTC-3)", false},
        {"13", "04:00:00 weekday 04 30.01.14 (UTC+12)", true},
        {"abc", "16:00:00 weekday 03 29.01.14 (UTC+0)", true},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.zone);
        data.writeConfig("[Settings]\nNTPServer1=" + serverAddress() + "\nTimeZone=" + row.zone + "\n");
        const CliRun run = runCli(data, {"time-server", "--print"});
        EXPECT_EQ(run.exitCode, 0) << run;
        EXPECT_EQ(run.out, ServerLine + "\nBoard time: " + row.boardTime + "\n") << run;
        EXPECT_EQ(run.err.contains(QStringLiteral("TimeZone \"%1\" is not a time zone").arg(row.zone)), row.warned) << run;
    }
    EXPECT_EQ(server.requestCount(), 3);
}

TEST_F(TimeServerCli, AnsweredButThePortCannotBeOpenedExitsTwo)
{
    data.writeConfig("[Settings]\n");   // COM3 is a device that does not exist
    const CliRun run = runCli(data, QStringList{"time-server", "--server", serverAddress()} + OnBoard);
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.out.startsWith(ServerLine)) << run;
}

TEST_F(TimeServerCli, ASilentServerIsUnavailableAfterTheTimeOutAndNothingIsSent)
{
    const auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    server.setMode(sim::TimeServerSim::Mode::Silent);
    const CliRun run = runCli(data, QStringList{"time-server", "--server", serverAddress()} + OnBoard);
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_GE(run.elapsedMs, SilentServerRunMs) << run;
    EXPECT_TRUE(run.err.contains("NTP Server Unvailable!")) << run;
    EXPECT_TRUE(run.out.isEmpty()) << run;
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(board->frameTexts().empty());
}

// A malformed address is no server that did not answer: exit 3, naming what is wrong, and no
// request goes out.
TEST_F(TimeServerCli, BadAddressesTimeZonesAndNoServerAreUsageErrors)
{
    struct Case {
        QStringList arguments;
        QString message;   // what standard error names
    };
    const QString port = QString::number(server.port());
    const Case cases[] = {
        {{"--server", "127.0.0.1:0"}, "the port \"0\" is not a number from 1 to 65535"},
        {{"--server", "[::1"}, "\"[::1\" is not a host name or an IP address"},
        {{"--server", "127.0.0.1:port"}, "the port \"port\""},
        {{"--server", " "}, "no server is configured"},
        {{"--server", "1.2.3.4:37:38"}, "\"1.2.3.4:37\" is not a host name or an IP address"},
        {{"--server", "127.0.0.1:" + port + ":1"}, "\"127.0.0.1:" + port + "\" is not a host name"},
        {{"--server", "http://127.0.0.1:" + port}, "\"http://127.0.0.1\" is not a host name"},
        {{"--server", "no such host!:" + port}, "\"no such host!\" is not a host name"},
        {{"--timezone", "13"}, "the time zone \"13\""},
        {{"--timezone", "-13"}, "the time zone \"-13\""},
        {{"--timezone", "one"}, "the time zone \"one\""},
        {{}, "no server is configured"},   // none given, none in config.ini
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const QStringList server = row.arguments.value(0) == "--server" ? QStringList{} : QStringList{"--server", serverAddress()};
        const CliRun run = runCli(data, QStringList{"time-server", "--print"} + (row.arguments.isEmpty() ? row.arguments : server + row.arguments));
        EXPECT_EQ(run.exitCode, 3) << run;
        EXPECT_TRUE(run.err.contains(row.message)) << run;
        EXPECT_FALSE(run.err.contains("NTP Server Unvailable!")) << run;
        EXPECT_TRUE(run.out.isEmpty()) << run;
    }
    EXPECT_EQ(server.requestCount(), 0);
}

// xinetd's built-in time service (RFC 868 over UDP) on a free port of 127.0.0.1, as a child of
// the test with a configuration of its own.
class XinetdTimeService {
public:
    XinetdTimeService()
    {
        const QString program = findProgram("xinetd");
        if (program.isEmpty() || !m_dir.isValid())
            return;
        QUdpSocket probe;
        if (!probe.bind(QHostAddress::LocalHost, 0))
            return;
        port = probe.localPort();
        probe.close();
        QFile config(m_dir.filePath("xinetd.conf"));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(QStringLiteral("service time\n{\n  type = INTERNAL UNLISTED\n  id = time-dgram\n"
                                    "  socket_type = dgram\n  protocol = udp\n  wait = yes\n  bind = 127.0.0.1\n"
                                    "  port = %1\n  flags = NOLIBWRAP\n}\n").arg(port).toLatin1());
        config.close();
        m_process.setProgram(program);
        m_process.setArguments({"-dontfork", "-f", config.fileName(), "-pidfile", m_dir.filePath("xinetd.pid")});
        m_process.start();
        running = m_process.waitForStarted() && answers();
    }

    ~XinetdTimeService()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(Timeout::ProcessEnd))
            m_process.kill();
        m_process.waitForFinished();
    }

    static QString findProgram(const QString &name)
    {
        const QString found = QStandardPaths::findExecutable(name);
        return found.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin"}) : found;
    }

    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

    quint16 port = 0;
    bool running = false;

private:
    // True once the service answers a request (it takes a moment to start listening).
    bool answers()
    {
        QUdpSocket socket;
        for (int attempt = 0; attempt < 50; ++attempt) {
            socket.writeDatagram(QByteArray(1, '\0'), QHostAddress::LocalHost, port);
            if (socket.waitForReadyRead(Interval::ServiceProbe))
                return true;
        }
        return false;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};

// The instant of "Server time: 2026-12-07 12:34:56 UTC".
QDateTime serverTimeOf(const CliRun &run)
{
    const QStringList words = run.out.section(u'\n', 0, 0).split(u' ');
    return QDateTime(QDate::fromString(words.value(2), Qt::ISODate), QTime::fromString(words.value(3), Qt::ISODate), Qt::UTC);
}

// The instant of rdate's "Mon Dec  7 12:52:43 UTC 2026" (printed with TZ=UTC).
QDateTime rdateTimeOf(const QString &printed)
{
    const QStringList words = printed.simplified().split(u' ');
    const QDate date = QDate::fromString(words.value(1) + u' ' + words.value(2) + u' ' + words.value(5), QStringLiteral("MMM d yyyy"));
    return QDateTime(date, QTime::fromString(words.value(3), Qt::ISODate), Qt::UTC);
}

class TimeServerCliXinetd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (XinetdTimeService::findProgram("xinetd").isEmpty())
            GTEST_SKIP() << "xinetd is not installed (scripts/setup.sh --packages-only installs it)";
        service = std::make_unique<XinetdTimeService>();
        ASSERT_TRUE(service->running) << "xinetd's time service did not answer: " << service->errors().toStdString();
    }

    CliRun print() const
    {
        return kt::runCli(data, {"time-server", "--server", "127.0.0.1:" + QString::number(service->port), "--print"});
    }

    kt::ScratchDataDir data;
    std::unique_ptr<XinetdTimeService> service;
};

TEST_F(TimeServerCliXinetd, PrintsTheSystemClocksTime)
{
    const CliRun run = print();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ASSERT_EQ(run.exitCode, 0) << run;
    const QDateTime server = serverTimeOf(run);
    ASSERT_TRUE(server.isValid()) << run;
    EXPECT_LE(std::abs(server.secsTo(now)), 2) << run << " now " << now.toString(Qt::ISODate).toStdString();
    EXPECT_TRUE(run.out.contains("(UTC+0)")) << run;
}

TEST_F(TimeServerCliXinetd, AgreesWithRdate)
{
    const QString rdate = XinetdTimeService::findProgram("rdate");
    if (rdate.isEmpty())
        GTEST_SKIP() << "rdate is not installed (scripts/setup.sh --packages-only installs it)";
    const CliRun run = print();
    ASSERT_EQ(run.exitCode, 0) << run;
    QProcess reference;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TZ", "UTC");
    reference.setProcessEnvironment(environment);
    reference.start(rdate, {"-p", "-u", "-o", QString::number(service->port), "127.0.0.1"});
    ASSERT_TRUE(reference.waitForFinished(Timeout::ProcessRun));
    const QString printed = QString::fromLocal8Bit(reference.readAllStandardOutput());
    ASSERT_EQ(reference.exitCode(), 0) << printed.toStdString() << reference.readAllStandardError().toStdString();
    const QDateTime byRdate = rdateTimeOf(printed);
    ASSERT_TRUE(byRdate.isValid()) << printed.toStdString();
    // The second run may fall into the next second.
    EXPECT_LE(std::abs(serverTimeOf(run).secsTo(byRdate)), 1) << run << " rdate: " << printed.toStdString();
}

} // namespace
