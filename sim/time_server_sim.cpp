#include "time_server_sim.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestrix::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Seconds from 1900-01-01 to 1970-01-01, the start of the system clock's count.
constexpr std::uint64_t SecondsBefore1970 = 2208988800u;

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
};

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A UDP socket bound to the numeric address `host` and `port`; -1, with *error set, on failure.
int boundSocket(const std::string &host, std::uint16_t port, std::string *error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo *found = nullptr;
    if (int failed = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); failed != 0) {
        if (error)
            *error = host + ": " + ::gai_strerror(failed);
        return -1;
    }
    int fd = ::socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || ::bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
        if (error)
            *error = "bind " + host + ": " + std::strerror(errno);
        closeFd(fd);
    }
    ::freeaddrinfo(found);
    return fd;
}

std::uint16_t boundPort(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
}

std::uint32_t systemSeconds()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    // The count wraps in 2036, as the protocol's does.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds) + SecondsBefore1970);
}

} // namespace

std::string timeProtocolAnswer(std::uint32_t seconds)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>(seconds >> (24 - 8 * i) & 0xFF);
    return bytes;
}

struct TimeServerSim::Impl {
    struct Outgoing {
        Clock::time_point due;
        Endpoint to;
    };

    // Shared state, guarded by `mutex`.
    mutable std::mutex mutex;
    mutable std::condition_variable requestArrived;
    std::optional<std::string> reply;  // nothing: the system clock's time
    Mode mode = Mode::Answer;
    milliseconds delay{0};
    std::vector<std::string> received;
    std::vector<Endpoint> held;
    std::deque<Outgoing> outgoing;
    int stranger = -1;  // the socket answers go out from instead, when set
    std::string host;
    std::uint16_t port = 0;

    // Socket and serving thread; owned by the controlling thread.
    int socket = -1;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};

    void serve();
    void receive();
    void schedule(Clock::time_point due, const Endpoint &to);
    void sendDue(Clock::time_point now);
    int pollTimeout(Clock::time_point now) const;
    void wakeUp();
    void closeAll();
};

// Sleeps in poll() until a request arrives, an answer is due or the controlling thread writes
// to the wake pipe.
void TimeServerSim::Impl::serve()
{
    while (!stopping) {
        pollfd fds[2] = {{socket, POLLIN, 0}, {wake[0], POLLIN, 0}};
        int ready = ::poll(fds, 2, pollTimeout(Clock::now()));
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            char drained[64];
            while (::read(wake[0], drained, sizeof drained) > 0) {
            }
        }
        if (fds[0].revents & POLLIN)
            receive();
        sendDue(Clock::now());
    }
}

void TimeServerSim::Impl::receive()
{
    for (;;) {
        char buffer[512];
        Endpoint from;
        from.length = sizeof from.address;
        ssize_t count = ::recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from.address), &from.length);
        if (count < 0)
            return;
        {
            std::lock_guard lock(mutex);
            received.emplace_back(buffer, static_cast<size_t>(count));
            if (mode == Mode::Hold)
                held.push_back(from);
            else if (mode == Mode::Answer)
                schedule(Clock::now() + delay, from);
        }
        requestArrived.notify_all();
    }
}

// Called with the mutex held. Keeps the answers in the order they are due.
void TimeServerSim::Impl::schedule(Clock::time_point due, const Endpoint &to)
{
    auto later = std::upper_bound(outgoing.begin(), outgoing.end(), due,
                                  [](Clock::time_point time, const Outgoing &answer) { return time < answer.due; });
    outgoing.insert(later, {due, to});
}

void TimeServerSim::Impl::sendDue(Clock::time_point now)
{
    std::lock_guard lock(mutex);
    while (!outgoing.empty() && outgoing.front().due <= now) {
        const Endpoint &to = outgoing.front().to;
        const std::string bytes = reply.value_or(timeProtocolAnswer(systemSeconds()));
        ::sendto(stranger >= 0 ? stranger : socket, bytes.data(), bytes.size(), 0,
                 reinterpret_cast<const sockaddr *>(&to.address), to.length);
        outgoing.pop_front();
    }
}

