// The serial channel against a simulated board on a pseudo-terminal.
#include "support/test_support.h"

#include "comm/port_owners.h"
#include "comm/protocol.h"
#include "comm/serial_channel.h"
#include "comm/trace.h"

#include <csignal>
#include <functional>

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace kestrix;
using namespace std::chrono_literals;
namespace kt = kestrix::testing;

namespace {

constexpr int BoardPort = 3;

class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(board); }

    std::string queryVersion(const std::string &software, int count)
    {
        board->setVersions(software, "HW");
        EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
        std::string answer = channel.Query(Frame::SoftwareVersion, count);
        channel.Close();
        return answer;
    }

    // In this order: the channel reads the port devices, the board's among them, as it is made.
    kt::ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board = kt::startBoardOn(BoardPort);
    RecordingSleeper sleeper;
    SerialChannel channel{sleeper};
};

TEST_F(ChannelTest, OpenRejectsPortNumbersOutsideOneToTwentyButKeepsThem)
{
    EXPECT_EQ(channel.Open(0, 9600), SerialChannel::BadPort);
    EXPECT_EQ(channel.port(), 0);
    EXPECT_EQ(channel.Open(21, 4800), SerialChannel::BadPort);
    EXPECT_EQ(channel.port(), 21);
    EXPECT_EQ(channel.speed(), 4800);
    EXPECT_FALSE(channel.isOpen());
}

TEST_F(ChannelTest, OpenReportsMissingAndBusyDevices)
{
    EXPECT_EQ(channel.Open(7, 9600), SerialChannel::DeviceError);
    EXPECT_EQ(channel.lastOpenFailure(), OpenFailure::NoSuchDevice);
    EXPECT_TRUE(channel.lastOpenError().contains("/nonexistent/kestrix-test-port-7"));

    SerialChannel holder;
    ASSERT_EQ(holder.Open(BoardPort, 9600), SerialChannel::Opened);
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::DeviceError);
    EXPECT_EQ(channel.lastOpenFailure(), OpenFailure::Busy);
    EXPECT_TRUE(channel.lastOpenError().contains("in use"));
    holder.Close();
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    channel.Close();

    // A program that locks the device its own way holds it as well.
    const int other = ::open(board->devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::DeviceError);
    EXPECT_EQ(channel.lastOpenFailure(), OpenFailure::Busy);
    ::close(other);
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    channel.Close();
}

// A uucp-style lock file of the board's device as other programs write it: the pid right-aligned
// in ten places and a newline. Removed again at the end, whatever happened to it.
class ForeignLockFile {
public:
    ForeignLockFile(const QString &name, qint64 pid)
    {
        for (const char *folder : {"/var/lock", "/run/lock"}) {
            if (QFileInfo(QLatin1String(folder)).isWritable()) {
                m_path = QLatin1String(folder) + QLatin1Char('/') + name;
                break;
            }
        }
        m_content = QByteArray::number(pid).rightJustified(10, ' ') + '\n';
        QFile file(m_path);
        if (!m_path.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(m_content);
    }
    ~ForeignLockFile() { QFile::remove(m_path); }

    bool written() const { return !m_path.isEmpty() && QFile::exists(m_path); }
    QString path() const { return m_path; }
    QByteArray content() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    const QByteArray &original() const { return m_content; }

private:
    QString m_path;
    QByteArray m_content;
};

// "pts_5" and "5" for /dev/pts/5: the serial port's name of the lock and the base name.
QStringList lockNamesOf(const std::string &device)
{
    const QString path = QString::fromStdString(device);
    return {QStringLiteral("LCK..") + path.mid(5).replace('/', '_'), QStringLiteral("LCK..") + QFileInfo(path).fileName()};
}

TEST_F(ChannelTest, ALockFileOfAnotherLiveProgramMakesThePortBusyAndStays)
{
    // Our parent (the test runner) is alive and is not us.
    for (const QString &name : lockNamesOf(board->devicePath())) {
        ForeignLockFile lock(name, ::getppid());
        if (!lock.written())
            GTEST_SKIP() << "neither /var/lock nor /run/lock is writable for this user";
        EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::DeviceError) << name.toStdString();
        EXPECT_EQ(channel.lastOpenFailure(), OpenFailure::Busy);
        EXPECT_TRUE(channel.lastOpenError().contains(lock.path())) << channel.lastOpenError().toStdString();
        EXPECT_TRUE(channel.lastOpenError().contains(QString::number(::getppid())));
        EXPECT_EQ(lock.content(), lock.original()) << "the other program's lock is left as it was";
    }
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened) << "free once the lock is gone";
    channel.Close();
}

