#pragma once

#include <string_view>

#include "common/output_file.h"
#include "receive/output_sink.h"

namespace qrt::receive {

/// Writes each debug-pane line as "D " + line + "\n" and each communication-pane
/// line as "C " + line + "\n", bytes unchanged, in the order they are added. The
/// owner flushes the output and asks it for failures.
class ConsoleSink final : public OutputSink {
  public:
    explicit ConsoleSink(common::OutputFile& out) : out_(out) {}
    void addDebugLine(std::string_view line) override { put('D', line); }
    void addCommLine(std::string_view line) override { put('C', line); }

  private:
    void put(char pane, std::string_view line) {
        std::string& buffer = out_.buffer();
        buffer += pane;
        buffer += ' ';
        buffer += line;
        buffer += '\n';
        out_.written();
    }
    common::OutputFile& out_;
};

}  // namespace qrt::receive
