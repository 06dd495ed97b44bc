#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "sim/transmission.h"

namespace qrt::sim {

/// A recording played back to the tool: the records interface A received, sent again in
/// their order with their recorded spacing (shortened by a speed factor). Everything is
/// read before the first byte goes out, so a damaged file sends nothing, and the same file
/// at the same speed always sends the same bytes at the same offsets.
class Playback {
  public:
    using Clock = std::chrono::steady_clock;

    /// The received records of the recording at `path`, or why not: the file's fault, or
    /// a recording that holds nothing received on interface A.
    [[nodiscard]] static common::Result<Playback> load(const std::string& path);

    /// The first record is due at `start`, each further one its recorded distance from the
    /// first divided by `speed` later.
    void start(Clock::time_point start, double speed);
    /// Hands every record due by `now` to `send`, in order.
    void sendDue(Clock::time_point now, const std::function<void(const Bytes&)>& send);
    [[nodiscard]] bool finished() const { return next_ == records_.size(); }
    [[nodiscard]] std::size_t records() const { return records_.size(); }

  private:
    struct Record {
        std::int64_t microseconds;  // from the first record
        Bytes bytes;
    };
    std::vector<Record> records_;
    std::size_t next_ = 0;
    Clock::time_point start_{};
    double speed_ = 1;
};

}  // namespace qrt::sim
