#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrt::testing {

/// Repeatable pseudo-random bytes (a linear congruential generator), for noise.
inline std::vector<std::uint8_t> pseudoRandomBytes(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

}  // namespace qrt::testing
