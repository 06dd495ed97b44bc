#pragma once

#include <chrono>
#include <thread>

#include "common/clock.h"

namespace qrt::testing {

/// Real time, but every pause shortened twenty-fold: for end-to-end runs against the
/// simulator, which answers at once.
class QuickClock final : public common::Clock {
  public:
    [[nodiscard]] common::DateTime localTime() const override { return system_.localTime(); }
    [[nodiscard]] common::DateTime utcTime() const override { return system_.utcTime(); }
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override {
        return system_.now();
    }
    void sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(std::chrono::microseconds(duration.count() * 50));
    }

  private:
    common::SystemClock system_;
};

}  // namespace qrt::testing
