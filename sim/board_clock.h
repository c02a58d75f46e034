#pragma once
// The board's clock in registers 000-006: seconds, minutes, hours, weekday, day, month and the
// year's last two digits, two decimal digits a byte (45 is 0x45). While it runs it counts with
// real time from the moment it was set, carrying into the next minute, hour, day, month and
// year (a year divisible by 4 is a leap year, as 2000-2099 are); the weekday steps at midnight
// from 1 to 7 and back to 1 (0, Sunday as the utility's manual setting writes it, steps to 1).
// A clock whose registers do not all hold a valid time (a blank board's 0xFF) stands still.

#include <array>
#include <chrono>
#include <cstdint>

namespace kestrix::sim {

class BoardClock {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int RegisterCount = 7;

    BoardClock();

    static bool holds(int reg) { return reg >= 0 && reg < RegisterCount; }

    // The register's byte at `now`.
    uint8_t read(int reg, Clock::time_point now) const;
    // Sets one register of the clock as it is at `now`; setting the seconds starts the next
    // second a full second later.
    void write(int reg, uint8_t value, Clock::time_point now);
    // A stopped clock keeps what it shows; a started one counts on from there.
    void setRunning(bool running, Clock::time_point now);
    bool running() const { return m_running; }

private:
    using Bytes = std::array<uint8_t, RegisterCount>;
    Bytes at(Clock::time_point now) const;
    void catchUp(Clock::time_point now);

    Bytes m_bytes;             // the time at m_since
    Clock::time_point m_since; // the start of the second m_bytes shows
    bool m_running = false;
};

} // namespace kestrix::sim
