// The ticks of the plots' axes: round numbers a technician reads at a glance.
#include "values/axis_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace qrt::values;

namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
// 18 November 2026 03:00, as the wall clock reads it.
constexpr std::int64_t kMorning = 1'794'970'800'000LL;

double ticksOn(double low, double high, double step) {
    return std::floor(high / step + 1e-9) - std::ceil(low / step - 1e-9) + 1;
}

}  // namespace

// From hundredths of a degree to a million counts: the step is 1, 2 or 5 times a power
// of ten, as fine as the ticks allow, and the labels show just the decimals it needs.
TEST(AxisTicks, ValueStepsAreOneTwoOrFiveTimesAPowerOfTenAndAsFineAsAllowed) {
    for (const double magnitude : {0.01, 0.1, 1.0, 7.5, 100.0, 3229.1, 1e4, 1e6}) {
        for (const double spread : {0.001, 0.3, 1.0, 2.5}) {
            for (const int maxTicks : {3, 5, 8, 12}) {
                const double low = magnitude - magnitude * spread * 0.4;
                const double high = magnitude + magnitude * spread * 0.6;
                const ValueStep chosen = valueStep(low, high, maxTicks);
                const double power = std::pow(10.0, std::floor(std::log10(chosen.step) + 1e-9));
                const double mantissa = std::round(chosen.step / power);
                EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << chosen.step;
                EXPECT_NEAR(chosen.step, mantissa * power, power * 1e-9);
                EXPECT_LE(ticksOn(low, high, chosen.step), maxTicks) << low << ".." << high;
                const double finer = mantissa == 1 ? power / 2 : mantissa == 2 ? power : power * 2;
                EXPECT_GT(ticksOn(low, high, finer), maxTicks) << low << ".." << high;
                EXPECT_EQ(chosen.decimals, std::max(0, -static_cast<int>(std::log10(power) - 0.5)))
                    << chosen.step;
            }
        }
    }
}

TEST(AxisTicks, ValueStepsOfTheRangesTechniciansSee) {
    struct Case {
        double low, high;
        int maxTicks;
        double step;
        int decimals;
    };
    for (const Case& c : {Case{-7.6, 25.9, 8, 5, 0},         // temperatures: -5, 0, ... 25
                          Case{2.895, 3.005, 6, 0.02, 2},    // a battery
                          Case{-0.05, 1.05, 6, 0.2, 1},      // a digital input
                          Case{0, 0.01, 6, 0.002, 3},        // hundredths
                          Case{3229.1, 9113.5, 6, 1000, 0},  // counts
                          Case{0, 1e6, 6, 200'000, 0}}) {    // a million
        const ValueStep chosen = valueStep(c.low, c.high, c.maxTicks);
        EXPECT_DOUBLE_EQ(chosen.step, c.step) << c.low << ".." << c.high;
        EXPECT_EQ(chosen.decimals, c.decimals) << c.low << ".." << c.high;
    }
    EXPECT_DOUBLE_EQ(valueStep(1, 1, 6).step, 1);  // nothing to divide
}

// From a second to a month: ticks on round seconds, minutes, hours, days or Mondays.
TEST(AxisTicks, TimeTicksLieOnRoundTimesForSpansFromASecondToAMonth) {
    const std::set<std::int64_t> steps{
        100,          200,          500,          kSecond,  2 * kSecond, 5 * kSecond,
        10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute,  2 * kMinute, 5 * kMinute,
        10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,    2 * kHour,   3 * kHour,
        6 * kHour,    12 * kHour,   kDay,         2 * kDay, 7 * kDay,    14 * kDay};
    for (const std::int64_t span : {kSecond, 19 * kSecond, kMinute, 7 * kMinute, kHour, 5 * kHour,
                                    kDay, 3 * kDay, 7 * kDay, 30 * kDay}) {
        for (const int maxTicks : {4, 6, 10}) {
            const std::int64_t from = kMorning + 12'345;
            const TimeTicks ticks = timeTicks(from, from + span, maxTicks);
            EXPECT_TRUE(steps.contains(ticks.step)) << span << ": " << ticks.step;
            EXPECT_LE(ticks.at.size(), static_cast<std::size_t>(maxTicks)) << span;
            EXPECT_GE(ticks.at.size(), 2u) << span << " in " << maxTicks;
            for (const std::int64_t at : ticks.at) {
                EXPECT_GE(at, from);
                EXPECT_LE(at, from + span);
                const std::int64_t fromMonday = at - 4 * kDay;
                EXPECT_EQ((ticks.step % (7 * kDay) == 0 ? fromMonday : at) % ticks.step, 0)
                    << span << ": " << at;
            }
        }
    }
}

TEST(AxisTicks, TimeTicksOfTheSpansTechniciansSee) {
    // 03:43:13 to 03:43:32: every five seconds from 03:43:15.
    const TimeTicks seconds = timeTicks(kMorning + 43 * kMinute + 13 * kSecond,
                                        kMorning + 43 * kMinute + 32 * kSecond, 6);
    EXPECT_EQ(seconds.step, 5 * kSecond);
    EXPECT_EQ(seconds.at.front(), kMorning + 43 * kMinute + 15 * kSecond);
    EXPECT_EQ(seconds.at.size(), 4u);
    // A week's archive from 03:00: every midnight.
    const TimeTicks week = timeTicks(kMorning, kMorning + 7 * kDay, 8);
    EXPECT_EQ(week.step, kDay);
    EXPECT_EQ(week.at.front(), kMorning + 21 * kHour);
    // A month: on Mondays (23 November 2026 was one).
    const TimeTicks month = timeTicks(kMorning, kMorning + 30 * kDay, 6);
    EXPECT_EQ(month.step, 7 * kDay);
    EXPECT_EQ(month.at.front(), kMorning + 5 * kDay - 3 * kHour);
}
