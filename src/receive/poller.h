#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "frames/command_frames.h"
#include "frames/protocol_settings.h"
#include "link/link.h"
#include "receive/decode_state.h"
#include "receive/logger_decoder.h"
#include "receive/reply_slot.h"
#include "receive/sinks.h"

namespace qrt::receive {

/// The receive poller: each poll does its housekeeping, lets the firmware transfer
/// send its next block, then drains the receiver's ring, finds short telegrams and
/// standard frames by their CRC, filters them by module ID, decodes them into lines
/// and fills the reply slots.
class Poller {
  public:
    Poller(link::Link& link, const frames::ProtocolSettings& protocol, common::Clock& clock,
           LineSink& lines, ArchiveStore& archive);

    /// One poll (the 500 ms timer's tick; waiting operations call it directly).
    void poll();

    /// Waits for the answer to a command just sent: arms the main reply slot for a
    /// frame of `type` (0x100 for a spontaneous telegram) and `bytePar`, then sleeps
    /// `pause` and polls until it arrives or `polls` polls have passed. The time-out
    /// is tested first, so a reply in the last poll counts as none. The first poll that
    /// finds a device of the link gone, or `stopWaiting`, ends the wait at once.
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

    // Outputs besides the lines: none by default (values are then not even recorded).
    MeasurementSink* measurements = nullptr;
    BoxStatusSink* boxStatus = nullptr;

    // Settings.
    std::uint32_t idFilter = 0;         // 0 = no receive filter
    std::int32_t startupSkipTicks = 0;  // polls still to be skipped after Open
    /// Called once per poll, before any received byte is read, while port A is open.
    std::function<void()> firmwarePacing;
    /// Asked after every poll of a wait: true ends it (a termination signal in the tools).
    std::function<bool()> stopWaiting;
    /// Called for every accepted standard frame once its lines are out: a tool that waits
    /// for several replies at once watches them here.
    std::function<void(const frames::StandardFrame&)> frameAccepted;
    /// Called for every accepted firmware status reply (type 20).
    std::function<void(const frames::StandardFrame&)> firmwareStatus;
    /// Longest time a poll keeps working off received bytes; the rest waits for the
    /// next poll. Unset: a poll works until fewer than 11 bytes remain.
    std::optional<std::chrono::milliseconds> workBudget;
    /// Whether a poll waits, up to the read time-outs, for the rest of a frame that is
    /// arriving. A service that polls on may take only what has arrived: the rest is
    /// decoded at the next poll, into the same lines, with far fewer wake-ups on a busy line.
    bool waitForRestOfFrame = true;
    /// A fixed time stamp for every line instead of the time of day (replays, tests).
    std::optional<std::string> fixedTimestamp;

    /// Bytes taken out of the receiver's ring so far (read, dropped or cleared).
    [[nodiscard]] std::uint64_t bytesRemoved() const { return bytesRemoved_; }

  private:
    AwaitedReply await(ReplySlot& slot, std::uint32_t type, std::uint32_t bytePar,
                       std::int32_t polls, std::chrono::milliseconds pause);
    void pollOnce();
    void stampTime();
    void showMeasurements();
    void showBoxStatus();
    void receive();
    enum class FrameCheck { None, ShortTelegram, StandardFrame };
    /// Which frame the candidate at the head of `bytes` is, by its CRC: the 7-byte
    /// check first, the 11-byte one only when `standardToo`.
    [[nodiscard]] FrameCheck checkCandidate(std::span<const std::uint8_t> bytes,
                                            bool standardToo) const;
    void dropNoise();
    std::size_t fill();
    void processStandardFrame(const frames::StandardFrame& frame);
    void matchReplySlots(const frames::StandardFrame& frame, std::uint32_t type);
    void read(std::span<std::uint8_t> into);

    link::Link& link_;
    const frames::ProtocolSettings& protocol_;
    common::Clock& clock_;
    LineSink& lines_;
    ArchiveStore& archive_;
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
