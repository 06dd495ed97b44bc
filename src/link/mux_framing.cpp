#include "link/mux_framing.h"

#include <cstring>

namespace qrt::link {

std::vector<std::uint8_t> wrapMuxFrame(std::uint8_t channel,
                                       std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> frame;
    frame.reserve(2 * payload.size() + 4);
    frame.push_back(kStx);
    frame.push_back(channel);
    for (const std::uint8_t byte : payload) {
        frame.push_back(byte);
        if (byte == kDle) {
            frame.push_back(kDle);
        }
    }
    frame.push_back(kDle);
    frame.push_back(kEtx);
    return frame;
}

void MuxReceiver::split(std::span<const std::uint8_t> chunk, ReceiveRing& ring0,
                        ReceiveRing& ring1) {
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        if (muxState == kWaitStx) {
            // Between frames only STX counts: skip to it at once (noise, line garbage).
            const auto* stx = static_cast<const std::uint8_t*>(
                std::memchr(chunk.data() + i, kStx, chunk.size() - i));
            if (stx == nullptr) {
                return;
            }
            i = static_cast<std::size_t>(stx - chunk.data());
            muxState = kWaitChannel;
            continue;
        }
        const std::uint8_t byte = chunk[i];
        if (muxState == kWaitChannel) {
            // Bytes 0x80 to 0xFF are negative as signed channel numbers: dropped too.
            if (byte <= 2) {
                muxState = byte;
                statusIndex = 0;
            } else {
                muxState = kWaitStx;
            }
        } else if (muxState <= 2) {
            ++statusIndex;
            if (byte == kDle) {
                muxState += 3;
            } else {
                deliver(muxState, byte, ring0, ring1);
            }
        } else {
            const std::int32_t channel = muxState - 3;
            muxState = channel;
            if (byte == kDle) {
                deliver(channel, byte, ring0, ring1);
                continue;
            }
            muxState = kWaitStx;
            if (channel == 0) {
                signalLevel = levelFromByte(byte);
                if (i + 1 < chunk.size()) {
                    backgroundLevel = levelFromByte(chunk[i + 1]);
                }
            } else if (channel == 2) {
                ++boxReports;
            }
        }
    }
}

void MuxReceiver::deliver(std::int32_t channel, std::uint8_t byte, ReceiveRing& ring0,
                          ReceiveRing& ring1) {
    switch (channel) {
        case 0:
            ring0.store(byte);
            break;
        case 1:
            ring1.store(byte);
            break;
        default:
            if (statusIndex == 1) {
                keyState = static_cast<std::int8_t>(byte);
            } else if (statusIndex == 2) {
                boxVersion = (boxVersion & 0xFF00u) | byte;
            } else if (statusIndex == 3) {
                boxVersion = (boxVersion & 0x00FFu) | (static_cast<std::uint32_t>(byte) << 8);
            }
            break;
    }
}

}  // namespace qrt::link
