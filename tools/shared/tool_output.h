#pragma once

#include <optional>
#include <string>

#include "common/output_file.h"
#include "receive/console_sink.h"
#include "values/value_file.h"

namespace qrt::tools {

/// What qrt-monitor and qrt-cli watch print: the decoded lines on standard output ("D "
/// and "C "), and with a values file every value too. When the values go to standard
/// output, the lines are left out, so the output stays one table.
class ToolOutput {
  public:
    explicit ToolOutput(std::optional<values::ValueFile> values);
    /// Where the decoded lines go.
    [[nodiscard]] receive::LineSink& lines();
    /// Where the values go, if anywhere.
    [[nodiscard]] receive::MeasurementSink* measurements();
    /// Writes out what is buffered; false once a write has failed.
    bool flush();
    /// Flushes and closes the values file; false once a write has failed.
    bool finish();
    [[nodiscard]] bool failed() const {
        return standardOutput_.failed() || (values_ && values_->failed());
    }
    /// "cannot write NAME: REASON" for the output that failed; empty otherwise.
    [[nodiscard]] std::string failure() const;

  private:
    common::OutputFile standardOutput_ = common::OutputFile::standardOutput();
    receive::ConsoleSink console_{standardOutput_};
    receive::NoLines noLines_;
    std::optional<values::ValueFile> values_;
};

}  // namespace qrt::tools
