#include "receive/poller.h"

#include <utility>

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

}  // namespace

Poller::Poller(link::Link& link, const frames::ProtocolSettings& protocol, common::Clock& clock,
               ArchiveStore& archive, Options options)
    : link_(link),
      protocol_(protocol),
      clock_(clock),
      archive_(archive),
      options_(std::move(options)) {}

common::Attachment Poller::attach(const Outputs& outputs) {
    return attached_.add(outputs);
}

void Poller::useOutputs(std::span<const Outputs> layers) {
    outputs_ = newestOutputs(layers);
    if (outputs_.lines == nullptr) {
        outputs_.lines = &noLines_;
    }
}

void Poller::poll() {
    beginPoll();
    pollOnce();
    endPoll();
}

void Poller::pollRemaining() {
    beginPoll();
    // Each round takes at least one frame off the ring, or ends the work.
    for (std::uint64_t removed = bytesRemoved_ + 1; removed != bytesRemoved_;) {
        removed = bytesRemoved_;
        receive();
    }
    endPoll();
}

void Poller::beginPoll() {
    outputs_.lines->pollStarted();
    stampTime();
    decode_.recordValues = outputs_.measurements != nullptr;
    decode_.levelsMeasured = link_.multiplexed();
}

void Poller::endPoll() {
    outputs_.lines->pollFinished();
    if (outputs_.measurements != nullptr) {
        outputs_.measurements->pollFinished();
    }
    if (outputs_.recording != nullptr) {
        outputs_.recording->pollFinished();
    }
}

bool Poller::readAhead() {
    link::Link& link = link_;
    const std::size_t held = link.ringHeld(kReceiverRing);
    if (outputs_.recording == nullptr || !link.isOpen(link::Port::A) ||
        held == link::ReceiveRing::kCapacity) {
        return false;
    }
    return link.PortFill(kReceiverRing, link::ReceiveRing::kCapacity - held) > held;
}

void Poller::pollOnce() {
    if (replyWaitTicks_ != 0) {
        --replyWaitTicks_;
    }
    if (startupSkipLeft_ != 0) {
        --startupSkipLeft_;
        return;
    }
    if (!link_.isOpen(link::Port::A)) {
        return;
    }
    showBoxStatus();
    if (outputs_.firmwarePacing) {
        outputs_.firmwarePacing();
    }
    receive();
}

AwaitedReply Poller::awaitReply(std::uint32_t type, std::uint32_t bytePar, std::int32_t polls,
                                std::chrono::milliseconds pause) {
    return await(replySlot_, type, bytePar, polls, pause);
}

AwaitedReply Poller::awaitArchiveReply(std::uint32_t type, std::uint32_t bytePar,
                                       std::int32_t polls, std::chrono::milliseconds pause) {
    return await(archive_.slot, type, bytePar, polls, pause);
}

AwaitedReply Poller::await(ReplySlot& slot, std::uint32_t type, std::uint32_t bytePar,
                           std::int32_t polls, std::chrono::milliseconds pause) {
    slot.expectedType = type;
    slot.expectedBytePar = bytePar;
    replyWaitTicks_ = polls;
    for (;;) {
        clock_.sleep(pause);
        poll();
        if (link_.deviceLost()) {
            return {.end = WaitEnd::PortLost};
        }
        if (outputs_.stopWaiting && outputs_.stopWaiting()) {
            return {.end = WaitEnd::Stopped};
        }
        if (replyWaitTicks_ == 0) {
            return {.end = WaitEnd::TimedOut};
        }
        if (slot.expectedType == 0) {
            return {.end = WaitEnd::Reply, .frame = slot.reply};
        }
    }
}

void Poller::stampTime() {
    const common::Timestamp at = clock_.timestamp();
    decode_.measurements.setTime(at);
    if (options_.fixedTimestamp) {
        decode_.timestamp = *options_.fixedTimestamp;
        return;
    }
    const common::DateTime now = at.local();
    common::assignFormat<"%02u:%02u:%02u.%01u">(
        decode_.timestamp, static_cast<unsigned>(now.hour), static_cast<unsigned>(now.minute),
        static_cast<unsigned>(now.second), static_cast<unsigned>(now.millisecond / 100));
}

