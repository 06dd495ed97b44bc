#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qrt::common {

// Operator input is read the way C's sscanf reads these conversions: leading blanks
// skipped, an optional sign, then digits up to the first character that does not
// fit. The result is empty when no digit could be read. Values too large for the
// target wrap to its width, as the C library's conversion does.

/// "%i": decimal, "0x"/"0X" hexadecimal or leading-zero octal, into 32 bits.
[[nodiscard]] std::optional<std::int32_t> scanInt(std::string_view text);
/// "%x": hexadecimal digits with or without a "0x" prefix, into 32 bits.
[[nodiscard]] std::optional<std::uint32_t> scanHex(std::string_view text);
/// "%hi": as scanInt, into 16 bits.
[[nodiscard]] std::optional<std::int16_t> scanShortInt(std::string_view text);
/// "%hx": as scanHex, into 16 bits.
[[nodiscard]] std::optional<std::uint16_t> scanShortHex(std::string_view text);

}  // namespace qrt::common
