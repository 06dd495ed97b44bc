#pragma once

#include <span>
#include <string_view>

#include "receive/measurement.h"

namespace qrt::receive {

/// Where decoded lines and the interface box's status go: the two panes and the
/// status controls of the main window, or a console in the tools.
class OutputSink {
  public:
    virtual ~OutputSink() = default;
    /// A poll begins (the log file is flushed now and then).
    virtual void pollStarted() {}
    /// The poll has ended: a consumer of values updates its views once here.
    virtual void pollFinished() {}
    /// A line for the debug pane (and the log file).
    virtual void addDebugLine(std::string_view line) = 0;
    /// A line for the communication pane.
    virtual void addCommLine(std::string_view line) = 0;
    /// Whether values are wanted at all: asked once per poll, so a sink without a use
    /// for them costs the decoders nothing.
    [[nodiscard]] virtual bool wantsMeasurements() const { return false; }
    /// The values decoded from the frame whose lines were just added.
    virtual void addMeasurements(std::span<const Measurement> measurements) { (void)measurements; }
    /// The box's key state changed: bit 0 set means the key is pressed.
    virtual void showKeyState(bool pressed) { (void)pressed; }
    /// The box's version changed, as four hexadecimal digits.
    virtual void showBoxVersion(std::string_view text) { (void)text; }
    /// The background level of the last receiver frame, after each module telegram.
    virtual void showBackgroundLevel(std::string_view text) { (void)text; }
};

}  // namespace qrt::receive