void Poller::showBoxStatus() {
    const link::MuxReceiver& mux = link_.muxReceiver();
    BoxStatusSink* boxStatus = outputs_.boxStatus;
    if (boxStatus == nullptr) {
        return;
    }
    if (mux.keyState != shownKeyState_) {
        shownKeyState_ = mux.keyState;
        boxStatus->showKeyState((shownKeyState_ & 1) != 0);
    }
    if (mux.boxVersion != shownBoxVersion_) {
        shownBoxVersion_ = mux.boxVersion;
        boxStatus->showBoxVersion(shownBoxVersion_);
    }
}

std::size_t Poller::fill() {
    // Read no more than the ring has room for, so a backlog stays in the port instead
    // of overwriting frames not yet looked at. With a frame's worth already buffered,
    // take only what the port has ready, unless a logger block or firmware echo is
    // still arriving: the frame search would cut into it.
    link::Link& link = link_;
    const std::size_t held = link.ringHeld(kReceiverRing);
    const std::size_t room = link::ReceiveRing::kCapacity - held;
    std::size_t awaited = kStandardFrameSize;
    if (decode_.decoderState == DecoderState::LoggerBlockExpected) {
        awaited = kLoggerBlockSize;
    } else if (decode_.decoderState == DecoderState::SkipFirmwareBlock) {
        awaited = kFirmwareEchoSize;
    }
    return link.PortFill(kReceiverRing, room, options_.waitForRestOfFrame && held < awaited);
}

Poller::FrameCheck Poller::checkCandidate(std::span<const std::uint8_t> bytes,
                                          bool standardToo) const {
    // The CRC of bytes 0 to 4 is the first part of that of bytes 0 to 8.
    std::uint16_t crc = frames::Crc16Update4(protocol_.crcStart, bytes.first<4>());
    crc = frames::Crc16Update(crc, bytes[4]);
    if (bytes[5] == (crc >> 8) && bytes[6] == (crc & 0xFFu)) {
        return FrameCheck::ShortTelegram;
    }
    if (!standardToo) {
        return FrameCheck::None;
    }
    crc = frames::Crc16Update4(crc, bytes.subspan<5, 4>());
    return bytes[9] == (crc >> 8) && bytes[10] == (crc & 0xFFu) ? FrameCheck::StandardFrame
                                                                : FrameCheck::None;
}

void Poller::dropNoise() {
    // On a direct link the oldest byte goes and the next read follows. With a full ring
    // and nothing but frames awaited, that read takes exactly the byte dropped, so the
    // ring stays full and every candidate up to 11 bytes before its end is looked at
    // with at least 11 bytes buffered: the bytes up to the next candidate whose CRC
    // checks can go at once, and as many are read back as the single reads would have
    // taken. Noise then costs a CRC per byte, not a read.
    link::Link& link = link_;
    const std::size_t held = link.ringHeld(kReceiverRing);
    const bool framesOnly = decode_.decoderState == DecoderState::Idle ||
                            decode_.decoderState == DecoderState::ExtensionExpected;
    if (held != link::ReceiveRing::kCapacity || !framesOnly) {
        link.RingReadByte(kReceiverRing);
        removed(1, link::RecordKind::NoFrame);
        return;
    }
    std::array<std::uint8_t, link::ReceiveRing::kCapacity> ring;
    link.RingPeek(kReceiverRing, ring);
    std::size_t drop = 1;  // the candidate at the head failed already
    while (drop + kStandardFrameSize <= held &&
           checkCandidate(std::span(ring).subspan(drop, kStandardFrameSize), true) ==
               FrameCheck::None) {
        ++drop;
    }
    link.RingDrop(kReceiverRing, drop);
    removed(drop, link::RecordKind::NoFrame);
    // Read back all but the byte that the loop's own read takes after this drop.
    for (std::size_t readBack = 0; readBack + 1 < drop;) {
        const std::size_t before = link.ringHeld(kReceiverRing);
        const std::size_t got = fill() - before;
        if (got == 0) {
            break;
        }
        readBack += got;
    }
}

void Poller::read(std::span<std::uint8_t> into, link::RecordKind kind) {
    link_.RingRead(kReceiverRing, into);
    removed(into.size(), kind);
}

void Poller::removed(std::size_t count, link::RecordKind kind) {
    bytesRemoved_ += count;
    if (outputs_.recording != nullptr) {
        outputs_.recording->taken(kind, count);
    }
}

