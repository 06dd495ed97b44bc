#pragma once

#include <array>
#include <cstdint>

#include "frames/module_address.h"

namespace qrt::frames {

using StandardFrame = std::array<std::uint8_t, 11>;
using InductiveFrame = std::array<std::uint8_t, 6>;
using ContentBlock = std::array<std::uint8_t, 8>;

/// A standard 11-byte frame with any header byte: header, ID, WordPar, BytePar,
/// sequence, CRC over bytes 0 to 8 from `crcStart`, high byte first. Modules send
/// their telegrams and replies in this layout.
StandardFrame buildStandardFrame(std::uint8_t header, std::uint32_t id, std::uint16_t wordPar,
                                 std::uint8_t bytePar, std::uint8_t sequence,
                                 std::uint16_t crcStart);

/// Command frame for interface A: code (low 5 bits), ID, WordPar, BytePar,
/// sequence, CRC over bytes 0 to 8 from `crcStart`, high byte first.
StandardFrame buildCommandFrame(std::uint8_t code, std::uint32_t id, std::uint16_t wordPar,
                                std::uint8_t bytePar, std::uint8_t sequence,
                                std::uint16_t crcStart);

/// Content frame: code 5, eight data bytes, CRC from `crcStart`.
StandardFrame buildContentFrame(const ContentBlock& data, std::uint16_t crcStart);

/// Inductive frame for interface B: code (all 8 bits), WordPar, BytePar, CRC from 0.
InductiveFrame buildInductiveFrame(std::uint8_t code, std::uint16_t wordPar, std::uint8_t bytePar);

}  // namespace qrt::frames
