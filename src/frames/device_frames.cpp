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

LoggerBlockFrame buildLoggerBlock(const LoggerWords& words, std::uint16_t crcStart) {
    LoggerBlockFrame frame{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        writeLe16(frame, 2 * i, words[i]);
    }
    writeCrc(frame, 64, crc16(std::span(frame).first(64), crcStart));
    return frame;
}

}  // namespace qrt::frames
