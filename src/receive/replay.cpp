#include "receive/replay.h"

#include <algorithm>
#include <sstream>

#include "link/link.h"
#include "link/null_port.h"
#include "receive/poller.h"

namespace qrt::receive {

void replayCapture(const link::ByteSource& capture, const ReplayOptions& options, LineSink& lines,
                   MeasurementSink* measurements) {
    link::CaptureReader input(capture, options.readSize);
    std::ostringstream diagnostics;
    link::Link link(std::make_unique<link::NullPort>(), std::make_unique<link::NullPort>(),
                    diagnostics);
    link.setMultiplexed(options.multiplexed);
    (void)link.OpenPort(link::Port::A, "capture", 19200, 0);  // a capture always opens
    link.replayFrom(input);
    const frames::ProtocolSettings protocol{.crcStart = options.crcStart};
    common::StoppedClock clock(options.time);
    ArchiveStore archive;
    // A capture is worked off whole: no poll leaves bytes for a later one.
    Poller poller(
        link, protocol, clock, archive,
        {.idFilter = options.idFilter, .workBudget = {}, .fixedTimestamp = options.timestamp});
    const common::Attachment attached =
        poller.attach({.lines = &lines, .measurements = measurements});
    for (;;) {
        if (options.armArchiveSlot) {
            archive.slot.expectedType = 22;
        }
        const std::uint64_t readBefore = input.position();
        const std::uint64_t removedBefore = poller.bytesRemoved();
        poller.poll();
        if ((input.position() == readBefore && poller.bytesRemoved() == removedBefore) ||
            (options.stop && options.stop())) {
            break;
        }
    }
}

void replayCapture(std::span<const std::uint8_t> capture, const ReplayOptions& options,
                   LineSink& lines, MeasurementSink* measurements) {
    replayCapture(
        [capture](std::span<std::uint8_t> into) mutable {
            const std::size_t count = std::min(into.size(), capture.size());
            std::copy_n(capture.begin(), count, into.begin());
            capture = capture.subspan(count);
            return count;
        },
        options, lines, measurements);
}

}  // namespace qrt::receive
