// Boards behind ser2net, the network serial server, in both of its modes: Telnet with the
// RFC 2217 COM port option and raw TCP. kestrix-cli runs through it: check, scan, an upload and
// a download that send the frames a local device gets (byte 0xFF both ways included), a server
// that goes away mid-upload, addresses nobody answers on, a second client, and pyserial's
// RFC 2217 client as the reference for what reaches the line.

#include "support/process_support.h"
#include "support/ser2net_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <optional>
#include <algorithm>
#include <functional>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;
using kt::NetMode;

namespace {

using Frames = std::vector<std::string>;
using namespace std::chrono_literals;

constexpr NetMode Modes[] = {NetMode::Rfc2217, NetMode::RawTcp};

// The check, and the preamble before an operation opens the port.
constexpr size_t EnvelopeFrames = 3;

std::string nameOf(NetMode mode)
{
    return kt::schemeOf(mode).toStdString();
}

// A program that can run pyserial, empty when none can.
QString pythonWithPyserial()
{
    for (const QString &python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(python, {"-c", "import serial"});
        if (probe.waitForFinished(kt::Timeout::ProcessEnd) && probe.exitStatus() == QProcess::NormalExit
            && probe.exitCode() == 0)
            return python;
    }
    return {};
}

// A connection to 127.0.0.1:port that holds it until the object goes.
class TcpClient {
public:
    explicit TcpClient(quint16 port)
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = m_socket >= 0 && ::connect(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~TcpClient()
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    bool connected() const { return m_connected; }

private:
    int m_socket = -1;
    bool m_connected = false;
};

// A board for each mode, unmapped (a scan finds it only through the server), and ser2net in
// front of them at 9600 bps: line 0 Telnet with RFC 2217 on the first board, line 1 raw TCP on
// the second. One board each, so that one mode's close never races the other's open.
class NetworkLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kt::ser2netProgram().isEmpty())
            GTEST_SKIP() << "ser2net is not installed (scripts/setup.sh installs it)";
        for (size_t line = 0; line < std::size(Modes); ++line) {
            auto board = std::make_unique<sim::BoardSim>();
            std::string error;
            ASSERT_TRUE(board->start(&error)) << error;
            boards.push_back(std::move(board));
        }
        startServer();
    }

    // Starts ser2net in front of the boards, stopping the one before if any.
    void startServer()
    {
        server.reset();
        std::vector<kt::Ser2Net::Line> lines;
        for (NetMode mode : Modes)
            lines.push_back({mode, localDevice(mode)});
        server = std::make_unique<kt::Ser2Net>(lines);
        ASSERT_TRUE(server->started()) << server->error().toStdString();
    }

    static size_t lineOf(NetMode mode) { return mode == NetMode::Rfc2217 ? 0 : 1; }
    sim::BoardSim &board(NetMode mode) const { return *boards[lineOf(mode)]; }
    QString address(NetMode mode) const { return server->address(lineOf(mode)); }
    QString localDevice(NetMode mode) const { return QString::fromStdString(board(mode).devicePath()); }

    CliRun cli(const QStringList &arguments) const { return kt::runCli(data, arguments); }
    // kestrix-cli on the device at `speed`.
    CliRun cliOn(const QString &device, const QStringList &arguments, int speed = 9600) const
    {
        return cli(arguments + QStringList{"--device", device, "--speed", QString::number(speed)});
    }

    // The frames the board of `mode` received since the last clearFrames, once `expected` are in.
    Frames framesOf(NetMode mode, size_t expected) const { return kt::received(board(mode), expected); }

    // Runs kestrix-cli on `device` at 9600 bps and returns the run with the frames the board of
    // `mode` received, once `expected` are in.
    std::pair<CliRun, Frames> sentTo(NetMode mode, const QString &device, const QStringList &arguments,
                                     size_t expected = 0)
    {
        board(mode).clearFrames();
        // A local device needs no real pace.
        std::optional<kt::Pace> recorded;
        if (!device.contains(QLatin1String("://")))
            recorded.emplace(kt::suiteSleeper());
        CliRun run = cliOn(device, arguments);
        return {run, framesOf(mode, expected)};
    }

    // Through the server the pauses are waited for real: ser2net releases a line only once
    // what was written to it has drained, so an envelope that opens the line again at once
    // after closing it would find it "already in use".
    kt::RealPace pace;
    kt::ScratchDataDir data;
    std::vector<std::unique_ptr<sim::BoardSim>> boards;
    std::unique_ptr<kt::Ser2Net> server;
};

