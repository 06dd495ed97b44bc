#pragma once

#include <vector>

#include "cli/cli_session.h"
#include "commands/expected_reply.h"

namespace qrt::cli {

/// What a command waits for once it is sent: the modules' replies, matched by type and
/// BytePar as the reply slots match them, and, for the box's version request, a status
/// report of the interface box.
struct AwaitedReplies {
    std::vector<commands::ExpectedReply> replies{};
    bool boxStatus = false;

    [[nodiscard]] bool empty() const { return replies.empty() && !boxStatus; }
};

/// Polls until every awaited reply has come, printing each one's line on standard output
/// as it comes (the upper pane's line, else the lower pane's), or until `seconds` pass,
/// the port is lost or Ctrl+C. Returns the exit status: done, no answer, port lost or
/// interrupted.
int awaitReplies(Session& session, const AwaitedReplies& awaited, double seconds);

}  // namespace qrt::cli
