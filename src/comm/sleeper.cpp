#include "comm/sleeper.h"

#include <atomic>
#include <numeric>
#include <thread>

namespace kestrix {

void RealSleeper::pause(Milliseconds duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

void RecordingSleeper::pause(Milliseconds duration)
{
    {
        std::lock_guard lock(m_mutex);
        m_pauses.push_back(int(duration.count()));
    }
    if (m_alsoSleep)
        realSleeper().pause(duration);
}

std::vector<int> RecordingSleeper::pauses() const
{
    std::lock_guard lock(m_mutex);
    return m_pauses;
}

long long RecordingSleeper::total() const
{
    std::lock_guard lock(m_mutex);
    return std::accumulate(m_pauses.begin(), m_pauses.end(), 0LL);
}

void RecordingSleeper::clear()
{
    std::lock_guard lock(m_mutex);
    m_pauses.clear();
}

Sleeper &realSleeper()
{
    static RealSleeper sleeper;
    return sleeper;
}

namespace {
std::atomic<Sleeper *> defaultOne{nullptr};
}

Sleeper &defaultSleeper()
{
    Sleeper *sleeper = defaultOne.load();
    return sleeper ? *sleeper : realSleeper();
}

void setDefaultSleeper(Sleeper &sleeper)
{
    defaultOne = &sleeper;
}

} // namespace kestrix
