#pragma once

#include <chrono>
#include <cstdint>

namespace qrt::common {

/// A calendar date and time of day, as the operating system reports it.
struct DateTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Time source and blocking sleep. The protocol engines wait through it, so tests
/// can run them in virtual time.
class Clock {
  public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual DateTime localTime() const = 0;
    [[nodiscard]] virtual DateTime utcTime() const = 0;
    /// Monotonic time, for measuring how long work took.
    [[nodiscard]] virtual std::chrono::steady_clock::time_point now() const = 0;
    /// Blocks the calling thread for the given time.
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

/// The system clock.
class SystemClock final : public Clock {
  public:
    [[nodiscard]] DateTime localTime() const override;
    [[nodiscard]] DateTime utcTime() const override;
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override;
    void sleep(std::chrono::milliseconds duration) override;
};

/// A clock that never moves and never waits: for decoding captures offline.
class StoppedClock final : public Clock {
  public:
    explicit StoppedClock(const DateTime& at = {}) : at_(at) {}
    [[nodiscard]] DateTime localTime() const override { return at_; }
    [[nodiscard]] DateTime utcTime() const override { return at_; }
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override { return {}; }
    void sleep(std::chrono::milliseconds) override {}

  private:
    DateTime at_;
};

}  // namespace qrt::common
