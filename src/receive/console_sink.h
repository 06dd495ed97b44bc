#pragma once

#include <cstdio>
#include <string_view>

#include "receive/output_sink.h"

namespace qrt::receive {

/// Writes each debug-pane line as "D " + line + "\n" and each communication-pane
/// line as "C " + line + "\n", bytes unchanged, in the order they are added.
class ConsoleSink final : public OutputSink {
  public:
    explicit ConsoleSink(std::FILE* out) : out_(out) {}
    void addDebugLine(std::string_view line) override { put('D', line); }
    void addCommLine(std::string_view line) override { put('C', line); }

  private:
    // One thread writes: the stream's lock is not needed per character.
    void put(char pane, std::string_view line) {
        fputc_unlocked(pane, out_);
        fputc_unlocked(' ', out_);
        fwrite_unlocked(line.data(), 1, line.size(), out_);
        fputc_unlocked('\n', out_);
    }
    std::FILE* out_;
};

}  // namespace qrt::receive
