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
    common::Attachment attached;
    if (outputs.lines != nullptr) {
        receive::LineSink* before = lines.attachedLines();
        lines.setLines(outputs.lines);
        attached = common::Attachment([this, before] { lines.setLines(before); });
    }
    if (outputs.measurements != nullptr) {
        receive::MeasurementSink* before = history_.next();
        history_.setNext(outputs.measurements);
        attached.join(common::Attachment([this, before] { history_.setNext(before); }));
        toPoller.measurements = &history_;
    }
    if (outputs.recording != nullptr) {
        link::TrafficObserver* before = link.observeTraffic(outputs.recording);
        attached.join(common::Attachment([this, before] { (void)link.observeTraffic(before); }));
    }
    attached.join(poller.attach(toPoller));
    return attached;
}

}  // namespace qrt::core
