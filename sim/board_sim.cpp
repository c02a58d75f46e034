#include "board_sim.h"

#include "board_protocol.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kestrix::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Text without a line end (the time text) counts as a frame after this much line silence.
constexpr milliseconds SilenceGap{50};
// How long a look at the frames waits for bytes still on their way.
constexpr milliseconds SettleLimit{1000};

struct SpeedCode {
    speed_t code;
    int bps;
};
constexpr SpeedCode SpeedCodes[] = {
    {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

int bpsOf(speed_t code)
{
    for (const SpeedCode &speed : SpeedCodes) {
        if (speed.code == code)
            return speed.bps;
    }
    return 0;
}

// What a board with crossed wires sends instead of the proper answer.
std::string garbled(const Reply &reply)
{
    switch (reply.kind) {
    case ReplyKind::None: return {};
    case ReplyKind::Hello: return "hello";
    case ReplyKind::Version: return "\x01\xfe#@~\x7f";
    case ReplyKind::Byte: return std::string(1, static_cast<char>(~reply.bytes.front()));
    case ReplyKind::Display: return "?";
    }
    return {};
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The cell numbered n, or nullptr outside 000-999.
template <typename Memory>
auto cell(Memory &memory, int n)
{
    return n >= 0 && n < static_cast<int>(memory.size()) ? &memory[n] : nullptr;
}

} // namespace

struct BoardSim::Impl {
    // Shared state, guarded by `mutex`.
    mutable std::mutex mutex;
    mutable std::condition_variable frameAdded;
    BoardProtocol board;
    Faults faults;
    int answersLeft = -1;      // -1 = unlimited
    int displayRejectsLeft = 0;
    std::minstd_rand garbage;  // the bytes of answerGarbage
    int requiredSpeed = 9600;
    std::vector<ReceivedFrame> frames;
    bool lastEndedWithCr = false;  // an LF right after it belongs to the last frame
    bool stopped = false;          // stop() was called; waiters give up
    std::string path;
    std::uint64_t served = 0;      // turns of the serving loop so far
    bool partial = false;          // bytes of a frame not yet ended are waiting

    // Terminal and serving thread; owned by the controlling thread.
    int master = -1;
    int slave = -1;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};

    // Serving thread only.
    struct Outgoing {
        Clock::time_point due;
        std::string bytes;
    };
    std::string pending;
    Clock::time_point pendingStart;
    Clock::time_point lastByte;
    std::deque<Outgoing> outgoing;

    bool open(std::string *error);
    void closeAll();
    void serve();
    bool settle() const;
    int pollTimeout(Clock::time_point now) const;
    bool readInput();
    bool reopenSlave();
    void takeByte(char c, Clock::time_point now);
    void completeFrame(bool endedByCr, Clock::time_point now);
    std::string answerFor(const std::string &frame, int lineSpeed);
    bool readGoesUnanswered(const std::string &frame) const;
    void storeFaultyValue(const std::string &frame, Reply &reply);
    int lineSpeed() const;
    void sendDueAnswers(Clock::time_point now);
};

bool BoardSim::Impl::open(std::string *error)
{
    auto fail = [&](const char *step) {
        if (error)
            *error = std::string(step) + ": " + std::strerror(errno);
        closeAll();
        return false;
    };
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return fail("posix_openpt");
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0)
        return fail("pseudo-terminal setup");
    // Our own slave handle keeps the line alive while the utility closes and reopens it.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail(name);
    termios settings{};
    if (::tcgetattr(slave, &settings) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B9600);
    if (::tcsetattr(slave, TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    if (::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) != 0)
        return fail("fcntl");
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe2");
    std::lock_guard lock(mutex);
    path = name;
    return true;
}

void BoardSim::Impl::closeAll()
{
    closeFd(master);
    closeFd(slave);
    closeFd(wake[0]);
    closeFd(wake[1]);
}

// Sleeps in poll() until a byte arrives, a frame without line end falls silent, an answer is
// due or stop() writes to the wake pipe: the board uses no processor while nothing happens.
void BoardSim::Impl::serve()
{
    bool lineUp = true;
    while (!stopping) {
        // A negative descriptor is ignored by poll(): a lost line is not watched any more.
        pollfd fds[2] = {{lineUp ? master : -1, POLLIN, 0}, {wake[0], POLLIN, 0}};
        int ready = ::poll(fds, 2, pollTimeout(Clock::now()));
        if (ready < 0 && errno != EINTR)
            break;
        bool lost = false;
        if (fds[0].revents & POLLIN)
            lost = !readInput();
        else if (fds[0].revents & (POLLHUP | POLLERR))
            lost = true;
        // The master reports a hang-up as long as no slave handle is open, so poll() would
        // return at once for ever; take the line back with a handle of our own instead.
        if (lost)
            lineUp = reopenSlave();
        if (fds[1].revents & POLLIN) {
            char sink[64];
            while (::read(wake[0], sink, sizeof sink) > 0) {
            }
        }
        Clock::time_point now = Clock::now();
        if (!pending.empty() && now - lastByte >= SilenceGap)
            completeFrame(false, now);
        sendDueAnswers(now);
        {
            std::lock_guard lock(mutex);
            ++served;
            partial = !pending.empty();
        }
        frameAdded.notify_all();
    }
    if (!pending.empty())
        completeFrame(false, Clock::now());
}

bool BoardSim::Impl::reopenSlave()
{
    closeFd(slave);
    std::string name;
    {
        std::lock_guard lock(mutex);
        name = path;
    }
    slave = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    return slave >= 0;
}

int BoardSim::Impl::pollTimeout(Clock::time_point now) const
{
    std::optional<Clock::time_point> next;
    if (!pending.empty())
        next = lastByte + SilenceGap;
    if (!outgoing.empty())
        next = next ? std::min(*next, outgoing.front().due) : outgoing.front().due;
    if (!next)
        return -1;
    auto wait = std::chrono::ceil<milliseconds>(*next - now).count();
    return static_cast<int>(std::max<decltype(wait)>(wait, 0));
}

// False when the line has gone (the master reads EIO once no slave handle is open).
bool BoardSim::Impl::readInput()
{
    char buffer[4096];
    ssize_t count = ::read(master, buffer, sizeof buffer);
    if (count < 0)
        return errno == EAGAIN || errno == EINTR;
    if (count == 0)
        return false;
    Clock::time_point now = Clock::now();
    for (ssize_t i = 0; i < count; ++i)
        takeByte(buffer[i], now);
    return true;
}

// Frames end at CR; an LF right after the CR joins that frame.
void BoardSim::Impl::takeByte(char c, Clock::time_point now)
{
    if (c == '\n' && pending.empty()) {
        std::lock_guard lock(mutex);
        if (lastEndedWithCr && !frames.empty()) {
            frames.back().bytes += c;
            lastEndedWithCr = false;
            return;
        }
    }
    if (pending.empty())
        pendingStart = now;
    pending += c;
    lastByte = now;
    if (c == '\r')
        completeFrame(true, now);
}

void BoardSim::Impl::completeFrame(bool endedByCr, Clock::time_point now)
{
    std::string answer;
    {
        std::lock_guard lock(mutex);
        int speed = lineSpeed();
        if (endedByCr)
            answer = answerFor(pending.substr(0, pending.size() - 1), speed);
        frames.push_back({pending, pendingStart, speed, answer});
        lastEndedWithCr = endedByCr;
        if (!answer.empty())
            outgoing.push_back({now + faults.answerDelay, answer});
    }
    frameAdded.notify_all();
    pending.clear();
}

// Called with the mutex held. True for an "R" read of a register the faults keep silent.
bool BoardSim::Impl::readGoesUnanswered(const std::string &frame) const
{
    if (frame.size() < 4 || frame.front() != 'R')
        return false;
    const std::string digits = frame.substr(1, 3);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return std::ranges::find(faults.unansweredReads, std::stoi(digits)) != faults.unansweredReads.end();
}

// Called with the mutex held. A register write the faults name stores their value instead.
void BoardSim::Impl::storeFaultyValue(const std::string &frame, Reply &reply)
{
    if (frame.size() < 4 || frame.front() != 'W' || reply.kind != ReplyKind::Byte)
        return;
    const std::string digits = frame.substr(1, 3);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return;
    const int n = std::stoi(digits);
    for (const auto &[reg, value] : faults.storedAs) {
        if (reg == n) {
            board.setRegister(n, value);
            reply.bytes = std::string(1, static_cast<char>(board.readRegister(n)));
        }
    }
}

// Called with the mutex held. A frame at the wrong speed is garbage to the board: no effect,
// no answer. Otherwise the board executes it and the faults decide what goes back.
std::string BoardSim::Impl::answerFor(const std::string &frame, int speed)
{
    if (requiredSpeed != 0 && speed != requiredSpeed)
        return {};
    Reply reply = board.respond(frame);
    storeFaultyValue(frame, reply);
    if (reply.kind == ReplyKind::None || faults.silent || answersLeft == 0 || readGoesUnanswered(frame))
        return {};
    std::string bytes = faults.wrongAnswers ? garbled(reply) : reply.bytes;
    if (faults.answerGarbage && reply.kind != ReplyKind::Hello) {
        for (char &byte : bytes)
            byte = static_cast<char>(garbage() & 0xFF);
    }
    if (reply.kind == ReplyKind::Display && displayRejectsLeft > 0) {
        --displayRejectsLeft;
        bytes = "?";
    }
    if (reply.kind == ReplyKind::Display && faults.rejectOperationLines && frame != "as" && frame != "sa")
        bytes = "?";
    if (answersLeft > 0)
        --answersLeft;
    return bytes;
}

// The slave's settings, as the utility last set them.
int BoardSim::Impl::lineSpeed() const
{
    termios settings{};
    if (slave < 0 || ::tcgetattr(slave, &settings) != 0)
        return 0;
    return bpsOf(::cfgetospeed(&settings));
}

void BoardSim::Impl::sendDueAnswers(Clock::time_point now)
{
    while (!outgoing.empty() && outgoing.front().due <= now) {
        const std::string &bytes = outgoing.front().bytes;
        // Non-blocking: when nobody drains the line and its queue is full, the answer is lost.
        if (::write(master, bytes.data(), bytes.size()) < 0 && errno == EINTR)
            continue;
        outgoing.pop_front();
    }
}

BoardSim::BoardSim() : d(std::make_unique<Impl>()) {}

BoardSim::~BoardSim()
{
    stop();
}

bool BoardSim::start(std::string *error)
{
    if (running())
        return true;
    if (!d->open(error))
        return false;
    {
        std::lock_guard lock(d->mutex);
        d->stopped = false;
    }
    d->stopping = false;
    d->thread = std::thread([this] { d->serve(); });
    return true;
}

void BoardSim::stop()
{
    if (d->thread.joinable()) {
        d->stopping = true;
        char byte = 0;
        [[maybe_unused]] ssize_t written = ::write(d->wake[1], &byte, 1);
        d->thread.join();
    }
    d->closeAll();
    d->pending.clear();
    d->outgoing.clear();
    {
        std::lock_guard lock(d->mutex);
        d->stopped = true;
    }
    d->frameAdded.notify_all();
}

void BoardSim::hangUp()
{
    stop();
}

bool BoardSim::running() const
{
    return d->thread.joinable();
}

std::string BoardSim::devicePath() const
{
    std::lock_guard lock(d->mutex);
    return d->path;
}

void BoardSim::setLineSpeed(int bps)
{
    std::lock_guard lock(d->mutex);
    d->requiredSpeed = bps;
}

void BoardSim::setVersions(std::string software, std::string hardware)
{
    std::lock_guard lock(d->mutex);
    d->board.software = std::move(software);
    d->board.hardware = std::move(hardware);
}

void BoardSim::setRegister(int n, uint8_t value)
{
    std::lock_guard lock(d->mutex);
    d->board.setRegister(n, value);
}

uint8_t BoardSim::registerValue(int n) const
{
    std::lock_guard lock(d->mutex);
    return d->board.readRegister(n);
}

void BoardSim::setClockRunning(bool running)
{
    std::lock_guard lock(d->mutex);
    d->board.clock.setRunning(running, std::chrono::steady_clock::now());
}

void BoardSim::setVariable(int n, uint8_t value)
{
    std::lock_guard lock(d->mutex);
    if (auto *target = cell(d->board.variables, n))
        *target = value;
}

uint8_t BoardSim::variable(int n) const
{
    std::lock_guard lock(d->mutex);
    auto *source = cell(d->board.variables, n);
    return source ? *source : 0;
}

void BoardSim::setFaults(const Faults &faults)
{
    std::lock_guard lock(d->mutex);
    d->faults = faults;
    d->answersLeft = faults.answerOnlyFirst < 0 ? -1 : faults.answerOnlyFirst;
    d->displayRejectsLeft = faults.rejectDisplayLines;
    d->garbage.seed(1);
}

// Waits until the serving loop has read and recorded every byte written to the board so far (a
// frame without line end once its silence has ended it): a frame sent without an answer may
// still be on its way when the sender has finished. False when the time runs out or the board
// is stopped.
bool BoardSim::Impl::settle() const
{
    const auto deadline = Clock::now() + SettleLimit;
    for (;;) {
        int queued = 0;
        if (::ioctl(master, FIONREAD, &queued) != 0)
            queued = 0;
        std::unique_lock lock(mutex);
        if (stopped || !thread.joinable())
            return false;
        const std::uint64_t seen = served;
        char byte = 0;
        [[maybe_unused]] ssize_t written = ::write(wake[1], &byte, 1);
        // One more turn of the serving loop takes in what it had read when we looked.
        if (!frameAdded.wait_until(lock, deadline, [&] { return served > seen || stopped; }))
            return false;
        if (queued == 0 && !partial)
            return true;
    }
}

std::vector<ReceivedFrame> BoardSim::frames() const
{
    return frames(0);
}

std::vector<ReceivedFrame> BoardSim::frames(size_t first) const
{
    d->settle();
    std::lock_guard lock(d->mutex);
    if (first >= d->frames.size())
        return {};
    return {d->frames.begin() + std::ptrdiff_t(first), d->frames.end()};
}

std::vector<std::string> BoardSim::frameTexts() const
{
    d->settle();
    std::lock_guard lock(d->mutex);
    std::vector<std::string> texts;
    for (const ReceivedFrame &frame : d->frames)
        texts.push_back(frame.bytes);
    return texts;
}

void BoardSim::clearFrames()
{
    d->settle();
    std::lock_guard lock(d->mutex);
    d->frames.clear();
    d->lastEndedWithCr = false;
}

bool BoardSim::waitForFrames(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(d->mutex);
    d->frameAdded.wait_for(lock, timeout, [&] { return d->frames.size() >= count || d->stopped; });
    return d->frames.size() >= count;
}

std::string printable(std::string_view bytes)
{
    std::string text;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\x1b')
            text += "<ESC>";
        else if (c == '\r')
            text += "<CR>";
        else if (c == '\n')
            text += "<LF>";
        else if (byte < 0x20 || byte > 0x7e) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02x>", byte);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace kestrix::sim
