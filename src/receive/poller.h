#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "frames/command_frames.h"
#include "link/main_state.h"
#include "receive/decode_state.h"
#include "receive/logger_decoder.h"
#include "receive/output_sink.h"
#include "receive/reply_slot.h"

namespace qrt::receive {

/// The receive poller: each poll does its housekeeping, lets the firmware transfer
/// send its next block, then drains the receiver's ring, finds short telegrams and
/// standard frames by their CRC, filters them by module ID, decodes them into lines
/// and fills the reply slots.
class Poller {
public:
    Poller(link::MainState& state, common::Clock& clock, OutputSink& output, ArchiveStore& archive);

    /// One poll (the 500 ms timer's tick; waiting operations call it directly).
    void Timer1Timer();

    /// Called once per poll, before any received byte is read, while port A is open.
    std::function<void()> firmwarePacing;
    /// Called for every accepted firmware status reply (type 20).
    std::function<void(const frames::StandardFrame&)> firmwareStatus;

    /// Longest time a poll keeps working off received bytes; the rest waits for the
    /// next poll. Unset: a poll works until fewer than 11 bytes remain.
    std::optional<std::chrono::milliseconds> workBudget;
    /// A fixed time stamp for every line instead of the time of day (replays, tests).
    std::optional<std::string> fixedTimestamp;

    /// Bytes taken out of the receiver's ring so far (read, dropped or cleared).
    [[nodiscard]] std::uint64_t bytesRemoved() const { return bytesRemoved_; }

    // Poller state shared with the waiting operations and the decoders.
    DecodeState decode;
    bool lastFrameAccepted = false;
    std::int32_t replyWaitTicks = 0;
    ReplySlot replySlot;
    std::int32_t shownKeyState = 0;
    std::uint32_t shownBoxVersion = 0;
    std::uint8_t logFlushCounter = 0;
    LoggerBlockDecoder logger;

private:
    void flushLogNowAndThen();
    void stampTime();
    void showBoxStatus();
    void receive();
    std::size_t fill();
    void processStandardFrame(const frames::StandardFrame& frame);
    void matchReplySlots(const frames::StandardFrame& frame, std::uint32_t type);
    void addDebugLine(std::string_view line);
    void read(std::span<std::uint8_t> into);

    link::MainState& state_;
    common::Clock& clock_;
    OutputSink& output_;
    ArchiveStore& archive_;
    std::uint64_t bytesRemoved_ = 0;
};

}  // namespace qrt::receive
