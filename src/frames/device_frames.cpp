#include "frames/device_frames.h"

#include <span>

#include "frames/byte_order.h"
#include "frames/crc16.h"

namespace qrt::frames {

ShortTelegramFrame buildShortTelegram(std::uint8_t moduleNumber, std::int16_t temperature,
                                      std::uint8_t battery, std::uint8_t status,
                                      std::uint16_t crcStart) {
    ShortTelegramFrame frame{};
    frame[0] = moduleNumber;
    writeLe16(frame, 1, static_cast<std::uint16_t>(temperature));
    frame[3] = battery;
    frame[4] = status;
    writeCrc(frame, 5, crc16(std::span(frame).first(5), crcStart));
    return frame;
}

namespace {

// A type-5 frame whose bytes 1 to 8 are four little-endian words.
std::array<std::uint8_t, 11> buildType5(const std::array<std::uint16_t, 4>& words,
                                        std::uint16_t crcStart) {
    std::array<std::uint8_t, 11> frame{};
    frame[0] = 5;
    for (std::size_t i = 0; i < words.size(); ++i) {
        writeLe16(frame, 1 + 2 * i, words[i]);
    }
    writeCrc(frame, 9, crc16(std::span(frame).first(9), crcStart));
    return frame;
}

}  // namespace

std::array<std::uint8_t, 11> buildContinuousSamples(const std::array<std::int16_t, 4>& samples,
                                                    std::uint16_t crcStart) {
    std::array<std::uint16_t, 4> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(samples[i]);
    }
    return buildType5(words, crcStart);
}

std::array<std::uint8_t, 11> buildTelegramExtension(const std::array<std::uint8_t, 3>& kinds,
                                                    const std::array<std::uint16_t, 3>& values,
                                                    std::uint16_t crcStart) {
    const auto kindWord = static_cast<std::uint16_t>((kinds[0] & 0xF) | ((kinds[1] & 0xF) << 4) |
                                                     ((kinds[2] & 0xF) << 8));
    return buildType5({kindWord, values[0], values[1], values[2]}, crcStart);
}

LoggerBlockFrame buildLoggerBlock(const LoggerWords& words, std::uint16_t crcStart) {
    LoggerBlockFrame frame{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        writeLe16(frame, 2 * i, words[i]);
    }
    writeCrc(frame, 64, crc16(std::span(frame).first(64), crcStart));
    return frame;
}

}  // namespace qrt::frames
