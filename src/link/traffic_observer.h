#pragma once

#include <cstdint>
#include <span>

namespace qrt::link {

enum class Target;

/// Watches what the link writes and what reaches the receiver's ring, for as long as it
/// is attached to the link (a recording of the traffic).
class TrafficObserver {
  public:
    virtual ~TrafficObserver() = default;
    /// A byte run was written for `target` (before the interface box's framing).
    virtual void sent(Target target, std::span<const std::uint8_t> bytes) = 0;
    /// Bytes were stored into the receiver's ring, just read from port A (on the
    /// multiplexed link: the receiver's channel, the box's framing taken off).
    virtual void received(std::span<const std::uint8_t> bytes) = 0;
    /// A port was opened and the receiver's ring emptied: what it held goes unread.
    virtual void receiverRingEmptied() = 0;
};

}  // namespace qrt::link
