// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sleeper for tests that act on a window while its job runs: it records every pause in the
// suite's sleeper and, from the pause numbered `first` on (0 is the first), keeps the job inside
// each pause until the test lets it go on. So the job is certain to be running when the test
// clicks Cancel or closes the window, without waiting the protocol's pauses for real.

#include "comm/sleeper.h"
#include "support/test_support.h"
#include "support/timeouts.h"

#include <condition_variable>
#include <mutex>

namespace kestrix::testing {

class HoldingSleeper final : public Sleeper {
public:
    explicit HoldingSleeper(int first) : m_first(first) {}
    ~HoldingSleeper() override { releaseAll(); }

    void pause(Milliseconds duration) override
    {
        suiteSleeper().pause(duration);
        std::unique_lock lock(m_mutex);
        if (m_released || m_count++ < m_first)
            return;
        m_held = true;
        // A test that never lets go fails on its own; the job goes on after the limit anyway.
        m_changed.wait_for(lock, std::chrono::milliseconds(Timeout::LongOperation),
                           [this] { return m_released || m_permits > 0; });
        if (m_permits > 0)
            --m_permits;
        m_held = false;
    }

    // Whether a job waits inside a held pause now.
    bool held() const
    {
        std::lock_guard lock(m_mutex);
        return m_held;
    }
    // Lets the next `pauses` held pauses end.
    void letThrough(int pauses)
    {
        std::lock_guard lock(m_mutex);
        m_permits += pauses;
        m_changed.notify_all();
    }
    // Holds nothing any more.
    void releaseAll()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    const int m_first;
    int m_count = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_released = false;
    int m_permits = 0;
};

} // namespace kestrix::testing
