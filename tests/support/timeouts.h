#pragma once
// The suites' waits, named by what they wait for. A time-out is how long a test waits for
// something before it gives up and fails; a healthy run never comes near it, so each is
// generous. Lower bounds that timing assertions check belong to the behaviour under test and
// stay with their tests.

#include <chrono>

namespace kestrix::testing {

// Milliseconds that Qt's waits (they take an int) and the simulators' (std::chrono) both take.
struct Wait {
    int ms;
    constexpr operator int() const { return ms; }
    constexpr operator std::chrono::milliseconds() const { return std::chrono::milliseconds(ms); }
};

namespace Timeout {
// Frames still on their way to the simulated board after the operation that sent them returned.
inline constexpr Wait BoardFrames{1000};
// An operation started from a window or a dialog, to its end.
inline constexpr Wait DialogOperation{30000};
// A long job from a window: Adjust All, a download of every register.
inline constexpr Wait LongOperation{60000};
// A program the suite runs, to its end: kestrix-cli scanning every port, a test run again in a
// child process, a reference tool.
inline constexpr Wait ProcessRun{120000};
// A helper process asked to end.
inline constexpr Wait ProcessEnd{5000};
// A time-server request to its reply or its failure, the client's own 10 s included.
inline constexpr Wait ServerExchange{15000};
// Something the event loop brings about soon: a request reaching the simulated time server, a
// status line changing.
inline constexpr Wait EventArrives{10000};
// A client time-out short enough that a test of an unanswered request ends quickly.
inline constexpr Wait ShortServerReply{500};
} // namespace Timeout

namespace Interval {
// How often the next modal dialog is looked for.
inline constexpr Wait ModalPoll{20};
// How long each try waits for a service that is starting to answer.
inline constexpr Wait ServiceProbe{200};
} // namespace Interval

} // namespace kestrix::testing
