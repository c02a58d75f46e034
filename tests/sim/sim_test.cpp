// The simulated board, driven through its pseudo-terminal with plain POSIX calls.

#include "board_preset.h"
#include "board_sim.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace kestrix::sim;
using namespace std::chrono;
using namespace std::string_literals;

namespace {

constexpr milliseconds FrameWait{2000};
constexpr milliseconds AnswerWait{2000};
constexpr milliseconds SilenceWait{300};  // long enough for an answer that is not coming
constexpr milliseconds ClockWait{1100};   // more than a second, so a running clock moves on

// The utility's end of the line: raw 8-bit at a chosen speed.
class Line {
public:
    explicit Line(const std::string &path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    bool setSpeed(speed_t speed)
    {
        termios settings{};
        if (::tcgetattr(m_fd, &settings) != 0)
            return false;
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, speed);
        return ::tcsetattr(m_fd, TCSANOW, &settings) == 0;
    }

    bool send(const std::string &bytes)
    {
        return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes arrived or `wait` passed without a byte.
    std::string read(size_t count, milliseconds wait = AnswerWait)
    {
        std::string received;
        while (received.size() < count) {
            pollfd fd{m_fd, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(wait.count())) <= 0)
                break;
            char buffer[64];
            ssize_t n = ::read(m_fd, buffer, std::min(sizeof buffer, count - received.size()));
            if (n <= 0)
                break;
            received.append(buffer, static_cast<size_t>(n));
        }
        return received;
    }

    std::string query(const std::string &frame, size_t count)
    {
        return send(frame) ? read(count) : std::string();
    }

private:
    int m_fd;
};

class BoardSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(board.start(&error)) << error;
        line = std::make_unique<Line>(board.devicePath());
        ASSERT_TRUE(line->isOpen());
        ASSERT_TRUE(line->setSpeed(B9600));
    }

    BoardSim board;
    std::unique_ptr<Line> line;
};

TEST_F(BoardSimTest, AnswersCommunicationTestAndVersions)
{
    EXPECT_EQ(line->query("\x1bTS?\r", 5), "Hello");
    const std::string software = std::string(DefaultSoftwareVersion) + "\r\n";
    EXPECT_EQ(line->query("\x1bSV?\r", software.size()), software);
    board.setVersions("KX 7", "HW 9");
    EXPECT_EQ(line->query("\x1bHV?\r", 6), "HW 9\r\n");

    ASSERT_TRUE(line->send("\x1bSM7\r"));
    ASSERT_TRUE(board.waitForFrames(4, FrameWait));
    EXPECT_EQ(line->read(1, SilenceWait), "");

    const std::vector<ReceivedFrame> frames = board.frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].bytes, "\x1bTS?\r");
    EXPECT_EQ(frames[0].answer, "Hello");
    EXPECT_EQ(frames[3].bytes, "\x1bSM7\r");
    EXPECT_EQ(frames[3].answer, "");
    EXPECT_EQ(frames[3].lineSpeed, 9600);
    EXPECT_LE(frames[0].time, frames[3].time);
}

TEST_F(BoardSimTest, RegistersAndVariablesRoundTrip)
{
    EXPECT_EQ(board.registerValue(15), 0xFF);
    EXPECT_EQ(line->query("W01515\r", 1), "\x15");
    EXPECT_EQ(line->query("R015\r", 1), "\x15");
    EXPECT_EQ(line->query("W0300a\r", 1), "\x0a");
    EXPECT_EQ(line->query("W031A5\r", 1), "\xa5");
    EXPECT_EQ(board.registerValue(15), 0x15);
    EXPECT_EQ(board.registerValue(30), 0x0A);
    EXPECT_EQ(board.registerValue(31), 0xA5);

    // A write without a value or with a non-hexadecimal one changes nothing but is recorded.
    board.setRegister(5, 0x42);
    EXPECT_EQ(line->query("W005\r", 1), "\x42");
    EXPECT_EQ(line->query("W005zz\r", 1), "\x42");
    EXPECT_EQ(board.registerValue(5), 0x42);

    board.setVariable(7, 200);
    EXPECT_EQ(line->query("r007\r", 1), "\xc8");
    EXPECT_EQ(line->query("w00700\r", 1), "\0"s);
    EXPECT_EQ(board.variable(7), 0);

    EXPECT_EQ(board.frameTexts(),
              (std::vector<std::string>{"W01515\r", "R015\r", "W0300a\r", "W031A5\r", "W005\r",
                                        "W005zz\r", "r007\r", "w00700\r"}));
}

