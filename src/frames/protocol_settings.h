#pragma once

#include <cstdint>

#include "frames/tea.h"

namespace qrt::frames {

/// The key in force until the operator gives the installation's own: the words 0123 4567
/// 89AB CDEF FEDC BA98 7654 3210.
inline constexpr TeaKey kDefaultKey =
    keyFromWords({0x0123, 0x4567, 0x89AB, 0xCDEF, 0xFEDC, 0xBA98, 0x7654, 0x3210});

/// The protocol settings every sender of frames uses, as the operator set them.
struct ProtocolSettings {
    bool binaryProtocol = false;     // inductive commands as 6-byte frames, not text lines
    std::uint16_t crcStart = 0;      // start value of the 11-byte frames' CRC
    std::uint8_t frameSequence = 0;  // sequence byte of the next command frame
    TeaKey authKey = kDefaultKey;    // the authenticator's key, as the operator gives it

    /// Takes the current sequence byte and advances the counter (wrapping at 256).
    std::uint8_t nextSequence() { return frameSequence++; }
};

}  // namespace qrt::frames
