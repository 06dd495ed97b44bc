#pragma once

#include <cstdint>

#include "common/clock.h"
#include "frames/command_frames.h"
#include "frames/protocol_settings.h"
#include "link/link.h"

namespace qrt::frames {

/// Builds the binary command frames and writes them to the ports, with the protocol
/// settings kept beside it. Nothing is checked: a write to a closed port is lost, and
/// no sender looks at the result.
class FrameSender {
  public:
    FrameSender(link::Link& link, ProtocolSettings& protocol, common::Clock& clock)
        : link_(link), protocol_(protocol), clock_(clock) {}

    /// The link the frames go to; the text commands and box bytes are written there too.
    [[nodiscard]] link::Link& link() { return link_; }
    [[nodiscard]] ProtocolSettings& protocol() { return protocol_; }

    /// Command frame to port A (channel 0 on the multiplexed link). The code keeps its
    /// low five bits. The caller passes the sequence byte (ProtocolSettings::nextSequence).
    std::size_t SendCommandFrame(std::uint8_t command, std::uint32_t id, std::uint16_t wordPar,
                                 std::uint8_t bytePar, std::uint8_t sequence);
    /// Content frame (code 5) carrying eight data bytes, to port A.
    std::size_t SendContentFrame(const ContentBlock& data);
    /// Inductive frame to port B (channel 1 on the multiplexed link), after the line
    /// break when `withBreak` is set.
    std::size_t SendInductiveFrame(std::uint8_t code, std::uint16_t wordPar, std::uint8_t bytePar,
                                   bool withBreak);
    /// Wakes the inductive head: break on port B for 50 ms, then 100 ms of quiet.
    /// Nothing on the multiplexed link.
    void SendBreak();

    /// The last command or inductive frame built (an inductive frame overwrites the
    /// first six bytes); the authenticator enciphers its bytes 1 to 8.
    [[nodiscard]] const StandardFrame& lastCommandFrame() const { return lastCommandFrame_; }

  private:
    link::Link& link_;
    ProtocolSettings& protocol_;
    common::Clock& clock_;
    StandardFrame lastCommandFrame_{};
};

}  // namespace qrt::frames
