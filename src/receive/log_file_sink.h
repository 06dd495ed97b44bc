#pragma once

#include <cstdint>
#include <string>

#include "common/log_file.h"
#include "receive/sinks.h"

namespace qrt::receive {

/// The log file's one writer: decorates the lines' sink (the window's panes, a console),
/// so every debug-pane line also goes to the log file, followed by "\n", and the log is
/// flushed every 22 polls.
class LogFileSink final : public LineSink {
  public:
    explicit LogFileSink(common::LogFile& logFile, LineSink* lines = nullptr)
        : logFile_(logFile), lines_(lines) {}

    /// The sink the lines go to besides the log; none keeps only the log.
    void setLines(LineSink* lines) { lines_ = lines; }

    void pollStarted() override;
    void pollFinished() override;
    std::string& beginLine(Pane pane) override;
    void endLine() override;

    /// Polls since the log was last flushed.
    [[nodiscard]] std::uint8_t logFlushCounter() const { return logFlushCounter_; }

  private:
    common::LogFile& logFile_;
    LineSink* lines_;
    std::uint8_t logFlushCounter_ = 0;
    std::string scratch_;          // the line when no other sink takes it
    std::string* line_ = nullptr;  // the buffer of the line begun
    std::size_t lineStart_ = 0;    // where in it the line begins
    Pane pane_ = Pane::Debug;
};

}  // namespace qrt::receive
