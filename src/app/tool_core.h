#pragma once

#include <memory>
#include <ostream>

#include "common/clock.h"
#include "common/log_file.h"
#include "frames/frame_sender.h"
#include "frames/protocol_settings.h"
#include "link/link.h"
#include "receive/log_file_sink.h"
#include "receive/poller.h"
#include "receive/reply_slot.h"
#include "values/value_history.h"

namespace qrt::app {

/// The tool's core objects, built once by the program entry and shared by both windows:
/// the link, the protocol settings beside the frame sender, the archive store, the log
/// file with its sink, the poller, and the history of decoded values. Each layer's state
/// lives in its own object.
struct ToolCore {
    ToolCore(std::unique_ptr<link::SerialPort> portA, std::unique_ptr<link::SerialPort> portB,
             std::ostream& diagnostics, common::Clock& clock_)
        : clock(clock_),
          link(std::move(portA), std::move(portB), diagnostics),
          sender(link, protocol, clock),
          output(logFile),
          poller(link, protocol, clock, output, archive) {}

    common::Clock& clock;
    link::Link link;
    frames::ProtocolSettings protocol;
    frames::FrameSender sender;
    receive::ArchiveStore archive;
    common::LogFile logFile;
    receive::LogFileSink output;  // the main window attaches its panes
    receive::Poller poller;
    values::ValueHistory values;  // filled by the main window's sink, shown by the values window
};

}  // namespace qrt::app
