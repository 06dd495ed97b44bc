#include "values/axis_ticks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qrt::values {

namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kWeek = 7 * kDay;
constexpr std::int64_t kFirstMonday = 4 * kDay;  // 1 January 1970 was a Thursday

// The steps a time axis takes, shortest first.
constexpr std::array<std::int64_t, 30> kTimeSteps{
    100,          200,          500,          kSecond,    2 * kSecond, 5 * kSecond,
    10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute,    2 * kMinute, 5 * kMinute,
    10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,      2 * kHour,   3 * kHour,
    6 * kHour,    12 * kHour,   kDay,         2 * kDay,   kWeek,       2 * kWeek,
    4 * kWeek,    100 * kDay,   200 * kDay,   500 * kDay, 1000 * kDay, 5000 * kDay};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) {
    return -floorDiv(-a, b);
}

// Whole weeks begin on a Monday; every other step counts from 1 January 1970.
std::int64_t originOf(std::int64_t step) {
    return step % kWeek == 0 ? kFirstMonday : 0;
}

// Ticks on the multiples of `step` within [low, high], allowing for rounding.
double valueTickCount(double low, double high, double step) {
    constexpr double kSlack = 1e-9;
    return std::floor(high / step + kSlack) - std::ceil(low / step - kSlack) + 1;
}

}  // namespace

ValueStep valueStep(double low, double high, int maxTicks) {
    const double span = high - low;
    if (!(span > 0) || !std::isfinite(span)) {
        return {};
    }
    const int ticks = std::max(maxTicks, 2);
    int exponent = static_cast<int>(std::floor(std::log10(span / ticks)));
    for (;; ++exponent) {
        for (const double mantissa : {1.0, 2.0, 5.0}) {
            const double step = mantissa * std::pow(10.0, exponent);
            if (valueTickCount(low, high, step) <= ticks) {
                return {step, std::max(0, -exponent)};
            }
        }
    }
}

TimeTicks timeTicks(std::int64_t from, std::int64_t to, int maxTicks) {
    TimeTicks ticks;
    if (to < from) {
        return ticks;
    }
    const std::int64_t most = std::max(maxTicks, 2);
    ticks.step = kTimeSteps.back();
    for (const std::int64_t step : kTimeSteps) {
        const std::int64_t origin = originOf(step);
        if (floorDiv(to - origin, step) - ceilDiv(from - origin, step) + 1 <= most) {
            ticks.step = step;
            break;
        }
    }
    const std::int64_t origin = originOf(ticks.step);
    for (std::int64_t at = origin + ceilDiv(from - origin, ticks.step) * ticks.step; at <= to;
         at += ticks.step) {
        ticks.at.push_back(at);
    }
    return ticks;
}

}  // namespace qrt::values
