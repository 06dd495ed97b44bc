#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "cli/cli_arguments.h"
#include "common/clock.h"
#include "common/failure.h"
#include "common/output_file.h"
#include "core/tool_core.h"
#include "frames/protocol_settings.h"
#include "receive/console_sink.h"
#include "shared/connection.h"
#include "shared/exit_status.h"
#include "shared/live_watch.h"
#include "values/value_file.h"

namespace qrt::cli {

namespace exit_status = tools::exit_status;

using tools::Connection;
using tools::ConnectionOptions;

/// The core objects over real ports, opened as the window's Open does (no start-up
/// pause: nothing waits for a person to read). Closes the ports when it ends.
class Session {
  public:
    explicit Session(const Connection& connection, receive::PollerOptions poller = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    /// Starts the recording the connection asks for (--record), or says why not.
    [[nodiscard]] std::optional<common::Failure> record();
    /// Opens the interfaces, or says which did not open and why.
    [[nodiscard]] std::optional<common::Failure> open();
    [[nodiscard]] core::ToolCore& core() { return *core_; }
    [[nodiscard]] const Connection& connection() const { return connection_; }
    /// Shows the decoded lines on standard output ("D " and "C " as qrt-monitor), or not.
    void showLines(bool shown);
    /// Polls for `seconds`, showing the decoded lines; the exit status.
    int listen(double seconds);
    /// Says which port was lost ("port lost: NAME") and returns the exit status.
    int portLost();
    /// Ends the task that gave `status`: closes the recording, if any; a recording that
    /// could not be written makes a task that was done a failure, with its reason.
    int finish(int status);

  private:
    Connection connection_;
    std::ostringstream diagnostics_;
    common::SystemClock clock_;
    std::unique_ptr<core::ToolCore> core_;
    common::OutputFile standardOutput_ = common::OutputFile::standardOutput();
    receive::ConsoleSink console_{standardOutput_};
    // Ctrl+C ends a wait at its next poll; the task cleans up and the program then ends
    // by the signal.
    common::Attachment stoppable_ = core_->attach({.stopWaiting = tools::stopRequested});
    common::Attachment shownLines_;
    std::unique_ptr<tools::Recording> recording_;  // finished before the core goes
};

/// What a task needs of the connection besides its ports.
enum class Needs { Ports, BinaryProtocol, InterfaceBox };

/// The session for a task: the connection resolved, checked against what `task` needs,
/// and the ports open; or why not (nothing was sent).
common::Result<std::unique_ptr<Session>> openSession(const ConnectionOptions& options,
                                                     Needs needs = Needs::Ports,
                                                     const std::string& task = {});

/// Why an output may not be written: it is the same file as an input (--settings,
/// --key-file) or as another output, through links too. Outputs are (option, path) pairs;
/// empty paths and "-" are left out.
[[nodiscard]] std::optional<std::string> outputClash(
    const ConnectionOptions& inputs,
    const std::vector<std::pair<std::string, std::string>>& outputs);

/// The values format named `format` (csv or jsonl), or why not.
[[nodiscard]] common::Result<values::ValueFormat> parseValueFormat(const std::string& format);

/// Prints "qrt-cli: MESSAGE" on standard error and returns `status`.
int fail(const std::string& message, int status);

}  // namespace qrt::cli
