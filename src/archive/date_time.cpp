#include "archive/date_time.h"

#include <chrono>
#include <cmath>

#include "common/text_format.h"

namespace qrt::archive {

namespace {

using namespace std::chrono;

constexpr double kMillisecondsPerDay = 86'400'000.0;
constexpr sys_days kEpoch = sys_days{year(1899) / 12 / 30};

// The value split into whole days and milliseconds of the day, rounded as a clock would.
struct Split {
    sys_days day;
    long long millisecond;
};

Split split(DateTimeValue value) {
    const auto total = static_cast<long long>(std::llround(value * kMillisecondsPerDay));
    long long days = total / 86'400'000LL;
    long long ms = total % 86'400'000LL;
    if (ms < 0) {
        ms += 86'400'000LL;
        --days;
    }
    return {kEpoch + std::chrono::days(days), ms};
}

}  // namespace

std::optional<DateTimeValue> encodeDate(int y, int m, int d) {
    if (m < 1 || m > 12 || d < 1 || d > 31) {
        return std::nullopt;
    }
    const year_month_day date{year(y), month(static_cast<unsigned>(m)),
                              day(static_cast<unsigned>(d))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return static_cast<double>((sys_days{date} - kEpoch).count());
}

std::optional<DateTimeValue> encodeTime(int hour, int minute, int second) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

DateTimeValue toValue(const common::DateTime& t) {
    const double date = encodeDate(t.year, t.month, t.day).value_or(0);
    return date + (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.millisecond) /
                      kMillisecondsPerDay;
}

common::DateTime toDateTime(DateTimeValue value) {
    const Split parts = split(value);
    const year_month_day date{parts.day};
    const long long ms = parts.millisecond;
    return {.year = static_cast<int>(date.year()),
            .month = static_cast<int>(static_cast<unsigned>(date.month())),
            .day = static_cast<int>(static_cast<unsigned>(date.day())),
            .hour = static_cast<int>(ms / 3'600'000),
            .minute = static_cast<int>(ms / 60'000 % 60),
            .second = static_cast<int>(ms / 1000 % 60),
            .millisecond = static_cast<int>(ms % 1000)};
}

std::string shortDate(DateTimeValue value) {
    const year_month_day date{split(value).day};
    return common::format<"%02u.%02u.%04d">(static_cast<unsigned>(date.day()),
                                            static_cast<unsigned>(date.month()),
                                            static_cast<int>(date.year()));
}

std::string longTime(DateTimeValue value) {
    const long long ms = split(value).millisecond;
    return common::format<"%02lld:%02lld:%02lld">(ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60);
}

std::string dateAndTime(DateTimeValue value) {
    return shortDate(value) + " " + longTime(value);
}

}  // namespace qrt::archive
