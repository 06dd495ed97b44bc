#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "link/capture_reader.h"
#include "receive/recording_sink.h"
#include "receive/sinks.h"

namespace qrt::receive {

/// Options of an offline decode of a byte capture from interface A.
struct ReplayOptions {
    bool multiplexed = false;
    std::uint16_t crcStart = 0;
    std::uint32_t idFilter = 0;
    std::size_t readSize = 128;  // bytes per port read (1 to 128)
    std::string timestamp = "00:00:00.0";
    common::Timestamp time{};     // the moment every value carries: a capture holds none
    bool armArchiveSlot = false;  // logger blocks go to the archive store
    /// Asked after every poll: true ends the replay (an output that cannot be written).
    std::function<bool()> stop{};
    /// Records what the replay receives, as a live link's recording does.
    RecordingSink* recording = nullptr;
};

/// Bytes received on interface A, with the moment they were taken from the port.
struct TimedBytes {
    common::Timestamp at{};
    std::span<const std::uint8_t> bytes{};
};
/// Hands out a recording's records of interface A one by one; none at its end.
using TimedSource = std::function<std::optional<TimedBytes>()>;

/// Runs the receive poller over a whole capture, as the program would receive it,
/// until a poll neither reads nor removes a byte, or `stop` says so. Lines go to `lines`,
/// values, when wanted, to `measurements`. The
/// source is read in large blocks, so memory stays flat whatever the capture's size.
void replayCapture(const link::ByteSource& capture, const ReplayOptions& options, LineSink& lines,
                   MeasurementSink* measurements = nullptr);
/// The same record by record: each record's bytes are received in polls of their own,
/// whose lines and values carry the record's time (the options' time stamp is not used).
void replayTimed(const TimedSource& records, const ReplayOptions& options, LineSink& lines,
                 MeasurementSink* measurements = nullptr);
/// The same over a capture held in memory.
void replayCapture(std::span<const std::uint8_t> capture, const ReplayOptions& options,
                   LineSink& lines, MeasurementSink* measurements = nullptr);

}  // namespace qrt::receive
