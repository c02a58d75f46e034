#pragma once
// The frames of one board operation on its channel. Every operation sends through an Exchange:
// register writes and reads, plain commands, queries, and a step counter that reports progress.
// Before each frame the exchange asks the reporter whether the operation is cancelled; once it
// is, or once the board is lost (a write failed and the port did not open again), no further
// frame goes out and every read gives no answer.

#include "comm/reporter.h"
#include "comm/serial_channel.h"
#include "comm/sleeper.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrix {

class Exchange {
public:
    Exchange(SerialChannel &channel, Sleeper &sleeper, Reporter &reporter);

    // True once the operation is cancelled; stays true.
    bool cancelled() const;
    // True once a write failed and the port could not be opened again.
    bool boardLost() const;

    // What did not answer, counted by the job's body in its own unit (registers, variables).
    void noteUnanswered(int count = 1) { m_unanswered += count; }
    int unanswered() const { return m_unanswered; }
    void resetUnanswered() { m_unanswered = 0; }

    // A frame without an answer, then `pauseAfter` (on top of the channel's own 150 ms).
    void send(const std::string &frame, Milliseconds pauseAfter = Milliseconds{0});
    // "W" + register + value (padded), sent without reading an answer.
    void writeRegister(int reg, const std::string &value, Milliseconds pauseAfter);
    // A plain command ("DLS", "AL0", ...) with CR.
    void command(const std::string &text, Milliseconds pauseAfter);

    // A frame and an answer of `count` bytes in the channel's text form; nothing when no answer
    // arrived (silence, a failed write) or the operation is cancelled.
    std::optional<std::string> query(const std::string &frame, int count, Milliseconds pauseAfter = Milliseconds{0});
    // A frame answered by one byte; nothing when no byte arrived.
    std::optional<std::uint8_t> queryByte(const std::string &frame, Milliseconds pauseAfter);
    // "R" + register, answered by the register's byte.
    std::optional<std::uint8_t> readRegister(int reg, Milliseconds pauseAfter);
    // "r" + variable, answered by the variable's byte.
    std::optional<std::uint8_t> readVariable(int variable, Milliseconds pauseAfter);

    // The protocol's WriteRegister: "W" + register + value sent as a query of `count` bytes,
    // then 30 ms. Gives the answer text ("notconnected" when none came).
    std::string writeAnswered(const std::string &reg, const std::string &value, int count);

    void pause(Milliseconds duration);

    // Steps of the operation: the total, then one step() per unit of work. step() reports the
    // progress and returns false when the operation is cancelled.
    void setTotalSteps(int total);
    bool step();
    int stepsDone() const { return m_done; }
    // A job made of several parts (Adjust All): the total of all their steps, set once, so that
    // one progress bar runs over the whole job. Until releaseTotalSteps() the parts' own
    // setTotalSteps leaves the total and the count alone.
    void holdTotalSteps(int total);
    void releaseTotalSteps() { m_totalHeld = false; }

private:
    bool mayGoOn();

    SerialChannel &m_channel;
    Sleeper &m_sleeper;
    Reporter &m_reporter;
    int m_total = 0;
    int m_done = 0;
    int m_unanswered = 0;
    bool m_totalHeld = false;
    mutable bool m_cancelled = false;
};

} // namespace kestrix
