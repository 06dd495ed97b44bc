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

// Slicing tables: entry k of byte n is the CRC of n followed by k zero bytes, so
// several bytes are folded in with one lookup each instead of a step each.
constexpr std::array<std::array<std::uint16_t, 256>, 8> makeSliceTables() {
    std::array<std::array<std::uint16_t, 256>, 8> tables{};
    tables[0] = kCrcTable;
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (std::size_t n = 0; n < 256; ++n) {
            const std::uint16_t previous = tables[k - 1][n];
            tables[k][n] =
                static_cast<std::uint16_t>((previous >> 8) ^ kCrcTable[previous & 0xFFu]);
        }
    }
    return tables;
}
inline constexpr auto kSliceTables = makeSliceTables();
}  // namespace detail

/// One step of the reflected CRC-16 with polynomial 0x8005 (the CRC-16/ARC table).
constexpr std::uint16_t Crc16Update(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>(detail::kCrcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8));
}

/// Four steps at once: the same as Crc16Update over bytes[0] to bytes[3].
constexpr std::uint16_t Crc16Update4(std::uint16_t crc, std::span<const std::uint8_t, 4> bytes) {
    const auto& t = detail::kSliceTables;
    crc ^= static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    return static_cast<std::uint16_t>(t[3][crc & 0xFFu] ^ t[2][crc >> 8] ^ t[1][bytes[2]] ^
                                      t[0][bytes[3]]);
}

/// The CRC over a byte run from a start value, eight bytes per step. Frames carry it
/// high byte first.
constexpr std::uint16_t crc16(std::span<const std::uint8_t> bytes, std::uint16_t start) {
    const auto& t = detail::kSliceTables;
    std::uint16_t crc = start;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        crc ^= static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8));
        crc = static_cast<std::uint16_t>(
            t[7][crc & 0xFFu] ^ t[6][crc >> 8] ^ t[5][bytes[i + 2]] ^ t[4][bytes[i + 3]] ^
            t[3][bytes[i + 4]] ^ t[2][bytes[i + 5]] ^ t[1][bytes[i + 6]] ^ t[0][bytes[i + 7]]);
    }
    for (; i < bytes.size(); ++i) {
        crc = Crc16Update(crc, bytes[i]);
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
