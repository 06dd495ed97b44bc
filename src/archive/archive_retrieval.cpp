#include "archive/archive_retrieval.h"

#include "archive/record_search.h"
#include "frames/byte_order.h"
#include "frames/command_codes.h"

namespace qrt::archive {

namespace {

using namespace std::chrono_literals;

namespace archive_request = frames::archive_request;
constexpr std::uint32_t kParameterReply = 2;
constexpr std::uint32_t kBlockAnnouncement = 22;
constexpr std::uint32_t kBatchBlocks = archive_request::kMaxBatch;
constexpr std::int32_t kReplyPolls = 10;
constexpr std::int32_t kInductiveBlockPolls = 10;
constexpr std::int32_t kRadioBlockPolls = 25;

using End = RetrievalOutcome::End;

// How a retrieval ends when a reply does not come.
RetrievalOutcome unanswered(receive::WaitEnd end) {
    switch (end) {
        case receive::WaitEnd::PortLost:
            return {End::PortLost};
        case receive::WaitEnd::Stopped:
            return {End::Interrupted};
        default:
            return {End::NoResponse};
    }
}

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
    sender_.SendCommandFrame(frames::code::kNvr, moduleId_, wordPar, bytePar,
                             sender_.protocol().nextSequence());
}

receive::WaitEnd ArchiveRetrieval::awaitBlock(const RetrievalRequest& request) {
    const auto announcement =
        poller_.awaitArchiveReply(kBlockAnnouncement, request.radio ? 3 : 0,
                                  request.radio ? kRadioBlockPolls : kInductiveBlockPolls, 20ms);
    if (!announcement.arrived()) {
        return announcement.end;
    }
    const auto number = static_cast<std::int16_t>(frames::readLe16(announcement.frame, 5));
    if (number >= 0 && static_cast<std::uint32_t>(number) < kRingBlocks) {
        blockReceived.set(static_cast<std::size_t>(number));
    }
    view_.showProgress(static_cast<std::uint32_t>(blockReceived.count()), blocksToRead_);
    return receive::WaitEnd::Reply;
}

RetrievalOutcome ArchiveRetrieval::retrieve(const RetrievalRequest& request) {
    view_.showModule(std::nullopt);
    firstRequest_ = true;
    if (request.radio) {
        if (!request.module || request.module->serial == 0 || request.module->type == 0) {
            return {End::NotAsked};  // no module named: nothing is asked
        }
        moduleId_ = request.module->commandId();
    }
    RetrievalOutcome outcome = readArchive(request);
    if (outcome.end == End::DateError) {
        // The blocks read so far stay; the first record found would belong to another
        // retrieval, so there is nothing to export.
        firstRecord = -1;
    }
    return outcome;
}

RetrievalOutcome ArchiveRetrieval::readArchive(const RetrievalRequest& request) {
    sendRequest(request, 0, archive_request::kInfo);
    view_.showBusy();
    blockReceived.reset();
    const auto info =
        poller_.awaitArchiveReply(kParameterReply, archive_request::kInfo, kReplyPolls, 100ms);
    if (!info.arrived()) {
        return unanswered(info.end);
    }
    archiveModule = frames::ModuleAddress::fromId(frames::readLe32(info.frame, 1));
    writeWord = frames::readLe16(info.frame, 5);
    newestBlock = writeWord / 32;
    view_.showModule(archiveModule);
    if (writeWord >= kRingWords) {
        return {End::NoResponse};  // a write position outside the ring cannot be read
    }

    sendRequest(request, static_cast<std::uint16_t>((writeWord / 64) * 256 + 255),
                archive_request::kWrapCheck);
    const auto wrapCheck =
        poller_.awaitArchiveReply(kParameterReply, archive_request::kWrapCheck, kReplyPolls, 100ms);
    if (!wrapCheck.arrived()) {
        return unanswered(wrapCheck.end);
    }
    archiveWrapped = frames::readLe16(wrapCheck.frame, 5) != 0xFFFF;
    poller_.resetLoggerRecord();
    blocksToRead_ = archiveWrapped ? kRingBlocks : newestBlock + 1;
    blocksAsked_ = 0;
    view_.showProgress(0, blocksToRead_);

    if (newestBlock > kBatchBlocks - 1) {
        batchStart = newestBlock - (kBatchBlocks - 1);
        batchLength = kBatchBlocks;
    } else {
        batchStart = 0;
        batchLength = newestBlock + 1;
    }
    lowestBlock = 0;
    std::int32_t result = -1;
    for (;;) {
        blocksAsked_ += batchLength;
        sendRequest(request, static_cast<std::uint16_t>(batchStart),
                    static_cast<std::uint8_t>(archive_request::kBatch + batchLength));
        for (std::uint32_t n = 0; n < batchLength; ++n) {
            const receive::WaitEnd end = awaitBlock(request);
            if (end == receive::WaitEnd::TimedOut) {
                break;  // the rest of the batch is asked for block by block
            }
            if (end != receive::WaitEnd::Reply) {
                return unanswered(end);
            }
        }
        for (std::uint32_t b = batchStart; b < batchStart + batchLength; ++b) {
            if (!blockReceived.test(b)) {
                sendRequest(request, static_cast<std::uint16_t>(b), archive_request::kSingleBlock);
                if (const receive::WaitEnd end = awaitBlock(request);
                    end != receive::WaitEnd::Reply) {
                    return unanswered(end);
                }
            }
        }
        lastBatchStart = batchStart;
        const RecordSearchResult found =
            findRecord(store_.archiveWords, 32 * batchStart, writeWord);
        if (found.outcome == RecordSearchResult::Outcome::InvalidDate) {
            return {End::DateError, found.error};
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
        if (lowestBlock + kBatchBlocks < batchStart) {
            batchStart -= kBatchBlocks;
            batchLength = kBatchBlocks;
        } else {
            batchLength = batchStart - lowestBlock;
            batchStart = lowestBlock;
        }
        // A ring whose newest block is its last has nothing left below the wrap.
        if (lastBatchStart == lowestBlock || batchLength == 0) {
            break;
        }
        if (found.outcome == RecordSearchResult::Outcome::Found &&
            recordTime <= request.selectedStart) {
            break;
        }
    }

    firstRecord = result;
    // The bar ends at what this retrieval asked for: a read that stops at the selected
    // start is complete, not a few percent of the ring.
    const auto received = static_cast<std::uint32_t>(blockReceived.count());
    view_.showProgress(received, std::max(blocksAsked_, received));
    for (std::uint32_t b = lastBatchStart; b != newestBlock; b = (b + 1) % kRingBlocks) {
        if (!blockReceived.test(b)) {
            return {End::MissingBlocks};
        }
    }
    return {firstRecord != -1 ? End::Exportable : End::NoRecord};
}

}  // namespace qrt::archive
