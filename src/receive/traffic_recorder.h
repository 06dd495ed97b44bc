#pragma once

#include <cstdint>
#include <vector>

#include "common/clock.h"
#include "link/recording_writer.h"
#include "receive/recording_sink.h"

namespace qrt::receive {

/// Records the traffic into a recording as it goes: every byte run the tool writes, and
/// every byte that reaches the receiver's ring, once the poller has taken it, in one
/// record per frame and one per run of bytes that formed no frame, so the received
/// records joined give back the receiver's byte stream. A record's time is when its last
/// byte was taken from the port. What a poll took is written out when it ends.
class TrafficRecorder final : public RecordingSink {
  public:
    TrafficRecorder(link::RecordingWriter& writer, const common::Clock& clock)
        : writer_(writer), clock_(clock) {}
    TrafficRecorder(const TrafficRecorder&) = delete;
    TrafficRecorder& operator=(const TrafficRecorder&) = delete;

    void sent(link::Target target, std::span<const std::uint8_t> bytes) override;
    void received(std::span<const std::uint8_t> bytes) override;
    void receiverRingEmptied() override { recordUntaken(); }
    void taken(link::RecordKind kind, std::size_t count) override;
    void pollFinished() override;

    /// Records what the receiver's ring still holds as bytes that formed no frame, and
    /// writes everything out: the end of a recording. False once a write has failed.
    bool finish();

  private:
    // A read from the port: where its bytes end in `pending_` and when it was taken.
    struct Arrival {
        std::uint64_t end;
        std::int64_t utcMicroseconds;
    };
    void record(link::RecordKind kind, std::size_t count);
    void recordNoise();
    void recordUntaken();

    link::RecordingWriter& writer_;
    const common::Clock& clock_;
    std::vector<std::uint8_t> pending_;  // received, not yet taken, from `taken_` on
    std::size_t head_ = 0;               // the first byte of `pending_` not yet recorded
    std::uint64_t recorded_ = 0;         // bytes recorded before `pending_[head_]`
    std::vector<Arrival> arrivals_;      // of the bytes not yet recorded, oldest first
    std::size_t noise_ = 0;              // taken as no frame, not yet recorded
};

}  // namespace qrt::receive
