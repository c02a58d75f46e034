#include "board_clock.h"

#include <optional>

namespace kestrix::sim {
namespace {

enum Field { Seconds, Minutes, Hours, Weekday, Day, Month, Year };

using Fields = std::array<int, BoardClock::RegisterCount>;

struct Range {
    int low;
    int high;
};
// What each register may hold for the clock to run, by field.
constexpr Range Ranges[BoardClock::RegisterCount] = {{0, 59}, {0, 59}, {0, 23}, {0, 7}, {1, 31}, {1, 12}, {0, 99}};

constexpr int DaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr long long SecondsPerDay = 24 * 60 * 60;

// Two decimal digits as the high and low nibble; nothing for a byte that is not of that form.
std::optional<int> decimal(uint8_t byte)
{
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    if (high > 9 || low > 9)
        return std::nullopt;
    return high * 10 + low;
}

uint8_t encoded(int value)
{
    return static_cast<uint8_t>((value / 10) << 4 | value % 10);
}

std::optional<Fields> decoded(const std::array<uint8_t, BoardClock::RegisterCount> &bytes)
{
    Fields fields{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const std::optional<int> value = decimal(bytes[i]);
        if (!value || *value < Ranges[i].low || *value > Ranges[i].high)
            return std::nullopt;
        fields[i] = *value;
    }
    return fields;
}

int daysIn(int month, int year)
{
    return month == 2 && year % 4 == 0 ? 29 : DaysInMonth[month - 1];
}

// Midnight: the next weekday and the next day of the calendar.
void nextDay(Fields &f)
{
    f[Weekday] = f[Weekday] % 7 + 1;
    if (f[Day] < daysIn(f[Month], f[Year])) {
        ++f[Day];
        return;
    }
    f[Day] = 1;
    if (f[Month] < 12) {
        ++f[Month];
        return;
    }
    f[Month] = 1;
    f[Year] = (f[Year] + 1) % 100;
}

Fields later(Fields f, long long seconds)
{
    long long time = f[Seconds] + 60LL * (f[Minutes] + 60LL * f[Hours]) + seconds;
    for (long long days = time / SecondsPerDay; days > 0; --days)
        nextDay(f);
    time %= SecondsPerDay;
    f[Hours] = static_cast<int>(time / 3600);
    f[Minutes] = static_cast<int>(time / 60 % 60);
    f[Seconds] = static_cast<int>(time % 60);
    return f;
}

long long wholeSeconds(BoardClock::Clock::duration elapsed)
{
    return elapsed.count() < 0 ? 0 : std::chrono::floor<std::chrono::seconds>(elapsed).count();
}

} // namespace

BoardClock::BoardClock()
{
    m_bytes.fill(0xFF);
}

uint8_t BoardClock::read(int reg, Clock::time_point now) const
{
    return holds(reg) ? at(now)[static_cast<size_t>(reg)] : 0;
}

void BoardClock::write(int reg, uint8_t value, Clock::time_point now)
{
    if (!holds(reg))
        return;
    catchUp(now);
    m_bytes[static_cast<size_t>(reg)] = value;
    if (reg == Seconds)
        m_since = now;
}

void BoardClock::setRunning(bool running, Clock::time_point now)
{
    catchUp(now);
    if (running && !m_running)
        m_since = now;
    m_running = running;
}

BoardClock::Bytes BoardClock::at(Clock::time_point now) const
{
    const std::optional<Fields> fields = decoded(m_bytes);
    if (!m_running || !fields)
        return m_bytes;
    const Fields time = later(*fields, wholeSeconds(now - m_since));
    Bytes bytes{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = encoded(time[i]);
    return bytes;
}

// Brings the registers up to `now`, keeping the phase of the second.
void BoardClock::catchUp(Clock::time_point now)
{
    if (!m_running)
        return;
    const long long seconds = wholeSeconds(now - m_since);
    m_bytes = at(now);
    m_since += std::chrono::seconds(seconds);
}

} // namespace kestrix::sim
