#pragma once

#include <cstdint>
#include <vector>

namespace qrt::values {

/// The step between the ticks of a value axis, 1, 2 or 5 times a power of ten (ticks
/// lie on its multiples), and the decimals a label needs to show it.
struct ValueStep {
    double step = 1;
    int decimals = 0;
};

/// The smallest such step that puts at most `maxTicks` ticks on [low, high]; 1 for an
/// empty or unreadable range.
[[nodiscard]] ValueStep valueStep(double low, double high, int maxTicks);

/// The ticks of a time axis over [from, to], in milliseconds of wall-clock time (local
/// time counted as if it were UTC, so that days begin at local midnight): at most
/// `maxTicks` of them, a round number of (tenths of) seconds, minutes, hours, days or
/// weeks apart, each on a multiple of its step (weeks begin on Mondays).
struct TimeTicks {
    std::int64_t step = 0;         // milliseconds
    std::vector<std::int64_t> at;  // ascending, within [from, to]
};
[[nodiscard]] TimeTicks timeTicks(std::int64_t from, std::int64_t to, int maxTicks);

}  // namespace qrt::values
