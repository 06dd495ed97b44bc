#pragma once

#include <cstdint>

namespace qrt::frames {

/// A module ID: the module type in bits 28 to 31, the serial number in bits 0 to 27;
/// all ones addresses every module.
inline constexpr std::uint32_t kBroadcastId = 0xFFFFFFFF;
inline constexpr std::uint32_t kSerialMask = 0x0FFFFFFF;

/// The ID of a type and serial number, the serial number cut to its 28 bits: how the
/// firmware target and the receive ID filter name a module.
constexpr std::uint32_t moduleId(std::uint32_t type, std::uint32_t serial) {
    return (type << 28) | (serial & kSerialMask);
}

/// The ID as the radio commands and the archive requests build it from the operator's
/// fields: the serial number is not cut, so a number wider than 28 bits mixes its top
/// bits into the type. Modules in the field are addressed that way; keep it.
constexpr std::uint32_t commandModuleId(std::uint32_t type, std::uint32_t serial) {
    return (type << 28) | serial;
}

constexpr std::uint32_t moduleTypeOf(std::uint32_t id) {
    return id >> 28;
}
constexpr std::uint32_t serialOf(std::uint32_t id) {
    return id & kSerialMask;
}

}  // namespace qrt::frames
