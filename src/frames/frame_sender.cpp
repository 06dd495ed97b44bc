#include "frames/frame_sender.h"

#include <algorithm>

namespace qrt::frames {

using namespace std::chrono_literals;

std::size_t FrameSender::SendCommandFrame(std::uint8_t command, std::uint32_t id,
                                          std::uint16_t wordPar, std::uint8_t bytePar,
                                          std::uint8_t sequence) {
    lastCommandFrame_ =
        buildCommandFrame(command, id, wordPar, bytePar, sequence, protocol_.crcStart);
    return link_.PortWrite(link::Target::PortA, lastCommandFrame_);
}

std::size_t FrameSender::SendContentFrame(const ContentBlock& data) {
    const StandardFrame frame = buildContentFrame(data, protocol_.crcStart);
    return link_.PortWrite(link::Target::PortA, frame);
}

std::size_t FrameSender::SendInductiveFrame(std::uint8_t code, std::uint16_t wordPar,
                                            std::uint8_t bytePar, bool withBreak) {
    const InductiveFrame frame = buildInductiveFrame(code, wordPar, bytePar);
    std::copy(frame.begin(), frame.end(), lastCommandFrame_.begin());
    if (withBreak) {
        SendBreak();
    }
    return link_.PortWrite(link::Target::PortB, frame);
}

void FrameSender::SendBreak() {
    if (link_.multiplexed()) {
        return;
    }
    link_.setBreak(true);
    clock_.sleep(50ms);
    link_.setBreak(false);
    clock_.sleep(100ms);
}

}  // namespace qrt::frames