TEST_F(BoardSimTest, WrongLineSpeedIsHeardButNotUnderstood)
{
    board.setLineSpeed(19200);
    ASSERT_TRUE(line->send("W01515\r"));
    ASSERT_TRUE(board.waitForFrames(1, FrameWait));
    EXPECT_EQ(line->read(1, SilenceWait), "");
    EXPECT_EQ(board.registerValue(15), 0xFF);
    EXPECT_EQ(board.frames().at(0).lineSpeed, 9600);

    ASSERT_TRUE(line->setSpeed(B19200));
    EXPECT_EQ(line->query("\x1bTS?\r", 5), "Hello");
    EXPECT_EQ(board.frames().at(1).lineSpeed, 19200);

    board.setLineSpeed(0);
    ASSERT_TRUE(line->setSpeed(B2400));
    EXPECT_EQ(line->query("\x1bTS?\r", 5), "Hello");
}

TEST_F(BoardSimTest, DisplayLinesKeepTheirLineEndInOneFrame)
{
    EXPECT_EQ(line->query("as\r\n", 1), ">");
    EXPECT_EQ(line->query("$03I|    1.5| 1.4567|\r\n", 1), ">");
    EXPECT_EQ(line->query("#05A06:30/22:00\r\n", 1), ">");
    EXPECT_EQ(line->query("sa\r\n", 1), ">");
    ASSERT_TRUE(board.waitForFrames(4, FrameWait));
    EXPECT_EQ(board.frameTexts(), (std::vector<std::string>{"as\r\n", "$03I|    1.5| 1.4567|\r\n",
                                                            "#05A06:30/22:00\r\n", "sa\r\n"}));
}

TEST_F(BoardSimTest, TextWithoutLineEndIsAFrameAfterSilence)
{
    auto sent = steady_clock::now();
    ASSERT_TRUE(line->send("0f:07:09:0d:05:0e"));
    ASSERT_TRUE(board.waitForFrames(1, FrameWait));
    EXPECT_GE(steady_clock::now() - sent, milliseconds(50));
    EXPECT_EQ(board.frameTexts(), std::vector<std::string>{"0f:07:09:0d:05:0e"});
    EXPECT_EQ(line->read(1, SilenceWait), "");
}

TEST_F(BoardSimTest, FaultsChangeTheAnswers)
{
    board.setFaults({.silent = true});
    ASSERT_TRUE(line->send("\x1bTS?\r"));
    ASSERT_TRUE(board.waitForFrames(1, FrameWait));
    EXPECT_EQ(line->read(1, SilenceWait), "");

    board.setFaults({.wrongAnswers = true});
    board.setRegister(20, 0x15);
    EXPECT_EQ(line->query("\x1bTS?\r", 5), "hello");
    EXPECT_EQ(line->query("R020\r", 1), "\xea");

    board.setFaults({.rejectDisplayLines = 1});
    EXPECT_EQ(line->query("as\r\n", 1), "?");
    EXPECT_EQ(line->query("as\r\n", 1), ">");

    board.setFaults({.answerOnlyFirst = 1});
    EXPECT_EQ(line->query("\x1bTS?\r", 5), "Hello");
    ASSERT_TRUE(line->send("\x1bTS?\r"));
    EXPECT_EQ(line->read(1, SilenceWait), "");

    board.setFaults({.answerDelay = milliseconds(200)});
    auto sent = steady_clock::now();
    EXPECT_EQ(line->query("\x1bTS?\r", 5), "Hello");
    EXPECT_GE(steady_clock::now() - sent, milliseconds(200));
}

