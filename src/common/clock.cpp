#include "common/clock.h"

#include <ctime>
#include <thread>

namespace qrt::common {
namespace {

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
