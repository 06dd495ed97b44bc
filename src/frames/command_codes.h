#pragma once

#include <cstdint>

namespace qrt::frames {

/// Command codes: byte 0 of the command frame (low five bits) and of the inductive frame.
/// Replies carry the codes' own types in their header byte.
namespace code {
inline constexpr std::uint8_t kData = 0;
inline constexpr std::uint8_t kContent = 5;
inline constexpr std::uint8_t kInf = 10;
inline constexpr std::uint8_t kNvr = 11;  // parameter read; also the archive requests
inline constexpr std::uint8_t kNvw = 12;  // parameter write
inline constexpr std::uint8_t kDbr = 13;
inline constexpr std::uint8_t kAut = 14;
inline constexpr std::uint8_t kVer = 15;
inline constexpr std::uint8_t kOpr = 16;  // operate: start, stop, logging on and off
inline constexpr std::uint8_t kFirmwareStart = 17;        // "FUINI"
inline constexpr std::uint8_t kFirmwareBlockHeader = 18;  // a 130-byte block follows
inline constexpr std::uint8_t kFirmwareControl = 19;      // "ecFUST": status or reboot
inline constexpr std::uint8_t kFurem = 21;
inline constexpr std::uint8_t kMeasure = 23;  // "cTMP"
inline constexpr std::uint8_t kAux1 = 24;
inline constexpr std::uint8_t kAux2 = 25;
inline constexpr std::uint8_t kDbw = 26;
}  // namespace code

}  // namespace qrt::frames
