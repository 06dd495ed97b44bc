#pragma once

#include <cstdint>

#include "frames/byte_order.h"
#include "frames/command_frames.h"
#include "frames/module_address.h"

namespace qrt::receive {

/// The fields of a received 11-byte standard frame.
struct FrameFields {
    explicit FrameFields(const frames::StandardFrame& frame)
        : header(frame[0]),
          id(frames::readLe32(frame, 1)),
          wp(frames::readLe16(frame, 5)),
          bp(frame[7]),
          sequence(frame[8]) {}

    /// 0 for a spontaneous telegram (any of bits 5 to 7 set), else bits 0 to 4.
    [[nodiscard]] std::uint32_t type() const { return (header & 0xE0u) != 0 ? 0 : header & 0x1Fu; }
    [[nodiscard]] std::uint32_t rField() const { return header >> 5; }
    [[nodiscard]] frames::ModuleAddress module() const { return frames::ModuleAddress::fromId(id); }
    [[nodiscard]] std::int32_t wpSigned() const { return static_cast<std::int16_t>(wp); }

    std::uint8_t header;
    std::uint32_t id;
    std::uint16_t wp;
    std::uint8_t bp;
    std::uint8_t sequence;
};

}  // namespace qrt::receive
