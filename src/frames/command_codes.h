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
inline constexpr std::uint8_t kOpr = 16;            // operate: start, stop, logging on and off
inline constexpr std::uint8_t kFirmwareStart = 17;  // "FUINI"
inline constexpr std::uint8_t kFirmwareBlockHeader = 18;  // a 130-byte block follows
inline constexpr std::uint8_t kFirmwareControl = 19;      // "ecFUST": status or reboot
inline constexpr std::uint8_t kFurem = 21;
inline constexpr std::uint8_t kMeasure = 23;  // "cTMP"
inline constexpr std::uint8_t kAux1 = 24;
inline constexpr std::uint8_t kAux2 = 25;
inline constexpr std::uint8_t kDbw = 26;
}  // namespace code

/// One-byte commands to the interface box, on its own channel of the multiplexed link.
namespace box {
inline constexpr std::uint8_t kVersion = 0xE0;  // the box answers with its key state and version
inline constexpr std::uint8_t kBoot = 0xF0;
inline constexpr std::uint8_t kOnline = 0x41;
inline constexpr std::uint8_t kOffline = 0x40;
inline constexpr std::uint8_t kBeep = 0x80;           // plus the length, 0 to 7
inline constexpr std::uint8_t kEndOfFirmware = 0x83;  // after the last block of a transfer
inline constexpr std::uint8_t kLedMask = 0x1F;        // an LED pattern: colour, kind, 2 Hz
}  // namespace box

/// BytePar of the parameter reads (NVR) that ask a logging module for its archive.
namespace archive_request {
inline constexpr std::uint8_t kInfo = 0x43;       // reply: the write position in WordPar
inline constexpr std::uint8_t kWrapCheck = 0x44;  // reply: 0xFFFF while the ring has not wrapped
inline constexpr std::uint8_t kBatch = 0x80;      // plus a count of 1 to 64: blocks from WordPar on
inline constexpr std::uint8_t kSingleBlock = 0x81;  // the one block WordPar names
inline constexpr std::uint8_t kMaxBatch = 64;
}  // namespace archive_request

}  // namespace qrt::frames
