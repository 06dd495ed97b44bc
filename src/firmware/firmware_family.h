#pragma once

#include <cstdint>

namespace qrt::firmware {

/// The values that differ between the three device families of firmware images.
struct FirmwareFamily {
    const char* tag;             // the image's first four bytes, compared case-insensitively
    std::uint32_t maxBlocks;     // largest image, in 128-byte blocks
    std::uint8_t startFlag;      // BytePar of the start frame
    std::uint8_t headerFlag;     // BytePar of each block header
    std::uint8_t statusFlag;     // BytePar of a status request
    std::uint8_t rebootFlag;     // BytePar of a reboot
    bool countLessOne;           // the start frame announces the block count less one
    std::uint8_t resendBytePar;  // BytePar of a status reply that allows a resend
};

/// The family of a firmware target type: 8, 7, or any other.
[[nodiscard]] const FirmwareFamily& familyFor(std::int32_t targetType);

}  // namespace qrt::firmware
