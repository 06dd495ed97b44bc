#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qrt::frames {

// Multi-byte fields of all frames are little-endian; only CRCs go high byte first.

constexpr std::uint16_t readLe16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

constexpr std::uint32_t readLe32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

constexpr void writeLe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t value) {
    b[at] = static_cast<std::uint8_t>(value);
    b[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void writeLe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

/// Stores a CRC high byte first.
constexpr void writeCrc(std::span<std::uint8_t> b, std::size_t at, std::uint16_t crc) {
    b[at] = static_cast<std::uint8_t>(crc >> 8);
    b[at + 1] = static_cast<std::uint8_t>(crc);
}

}  // namespace qrt::frames
