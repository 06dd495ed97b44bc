#include "shared/recording.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <iostream>

#include "common/version.h"

namespace qrt::tools {

void addRecordOptions(CLI::App& app, RecordOptions& options) {
    auto* record = app.add_option(
        "--record", options.path,
        "Record everything sent and received into this pcapng file, which Wireshark opens "
        "(an existing file is refused)");
    app.add_flag("--record-overwrite", options.overwrite, "Let --record replace an existing file")
        ->needs(record);
}

common::Result<std::unique_ptr<Recording>> Recording::start(const RecordOptions& options,
                                                            core::ToolCore& core,
                                                            std::string_view program) {
    auto writer = link::RecordingWriter::create(options.path, options.overwrite,
                                                std::string(program) + " " + common::kVersionText);
    if (const auto* failure = common::failureOf(writer)) {
        if (failure->systemError == EEXIST) {
            return common::Failure{"--record " + options.path +
                                   " exists: give --record-overwrite to replace it"};
        }
        return common::Failure{"--record: " + failure->reason, failure->systemError};
    }
    return std::unique_ptr<Recording>(
        new Recording(std::get<link::RecordingWriter>(std::move(writer)), core, program));
}

Recording::Recording(link::RecordingWriter writer, core::ToolCore& core, std::string_view program)
    : writer_(std::move(writer)),
      recorder_(writer_, core.clock),
      attached_(core.attach({.recording = &recorder_})),
      program_(program) {}

Recording::~Recording() {
    if (!finished_ && !finish()) {
        std::cerr << program_ << ": " << failure() << '\n';
    }
}

bool Recording::finish() {
    finished_ = true;
    attached_.detach();
    (void)recorder_.finish();
    return writer_.close();
}

}  // namespace qrt::tools
