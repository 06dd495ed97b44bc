#include "receive/poller.h"

#include "common/text_format.h"
#include "frames/crc16.h"
#include "receive/frame_fields.h"
#include "receive/reply_decoder.h"
#include "receive/telegram_decoder.h"

namespace qrt::receive {

namespace {

constexpr int kReceiverRing = 0;
constexpr std::size_t kShortTelegramSize = 7;
constexpr std::size_t kStandardFrameSize = 11;
constexpr std::size_t kLoggerBlockSize = 66;
constexpr std::size_t kFirmwareEchoSize = 130;
constexpr std::uint8_t kLogFlushInterval = 20;  // flush when the count taken exceeds it

}  // namespace

Poller::Poller(link::MainState& state, common::Clock& clock, OutputSink& output,
               ArchiveStore& archive)
    : state_(state), clock_(clock), output_(output), archive_(archive) {}

void Poller::Timer1Timer() {
    flushLogNowAndThen();
    stampTime();
    if (replyWaitTicks != 0) {
        --replyWaitTicks;
    }
    if (state_.startupSkipTicks != 0) {
        --state_.startupSkipTicks;
        return;
    }
    if (!state_.link.isOpen(link::Port::A)) {
        return;
    }
    showBoxStatus();
    if (firmwarePacing) {
        firmwarePacing();
    }
    receive();
}

void Poller::flushLogNowAndThen() {
    if (!state_.logFile.isOpen()) {
        return;
    }
    if (logFlushCounter++ > kLogFlushInterval) {
        state_.logFile.flush();
        logFlushCounter = 0;
    }
}

void Poller::stampTime() {
    if (fixedTimestamp) {
        decode.timestamp = *fixedTimestamp;
        return;
    }
    const common::DateTime now = clock_.localTime();
    decode.timestamp = common::format("%02u:%02u:%02u.%01u", static_cast<unsigned>(now.hour),
                                      static_cast<unsigned>(now.minute),
                                      static_cast<unsigned>(now.second),
                                      static_cast<unsigned>(now.millisecond / 100));
}

void Poller::showBoxStatus() {
    const link::MuxReceiver& mux = state_.link.mux;
    if (mux.keyState != shownKeyState) {
        shownKeyState = mux.keyState;
        output_.showKeyState((shownKeyState & 1) != 0);
    }
    if (mux.boxVersion != shownBoxVersion) {
        shownBoxVersion = mux.boxVersion;
        output_.showBoxVersion(common::format("%04X", shownBoxVersion));
    }
}

std::size_t Poller::fill() {
    // Read no more than the ring has room for, so a backlog stays in the port instead
    // of overwriting frames not yet looked at. With a frame's worth already buffered,
    // take only what the port has ready, unless a logger block or firmware echo is
    // still arriving: the frame search would cut into it.
    link::Link& link = state_.link;
    const std::size_t held = link.ringHeld(kReceiverRing);
    const std::size_t room = link::ReceiveRing::kCapacity - held;
    std::size_t awaited = kStandardFrameSize;
    if (decode.decoderState == DecoderState::LoggerBlockExpected) {
        awaited = kLoggerBlockSize;
    } else if (decode.decoderState == DecoderState::SkipFirmwareBlock) {
        awaited = kFirmwareEchoSize;
    }
    return link.PortFill(kReceiverRing, room, held < awaited);
}

void Poller::read(std::span<std::uint8_t> into) {
    state_.link.RingRead(kReceiverRing, into);
    bytesRemoved_ += into.size();
}

void Poller::receive() {
    link::Link& link = state_.link;
    const auto started = clock_.now();
    std::size_t n = fill();
    if (n == 0) {
        return;
    }
    for (;;) {
        if (n >= kFirmwareEchoSize && decode.decoderState == DecoderState::SkipFirmwareBlock) {
            std::array<std::uint8_t, kFirmwareEchoSize> echo{};
            read(echo);
            decode.decoderState = DecoderState::Idle;
        } else if (n >= kLoggerBlockSize &&
                   decode.decoderState == DecoderState::LoggerBlockExpected) {
            LoggerBlock block{};
            read(block);
            decode.decoderState = DecoderState::Idle;
            const bool goOn = logger.decode(
                block, decode.loggerBlock, decode.loggerType, state_.crcStart, archive_,
                [this](std::string_view line) { output_.addCommLine(line); });
            if (!goOn) {
                return;
            }
        } else if (n >= kShortTelegramSize) {
            decode.commLine.clear();
            std::uint16_t crc = state_.crcStart;
            for (std::size_t i = 0; i < 5; ++i) {
                crc = frames::Crc16Update(crc, link.RingPeek(kReceiverRing, i));
            }
            if (link.RingPeek(kReceiverRing, 5) == (crc >> 8) &&
                link.RingPeek(kReceiverRing, 6) == (crc & 0xFFu)) {
                ShortTelegram telegram{};
                read(telegram);
                addDebugLine(decodeShortTelegram(telegram, decode.timestamp,
                                                 link.mux.signalLevel));
            } else if (n >= kStandardFrameSize) {
                for (std::size_t i = 5; i < 9; ++i) {
                    crc = frames::Crc16Update(crc, link.RingPeek(kReceiverRing, i));
                }
                if (link.RingPeek(kReceiverRing, 9) == (crc >> 8) &&
                    link.RingPeek(kReceiverRing, 10) == (crc & 0xFFu)) {
                    frames::StandardFrame frame{};
                    read(frame);
                    processStandardFrame(frame);
                } else if (link.multiplexMode) {
                    bytesRemoved_ += link.ringHeld(kReceiverRing);
                    link.RingClear(kReceiverRing);
                } else {
                    link.RingReadByte(kReceiverRing);
                    ++bytesRemoved_;
                }
            }
        } else {
            return;  // fewer than 7 bytes: wait for more
        }
        n = fill();
        if (n < kStandardFrameSize) {
            return;
        }
        if (workBudget && clock_.now() - started >= *workBudget) {
            return;
        }
    }
}

void Poller::processStandardFrame(const frames::StandardFrame& frame) {
    const FrameFields f(frame);
    const std::uint32_t type = f.type();
    // A type-5 frame behind an accepted frame carries data in its ID bytes.
    const bool bypass = type == 5 && lastFrameAccepted;
    if (!bypass && state_.idFilter != 0 && state_.idFilter != f.id) {
        lastFrameAccepted = false;
        decode.decoderState = DecoderState::Idle;
        return;
    }
    lastFrameAccepted = true;
    if (type == 0) {
        if (decodeSpontaneousTelegram(frame, decode, state_.link.mux.signalLevel)) {
            output_.showBackgroundLevel(common::format("%i", state_.link.mux.backgroundLevel));
        }
    } else if (type == 5) {
        decodeType5Frame(frame, decode);
    } else {
        decodeReply(frame, decode);
        if (type == 20 && firmwareStatus) {
            firmwareStatus(frame);
        }
    }
    addDebugLine(decode.debugLine);
    if (!decode.commLine.empty()) {
        output_.addCommLine(decode.commLine);
    }
    matchReplySlots(frame, type);
}

void Poller::matchReplySlots(const frames::StandardFrame& frame, std::uint32_t type) {
    const std::uint8_t bytePar = frame[7];
    ReplySlot& archiveSlot = archive_.slot;
    if (archiveSlot.expectedType == type && archiveSlot.expectedBytePar == bytePar) {
        archiveSlot.reply = frame;
        // While logger blocks are awaited the slot stays armed for the block itself.
        if (archiveSlot.expectedType != 22) {
            archiveSlot.expectedType = 0;
        }
    }
    if (replySlot.expectedType != 0 && (replySlot.expectedType & 0xFFu) == type &&
        replySlot.expectedBytePar == bytePar) {
        replySlot.reply = frame;
        replySlot.expectedType = 0;
    }
}

void Poller::addDebugLine(std::string_view line) {
    output_.addDebugLine(line);
    state_.logFile.writeLine(line);
}

}  // namespace qrt::receive
