#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/attachment.h"
#include "common/failure.h"
#include "core/tool_core.h"
#include "link/recording_writer.h"
#include "receive/traffic_recorder.h"

namespace CLI {
class App;
}

namespace qrt::tools {

/// Where a tool records its traffic (--record, --record-overwrite).
struct RecordOptions {
    std::string path;
    bool overwrite = false;
};

/// Adds --record FILE and --record-overwrite.
void addRecordOptions(CLI::App& app, RecordOptions& options);

/// A recording of a tool's traffic (pcapng), attached to its core for as long as it
/// lives: everything sent, everything received on interface A, as the poller delimited it.
class Recording {
  public:
    /// Creates the file and attaches the recorder, or says why not: the file exists
    /// (without --record-overwrite) or cannot be written.
    [[nodiscard]] static common::Result<std::unique_ptr<Recording>> start(
        const RecordOptions& options, core::ToolCore& core, std::string_view program);
    /// Finishes the recording unless `finish` did; a write that failed is then reported
    /// on standard error.
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    /// Detaches the recorder, records what is still unread and closes the file; false
    /// once a write failed, which `failure` then names.
    bool finish();
    [[nodiscard]] std::string failure() const { return writer_.failure(); }

  private:
    Recording(link::RecordingWriter writer, core::ToolCore& core, std::string_view program);

    link::RecordingWriter writer_;
    receive::TrafficRecorder recorder_;
    common::Attachment attached_;
    std::string program_;
    bool finished_ = false;
};

}  // namespace qrt::tools
