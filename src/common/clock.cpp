#include "common/clock.h"

#include <ctime>
#include <thread>

namespace qrt::common {
namespace {

using namespace std::chrono;

// A calendar date and time read as UTC, in milliseconds since 1970.
std::int64_t epochMilliseconds(const DateTime& t) {
    const year_month_day date{year(t.year), month(static_cast<unsigned>(t.month)),
                              day(static_cast<unsigned>(t.day))};
    const auto days = sys_days{date}.time_since_epoch().count();
    return ((static_cast<std::int64_t>(days) * 24 + t.hour) * 60 + t.minute) * 60'000LL +
           t.second * 1000LL + t.millisecond;
}

DateTime fromSystem(bool utc) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm parts{};
    if (utc) {
        gmtime_r(&seconds, &parts);
    } else {
        localtime_r(&seconds, &parts);
    }
    return DateTime{parts.tm_year + 1900,
                    parts.tm_mon + 1,
                    parts.tm_mday,
                    parts.tm_hour,
                    parts.tm_min,
                    parts.tm_sec,
                    static_cast<int>(millis.count())};
}

}  // namespace

DateTime Timestamp::local() const {
    const std::int64_t ms = utcMilliseconds + utcOffsetSeconds * 1000LL;
    const auto day = floor<days>(sys_time<milliseconds>(milliseconds(ms)));
    const year_month_day date{day};
    const std::int64_t inDay = ms - day.time_since_epoch().count() * 86'400'000LL;
    return DateTime{static_cast<int>(date.year()),
                    static_cast<int>(static_cast<unsigned>(date.month())),
                    static_cast<int>(static_cast<unsigned>(date.day())),
                    static_cast<int>(inDay / 3'600'000),
                    static_cast<int>(inDay / 60'000 % 60),
                    static_cast<int>(inDay / 1000 % 60),
                    static_cast<int>(inDay % 1000)};
}

Timestamp Timestamp::fromLocal(const DateTime& local, std::int32_t utcOffsetSeconds) {
    return {epochMilliseconds(local) - utcOffsetSeconds * 1000LL, utcOffsetSeconds};
}

Timestamp systemTimestampOfLocal(const DateTime& local) {
    std::tm parts{};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1;  // the zone's rules decide whether daylight saving applies
    const std::time_t seconds = std::mktime(&parts);
    return {seconds * 1000LL + local.millisecond, static_cast<std::int32_t>(parts.tm_gmtoff)};
}

Timestamp Clock::timestamp() const {
    const DateTime utc = utcTime();
    const std::int64_t offset = epochMilliseconds(localTime()) - epochMilliseconds(utc);
    return {epochMilliseconds(utc), static_cast<std::int32_t>(offset / 1000)};
}

std::int64_t Clock::utcMicroseconds() const {
    return timestamp().utcMilliseconds * 1000;
}

Timestamp systemTimestampAt(std::int64_t utcMilliseconds) {
    const std::time_t seconds = static_cast<std::time_t>(utcMilliseconds / 1000);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return {utcMilliseconds, static_cast<std::int32_t>(parts.tm_gmtoff)};
}

Timestamp SystemClock::timestamp() const {
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    return systemTimestampAt(now.time_since_epoch().count());
}

std::int64_t SystemClock::utcMicroseconds() const {
    return time_point_cast<microseconds>(system_clock::now()).time_since_epoch().count();
}

DateTime SystemClock::localTime() const {
    return fromSystem(false);
}

DateTime SystemClock::utcTime() const {
    return fromSystem(true);
}

std::chrono::steady_clock::time_point SystemClock::now() const {
    return std::chrono::steady_clock::now();
}

void SystemClock::sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace qrt::common
