// Time server replies: the first four bytes are the answer (seconds since 1900, big-endian), the
// fifth picks the time zone offset. The clock fields the board would get are compared with a
// calendar computed here independently (days to civil date by eras of 400 years).
#include "fuzz_support.h"
#include "time/time_server.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

struct Civil {
    long long year;
    int month;
    int day;
};

// Days since 1970-01-01 to a Gregorian date.
Civil civilFromDays(long long z)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

QString two(long long value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    const std::uint32_t seconds = std::uint32_t(data[0]) << 24 | std::uint32_t(data[1]) << 16 |
                                  std::uint32_t(data[2]) << 8 | std::uint32_t(data[3]);
    const int offset = int(data[4] % 25) - 12;

    // Values below 2^31 are of the era that starts in 2036.
    const long long sinceEpoch = (long long)seconds + (seconds < (1u << 31) ? (1ll << 32) : 0) + offset * 3600ll;
    const long long days = sinceEpoch / 86400;          // never negative: at least 1900-01-01 minus 12 h
    const long long secondOfDay = sinceEpoch % 86400;
    const Civil date = civilFromDays(days - 25567);     // 1900-01-01 is 25567 days before 1970
    const long long weekday = days % 7 + 1;             // 1900-01-01 was a Monday

    const ClockValues fields = serverClockFields(seconds, offset);
    check(fields[Clock::Seconds] == two(secondOfDay % 60));
    check(fields[Clock::Minutes] == two(secondOfDay / 60 % 60));
    check(fields[Clock::Hours] == two(secondOfDay / 3600));
    check(fields[Clock::Weekday] == two(weekday));
    check(fields[Clock::Day] == two(date.day));
    check(fields[Clock::Month] == two(date.month));
    check(fields[Clock::Year] == two(date.year % 100));
    check(date.year >= 1968 && date.year <= 2104);
    return 0;
}