TEST_F(ChannelTest, ALockFileOfAProgramThatEndedDoesNotHoldThePort)
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    ForeignLockFile lock(lockNamesOf(board->devicePath()).front(), ended);
    if (!lock.written())
        GTEST_SKIP() << "neither /var/lock nor /run/lock is writable for this user";
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    channel.Close();
}

// Runs `check` in a child process that has given up root, and gives its exit status.
int runAsNobody(const std::function<int()> &check)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A lock naming a process of another user counts as well: that process cannot be signalled
// (EPERM), but it is alive.
TEST_F(ChannelTest, ALockOfAnotherUsersProcessMakesThePortBusyForAnOrdinaryUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the check as another user";
    ForeignLockFile lock(lockNamesOf(board->devicePath()).front(), ::getppid());
    ASSERT_TRUE(lock.written());
    PortDevices devices;
    devices.setDevice(BoardPort, QString::fromStdString(board->devicePath()));
    const int status = runAsNobody([&] {
        SerialChannel nobodys(sleeper, devices);
        if (nobodys.Open(BoardPort, 9600) != SerialChannel::DeviceError)
            return 1;
        if (nobodys.lastOpenFailure() != OpenFailure::Busy)
            return 2;
        return nobodys.lastOpenError().contains(lock.path()) ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
}

// Another program holding the device in exclusive mode, in a process of its own: the device
// open, TIOCEXCL on, until it is killed without closing it, as a run killed while it held the
// port. The pseudo-terminal keeps the mode after that. The child becomes `sleep`, so that it
// no longer has the simulated board's end of the line that this process holds.
class ExclusiveHolder {
public:
    explicit ExclusiveHolder(const std::string &device)
    {
        // Closed on exec: its end tells that the child has become `sleep`.
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
            const char held = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 1 : 0;
            (void)::write(ready[1], &held, 1);
            ::execlp("sleep", "sleep", "600", static_cast<char *>(nullptr));
            ::_exit(1);
        }
        ::close(ready[1]);
        char held = 0;
        m_holding = m_pid > 0 && ::read(ready[0], &held, 1) == 1 && held == 1 && ::read(ready[0], &held, 1) == 0;
        ::close(ready[0]);
    }
    ~ExclusiveHolder() { kill(); }

    bool holding() const { return m_holding; }
    void kill()
    {
        if (m_pid > 0 && ::kill(m_pid, SIGKILL) == 0)
            ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_holding = false;
};

bool inExclusiveMode(const std::string &device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int exclusive = 0;
    if (fd < 0 || ::ioctl(fd, TIOCGEXCL, &exclusive) != 0)
        exclusive = 0;
    ::close(fd);
    return exclusive != 0;
}

void writeLockFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

// What a program that ended without closing the port left behind does not hold it: the port
// opens at once, and is left as free as it was found.
TEST_F(ChannelTest, WhatAnEndedProgramLeftBehindDoesNotHoldThePort)
{
    const std::string device = board->devicePath();
    const QString lock = serialLockFile(QString::fromStdString(device));
    ASSERT_FALSE(lock.isEmpty());
    struct Leftover {
        const char *what;
        std::function<void()> leave;
        bool onlyRootCanRelease;
    };
    const Leftover leftovers[] = {
        {"an empty lock file", [&] { writeLockFile(lock, ""); }, false},
        {"a lock file without a pid", [&] { writeLockFile(lock, "kestrix\nhost\n"); }, false},
        {"a lock file of pid 0", [&] { writeLockFile(lock, "         0\n"); }, false},
        {"the exclusive mode of a killed run",
         [&] {
             ExclusiveHolder killed(device);
             ASSERT_TRUE(killed.holding());
         },
         true},
    };
    for (const Leftover &leftover : leftovers) {
        if (leftover.onlyRootCanRelease && ::geteuid() != 0)
            continue;
        leftover.leave();
        EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened)
            << leftover.what << ": " << channel.lastOpenError().toStdString();
        channel.Close();
        EXPECT_FALSE(QFile::exists(lock)) << leftover.what;
        SerialChannel next(sleeper);
        EXPECT_EQ(next.Open(BoardPort, 9600), SerialChannel::Opened) << leftover.what;
    }
}

// Root opens a terminal that another program holds in exclusive mode, and closing it would
// switch that mode off; so root must take the mode for what it says.
TEST_F(ChannelTest, RootLeavesAPortInExclusiveModeAndTheModeAsItWas)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the exclusive mode stops every other user already; root is the case at stake";
    ExclusiveHolder other(board->devicePath());
    ASSERT_TRUE(other.holding());
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::DeviceError);
    EXPECT_EQ(channel.lastOpenFailure(), OpenFailure::Busy);
    EXPECT_TRUE(channel.lastOpenError().contains("exclusive mode")) << channel.lastOpenError().toStdString();
    channel.Close();
    EXPECT_TRUE(inExclusiveMode(board->devicePath())) << "the other program's exclusive mode is still on";
}

