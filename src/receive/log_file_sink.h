#pragma once

#include <cstdint>
#include <string_view>

#include "common/log_file.h"
#include "receive/output_sink.h"

namespace qrt::receive {

/// The log file's one writer: decorates the panes' sink, so every debug-pane line also
/// goes to the log file, followed by "\n", and the log is flushed every 22 polls.
class LogFileSink final : public OutputSink {
  public:
    explicit LogFileSink(common::LogFile& logFile, OutputSink* panes = nullptr)
        : logFile_(logFile), panes_(panes) {}

    /// The sink the lines go to besides the log (the window's panes, a console).
    void setPanes(OutputSink* panes) { panes_ = panes; }

    void pollStarted() override;
    void addDebugLine(std::string_view line) override;
    void addCommLine(std::string_view line) override;
    void pollFinished() override;
    [[nodiscard]] bool wantsMeasurements() const override;
    void addMeasurements(std::span<const Measurement> measurements) override;
    void showKeyState(bool pressed) override;
    void showBoxVersion(std::string_view text) override;
    void showBackgroundLevel(std::string_view text) override;

    /// Polls since the log was last flushed.
    [[nodiscard]] std::uint8_t logFlushCounter() const { return logFlushCounter_; }

  private:
    common::LogFile& logFile_;
    OutputSink* panes_;
    std::uint8_t logFlushCounter_ = 0;
};

}  // namespace qrt::receive
