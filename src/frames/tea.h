#pragma once

#include <array>
#include <cstdint>

namespace qrt::frames {

using TeaKey = std::array<std::uint32_t, 4>;
using TeaBlock = std::array<std::uint8_t, 8>;

/// Enciphers one block with TEA (32 cycles, delta 0x9E3779B9). The block's two
/// 32-bit halves are little-endian: bytes 0 to 3, then 4 to 7.
constexpr TeaBlock TeaEncipher(const TeaKey& key, const TeaBlock& in) {
    auto half = [&](std::size_t at) {
        return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8) |
               (static_cast<std::uint32_t>(in[at + 2]) << 16) |
               (static_cast<std::uint32_t>(in[at + 3]) << 24);
    };
    std::uint32_t y = half(0);
    std::uint32_t z = half(4);
    std::uint32_t sum = 0;
    for (int cycle = 0; cycle < 32; ++cycle) {
        sum += 0x9E3779B9u;
        y += ((z << 4) + key[0]) ^ (z + sum) ^ ((z >> 5) + key[1]);
        z += ((y << 4) + key[2]) ^ (y + sum) ^ ((y >> 5) + key[3]);
    }
    TeaBlock out{};
    for (std::size_t i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(y >> (8 * i));
        out[4 + i] = static_cast<std::uint8_t>(z >> (8 * i));
    }
    return out;
}

/// The key of eight 16-bit words as the operator gives them: k0 = word 2 : word 1, ...,
/// k3 = word 8 : word 7.
[[nodiscard]] constexpr TeaKey keyFromWords(const std::array<std::uint16_t, 8>& words) {
    TeaKey key{};
    for (std::size_t k = 0; k < key.size(); ++k) {
        key[k] = (static_cast<std::uint32_t>(words[2 * k + 1]) << 16) | words[2 * k];
    }
    return key;
}

// Published TEA test vector: all-zero key and block give 41EA3A0A 94BAA940.
static_assert(TeaEncipher(TeaKey{}, TeaBlock{}) ==
              TeaBlock{0x0A, 0x3A, 0xEA, 0x41, 0x40, 0xA9, 0xBA, 0x94});

}  // namespace qrt::frames
