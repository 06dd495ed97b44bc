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
    /// A broadcast: every module in range may answer, so the wait runs its whole time,
    /// prints each reply that comes, and counts as answered when one came at least.
    bool everyModule = false;
    /// Said after "no reply within N s" when nothing came (what the operator may have missed).
    std::string hintIfNone{};

    [[nodiscard]] bool empty() const { return replies.empty() && !boxStatus; }
};

/// Polls until every awaited reply has come (for a broadcast, until `seconds` pass),
/// printing each one's line on standard output as it comes (the upper pane's line, else
/// the lower pane's), or until `seconds` pass, the port is lost or Ctrl+C. Returns the exit
/// status: done, no answer, port lost or interrupted.
int awaitReplies(Session& session, const AwaitedReplies& awaited, double seconds);

}  // namespace qrt::cli
