#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrt::testing {

/// Bytes from a hex string such as "0F FF 10" (blanks ignored).
inline std::vector<std::uint8_t> hexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (const char c : text) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

/// Hex string of bytes, upper case, blank-separated.
template <typename Bytes>
std::string toHex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const auto byte : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(kDigits[(byte >> 4) & 0xF]);
        text.push_back(kDigits[byte & 0xF]);
    }
    return text;
}

}  // namespace qrt::testing
