#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "app/tool_core.h"

namespace qrt::tools {

/// Makes SIGINT and SIGTERM end the live loops at their next poll.
void stopOnTerminationSignals();
[[nodiscard]] bool stopRequested();

/// How a live loop ended.
enum class LiveEnd { Done, Stopped, PortLost, TimeUp };

/// Polls the receiver as the window's 500 ms timer does, until `done` holds after a
/// poll, `duration` has passed (none: until a termination signal) or the port is lost.
/// The decoded lines and values go to the core's sink; standard output and every other
/// output stream are flushed once per poll.
LiveEnd pollLive(app::ToolCore& core,
                 std::chrono::milliseconds duration = std::chrono::milliseconds::max(),
                 const std::function<bool()>& done = {});

/// The live receive path of qrt-monitor and qrt-cli watch: opens interface A by its
/// name (19200 baud) and polls until a termination signal or the port is lost.
/// Returns 0 when stopped, 1 when the port was lost or did not open (the reason on
/// standard error, after `program`).
int watchPort(app::ToolCore& core, const std::string& portName, const std::string& program);

}  // namespace qrt::tools
