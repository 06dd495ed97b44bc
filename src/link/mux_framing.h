#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/receive_ring.h"

namespace qrt::link {

// Framing of the multiplexed link to the interface box: STX, channel byte, payload
// with every DLE doubled, DLE ETX. Channel 0 is the receiver, 1 the inductive head,
// 2 the box itself.
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kEtx = 0x03;

/// Wraps a payload for one channel. The frame is at most 2n + 4 bytes long.
[[nodiscard]] std::vector<std::uint8_t> wrapMuxFrame(std::uint8_t channel,
                                                     std::span<const std::uint8_t> payload);

/// Converts a signal or background level byte to a level from -100 to 99.
[[nodiscard]] constexpr std::int32_t levelFromByte(std::uint8_t b) {
    return (static_cast<std::int32_t>(b) * 100 - 12800) / 128;
}

/// The receive side of the multiplexed link: splits the incoming byte stream into
/// ring 0 (receiver), ring 1 (inductive head) and the box status values.
class MuxReceiver {
  public:
    static constexpr std::int32_t kWaitStx = -1;
    static constexpr std::int32_t kWaitChannel = -2;

    /// Processes one read chunk in order. A closing DLE of a receiver frame is followed
    /// by the signal level byte; the background level is peeked from the byte after it
    /// when that byte is in the same chunk.
    void split(std::span<const std::uint8_t> chunk, ReceiveRing& ring0, ReceiveRing& ring1);

    /// Back to waiting for STX (every successful open).
    void reset() { muxState = kWaitStx; }

    // Receive state, and the status values the poller shows.
    std::int32_t muxState = kWaitStx;  // kWaitStx, kWaitChannel, c (in frame), c + 3 (after DLE)
    std::int32_t statusIndex = 0;
    std::int32_t signalLevel = 0;
    std::int32_t backgroundLevel = 0;
    std::int32_t keyState = 0;
    std::uint32_t boxVersion = 0;
    std::uint32_t boxReports = 0;  // frames of the box's own channel received

  private:
    void deliver(std::int32_t channel, std::uint8_t byte, ReceiveRing& ring0, ReceiveRing& ring1);
};

}  // namespace qrt::link