void Poller::receive() {
    link::Link& link = link_;
    const auto started = clock_.now();
    std::size_t n = fill();
    if (n == 0) {
        return;
    }
    for (;;) {
        if (n >= kFirmwareEchoSize && decode_.decoderState == DecoderState::SkipFirmwareBlock) {
            std::array<std::uint8_t, kFirmwareEchoSize> echo{};
            read(echo, link::RecordKind::FirmwareEcho);
            decode_.decoderState = DecoderState::Idle;
        } else if (n >= kLoggerBlockSize &&
                   decode_.decoderState == DecoderState::LoggerBlockExpected) {
            LoggerBlock block{};
            read(block, link::RecordKind::LoggerBlock);
            decode_.decoderState = DecoderState::Idle;
            const bool goOn = logger_.decode(
                block, decode_.loggerBlock, decode_.loggerType, protocol_.crcStart, archive_,
                [this](std::string_view line) { outputs_.lines->addLine(Pane::Comm, line); });
            if (!goOn) {
                return;
            }
        } else if (n >= kShortTelegramSize) {
            std::array<std::uint8_t, kStandardFrameSize> head;  // the candidate, copied once
            const bool standardToo = n >= kStandardFrameSize;
            link.RingPeek(kReceiverRing, std::span(head).first(standardToo ? kStandardFrameSize
                                                                           : kShortTelegramSize));
            const FrameCheck check = checkCandidate(head, standardToo);
            if (check == FrameCheck::ShortTelegram) {
                ShortTelegram telegram{};
                read(telegram, link::RecordKind::ShortTelegram);
                decode_.measurements.clear();
                decodeShortTelegram(telegram, link.muxReceiver().signalLevel, decode_,
                                    *outputs_.lines);
                showMeasurements();
            } else if (check == FrameCheck::StandardFrame) {
                frames::StandardFrame frame{};
                read(frame, link::RecordKind::StandardFrame);
                processStandardFrame(frame);
            } else if (standardToo && link.multiplexed()) {
                const std::size_t held = link.ringHeld(kReceiverRing);
                link.RingClear(kReceiverRing);
                removed(held, link::RecordKind::NoFrame);
            } else if (standardToo) {
                dropNoise();
            }
        } else {
            return;  // fewer than 7 bytes: wait for more
        }
        n = fill();
        if (n < kStandardFrameSize) {
            return;
        }
        if (options_.workBudget && clock_.now() - started >= *options_.workBudget) {
            return;
        }
    }
}

void Poller::processStandardFrame(const frames::StandardFrame& frame) {
    const FrameFields f(frame);
    const std::uint32_t type = f.type();
    // A type-5 frame behind an accepted frame carries data in its ID bytes.
    const bool bypass = type == 5 && lastFrameAccepted_;
    if (!bypass && options_.idFilter != 0 && options_.idFilter != f.id) {
        lastFrameAccepted_ = false;
        decode_.decoderState = DecoderState::Idle;
        return;
    }
    lastFrameAccepted_ = true;
    decode_.measurements.clear();
    LineSink& lines = *outputs_.lines;
    if (type == 0) {
        const link::MuxReceiver& mux = link_.muxReceiver();
        if (decodeSpontaneousTelegram(frame, decode_, mux.signalLevel, lines)) {
            const auto level =
                decode_.measureLevel(decode_.source, "Background", mux.backgroundLevel);
            if (outputs_.boxStatus != nullptr) {
                outputs_.boxStatus->showBackgroundLevel(level);
            }
        }
    } else if (type == 5) {
        decodeType5Frame(frame, decode_, lines);
    } else {
        decodeReply(frame, decode_, lines);
        if (type == 20 && outputs_.firmwareStatus) {
            outputs_.firmwareStatus(frame);
        }
    }
    showMeasurements();
    matchReplySlots(frame, type);
    if (outputs_.frameAccepted) {
        outputs_.frameAccepted(frame);
    }
}

void Poller::showMeasurements() {
    if (!decode_.measurements.empty()) {
        outputs_.measurements->addMeasurements(decode_.measurements.view());
    }
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
    if (replySlot_.expectedType != 0 && (replySlot_.expectedType & 0xFFu) == type &&
        (replySlot_.expectedBytePar == bytePar || replySlot_.expectedBytePar == kAnyBytePar)) {
        replySlot_.reply = frame;
        replySlot_.expectedType = 0;
    }
}

}  // namespace qrt::receive
