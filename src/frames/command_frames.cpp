#include "frames/command_frames.h"

#include "frames/byte_order.h"
#include "frames/command_codes.h"
#include "frames/crc16.h"

namespace qrt::frames {

StandardFrame buildStandardFrame(std::uint8_t header, std::uint32_t id, std::uint16_t wordPar,
                                 std::uint8_t bytePar, std::uint8_t sequence,
                                 std::uint16_t crcStart) {
    StandardFrame frame{};
    frame[0] = header;
    writeLe32(frame, 1, id);
    writeLe16(frame, 5, wordPar);
    frame[7] = bytePar;
    frame[8] = sequence;
    writeCrc(frame, 9, crc16(std::span(frame).first(9), crcStart));
    return frame;
}

StandardFrame buildCommandFrame(std::uint8_t code, std::uint32_t id, std::uint16_t wordPar,
                                std::uint8_t bytePar, std::uint8_t sequence,
                                std::uint16_t crcStart) {
    return buildStandardFrame(code & 0x1Fu, id, wordPar, bytePar, sequence, crcStart);
}

StandardFrame buildContentFrame(const ContentBlock& data, std::uint16_t crcStart) {
    StandardFrame frame{};
    frame[0] = code::kContent;
    for (std::size_t i = 0; i < data.size(); ++i) {
        frame[1 + i] = data[i];
    }
    writeCrc(frame, 9, crc16(std::span(frame).first(9), crcStart));
    return frame;
}

InductiveFrame buildInductiveFrame(std::uint8_t code, std::uint16_t wordPar, std::uint8_t bytePar) {
    InductiveFrame frame{};
    frame[0] = code;
    writeLe16(frame, 1, wordPar);
    frame[3] = bytePar;
    writeCrc(frame, 4, crc16(std::span(frame).first(4), 0));
    return frame;
}

}  // namespace qrt::frames
