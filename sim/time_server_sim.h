#pragma once
// A simulated Time Protocol server (RFC 868 over UDP): every datagram it receives is a request,
// answered with the seconds since 1900 as four big-endian bytes. It serves on a thread of its
// own, so a test may block (waiting for a child process, say) while it answers. It can answer a
// fixed time or raw bytes, stay silent, hold requests until told, answer late, or answer from
// another socket; it counts and records the requests.
//
// Thread safety: every accessor may be called from any thread while it serves; start() and
// stop() are called from one controlling thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrix::sim {

// 3600000000 s after 1900: Wednesday 2014-01-29 16:00:00 UTC.
inline constexpr std::uint32_t SampleServerSeconds = 3600000000u;

// The four bytes a Time Protocol server sends for `seconds`.
std::string timeProtocolAnswer(std::uint32_t seconds);

class TimeServerSim {
public:
    enum class Mode {
        Answer,  // answers every request (after the answer delay)
        Silent,  // never answers
        Hold,    // keeps requests until answerHeld()
    };

    TimeServerSim();
    ~TimeServerSim();  // stops
    TimeServerSim(const TimeServerSim &) = delete;
    TimeServerSim &operator=(const TimeServerSim &) = delete;

    // Binds a UDP socket to the numeric address `host` ("127.0.0.1", "::1") on a free port, or
    // on `port`, and starts serving. False, with *error set, when it cannot. Starting a running
    // server does nothing.
    bool start(const std::string &host = "127.0.0.1", std::uint16_t port = 0, std::string *error = nullptr);
    void stop();
    bool running() const;

    std::string host() const;      // as bound, e.g. "::1"
    std::uint16_t port() const;    // as bound; stays set after stop()
    std::string address() const;   // "127.0.0.1:3737" or "[::1]:3737", as the utility takes it

    // The answer: the system clock's time (the default), a fixed time, or any bytes (a reply too
    // short to be one, say).
    void answerSystemTime();
    void setSeconds(std::uint32_t secondsSince1900);
    void setReply(std::string bytes);
    void setMode(Mode mode);
    // Every answer goes out this late.
    void setAnswerDelay(std::chrono::milliseconds delay);
    // Answers the requests held so far, at once.
    void answerHeld();
    // Answers from a socket of its own bound to `host` on `port` (0: a free port), as a stranger
    // would; false, with *error set, when that socket cannot be bound.
    bool answerFrom(const std::string &host, std::uint16_t port = 0, std::string *error = nullptr);

    int requestCount() const;
    std::vector<std::string> requests() const;  // each request's bytes, in order of arrival
    // Waits until at least `count` requests arrived; false when the time runs out first.
    bool waitForRequests(int count, std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kestrix::sim
