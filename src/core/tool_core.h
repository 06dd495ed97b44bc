#pragma once

#include <memory>
#include <ostream>
#include <span>

#include "common/attachment.h"
#include "common/clock.h"
#include "common/layers.h"
#include "common/log_file.h"
#include "core/core_options.h"
#include "frames/frame_sender.h"
#include "frames/protocol_settings.h"
#include "link/link.h"
#include "receive/log_file_sink.h"
#include "receive/outputs.h"
#include "receive/poller.h"
#include "receive/reply_slot.h"
#include "values/history_recorder.h"
#include "values/value_history.h"

namespace qrt::core {

/// The tool's core objects, built once by a program's entry from its `CoreOptions` and
/// shared by all it shows: the link, the protocol settings beside the frame sender, the
/// archive store, the log file with its writer, the poller, and the history of decoded
/// values. Each layer's state lives in its own object; a face takes what it shows through
/// `attach`.
struct ToolCore {
    ToolCore(std::unique_ptr<link::SerialPort> portA, std::unique_ptr<link::SerialPort> portB,
             std::ostream& diagnostics, common::Clock& clock_, const CoreOptions& options = {});

    /// Attaches a face's outputs until the attachment ends. Its lines go behind the log
    /// file's writer, so every debug-pane line is logged whoever shows it; its values go
    /// through the value history first; a recording watches the link's traffic and the
    /// poller's frames. Fields left empty keep what is attached.
    common::Attachment attach(const receive::Outputs& outputs);

    common::Clock& clock;
    link::Link link;
    frames::ProtocolSettings protocol;
    frames::FrameSender sender;
    receive::ArchiveStore archive;
    common::LogFile logFile;
    receive::LogFileSink lines;  // the log's writer; the face's lines go behind it
    receive::Poller poller;
    values::ValueHistory values;

  private:
    /// Hands the newest attached lines, values consumer and recording to the log's
    /// writer, the value history and the link.
    void useOutputs(std::span<const receive::Outputs> layers);

    values::HistoryRecorder history_{values};  // feeds `values`, then the face's consumer
    common::Layers<receive::Outputs> faces_{[this](auto layers) { useOutputs(layers); }};
    common::Attachment logged_;  // the poller's lines go to the log's writer
};

}  // namespace qrt::core