// The devices are read once, when the channel is made: an operation opens its port many
// times without reading config.ini again, and a later change applies to the next operation.
TEST_F(ChannelTest, PortDevicesAreTakenWhenTheChannelIsMade)
{
    mapPortToDevice(BoardPort, "/nonexistent/moved-away");
    EXPECT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    channel.Close();
    SerialChannel later(sleeper);
    EXPECT_EQ(later.Open(BoardPort, 9600), SerialChannel::DeviceError);

    PortDevices devices;
    devices.setDevice(11, QString::fromStdString(board->devicePath()));
    SerialChannel given(sleeper, devices);
    EXPECT_EQ(given.Open(11, 9600), SerialChannel::Opened);
    given.Close();
    EXPECT_EQ(devices.device(12), "/dev/ttyUSB7") << "platform default without config.ini";
}

TEST_F(ChannelTest, OneByteAnswersAreDecimalWithAtLeastTwoDigits)
{
    const std::pair<uint8_t, const char *> cases[] = {{7, "07"}, {0, "00"}, {200, "200"}, {0x45, "69"}};
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    for (const auto &[byte, expected] : cases) {
        board->setRegister(12, byte);
        EXPECT_EQ(channel.Query(Frame::registerRead("12"), 1), expected);
    }
    channel.Close();
}

TEST_F(ChannelTest, TextAnswersAreTrimmedAndPrefixedByTheirCount)
{
    // The board sends its version text followed by CR LF.
    EXPECT_EQ(queryVersion("Hello", 5), "Hello");
    EXPECT_EQ(queryVersion("Hel", 5), "Hel");
    EXPECT_EQ(queryVersion("KX 1.0", 24), "sw: KX 1.0");
    const std::string twentyFour = "ABCDEFGHIJKLMNOPQRSTUVWX";
    EXPECT_EQ(queryVersion(twentyFour, 24), "sw: " + twentyFour);
    EXPECT_EQ(queryVersion("0123456789", 10), "hw: 0123456789");
    EXPECT_EQ(queryVersion("Hello", 3), "");
}

TEST_F(ChannelTest, SilenceGivesNotConnectedWhateverTheCount)
{
    board->setFaults({.silent = true});
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    for (int count : {1, 5, 10, 24, 3})
        EXPECT_EQ(channel.Query(Frame::CommunicationTest, count), SerialChannel::NotConnected) << count;
    channel.Close();
}

TEST_F(ChannelTest, FramesGoOutByteForByteWithTheFixedPauses)
{
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    EXPECT_EQ(channel.Send(Frame::Preamble), 0);
    EXPECT_EQ(channel.Query(Frame::CommunicationTest, 5), "Hello");
    channel.Close();
    ASSERT_TRUE(board->waitForFrames(2, 1s));
    EXPECT_EQ(board->frameTexts(), (std::vector<std::string>{"\x1bSM7\r", "\x1bTS?\r"}));
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{150, 150, 150}));
    EXPECT_EQ(board->frames()[0].lineSpeed, 9600);
}

TEST_F(ChannelTest, FailedWriteReopensSilentlyWithTheStoredPortAndSpeed)
{
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    channel.Close();
    // Writing on a closed channel fails: the frame is lost, the port reopens, and the
    // operation goes on with its next frame.
    EXPECT_EQ(channel.Send("W01200\r"), 0);
    EXPECT_TRUE(channel.isOpen());
    EXPECT_EQ(channel.Query(Frame::CommunicationTest, 5), "Hello");
    channel.Close();
    EXPECT_EQ(board->frameTexts(), (std::vector<std::string>{"\x1bTS?\r"}));
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{150, 150}));
}

