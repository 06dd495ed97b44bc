// The system clock read as the module clocks and the values' times need it.
#include "common/clock.h"

#include <gtest/gtest.h>

#include <ctime>

#include "support/time_zone.h"

using namespace qrt;

namespace {

// Seconds since 1970 of a calendar reading taken as UTC.
std::time_t secondsOf(const common::DateTime& t) {
    std::tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    return ::timegm(&parts);
}

}  // namespace

TEST(SystemClock, ReadsTheSystemTimeAsUtcAndAsLocalTime) {
    const qrt::testing::ScopedTimeZone zone("QRT-5:30");  // 5 h 30 min ahead of UTC, all year
    constexpr std::time_t kAhead = 5 * 3600 + 30 * 60;
    const common::SystemClock clock;
    const std::time_t before = std::time(nullptr);
    const common::DateTime utc = clock.utcTime();
    const common::DateTime local = clock.localTime();
    const common::Timestamp now = clock.timestamp();
    const std::time_t after = std::time(nullptr);
    for (const std::time_t read : {secondsOf(utc), secondsOf(local) - kAhead,
                                   static_cast<std::time_t>(now.utcMilliseconds / 1000)}) {
        EXPECT_GE(read, before);
        EXPECT_LE(read, after);
    }
    EXPECT_EQ(now.utcOffsetSeconds, kAhead);
    EXPECT_LT(utc.millisecond, 1000);
}
