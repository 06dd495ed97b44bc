#pragma once

#include <cstdint>

#include "frames/tea.h"

namespace qrt::frames {

/// The protocol settings every sender of frames uses, as the operator set them.
struct ProtocolSettings {
    bool binaryProtocol = false;     // inductive commands as 6-byte frames, not text lines
    std::uint16_t crcStart = 0;      // start value of the 11-byte frames' CRC
    std::uint8_t frameSequence = 0;  // sequence byte of the next command frame
    TeaKey authKey{};                // the authenticator's key, from the key fields

    /// Takes the current sequence byte and advances the counter (wrapping at 256).
    std::uint8_t nextSequence() { return frameSequence++; }
};

}  // namespace qrt::frames
