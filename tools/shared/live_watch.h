#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/tool_core.h"

namespace qrt::tools {

class ToolOutput;

/// Makes SIGINT and SIGTERM end the live loops and the waits at their next poll.
void stopOnTerminationSignals();
[[nodiscard]] bool stopRequested();
/// Ends the program by the termination signal that stopped it (once it has cleaned up),
/// so the shell sees it ended by Ctrl+C as before.
void endByStopSignal();

/// How a live loop ended.
enum class LiveEnd { Done, Stopped, PortLost, TimeUp, OutputFailed };

/// What a live loop does besides polling, and when it ends.
struct LiveOptions {
    /// How long to poll; by default until a termination signal.
    std::chrono::milliseconds duration = std::chrono::milliseconds::max();
    /// Asked after every poll: true ends the loop.
    std::function<bool()> done{};
    /// Called after every poll to write out what it printed: false ends the loop.
    std::function<bool()> writeOut{};
    /// Waits up to the given time between two polls (and may come back early, to be
    /// called again); sleeps by default.
    std::function<void(std::chrono::milliseconds)> wait{};
};

/// Polls the receiver as the window's 500 ms timer does, until `done` holds after a
/// poll, `duration` has passed, a termination signal, the port is lost or `writeOut`
/// fails. While a recording is attached, the port is read between polls as bytes arrive.
LiveEnd pollLive(core::ToolCore& core, const LiveOptions& options = {});

/// The live receive path of qrt-monitor and qrt-cli watch: opens interface A by its
/// name (19200 baud) and polls, printing to `output`, until a termination signal, a lost
/// port or an output that cannot be written. Returns the exit status, the reason on
/// standard error after `program`.
int watchPort(core::ToolCore& core, const std::string& portName, const std::string& program,
              ToolOutput& output);

}  // namespace qrt::tools
