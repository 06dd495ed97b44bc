#include "frames/command_codes.h"
#include "archive/archive_retrieval.h"

#include "archive/record_search.h"
#include "common/scan.h"
#include "common/text_format.h"
#include "frames/byte_order.h"

namespace qrt::archive {

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kInfo = 0x43;
constexpr std::uint8_t kWrapCheck = 0x44;
constexpr std::uint8_t kSingleBlock = 0x81;
constexpr std::uint32_t kParameterReply = 2;
constexpr std::uint32_t kBlockAnnouncement = 22;
constexpr std::uint32_t kBatch = 64;
constexpr std::int32_t kReplyPolls = 10;
constexpr std::int32_t kInductiveBlockPolls = 10;
constexpr std::int32_t kRadioBlockPolls = 25;

}  // namespace

void ArchiveRetrieval::sendRequest(const RetrievalRequest& request, std::uint16_t wordPar,
                                   std::uint8_t bytePar) {
    if (!request.radio) {
        sender_.SendInductiveFrame(frames::code::kNvr, wordPar, bytePar, true);
        return;
    }
    if (!firstRequest_) {
        clock_.sleep(100ms);
    }
    firstRequest_ = false;
    sender_.SendCommandFrame(frames::code::kNvr, moduleId_, wordPar, bytePar, state_.nextSequence());
}

bool ArchiveRetrieval::awaitReply(std::uint32_t type, std::uint32_t bytePar, std::int32_t polls,
                                  std::chrono::milliseconds pause) {
    store_.slot.expectedType = type;
    store_.slot.expectedBytePar = bytePar;
    poller_.replyWaitTicks = polls;
    for (;;) {
        clock_.sleep(pause);
        poller_.Timer1Timer();
        // The time-out is tested first: a reply in the last poll counts as none.
        if (poller_.replyWaitTicks == 0) {
            return false;
        }
        if (store_.slot.expectedType == 0) {
            return true;
        }
    }
}

bool ArchiveRetrieval::awaitBlock(const RetrievalRequest& request) {
    const bool arrived = awaitReply(kBlockAnnouncement, request.radio ? 3 : 0,
                                    request.radio ? kRadioBlockPolls : kInductiveBlockPolls, 20ms);
    if (arrived) {
        noteBlock();
    }
    return arrived;
}

void ArchiveRetrieval::noteBlock() {
    const auto number = static_cast<std::int16_t>(frames::readLe16(store_.slot.reply, 5));
    if (number >= 0 && static_cast<std::uint32_t>(number) < kRingBlocks) {
        blockReceived.set(static_cast<std::size_t>(number));
    }
    view_.showProgress(static_cast<std::uint32_t>(blockReceived.count()), blocksToRead_);
}

void ArchiveRetrieval::BtInfoClick(const RetrievalRequest& request) {
    view_.showId("");
    firstRequest_ = true;
    if (request.radio) {
        const auto serial = common::scanInt(request.serial);
        const auto type = common::scanInt(request.type);
        if (!serial || !type || *serial == 0 || *type == 0) {
            return;  // no module named: nothing is asked
        }
        moduleId_ = static_cast<std::uint32_t>(*serial) | (static_cast<std::uint32_t>(*type) << 28);
    }
    switch (retrieve(request)) {
        case Step::Done:
            break;
        case Step::NoResponse:
            view_.showStatus("No Response", StatusColour::Red);
            view_.enableCsv(false);
            break;
        case Step::DateError:
            // The blocks read so far stay; the first record found would belong to
            // another retrieval, so there is nothing to export.
            firstRecord = -1;
            view_.showStatus("Invalid record date", StatusColour::Red);
            view_.enableCsv(false);
            view_.dateError(dateError_);
            break;
    }
}

ArchiveRetrieval::Step ArchiveRetrieval::retrieve(const RetrievalRequest& request) {
    sendRequest(request, 0, kInfo);
    view_.showStatus("Busy", StatusColour::Yellow);
    blockReceived.reset();
    if (!awaitReply(kParameterReply, kInfo, kReplyPolls, 100ms)) {
        return Step::NoResponse;
    }
    const std::uint32_t id = frames::readLe32(store_.slot.reply, 1);
    archiveType = id >> 28;
    archiveSerial = id & 0x0FFFFFFFu;
    writeWord = frames::readLe16(store_.slot.reply, 5);
    newestBlock = writeWord / 32;
    view_.showId(common::format("%u.%u", archiveType, archiveSerial));
    if (writeWord >= kRingWords) {
        return Step::NoResponse;  // a write position outside the ring cannot be read
    }

    sendRequest(request, static_cast<std::uint16_t>((writeWord / 64) * 256 + 255), kWrapCheck);
    if (!awaitReply(kParameterReply, kWrapCheck, kReplyPolls, 100ms)) {
        return Step::NoResponse;
    }
    archiveWrapped = frames::readLe16(store_.slot.reply, 5) != 0xFFFF;
    poller_.logger.resetRecord();
    blocksToRead_ = archiveWrapped ? kRingBlocks : newestBlock + 1;
    view_.showProgress(0, blocksToRead_);

    if (newestBlock > kBatch - 1) {
        batchStart = newestBlock - (kBatch - 1);
        batchLength = kBatch;
    } else {
        batchStart = 0;
        batchLength = newestBlock + 1;
    }
    lowestBlock = 0;
    std::int32_t result = -1;
    for (;;) {
        sendRequest(request, static_cast<std::uint16_t>(batchStart),
                    static_cast<std::uint8_t>(0x80 + batchLength));
        for (std::uint32_t n = 0; n < batchLength; ++n) {
            if (!awaitBlock(request)) {
                break;
            }
        }
        for (std::uint32_t b = batchStart; b < batchStart + batchLength; ++b) {
            if (!blockReceived.test(b)) {
                sendRequest(request, static_cast<std::uint16_t>(b), kSingleBlock);
                if (!awaitBlock(request)) {
                    return Step::NoResponse;
                }
            }
        }
        lastBatchStart = batchStart;
        const RecordSearchResult found = findRecord(store_.archiveWords, 32 * batchStart, writeWord);
        if (found.outcome == RecordSearchResult::Outcome::InvalidDate) {
            dateError_ = found.error;
            return Step::DateError;
        }
        if (found.outcome == RecordSearchResult::Outcome::Found) {
            result = found.index;
            recordTime = found.time;
            recordConfig = found.config;
        }
        if (archiveWrapped && batchStart == 0) {
            batchStart = kRingBlocks;
            lowestBlock = newestBlock + 1;
        }
        if (lowestBlock + kBatch < batchStart) {
            batchStart -= kBatch;
            batchLength = kBatch;
        } else {
            batchLength = batchStart - lowestBlock;
            batchStart = lowestBlock;
        }
        // A ring whose newest block is its last has nothing left below the wrap.
        if (lastBatchStart == lowestBlock || batchLength == 0) {
            break;
        }
        if (found.outcome == RecordSearchResult::Outcome::Found && recordTime <= request.selectedStart) {
            break;
        }
    }

    firstRecord = result;
    view_.showStatus("Ready", StatusColour::Green);
    for (std::uint32_t b = lastBatchStart; b != newestBlock; b = (b + 1) % kRingBlocks) {
        if (!blockReceived.test(b)) {
            view_.showStatus("Missing blocks", StatusColour::Red);
            return Step::Done;
        }
    }
    if (firstRecord != -1) {
        view_.showFirstRecord(shortDate(recordTime), longTime(recordTime));
        view_.enableCsv(true);
    } else {
        view_.enableCsv(false);
    }
    return Step::Done;
}

}  // namespace qrt::archive
