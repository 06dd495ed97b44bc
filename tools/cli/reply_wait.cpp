#include "cli/reply_wait.h"

#include <iostream>
#include <sstream>

#include "common/text_format.h"
#include "receive/console_sink.h"
#include "receive/reply_decoder.h"
#include "receive/reply_slot.h"
#include "receive/telegram_decoder.h"
#include "shared/live_watch.h"

namespace qrt::cli {

namespace {

constexpr std::uint32_t kTelegram = 0x100;  // a spontaneous telegram (type 0), as awaited

// The line a reply shows: its communication-pane line, else its debug line.
std::string replyLine(const frames::StandardFrame& frame, const std::string& timestamp) {
    receive::DecodeState state;
    state.timestamp = timestamp;
    receive::LastLines lines;
    if (receive::FrameFields(frame).type() == 0) {
        receive::decodeSpontaneousTelegram(frame, state, 0, lines);
    } else {
        receive::decodeReply(frame, state, lines);
    }
    return lines.comm.empty() ? lines.debug : lines.comm;
}

bool matches(const commands::ExpectedReply& expected, const frames::StandardFrame& frame) {
    const std::uint32_t type = receive::FrameFields(frame).type();
    const std::uint32_t wanted = expected.type == kTelegram ? 0 : expected.type;
    return type == wanted &&
           (expected.bytePar == receive::kAnyBytePar || expected.bytePar == frame[7]);
}

}  // namespace

int awaitReplies(Session& session, const AwaitedReplies& awaited, double seconds) {
    core::ToolCore& core = session.core();
    std::vector<commands::ExpectedReply> pending = awaited.replies;
    int printed = 0;
    const common::Attachment watching =
        core.attach({.frameAccepted = [&](const frames::StandardFrame& frame) {
            for (auto it = pending.begin(); it != pending.end(); ++it) {
                if (matches(*it, frame)) {
                    std::cout << replyLine(frame, core.poller.decodeState().timestamp) << '\n';
                    ++printed;
                    if (!awaited.everyModule) {
                        pending.erase(it);
                    }
                    return;
                }
            }
        }});
    const link::MuxReceiver& box = core.link.muxReceiver();
    const std::uint32_t boxReportsBefore = box.boxReports;
    bool boxPending = awaited.boxStatus;
    const auto end = tools::pollLive(
        core, {.duration = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000)),
               .done = [&] {
                   if (boxPending && box.boxReports != boxReportsBefore) {
                       boxPending = false;
                       std::cout << common::format<"Box Version:%04X Keystate:%i">(box.boxVersion,
                                                                                   box.keyState & 1)
                                 << '\n';
                   }
                   return !awaited.everyModule && pending.empty() && !boxPending;
               }});
    switch (end) {
        case tools::LiveEnd::Done:
            return exit_status::kDone;
        case tools::LiveEnd::PortLost:
            return session.portLost();
        case tools::LiveEnd::TimeUp: {
            if (awaited.everyModule && printed > 0) {
                return exit_status::kDone;
            }
            std::ostringstream shown;
            shown << seconds;
            return fail("no reply within " + shown.str() + " s" + awaited.hintIfNone,
                        exit_status::kNoAnswer);
        }
        default:
            return exit_status::kInterrupted;
    }
}

}  // namespace qrt::cli
