#pragma once

#include <chrono>
#include <vector>

#include "common/clock.h"

namespace qrt::testing {

/// Virtual time: sleeping advances it at once and is recorded.
class FakeClock final : public common::Clock {
  public:
    [[nodiscard]] common::DateTime localTime() const override { return at(local); }
    [[nodiscard]] common::DateTime utcTime() const override { return at(utc); }
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::time_point{} + elapsed;
    }
    void sleep(std::chrono::milliseconds duration) override {
        sleeps.push_back(duration);
        elapsed += duration;
    }

    common::DateTime local{2026, 12, 8, 10, 30, 0, 0};
    common::DateTime utc{2026, 12, 8, 9, 30, 0, 0};
    std::chrono::milliseconds elapsed{0};
    std::vector<std::chrono::milliseconds> sleeps;

  private:
    // The time of day moves on with the virtual time slept.
    [[nodiscard]] common::DateTime at(common::DateTime base) const {
        const long long ms = base.millisecond +
                             1000LL * (base.second + 60LL * (base.minute + 60LL * base.hour)) +
                             elapsed.count();
        base.millisecond = static_cast<int>(ms % 1000);
        base.second = static_cast<int>(ms / 1000 % 60);
        base.minute = static_cast<int>(ms / 60000 % 60);
        base.hour = static_cast<int>(ms / 3600000 % 24);
        return base;
    }
};

}  // namespace qrt::testing
