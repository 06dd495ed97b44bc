#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "receive/output_sink.h"

namespace qrt::receive {

/// Options of an offline decode of a byte capture from interface A.
struct ReplayOptions {
    bool multiplexed = false;
    std::uint16_t crcStart = 0;
    std::uint32_t idFilter = 0;
    std::size_t readSize = 128;  // bytes per port read (1 to 128)
    std::string timestamp = "00:00:00.0";
    bool armArchiveSlot = false;  // logger blocks go to the archive store
};

/// Runs the receive poller over a whole capture, as the program would receive it,
/// until a poll neither reads nor removes a byte. Lines go to `output`.
void replayCapture(const std::vector<std::uint8_t>& capture, const ReplayOptions& options,
                   OutputSink& output);

}  // namespace qrt::receive
