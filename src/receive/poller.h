#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/attachment.h"
#include "common/clock.h"
#include "common/layers.h"
#include "frames/command_frames.h"
#include "frames/protocol_settings.h"
#include "link/link.h"
#include "receive/decode_state.h"
#include "receive/logger_decoder.h"
#include "receive/outputs.h"
#include "receive/reply_slot.h"
#include "receive/sinks.h"

namespace qrt::receive {

/// How long a live poll keeps working off received bytes; the rest waits for the next
/// poll, so a backlog never stalls the window or a tool's loop.
inline constexpr std::chrono::milliseconds kLiveWorkBudget{250};

/// How a poller receives, fixed when it is made.
struct PollerOptions {
    /// Only frames of this module ID are shown (0: every module); short telegrams carry
    /// none and always pass.
    std::uint32_t idFilter = 0;
    /// Polls skipped after each Open, while the devices settle (the window waits 6).
    std::int32_t startupSkipPolls = 0;
    /// Longest time a poll works off received bytes. None: a poll works until fewer than
    /// 11 bytes remain (a replay, which has no later poll to leave them to).
    std::optional<std::chrono::milliseconds> workBudget = kLiveWorkBudget;
    /// Whether a poll waits, up to the read time-outs, for the rest of a frame that is
    /// arriving. A service that polls on may take only what has arrived: the rest is
    /// decoded at the next poll, into the same lines, with far fewer wake-ups on a busy line.
    bool waitForRestOfFrame = true;
    /// A fixed time stamp for every line instead of the time of day (replays, tests).
    std::optional<std::string> fixedTimestamp{};
};

/// The receive poller: each poll does its housekeeping, lets the firmware transfer
/// send its next block, then drains the receiver's ring, finds short telegrams and
/// standard frames by their CRC, filters them by module ID, decodes them into lines
/// and fills the reply slots.
class Poller {
  public:
    using Options = PollerOptions;

    Poller(link::Link& link, const frames::ProtocolSettings& protocol, common::Clock& clock,
           ArchiveStore& archive, Options options = {});
    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;

    /// Attaches a face's outputs until the attachment ends (see `Outputs`); each output
    /// is the newest living attachment's, whatever order they end in. Lines go nowhere and
    /// values are not recorded while nothing is attached.
    common::Attachment attach(const Outputs& outputs);

    /// The ID filter, changed as the operator types (0: every module).
    void setIdFilter(std::uint32_t id) { options_.idFilter = id; }
    [[nodiscard]] std::uint32_t idFilter() const { return options_.idFilter; }
    /// The link has just been opened: the next `startupSkipPolls` polls read nothing.
    void skipStartupPolls() { startupSkipLeft_ = options_.startupSkipPolls; }
    [[nodiscard]] std::int32_t startupPollsLeft() const { return startupSkipLeft_; }

    /// One poll (the 500 ms timer's tick; waiting operations call it directly).
    void poll();
    /// Between two polls while a recording is attached: takes what reaches port A into
    /// the ring, waiting up to the read time-out, so each record's time is that of its
    /// arrival, not of the next poll. True when bytes came; false at once when nothing
    /// is recorded, the port is closed or the ring is full (the caller sleeps instead).
    bool readAhead();
    /// After the receiver's port was lost: one poll that works off every frame its ring
    /// still holds, with no work budget, so no value whose bytes arrived is left undecoded.
    void pollRemaining();

    /// Waits for the answer to a command just sent: arms the main reply slot for a
    /// frame of `type` (0x100 for a spontaneous telegram) and `bytePar`, then sleeps
    /// `pause` and polls until it arrives or `polls` polls have passed. The time-out
    /// is tested first, so a reply in the last poll counts as none. The first poll that
    /// finds a device of the link gone, or the `stopWaiting` hook, ends the wait at once.
    AwaitedReply awaitReply(std::uint32_t type, std::uint32_t bytePar, std::int32_t polls,
                            std::chrono::milliseconds pause);
    /// The same with the archive window's reply slot, which stays armed while logger
    /// blocks (type 22) are awaited.
    AwaitedReply awaitArchiveReply(std::uint32_t type, std::uint32_t bytePar, std::int32_t polls,
                                   std::chrono::milliseconds pause);

    /// Forgets a partly read logger record (before an archive retrieval).
    void resetLoggerRecord() { logger_.resetRecord(); }
    [[nodiscard]] const LoggerBlockDecoder& logger() const { return logger_; }
    [[nodiscard]] const DecodeState& decodeState() const { return decode_; }
    [[nodiscard]] bool lastFrameAccepted() const { return lastFrameAccepted_; }

    /// Bytes taken out of the receiver's ring so far (read, dropped or cleared).
    [[nodiscard]] std::uint64_t bytesRemoved() const { return bytesRemoved_; }

  private:
    AwaitedReply await(ReplySlot& slot, std::uint32_t type, std::uint32_t bytePar,
                       std::int32_t polls, std::chrono::milliseconds pause);
    void pollOnce();
    void beginPoll();
    void endPoll();
    void stampTime();
    void showMeasurements();
    void showBoxStatus();
    void receive();
    enum class FrameCheck { None, ShortTelegram, StandardFrame };
    /// Which frame the candidate at the head of `bytes` is, by its CRC: the 7-byte
    /// check first, the 11-byte one only when `standardToo`.
    [[nodiscard]] FrameCheck checkCandidate(std::span<const std::uint8_t> bytes,
                                            bool standardToo) const;
    /// Takes the newest of each output attached; lines go to `noLines_` while none is.
    void useOutputs(std::span<const Outputs> layers);
    void dropNoise();
    std::size_t fill();
    void processStandardFrame(const frames::StandardFrame& frame);
    void matchReplySlots(const frames::StandardFrame& frame, std::uint32_t type);
    void read(std::span<std::uint8_t> into, link::RecordKind kind);
    void removed(std::size_t count, link::RecordKind kind);

    link::Link& link_;
    const frames::ProtocolSettings& protocol_;
    common::Clock& clock_;
    ArchiveStore& archive_;
    Options options_;
    NoLines noLines_;                      // where lines go while no face has attached its own
    Outputs outputs_{.lines = &noLines_};  // its lines never null
    common::Layers<Outputs> attached_{[this](auto layers) { useOutputs(layers); }};
    std::int32_t startupSkipLeft_ = 0;
    DecodeState decode_;
    LoggerBlockDecoder logger_;
    bool lastFrameAccepted_ = false;
    std::int32_t replyWaitTicks_ = 0;
    ReplySlot replySlot_;
    std::int32_t shownKeyState_ = 0;
    std::uint32_t shownBoxVersion_ = 0;
    std::uint64_t bytesRemoved_ = 0;
};

}  // namespace qrt::receive
