#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "receive/measurement.h"

namespace qrt::receive {

/// The two panes a decoded line goes to.
enum class Pane : std::uint8_t { Debug, Comm };

/// Where decoded lines go: the window's panes and the log file, or a console. A line is
/// written in place: a decoder appends its text to the buffer `beginLine` hands out and
/// ends it with `endLine`, so a sink that writes to a file can hand out its own output
/// buffer and no line is copied on the way.
class LineSink {
  public:
    virtual ~LineSink() = default;
    /// A poll begins (the log file is flushed now and then).
    virtual void pollStarted() {}
    /// The poll has ended: a console writes out what the poll printed.
    virtual void pollFinished() {}
    /// The buffer the next line of `pane` is appended to.
    virtual std::string& beginLine(Pane pane) = 0;
    /// The line begun last is complete.
    virtual void endLine() = 0;

    /// A whole line at once.
    void addLine(Pane pane, std::string_view text) {
        beginLine(pane).append(text);
        endLine();
    }
};

/// Takes lines and keeps none (a tool whose standard output carries values only).
class NoLines final : public LineSink {
  public:
    std::string& beginLine(Pane) override { return scratch_; }
    void endLine() override { scratch_.clear(); }

  private:
    std::string scratch_;
};

/// Where decoded values go: the value history, a values file, a broker.
class MeasurementSink {
  public:
    virtual ~MeasurementSink() = default;
    /// The values decoded from the frame whose lines were just written.
    virtual void addMeasurements(std::span<const Measurement> measurements) = 0;
    /// The poll has ended: a consumer updates its views once here.
    virtual void pollFinished() {}
};

/// Where the interface box's status goes: the main window's status controls.
class BoxStatusSink {
  public:
    virtual ~BoxStatusSink() = default;
    /// The box's key state changed.
    virtual void showKeyState(bool pressed) = 0;
    /// The box's version changed.
    virtual void showBoxVersion(std::uint32_t version) = 0;
    /// The background level of the last receiver frame, after each module telegram.
    virtual void showBackgroundLevel(std::int32_t level) = 0;
};

}  // namespace qrt::receive