TEST_F(ChannelTest, ReopenAfterAFailedOpenUsesThatOpensPortAndSpeed)
{
    SerialChannel holder;
    ASSERT_EQ(holder.Open(BoardPort, 9600), SerialChannel::Opened);
    EXPECT_EQ(channel.Open(BoardPort, 2400), SerialChannel::DeviceError);
    holder.Close();
    board->setLineSpeed(0);
    channel.Send(Frame::Preamble);   // fails on the unopened channel, which then reopens
    ASSERT_TRUE(channel.isOpen());
    EXPECT_EQ(channel.Query(Frame::CommunicationTest, 5), "Hello");   // answered while open
    channel.Close();
    const auto frames = board->frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, Frame::CommunicationTest);
    EXPECT_EQ(frames[0].lineSpeed, 2400);
}

TEST_F(ChannelTest, HangUpBeforeAWriteGivesNoAnswerAndLeavesTheChannelClosed)
{
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    board->hangUp();
    EXPECT_EQ(channel.Query(Frame::registerRead("8"), 1), "");
    channel.Send(Frame::Preamble);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(channel.lastOpenFailure(), OpenFailure::NoSuchDevice);
}

TEST_F(ChannelTest, HangUpWhileWaitingForTheAnswerIsNoAnswerNotAZeroByte)
{
    board->setFaults({.answerDelay = 400ms});
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    // Unplugged as soon as the board has the frame, well before its late answer.
    std::thread unplug([&] {
        board->waitForFrames(1, 5s);
        board->hangUp();
    });
    EXPECT_EQ(channel.Query(Frame::registerRead("8"), 1), SerialChannel::NotConnected);
    unplug.join();
    channel.Close();
}

TEST_F(ChannelTest, TraceRecordsFramesAndAnswers)
{
    const QString path = data.file("trace.txt");
    ASSERT_TRUE(CommTrace::start(path));
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    channel.Query(Frame::CommunicationTest, 5);
    channel.Close();
    CommTrace::stop();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString trace = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(trace.contains("COM3 -> <ESC>TS?<CR>")) << trace.toStdString();
    EXPECT_TRUE(trace.contains("COM3 <- Hello")) << trace.toStdString();
}

TEST(ChannelTrace, AFileThatCannotBeWrittenIsRefusedAtTheStart)
{
    QString error;
    EXPECT_FALSE(CommTrace::start("/dev/full", &error));
    EXPECT_FALSE(CommTrace::active());
    EXPECT_TRUE(error.contains("/dev/full")) << error.toStdString();
    EXPECT_TRUE(error.contains("No space left on device")) << error.toStdString();
}

TEST(ChannelTrace, BoardTextShowsControlCharactersSpelledOut)
{
    const QString text = QString::fromUtf8("sw: \x1b]0;owned\x07 \x1b[2J\r\n\x7f") + QChar(0x85) + QChar(0x9b)
                         + QString::fromUtf8(" Grüße € ›");
    EXPECT_EQ(CommTrace::printableText(text), QString::fromUtf8("sw: <ESC>]0;owned<07> <ESC>[2J<CR><LF><7f><85><9b> Grüße € ›"));
    // The trace's byte form spells the same controls, and every byte above 0x7e.
    EXPECT_EQ(CommTrace::printable("\x1bTS?\r\x07\xfc"), "<ESC>TS?<CR><07><fc>");
}

TEST(ChannelTiming, RealPausesSeparateTheFrames)
{
    kt::ScratchDataDir data;
    auto board = kt::startBoardOn(BoardPort);
    ASSERT_TRUE(board);
    SerialChannel channel(realSleeper());
    ASSERT_EQ(channel.Open(BoardPort, 9600), SerialChannel::Opened);
    channel.Send(Frame::Preamble);
    channel.Query(Frame::CommunicationTest, 5);
    channel.Send(Frame::Reset);
    channel.Close();
    ASSERT_TRUE(board->waitForFrames(3, 1s));
    // The board stamps a frame when it reads it; on a loaded machine it may read one frame a
    // little late and the next at once, so the bounds leave it 30 ms.
    constexpr auto ReadingSlack = 30ms;
    const auto frames = board->frames();
    EXPECT_GE(frames[1].time - frames[0].time, 150ms - ReadingSlack);
    EXPECT_GE(frames[2].time - frames[1].time, 300ms - ReadingSlack);
}

} // namespace