TEST_F(BoardSimTest, HangUpRemovesTheDevice)
{
    const std::string path = board.devicePath();
    ASSERT_EQ(::access(path.c_str(), F_OK), 0);
    board.hangUp();
    EXPECT_EQ(line->read(1, SilenceWait), "");
    EXPECT_FALSE(Line(path).isOpen());
}

TEST_F(BoardSimTest, WaitingForFramesEndsWhenTheBoardStops)
{
    auto waiting = std::async(std::launch::async, [this] { return board.waitForFrames(1, seconds(30)); });
    board.stop();
    ASSERT_EQ(waiting.wait_for(seconds(20)), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
}

TEST(BoardSimLifetime, DeviceSurvivesTheUtilityClosingIt)
{
    BoardSim board;
    ASSERT_TRUE(board.start());
    for (int round = 0; round < 2; ++round) {
        Line line(board.devicePath());
        ASSERT_TRUE(line.isOpen());
        ASSERT_TRUE(line.setSpeed(B9600));
        EXPECT_EQ(line.query("\x1bTS?\r", 5), "Hello");
    }
    EXPECT_EQ(board.frames().size(), 2u);
}

TEST(BoardSimText, PrintableSpellsOutControlBytes)
{
    EXPECT_EQ(printable("\x1bTS?\r\n"), "<ESC>TS?<CR><LF>");
    EXPECT_EQ(printable("A\x01\xff"), "A<01><ff>");
}

// kestrix-board-sim as a child process, its standard output on a pipe.
class BoardProgram {
public:
    explicit BoardProgram(std::vector<std::string> arguments)
    {
        const std::string program =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrix-board-sim")).toStdString();
        arguments.insert(arguments.begin(), program);
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
        if (::posix_spawn(&m_pid, program.c_str(), &actions, &attributes, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        m_output = output[0];
    }
    ~BoardProgram()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0)
            ::close(m_output);
    }
    bool started() const { return m_pid > 0; }

    // The next line it prints (without the line end), or empty when it prints none in time.
    std::string readLine(milliseconds wait = seconds(10))
    {
        for (;;) {
            if (auto end = m_buffer.find('\n'); end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            pollfd fd{m_output, POLLIN, 0};
            char chunk[256];
            ssize_t n = ::poll(&fd, 1, static_cast<int>(wait.count())) > 0 ? ::read(m_output, chunk, sizeof chunk) : 0;
            if (n <= 0)
                return {};
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }

    // Stops it the way a person does (SIGTERM) and waits for it to end; its exit status and the
    // processor time all of its threads used.
    struct Ending {
        int exitStatus = -1;
        microseconds processorTime{0};
    };
    Ending stop()
    {
        Ending ending;
        rusage usage{};
        int status = 0;
        ::kill(m_pid, SIGTERM);
        if (::wait4(m_pid, &status, 0, &usage) != m_pid)
            return ending;
        m_pid = -1;
        ending.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        auto time = [](const timeval &value) { return seconds(value.tv_sec) + microseconds(value.tv_usec); };
        ending.processorTime = time(usage.ru_utime) + time(usage.ru_stime);
        return ending;
    }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_buffer;
};

// The program waits for events: while a frame settles before it is printed, and while it is
// idle, it sleeps. A board that polled or spun would use about as much processor as wall time.
TEST(BoardSimProgram, SleepsWhileItWaits)
{
    const auto begin = steady_clock::now();
    BoardProgram program({"--speed", "9600"});
    ASSERT_TRUE(program.started());
    const std::string banner = program.readLine();
    const std::string prefix = "Simulated Kestrix board on ";
    ASSERT_EQ(banner.rfind(prefix, 0), 0u) << banner;
    const std::string device = banner.substr(prefix.size(), banner.find(" at ") - prefix.size());

    {
        Line line(device);
        ASSERT_TRUE(line.isOpen()) << device;
        ASSERT_TRUE(line.setSpeed(B9600));
        EXPECT_EQ(line.query("\x1bTS?\r", 5), "Hello");
        // Printed only once no LF can join the frame any more, so this spans that wait.
        EXPECT_NE(program.readLine().find("<ESC>TS?<CR>  -> Hello"), std::string::npos);
    }

    const BoardProgram::Ending ending = program.stop();
    const auto wall = duration_cast<microseconds>(steady_clock::now() - begin);
    EXPECT_EQ(ending.exitStatus, 0);
    EXPECT_GE(wall, milliseconds(200));
    EXPECT_LT(ending.processorTime * 4, wall)
        << "processor " << ending.processorTime.count() << " us in " << wall.count() << " us";
}

TEST(BoardPreset, ClockRegistersHoldLocalTimeAsDecimalDigits)
{
    EXPECT_EQ(clockByte(45), 0x45);
    EXPECT_EQ(clockByte(7), 0x07);
    std::tm local{};
    local.tm_sec = 9;
    local.tm_min = 5;
    local.tm_hour = 14;
    local.tm_wday = 0;
    local.tm_mday = 6;
    local.tm_mon = 11;
    local.tm_year = 126;
    std::vector<std::pair<int, int>> registers;
    for (const RegisterValue &entry : clockRegisters(local))
        registers.emplace_back(entry.reg, entry.value);
    EXPECT_EQ(registers, (std::vector<std::pair<int, int>>{
                             {0, 0x09}, {1, 0x05}, {2, 0x14}, {3, 0x00}, {4, 0x06}, {5, 0x12}, {6, 0x26}}));
}

TEST_F(BoardSimTest, ConfiguredBoardAnswersItsSettings)
{
    std::tm local{};
    local.tm_hour = 23;
    local.tm_wday = 6;
    presetConfiguredBoard(board, local);
    const std::vector<std::pair<std::string, std::string>> reads = {
        {"R002\r", "\x23"}, {"R003\r", "\x06"}, {"R008\r", "\x05"}, {"R009\r", "\x03"},
        {"R010\r", "\x02"}, {"R012\r", "\x10"}, {"R013\r", "\x15"}, {"R017\r", "\x02"},
        {"R018\r", "\x30"}, {"R019\r", "\x01"}, {"R021\r", "\x01"}, {"R022\r", "\0"s},
        {"R023\r", "\x02"}, {"R035\r", "\x08"}, {"R857\r", "\0"s}, {"R110\r", "\xff"}};
    for (const auto &[frame, answer] : reads)
        EXPECT_EQ(line->query(frame, 1), answer) << printable(frame);
}

// The information of vars.txt: parameter registers through "R", working memory through "r".
TEST_F(BoardSimTest, ConfiguredBoardAnswersItsInformation)
{
    presetConfiguredBoard(board, std::tm{});
    const std::vector<std::pair<std::string, std::string>> reads = {
        {"R410\r", "\x30"}, {"R411\r", "\x39"}, {"R420\r", "\x23"}, {"R425\r", "\x26"}, {"R432\r", "\xff"},
        {"R433\r", "\xf4"}, {"R440\r", "\xfe"}, {"r021\r", "\x02"}, {"r030\r", "\x8c"}, {"R417\r", "\xff"}};
    for (const auto &[frame, answer] : reads)
        EXPECT_EQ(line->query(frame, 1), answer) << printable(frame);
}

// The clock's registers 000-006: seconds, minutes, hours, weekday, day, month, year.
using ClockBytes = std::array<uint8_t, 7>;

struct ClockSetting {
    const char *name;
    ClockBytes set;
    bool throughLine;                // written as W000-W006, or with setRegister()
    bool runs;
    std::array<uint8_t, 4> nextDay;  // weekday, day, month and year once midnight has passed
};

int decimal(uint8_t byte)
{
    return (byte >> 4) * 10 + (byte & 0x0F);
}

// What the clock shows `elapsed` whole seconds (less than a day) after it was set.
ClockBytes shownAfter(const ClockSetting &row, long long elapsed)
{
    if (!row.runs)
        return row.set;
    long long time = decimal(row.set[0]) + 60LL * decimal(row.set[1]) + 3600LL * decimal(row.set[2]) + elapsed;
    ClockBytes shown = row.set;
    if (time >= 24 * 3600) {
        time -= 24 * 3600;
        std::copy(row.nextDay.begin(), row.nextDay.end(), shown.begin() + 3);
    }
    shown[0] = clockByte(int(time % 60));
    shown[1] = clockByte(int(time / 60 % 60));
    shown[2] = clockByte(int(time / 3600));
    return shown;
}

std::string clockText(const ClockBytes &bytes)
{
    char text[40];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x wd %02x %02x.%02x.%02x", bytes[2], bytes[1], bytes[0],
                  bytes[3], bytes[4], bytes[5], bytes[6]);
    return text;
}

// R000-R006 in one second of the clock: read again while the seconds changed meanwhile.
std::optional<ClockBytes> readClock(Line &line)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        ClockBytes bytes{};
        for (int reg = 0; reg < 7; ++reg) {
            const std::string answer = line.query("R00" + std::to_string(reg) + "\r", 1);
            if (answer.size() != 1)
                return std::nullopt;
            bytes[size_t(reg)] = uint8_t(answer[0]);
        }
        if (line.query("R000\r", 1) == std::string(1, char(bytes[0])))
            return bytes;
    }
    return std::nullopt;
}

