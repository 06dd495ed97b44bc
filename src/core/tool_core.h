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
#include "values/history_recorder.h"
#include "values/value_history.h"

namespace qrt::core {

/// The tool's core objects, built once by a program's entry and shared by all it shows:
/// the link, the protocol settings beside the frame sender, the archive store, the log
/// file with its writer, the poller, and the history of decoded values. Each layer's
/// state lives in its own object; a face attaches its lines to `lines` and, when it
/// wants values, `history` (or a consumer of its own) to the poller.
struct ToolCore {
    ToolCore(std::unique_ptr<link::SerialPort> portA, std::unique_ptr<link::SerialPort> portB,
             std::ostream& diagnostics, common::Clock& clock_)
        : clock(clock_),
          link(std::move(portA), std::move(portB), diagnostics),
          sender(link, protocol, clock),
          lines(logFile),
          poller(link, protocol, clock, lines, archive) {}

    common::Clock& clock;
    link::Link link;
    frames::ProtocolSettings protocol;
    frames::FrameSender sender;
    receive::ArchiveStore archive;
    common::LogFile logFile;
    receive::LogFileSink lines;  // the log's writer; the face's lines go behind it
    receive::Poller poller;
    values::ValueHistory values;
    values::HistoryRecorder history{values};  // feeds `values`, then the face's consumer
};

}  // namespace qrt::core