TEST_F(NetworkLine, CheckPassesThroughEitherMode)
{
    for (NetMode mode : Modes) {
        SCOPED_TRACE(nameOf(mode));
        board(mode).clearFrames();
        const CliRun run = cliOn(address(mode), {"check"});
        EXPECT_EQ(run.exitCode, 0) << run;
        EXPECT_TRUE(run.out.contains("Communication OK.")) << run;
        EXPECT_EQ(framesOf(mode, 2), (Frames{kt::Sm7, kt::TestFrame})) << run;
    }
    // Both servers as two boards of one run, side by side.
    const CliRun both = cli({"--device", address(NetMode::Rfc2217), "--device", address(NetMode::RawTcp), "--speed",
                             "9600", "check"});
    EXPECT_EQ(both.exitCode, 0) << both;
    for (NetMode mode : Modes)
        EXPECT_TRUE(both.out.contains(address(mode) + ": Communication OK.\n")) << both;
}

// RFC 2217 carries each speed the scan tries to the line, so a board that understands only
// 4800 bps is found at 4800. Raw TCP cannot change the server's speed: the scan tries the
// configured one only (9600 here) and says so.
TEST_F(NetworkLine, ScanTriesEverySpeedOverRfc2217AndTheConfiguredOneOverTcp)
{
    struct Row {
        NetMode mode;
        int boardSpeed;
        QString connected;
        std::vector<int> testSpeeds;   // the line's speed at each test frame
    };
    const Row rows[] = {
        {NetMode::Rfc2217, 4800, "Connected at COM5, 4800bps", {2400, 4800, 9600, 19200}},
        {NetMode::RawTcp, 9600, "Connected at COM5, 9600bps", {9600}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(nameOf(row.mode));
        data.writeConfig("[Settings]\nPort=0\nBaud=2\n");
        ASSERT_TRUE(mapPortToDevice(5, address(row.mode)));
        board(row.mode).setLineSpeed(row.boardSpeed);
        board(row.mode).clearFrames();
        const CliRun run = cli({"scan"});
        EXPECT_EQ(run.exitCode, 0) << run;
        EXPECT_TRUE(run.out.contains(row.connected)) << run;
        EXPECT_TRUE(run.out.contains("sw: KX-SIM 1.0.3")) << run;
        std::vector<int> testSpeeds;
        for (const sim::ReceivedFrame &frame : board(row.mode).frames()) {
            if (frame.bytes == kt::TestFrame)
                testSpeeds.push_back(frame.lineSpeed);
        }
        EXPECT_EQ(testSpeeds, row.testSpeeds) << run;
        if (row.mode == NetMode::RawTcp) {
            EXPECT_TRUE((run.out + run.err).contains("9600")) << "names the one speed it tries\n" << run;
        }
        const IniFile config(data.file("config.ini"));
        EXPECT_EQ(config.read("Settings", "Port"), "4");
        EXPECT_EQ(config.read("Settings", "Baud"), row.boardSpeed == 4800 ? "1" : "2");
    }
}

// An upload and a download send, through the server, exactly the frames the local device gets,
// in the same order, and print the same. Byte 0xFF travels both ways: A5 is 'ÿ' (0xFF in
// Windows-1252) in the upload, and the download reads 0xFF from every register not set up.
// Telnet doubles it on the wire; raw TCP passes it as it is. The clocks stand still at one time.
TEST_F(NetworkLine, UploadAndDownloadSendTheFramesOfALocalDevice)
{
    constexpr uint8_t Clock[] = {0x15, 0x30, 0x09, 0x02, 0x13, 0x05, 0x14};   // Tue 13.05.14 09:30:15
    for (NetMode mode : Modes) {
        for (int reg = 0; reg < int(std::size(Clock)); ++reg)
            board(mode).setRegister(reg, Clock[reg]);
    }
    const QString file = data.file("plant.ini");
    kt::writeBytes(file, "[Parameters]\nP6=7\nP7=12\n");
    struct Row {
        QStringList operation;
        std::function<bool(const CliRun &, const Frames &)> carriesFF;
    };
    const Row rows[] = {
        {{"upload", "view-times", "A5-C0", "--file", file, "--set", "A5=\u00ff"},
         [](const CliRun &, const Frames &frames) {
             return std::ranges::any_of(frames, [](const std::string &f) { return f.find('\xff') != std::string::npos; });
         }},
        {{"download"}, [](const CliRun &run, const Frames &) { return run.out.contains("\nP8=ff\n"); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.operation.join(' ').toStdString());
        // The boards start alike: the first one's local run is the reference for both modes.
        const auto [local, localFrames] = sentTo(NetMode::Rfc2217, localDevice(NetMode::Rfc2217), row.operation);
        EXPECT_EQ(local.exitCode, 0) << local;
        EXPECT_TRUE(row.carriesFF(local, localFrames)) << "0xFF on the line\n" << local;
        for (NetMode mode : Modes) {
            SCOPED_TRACE(nameOf(mode));
            const auto [network, frames] = sentTo(mode, address(mode), row.operation, localFrames.size());
            EXPECT_EQ(network.exitCode, 0) << network;
            EXPECT_EQ(network.out, local.out) << network;
            EXPECT_EQ(frames, localFrames);
        }
    }
}

// ser2net killed once the board has the first alarm writes: the upload fails at once, with the
// board lost, and stops sending.
TEST_F(NetworkLine, ServerGoneMidUploadFailsWithoutHanging)
{
    QByteArray file;
    for (int line = 0; line < 20; ++line)
        file += "p1;06;30;1\r\n";
    kt::writeBytes(data.file("alarms.txt"), file);
    for (NetMode mode : Modes) {
        SCOPED_TRACE(nameOf(mode));
        if (mode != Modes[0]) {
            ASSERT_NO_FATAL_FAILURE(startServer());
        }
        board(mode).clearFrames();
        QProcess process;
        kt::startCli(process, data, {"alarms", "upload", "--device", address(mode), "--speed", "9600"});
        ASSERT_TRUE(board(mode).waitForFrames(EnvelopeFrames + 8, kt::Timeout::ProcessRun));
        server->kill();
        QElapsedTimer ending;
        ending.start();
        ASSERT_TRUE(process.waitForFinished(kt::Timeout::EventArrives)) << "ended within 10 s of the server";
        const CliRun run{process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                         QString::fromLocal8Bit(process.readAllStandardError()), ending.elapsed()};
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << run;
        EXPECT_NE(run.exitCode, 0) << run;
        EXPECT_FALSE(run.err.contains("Times Uploaded.")) << run;
        EXPECT_LT(board(mode).frameTexts().size(), EnvelopeFrames + 6 + 20 * 3) << run;
    }
}

// Nobody listening, or a host that does not resolve: exit 2 with a text naming host, port and
// what went wrong.
TEST_F(NetworkLine, AddressNobodyAnswersOnExits2NamingIt)
{
    const QString port = QString::number(kt::freeTcpPort());
    struct Row {
        QString device;
        QStringList named;
    };
    const Row rows[] = {
        {"tcp://127.0.0.1:" + port, {"127.0.0.1", port, "refused"}},
        {"rfc2217://127.0.0.1:" + port, {"127.0.0.1", port, "refused"}},
        {"tcp://no-such-host.invalid:2000", {"no-such-host.invalid", "2000", "not known"}},
        {"rfc2217://no-such-host.invalid:2000", {"no-such-host.invalid", "2000", "not known"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.device.toStdString());
        const CliRun run = cliOn(row.device, {"check"});
        EXPECT_EQ(run.exitCode, 2) << run;
        for (const QString &part : row.named)
            EXPECT_TRUE(run.err.contains(part)) << part.toStdString() << "\n" << run;
        EXPECT_LT(run.elapsedMs, 30000) << run;
    }
}

// ser2net serves one client per line: a second one, while the first holds it, is told
// "Port already in use" and closed. kestrix-cli ends as with a port in use, sending nothing.
TEST_F(NetworkLine, SecondClientEndsFailedWhileAnotherHoldsTheLine)
{
    for (NetMode mode : Modes) {
        SCOPED_TRACE(nameOf(mode));
        const TcpClient first(server->port(lineOf(mode)));
        ASSERT_TRUE(first.connected());
        board(mode).clearFrames();
        const CliRun run = cliOn(address(mode), {"check"});
        EXPECT_FALSE(run.out.contains("Communication OK.")) << run;
        // A raw server writes its words at once and closes; when our first frame reaches it
        // before it closes, the connection is reset and the words are lost: then the board
        // simply does not answer. Over RFC 2217 the client listens first and always hears them.
        const bool told = run.exitCode == 2;
        if (mode == NetMode::Rfc2217 || told) {
            EXPECT_EQ(run.exitCode, 2) << run;
            EXPECT_TRUE(run.err.contains("in use")) << run;
            EXPECT_TRUE(run.err.contains(address(mode).section("://", 1))) << "names the server\n" << run;
        } else {
            EXPECT_EQ(run.exitCode, 1) << run;
            EXPECT_TRUE(run.err.contains("Communication Error!")) << run;
        }
        EXPECT_TRUE(board(mode).frameTexts().empty()) << run;
        EXPECT_LT(run.elapsedMs, 30000) << run;
    }
}

// pyserial's RFC 2217 client through the same server: the board, which understands only the
// speed asked for, answers its test; kestrix-cli opened at that speed gets the line to the very
// same speed.
TEST_F(NetworkLine, Rfc2217SetsTheLineSpeedAsPyserialDoes)
{
    const QString python = pythonWithPyserial();
    if (python.isEmpty())
        GTEST_SKIP() << "pyserial is not installed (scripts/setup.sh installs python3-serial)";
    const char *const script =
        "import serial, sys\n"
        "line = serial.serial_for_url(sys.argv[1], baudrate=int(sys.argv[2]), timeout=2)\n"
        "line.write(b'\\x1bTS?\\r')\n"
        "sys.stdout.write(line.read(5).decode('latin-1'))\n"
        "line.close()\n";
    sim::BoardSim &rfc = board(NetMode::Rfc2217);
    for (int speed : {4800, 19200}) {
        SCOPED_TRACE(speed);
        rfc.setLineSpeed(speed);
        rfc.clearFrames();
        QProcess pyserial;
        // ser2net does not acknowledge DTR and RTS on a pseudo-terminal, which pyserial would
        // otherwise wait for until it gives up.
        pyserial.start(python, {"-c", script, address(NetMode::Rfc2217) + "?ign_set_control", QString::number(speed)});
        ASSERT_TRUE(pyserial.waitForFinished(kt::Timeout::ProcessRun));
        EXPECT_EQ(pyserial.readAllStandardOutput().toStdString(), "Hello")
            << pyserial.readAllStandardError().toStdString();
        const std::vector<sim::ReceivedFrame> reference = rfc.frames();
        ASSERT_EQ(reference.size(), 1u);
        EXPECT_EQ(reference[0].lineSpeed, speed);

        rfc.clearFrames();
        const CliRun run = cliOn(address(NetMode::Rfc2217), {"check"}, speed);
        EXPECT_EQ(run.exitCode, 0) << run;
        const std::vector<sim::ReceivedFrame> ours = rfc.frames();
        ASSERT_FALSE(ours.empty()) << run;
        for (const sim::ReceivedFrame &frame : ours)
            EXPECT_EQ(frame.lineSpeed, reference[0].lineSpeed) << sim::printable(frame.bytes);
    }
}

} // namespace
