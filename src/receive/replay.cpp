#include "receive/replay.h"

#include <algorithm>
#include <sstream>

#include "link/link.h"
#include "link/null_port.h"
#include "receive/poller.h"

namespace qrt::receive {

namespace {

// The receive path of a replay: a link whose port A reads a capture, and the poller,
// which works each capture off whole (no poll leaves bytes for a later one).
class Replayer {
  public:
    Replayer(const ReplayOptions& options, std::optional<std::string> fixedTimestamp,
             LineSink& lines, MeasurementSink* measurements)
        : options_(options),
          link_(std::make_unique<link::NullPort>(), std::make_unique<link::NullPort>(),
                diagnostics_),
          clock_(options.time),
          protocol_{.crcStart = options.crcStart},
          poller_(link_, protocol_, clock_, archive_,
                  {.idFilter = options.idFilter,
                   .workBudget = {},
                   .fixedTimestamp = std::move(fixedTimestamp)}),
          attached_(poller_.attach(
              {.lines = &lines, .measurements = measurements, .recording = options.recording})) {
        link_.setMultiplexed(options.multiplexed);
        (void)link_.OpenPort(link::Port::A, "capture", 19200, 0);  // a capture always opens
        (void)link_.observeTraffic(options.recording);
    }

    /// Polls over `input` until a poll neither reads nor removes a byte; false when the
    /// options' `stop` ends the replay.
    bool run(link::CaptureReader& input) {
        link_.replayFrom(input);
        for (;;) {
            if (options_.armArchiveSlot) {
                archive_.slot.expectedType = 22;
            }
            const std::uint64_t readBefore = input.position();
            const std::uint64_t removedBefore = poller_.bytesRemoved();
            poller_.poll();
            if (options_.stop && options_.stop()) {
                return false;
            }
            if (input.position() == readBefore && poller_.bytesRemoved() == removedBefore) {
                return true;
            }
        }
    }

    void setTime(const common::Timestamp& at) { clock_.set(at); }

  private:
    const ReplayOptions& options_;
    std::ostringstream diagnostics_;
    link::Link link_;
    common::StoppedClock clock_;
    frames::ProtocolSettings protocol_;
    ArchiveStore archive_;
    Poller poller_;
    common::Attachment attached_;
};

}  // namespace

void replayCapture(const link::ByteSource& capture, const ReplayOptions& options, LineSink& lines,
                   MeasurementSink* measurements) {
    link::CaptureReader input(capture, options.readSize);
    Replayer replayer(options, options.timestamp, lines, measurements);
    (void)replayer.run(input);
}

void replayTimed(const TimedSource& records, const ReplayOptions& options, LineSink& lines,
                 MeasurementSink* measurements) {
    Replayer replayer(options, std::nullopt, lines, measurements);
    while (const auto record = records()) {
        replayer.setTime(record->at);
        link::CaptureReader input(
            std::vector<std::uint8_t>(record->bytes.begin(), record->bytes.end()),
            options.readSize);
        if (!replayer.run(input)) {
            return;
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
