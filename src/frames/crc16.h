#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qrt::frames {

namespace detail {
constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                                  : static_cast<std::uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}
inline constexpr std::array<std::uint16_t, 256> kCrcTable = makeCrcTable();
}  // namespace detail

/// One step of the reflected CRC-16 with polynomial 0x8005 (the CRC-16/ARC table).
constexpr std::uint16_t Crc16Update(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>(detail::kCrcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8));
}

/// The CRC over a byte run from a start value. Frames carry it high byte first.
constexpr std::uint16_t crc16(std::span<const std::uint8_t> bytes, std::uint16_t start) {
    std::uint16_t crc = start;
    for (const std::uint8_t byte : bytes) {
        crc = Crc16Update(crc, byte);
    }
    return crc;
}

namespace detail {
inline constexpr std::array<std::uint8_t, 9> kCheckInput{'1', '2', '3', '4', '5',
                                                         '6', '7', '8', '9'};
}
static_assert(crc16(detail::kCheckInput, 0) == 0xBB3D, "CRC-16/ARC check value");

/// True when the two bytes behind `data` hold its CRC, high byte first.
constexpr bool crcMatches(std::span<const std::uint8_t> data, std::uint8_t high, std::uint8_t low,
                          std::uint16_t start) {
    const std::uint16_t crc = crc16(data, start);
    return high == (crc >> 8) && low == (crc & 0xFFu);
}

}  // namespace qrt::frames