// A clock set over the line runs on from the time written, through the ends of minutes, hours,
// days, months, years and the week; set directly, or holding no valid time, it stands.
TEST(BoardClock, RunsFromTheTimeItWasSet)
{
    const ClockSetting rows[] = {
        {"a plain second", {0x09, 0x05, 0x14, 0x06, 0x05, 0x12, 0x26}, true, true, {0x07, 0x06, 0x12, 0x26}},
        {"end of January", {0x59, 0x59, 0x23, 0x06, 0x31, 0x01, 0x26}, true, true, {0x07, 0x01, 0x02, 0x26}},
        {"end of February", {0x59, 0x59, 0x23, 0x06, 0x28, 0x02, 0x26}, true, true, {0x07, 0x01, 0x03, 0x26}},
        {"leap day follows", {0x59, 0x59, 0x23, 0x01, 0x28, 0x02, 0x28}, true, true, {0x02, 0x29, 0x02, 0x28}},
        {"end of a leap February", {0x59, 0x59, 0x23, 0x02, 0x29, 0x02, 0x28}, true, true, {0x03, 0x01, 0x03, 0x28}},
        {"end of April", {0x59, 0x59, 0x23, 0x04, 0x30, 0x04, 0x26}, true, true, {0x05, 0x01, 0x05, 0x26}},
        {"end of the year", {0x59, 0x59, 0x23, 0x04, 0x31, 0x12, 0x26}, true, true, {0x05, 0x01, 0x01, 0x27}},
        {"end of 2099", {0x59, 0x59, 0x23, 0x04, 0x31, 0x12, 0x99}, true, true, {0x05, 0x01, 0x01, 0x00}},
        {"Sunday as 7", {0x59, 0x59, 0x23, 0x07, 0x06, 0x12, 0x26}, true, true, {0x01, 0x07, 0x12, 0x26}},
        {"Sunday as 0", {0x59, 0x59, 0x23, 0x00, 0x06, 0x12, 0x26}, true, true, {0x01, 0x07, 0x12, 0x26}},
        {"set directly", {0x59, 0x59, 0x23, 0x04, 0x31, 0x12, 0x26}, false, false, {}},
        {"day 32", {0x59, 0x59, 0x23, 0x04, 0x32, 0x12, 0x26}, true, false, {}},
    };
    struct Board {
        BoardSim sim;
        std::unique_ptr<Line> line;
        steady_clock::time_point setFrom;  // before the seconds were written
        steady_clock::time_point setBy;    // after their answer
    };
    std::vector<std::unique_ptr<Board>> boards;
    for (const ClockSetting &row : rows) {
        SCOPED_TRACE(row.name);
        Board &board = *boards.emplace_back(std::make_unique<Board>());
        ASSERT_TRUE(board.sim.start());
        board.line = std::make_unique<Line>(board.sim.devicePath());
        ASSERT_TRUE(board.line->isOpen() && board.line->setSpeed(B9600));
        // The seconds last: their write starts the clock's second.
        for (int reg : {1, 2, 3, 4, 5, 6, 0}) {
            const uint8_t value = row.set[size_t(reg)];
            board.setFrom = steady_clock::now();
            if (!row.throughLine) {
                board.sim.setRegister(reg, value);
                continue;
            }
            char frame[16];
            std::snprintf(frame, sizeof frame, "W%03d%02X\r", reg, value);
            ASSERT_EQ(board.line->query(frame, 1), std::string(1, char(value))) << frame;
        }
        board.setBy = steady_clock::now();
    }
    std::this_thread::sleep_for(ClockWait);
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        Board &board = *boards[i];
        const steady_clock::time_point before = steady_clock::now();
        const std::optional<ClockBytes> shown = readClock(*board.line);
        const steady_clock::time_point after = steady_clock::now();
        ASSERT_TRUE(shown);
        // The whole seconds the clock ran: at least from the last answer to the first read,
        // at most from before the seconds' write to the last answer.
        const long long least = floor<seconds>(before - board.setBy).count();
        const long long most = floor<seconds>(after - board.setFrom).count();
        ASSERT_GE(least, 1);
        bool matched = false;
        for (long long elapsed = least; elapsed <= most && !matched; ++elapsed)
            matched = *shown == shownAfter(rows[i], elapsed);
        EXPECT_TRUE(matched) << clockText(*shown) << ", expected " << clockText(shownAfter(rows[i], least))
                             << " to " << clockText(shownAfter(rows[i], most));
    }
}

