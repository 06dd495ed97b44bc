#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qrt::frames {

/// The ID that addresses every module.
inline constexpr std::uint32_t kBroadcastId = 0xFFFFFFFF;
inline constexpr std::uint32_t kSerialMask = 0x0FFFFFFF;

/// A module: its 4-bit type and its 28-bit serial number, written "TYPE.SERIAL" as every
/// ID the tool shows ("5.1234"). On the wire the two share one 32-bit ID: the type in
/// bits 28 to 31, the serial number in bits 0 to 27.
struct ModuleAddress {
    std::uint32_t type = 0;
    std::uint32_t serial = 0;

    /// "TYPE.SERIAL" with a type 0 to 15 and a serial number below 2^28, each decimal or
    /// 0x-hexadecimal, without sign; empty for anything else.
    [[nodiscard]] static std::optional<ModuleAddress> parse(std::string_view text);
    /// The module of a 32-bit ID.
    [[nodiscard]] static constexpr ModuleAddress fromId(std::uint32_t id) {
        return {id >> 28, id & kSerialMask};
    }

    /// "TYPE.SERIAL".
    [[nodiscard]] std::string text() const;

    /// The ID the radio commands and the archive requests carry. The serial number is
    /// not masked: a number the operator typed wider than 28 bits mixes its top bits into
    /// the type, and modules in the field are addressed that way.
    [[nodiscard]] constexpr std::uint32_t commandId() const { return (type << 28) | serial; }
    /// The ID the receive filter and the firmware target compare with what modules send:
    /// the serial number cut to its 28 bits.
    [[nodiscard]] constexpr std::uint32_t filterId() const {
        return (type << 28) | (serial & kSerialMask);
    }

    auto operator<=>(const ModuleAddress&) const = default;
};

}  // namespace qrt::frames