int TimeServerSim::Impl::pollTimeout(Clock::time_point now) const
{
    std::lock_guard lock(mutex);
    if (outgoing.empty())
        return -1;
    auto wait = std::chrono::ceil<milliseconds>(outgoing.front().due - now).count();
    return static_cast<int>(std::max<decltype(wait)>(wait, 0));
}

void TimeServerSim::Impl::wakeUp()
{
    char byte = 0;
    if (wake[1] >= 0) {
        [[maybe_unused]] ssize_t written = ::write(wake[1], &byte, 1);
    }
}

void TimeServerSim::Impl::closeAll()
{
    closeFd(socket);
    closeFd(wake[0]);
    closeFd(wake[1]);
}

TimeServerSim::TimeServerSim() : d(std::make_unique<Impl>()) {}

TimeServerSim::~TimeServerSim()
{
    stop();
    closeFd(d->stranger);
}

bool TimeServerSim::start(const std::string &host, std::uint16_t port, std::string *error)
{
    if (running())
        return true;
    d->socket = boundSocket(host, port, error);
    if (d->socket < 0)
        return false;
    if (::pipe2(d->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error)
            *error = std::string("pipe2: ") + std::strerror(errno);
        d->closeAll();
        return false;
    }
    {
        std::lock_guard lock(d->mutex);
        d->host = host;
        d->port = boundPort(d->socket);
    }
    d->stopping = false;
    d->thread = std::thread([this] { d->serve(); });
    return true;
}

void TimeServerSim::stop()
{
    if (d->thread.joinable()) {
        d->stopping = true;
        d->wakeUp();
        d->thread.join();
    }
    d->closeAll();
    std::lock_guard lock(d->mutex);
    d->outgoing.clear();
    d->held.clear();
}

bool TimeServerSim::running() const
{
    return d->thread.joinable();
}

std::string TimeServerSim::host() const
{
    std::lock_guard lock(d->mutex);
    return d->host;
}

std::uint16_t TimeServerSim::port() const
{
    std::lock_guard lock(d->mutex);
    return d->port;
}

std::string TimeServerSim::address() const
{
    std::lock_guard lock(d->mutex);
    const bool ipv6 = d->host.find(':') != std::string::npos;
    return (ipv6 ? "[" + d->host + "]" : d->host) + ":" + std::to_string(d->port);
}

void TimeServerSim::answerSystemTime()
{
    std::lock_guard lock(d->mutex);
    d->reply.reset();
}

void TimeServerSim::setSeconds(std::uint32_t secondsSince1900)
{
    setReply(timeProtocolAnswer(secondsSince1900));
}

void TimeServerSim::setReply(std::string bytes)
{
    std::lock_guard lock(d->mutex);
    d->reply = std::move(bytes);
}

void TimeServerSim::setMode(Mode mode)
{
    std::lock_guard lock(d->mutex);
    d->mode = mode;
}

void TimeServerSim::setAnswerDelay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(d->mutex);
    d->delay = delay;
}

void TimeServerSim::answerHeld()
{
    {
        std::lock_guard lock(d->mutex);
        for (const Endpoint &to : d->held)
            d->schedule(Clock::now(), to);
        d->held.clear();
    }
    d->wakeUp();
}

bool TimeServerSim::answerFrom(const std::string &host, std::uint16_t port, std::string *error)
{
    int fd = boundSocket(host, port, error);
    if (fd < 0)
        return false;
    std::lock_guard lock(d->mutex);
    closeFd(d->stranger);
    d->stranger = fd;
    return true;
}

int TimeServerSim::requestCount() const
{
    std::lock_guard lock(d->mutex);
    return static_cast<int>(d->received.size());
}

std::vector<std::string> TimeServerSim::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->received;
}

bool TimeServerSim::waitForRequests(int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(d->mutex);
    return d->requestArrived.wait_for(lock, timeout, [&] { return static_cast<int>(d->received.size()) >= count; });
}

} // namespace kestrix::sim
