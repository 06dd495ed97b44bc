#pragma once

#include <optional>

#include "receive/console_sink.h"
#include "values/value_file.h"
#include "values/value_writer.h"

namespace qrt::tools {

/// What qrt-monitor and qrt-cli watch print: the decoded lines on standard output ("D "
/// and "C "), and with a values file every value too. When the values go to standard
/// output, the lines are left out, so the output stays one table.
class ToolOutput {
  public:
    explicit ToolOutput(values::ValueFile* values);
    receive::OutputSink& sink();

  private:
    class NoLines final : public receive::OutputSink {
      public:
        void addDebugLine(std::string_view) override {}
        void addCommLine(std::string_view) override {}
    };

    receive::ConsoleSink console_{stdout};
    NoLines noLines_;
    std::optional<values::ValueRecorder> recorder_;
};

}  // namespace qrt::tools
