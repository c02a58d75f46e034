#pragma once
// The protocol's fixed pauses go through a Sleeper, so tests can record them instead of waiting.

#include <chrono>
#include <mutex>
#include <vector>

namespace kestrix {

using Milliseconds = std::chrono::milliseconds;

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void pause(Milliseconds duration) = 0;
};

// Sleeps for real, to the millisecond, without using the processor while it waits.
class RealSleeper final : public Sleeper {
public:
    void pause(Milliseconds duration) override;
};

// Records every requested pause; sleeps for real only when asked to.
class RecordingSleeper final : public Sleeper {
public:
    explicit RecordingSleeper(bool alsoSleep = false) : m_alsoSleep(alsoSleep) {}
    void pause(Milliseconds duration) override;
    std::vector<int> pauses() const;     // in milliseconds, in order
    long long total() const;             // sum in milliseconds
    void clear();

private:
    bool m_alsoSleep;
    mutable std::mutex m_mutex;
    std::vector<int> m_pauses;
};

// The one real sleeper.
Sleeper &realSleeper();

// The sleeper of every operation, channel and board queue that is not given one: the real
// sleeper. A test harness replaces it for its whole process, so that the protocol's pauses are
// recorded instead of waited; the programs never replace it, and no option of theirs does.
Sleeper &defaultSleeper();
void setDefaultSleeper(Sleeper &sleeper);

} // namespace kestrix
