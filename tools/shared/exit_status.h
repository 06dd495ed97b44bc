#pragma once

namespace qrt::tools::exit_status {

// The exit statuses of qrt-cli, qrt-monitor and the live loop they share.
inline constexpr int kDone = 0;
inline constexpr int kPortLost = 1;  // the port went away during the task
inline constexpr int kUsage = 2;     // an argument, a file or a port: nothing was sent
inline constexpr int kNoAnswer = 3;  // no answer in time
inline constexpr int kRefused = 4;   // answered, but not done: out of range, an error
// Stopped by Ctrl+C (or SIGTERM) in the middle of a task: once it has cleaned up, the
// program ends by that signal, as the shell expects.
inline constexpr int kInterrupted = 130;

}  // namespace qrt::tools::exit_status
