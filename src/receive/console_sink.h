#pragma once

#include <string>

#include "common/output_file.h"
#include "receive/sinks.h"

namespace qrt::receive {

/// Writes each debug-pane line as "D " + line + "\n" and each communication-pane
/// line as "C " + line + "\n", bytes unchanged, in the order they are added, straight
/// into the output's buffer. The owner flushes the output and asks it for failures.
class ConsoleSink final : public LineSink {
  public:
    explicit ConsoleSink(common::OutputFile& out) : out_(out) {}
    std::string& beginLine(Pane pane) override {
        std::string& buffer = out_.buffer();
        buffer += pane == Pane::Debug ? 'D' : 'C';
        buffer += ' ';
        return buffer;
    }
    void endLine() override {
        out_.buffer() += '\n';
        out_.written();
    }

  private:
    common::OutputFile& out_;
};

/// Keeps the last line of each pane (a tool that shows the line of one reply).
class LastLines final : public LineSink {
  public:
    std::string& beginLine(Pane pane) override {
        std::string& line = pane == Pane::Debug ? debug : comm;
        line.clear();
        return line;
    }
    void endLine() override {}

    std::string debug;
    std::string comm;
};

}  // namespace qrt::receive