// The program starts configured, its clock on local time, unless told to start blank.
TEST(BoardSimProgram, StartsConfiguredOrBlank)
{
    for (const bool blank : {false, true}) {
        const std::time_t before = std::time(nullptr);
        BoardProgram program(blank ? std::vector<std::string>{"--blank"} : std::vector<std::string>{});
        ASSERT_TRUE(program.started());
        const std::string banner = program.readLine();
        const std::string prefix = "Simulated Kestrix board on ";
        ASSERT_EQ(banner.rfind(prefix, 0), 0u) << banner;
        Line line(banner.substr(prefix.size(), banner.find(" at ") - prefix.size()));
        ASSERT_TRUE(line.isOpen());
        ASSERT_TRUE(line.setSpeed(B9600));
        EXPECT_EQ(line.query("R013\r", 1), blank ? "\xff" : "\x15");
        const std::string year = line.query("R006\r", 1);
        std::tm local{};
        localtime_r(&before, &local);
        const bool thisYear = year == std::string(1, char(clockByte(local.tm_year % 100)));
        EXPECT_EQ(thisYear, !blank) << printable(year);
    }
}

// --preset-file sets the registers it names on top of the start-up state; a file with a line
// that is not "register=hexbyte" stops the program before it serves.
TEST(BoardSimProgram, PresetFileSetsRegisters)
{
    QTemporaryDir folder;
    const QString good = folder.filePath(QStringLiteral("good.preset"));
    const QString bad = folder.filePath(QStringLiteral("bad.preset"));
    for (const auto &[path, text] : {std::pair{good, "# alarm 1\n110=06\r\n111=3\n\n  262 = 10\n999=aB\n"},
                                     std::pair{bad, "110=06\n111=123\n"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) > 0);
    }

    BoardProgram program({"--blank", "--preset-file", good.toStdString()});
    ASSERT_TRUE(program.started());
    const std::string banner = program.readLine();
    const std::string prefix = "Simulated Kestrix board on ";
    ASSERT_EQ(banner.rfind(prefix, 0), 0u) << banner;
    Line line(banner.substr(prefix.size(), banner.find(" at ") - prefix.size()));
    ASSERT_TRUE(line.isOpen());
    ASSERT_TRUE(line.setSpeed(B9600));
    const std::vector<std::pair<std::string, std::string>> reads = {
        {"R110\r", "\x06"}, {"R111\r", "\x03"}, {"R262\r", "\x10"}, {"R999\r", "\xab"}, {"R112\r", "\xff"}};
    for (const auto &[frame, answer] : reads)
        EXPECT_EQ(line.query(frame, 1), answer) << printable(frame);

    BoardProgram refused({"--preset-file", bad.toStdString()});
    ASSERT_TRUE(refused.started());
    EXPECT_EQ(refused.readLine(), "");
    EXPECT_EQ(refused.stop().exitStatus, 2);
}

} // namespace
