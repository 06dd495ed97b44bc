#pragma once

#include <array>
#include <cstdint>

namespace qrt::frames {

using ShortTelegramFrame = std::array<std::uint8_t, 7>;
using LoggerBlockFrame = std::array<std::uint8_t, 66>;
using LoggerWords = std::array<std::uint16_t, 32>;

/// A module's 7-byte short telegram: module number, temperature (hundredths of a
/// degree, signed, little-endian), battery (units of 0.02 V), status, CRC.
ShortTelegramFrame buildShortTelegram(std::uint8_t moduleNumber, std::int16_t temperature,
                                      std::uint8_t battery, std::uint8_t status,
                                      std::uint16_t crcStart);

/// A type-5 frame of four continuous samples (signed 16-bit, little-endian).
std::array<std::uint8_t, 11> buildContinuousSamples(const std::array<std::int16_t, 4>& samples,
                                                    std::uint16_t crcStart);

/// A type-5 frame extending a battery/digital telegram: three 4-bit channel kinds and
/// their three 16-bit values.
std::array<std::uint8_t, 11> buildTelegramExtension(const std::array<std::uint8_t, 3>& kinds,
                                                    const std::array<std::uint16_t, 3>& values,
                                                    std::uint16_t crcStart);

/// A logging module's 66-byte block: 32 little-endian words and their CRC.
LoggerBlockFrame buildLoggerBlock(const LoggerWords& words, std::uint16_t crcStart);

}  // namespace qrt::frames
