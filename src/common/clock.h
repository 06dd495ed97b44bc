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
    bool operator==(const DateTime&) const = default;
};

/// A moment as the values keep it: milliseconds since 1970 in UTC, so a change of the
/// clocks (daylight saving) moves nothing, with the local time's offset from UTC at that
/// moment, so it can be shown as the operator's local time.
struct Timestamp {
    std::int64_t utcMilliseconds = 0;
    std::int32_t utcOffsetSeconds = 0;  // local time minus UTC

    /// The local calendar date and time of day.
    [[nodiscard]] DateTime local() const;
    /// A local date and time that lies `utcOffsetSeconds` ahead of UTC.
    [[nodiscard]] static Timestamp fromLocal(const DateTime& local, std::int32_t utcOffsetSeconds);
    bool operator==(const Timestamp&) const = default;
};

/// A local date and time placed by the system's time zone, daylight saving included: the
/// moment of a time a module recorded in the local time of its site.
[[nodiscard]] Timestamp systemTimestampOfLocal(const DateTime& local);

/// The moment `utcMilliseconds` with the system's local offset at that moment.
[[nodiscard]] Timestamp systemTimestampAt(std::int64_t utcMilliseconds);

/// Time source and blocking sleep. The protocol engines wait through it, so tests
/// can run them in virtual time.
class Clock {
  public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual DateTime localTime() const = 0;
    [[nodiscard]] virtual DateTime utcTime() const = 0;
    /// Now, as the values keep it; by default from the local and the UTC time.
    [[nodiscard]] virtual Timestamp timestamp() const;
    /// Now in microseconds since 1970 (UTC), as recordings keep it; by default the
    /// timestamp's milliseconds.
    [[nodiscard]] virtual std::int64_t utcMicroseconds() const;
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
    [[nodiscard]] Timestamp timestamp() const override;
    [[nodiscard]] std::int64_t utcMicroseconds() const override;
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override;
    void sleep(std::chrono::milliseconds duration) override;
};

/// A clock that never moves and never waits: for decoding captures offline.
class StoppedClock final : public Clock {
  public:
    explicit StoppedClock(const Timestamp& at = {}) : at_(at) {}
    /// Moves the clock to `at` (a replay that follows a recording's times).
    void set(const Timestamp& at) { at_ = at; }
    [[nodiscard]] DateTime localTime() const override { return at_.local(); }
    [[nodiscard]] DateTime utcTime() const override {
        return Timestamp{at_.utcMilliseconds}.local();
    }
    [[nodiscard]] Timestamp timestamp() const override { return at_; }
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override { return {}; }
    void sleep(std::chrono::milliseconds) override {}

  private:
    Timestamp at_;
};

}  // namespace qrt::common
