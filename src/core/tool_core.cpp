#include "core/tool_core.h"

namespace qrt::core {

ToolCore::ToolCore(std::unique_ptr<link::SerialPort> portA, std::unique_ptr<link::SerialPort> portB,
                   std::ostream& diagnostics, common::Clock& clock_, const CoreOptions& options)
    : clock(clock_),
      link(std::move(portA), std::move(portB), diagnostics),
      protocol(options.protocol),
      sender(link, protocol, clock),
      lines(logFile),
      poller(link, protocol, clock, archive, options.poller),
      logged_(poller.attach({.lines = &lines})) {
    link.setMultiplexed(options.multiplexed);
    values.keepPoints(options.keepValuePoints);
}

common::Attachment ToolCore::attach(const receive::Outputs& outputs) {
    receive::Outputs toPoller = outputs;
    toPoller.lines = nullptr;  // the log's writer stays the poller's line sink
    if (outputs.measurements != nullptr) {
        toPoller.measurements = &history_;
    }
    common::Attachment attached = faces_.add(outputs);
    attached.join(poller.attach(toPoller));
    return attached;
}

void ToolCore::useOutputs(std::span<const receive::Outputs> layers) {
    const receive::Outputs newest = receive::newestOutputs(layers);
    lines.setLines(newest.lines);
    history_.setNext(newest.measurements);
    (void)link.observeTraffic(newest.recording);
}

}  // namespace qrt::core
