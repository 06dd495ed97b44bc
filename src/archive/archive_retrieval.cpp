#include "archive/archive_retrieval.h"

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
End unanswered(receive::WaitEnd end) {
    switch (end) {
        case receive::WaitEnd::PortLost:
            return End::PortLost;
        case receive::WaitEnd::Stopped:
            return End::Interrupted;
        default:
            return End::NoResponse;
    }
}

}  // namespace

RetrievalOutcome ArchiveRetrieval::ended(End end, std::string dateError) const {
    return {end, std::move(dateError), read_};
}

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
        blockReceived_.set(static_cast<std::size_t>(number));
    }
    read_.blocksReceived = static_cast<std::uint32_t>(blockReceived_.count());
    view_.showProgress(read_.blocksReceived, blocksToRead_);
    return receive::WaitEnd::Reply;
}

RetrievalOutcome ArchiveRetrieval::retrieve(const RetrievalRequest& request) {
    view_.showModule(std::nullopt);
    firstRequest_ = true;
    read_ = {};
    if (request.radio) {
        if (!request.module || request.module->serial == 0 || request.module->type == 0) {
            return ended(End::NotAsked);  // no module named: nothing is asked
        }
        moduleId_ = request.module->commandId();
    }
    return readArchive(request);
}

RetrievalOutcome ArchiveRetrieval::readArchive(const RetrievalRequest& request) {
    if (auto failed = askWritePosition(request)) {
        return *failed;
    }
    if (auto failed = askWrapped(request)) {
        return *failed;
    }
    std::int32_t oldestRecord = -1;
    for (;;) {
        if (auto failed = readBatch(request)) {
            return *failed;
        }
        const RecordSearchResult found =
            findRecord(store_.archiveWords, 32 * batch_.start, read_.writeWord);
        if (found.outcome == RecordSearchResult::Outcome::InvalidDate) {
            // The blocks read so far stay; the first record found would belong to another
            // retrieval, so there is nothing to export.
            return ended(End::DateError, found.error);
        }
        if (found.outcome == RecordSearchResult::Outcome::Found) {
            oldestRecord = found.index;
            read_.recordTime = found.time;
            read_.recordConfig = found.config;
        }
        if (!nextBatch() || (found.outcome == RecordSearchResult::Outcome::Found &&
                             read_.recordTime <= request.selectedStart)) {
            break;
        }
    }
    read_.firstRecord = oldestRecord;
    if (blocksMissing()) {
        return ended(End::MissingBlocks);
    }
    return ended(read_.firstRecord != -1 ? End::Exportable : End::NoRecord);
}

std::optional<RetrievalOutcome> ArchiveRetrieval::askWritePosition(
    const RetrievalRequest& request) {
    sendRequest(request, 0, archive_request::kInfo);
    view_.showBusy();
    blockReceived_.reset();
    const auto info =
        poller_.awaitArchiveReply(kParameterReply, archive_request::kInfo, kReplyPolls, 100ms);
    if (!info.arrived()) {
        return ended(unanswered(info.end));
    }
    read_.module = frames::ModuleAddress::fromId(frames::readLe32(info.frame, 1));
    read_.writeWord = frames::readLe16(info.frame, 5);
    read_.newestBlock = read_.writeWord / 32;
    view_.showModule(read_.module);
    if (read_.writeWord >= kRingWords) {
        return ended(End::NoResponse);  // a write position outside the ring cannot be read
    }
    return std::nullopt;
}

std::optional<RetrievalOutcome> ArchiveRetrieval::askWrapped(const RetrievalRequest& request) {
    // The last word of the write position's 64-word page: erased (0xFFFF) until the ring
    // has been written round.
    sendRequest(request, static_cast<std::uint16_t>((read_.writeWord / 64) * 256 + 255),
                archive_request::kWrapCheck);
    const auto wrapCheck =
        poller_.awaitArchiveReply(kParameterReply, archive_request::kWrapCheck, kReplyPolls, 100ms);
    if (!wrapCheck.arrived()) {
        return ended(unanswered(wrapCheck.end));
    }
    read_.wrapped = frames::readLe16(wrapCheck.frame, 5) != 0xFFFF;
    poller_.resetLoggerRecord();
    // The most blocks this read may take; one that stops at the selected start ends
    // short of it, and the total never changes during the read.
    blocksToRead_ = read_.wrapped ? kRingBlocks : read_.newestBlock + 1;
    view_.showProgress(0, blocksToRead_);
    if (read_.newestBlock > kBatchBlocks - 1) {
        batch_ = {read_.newestBlock - (kBatchBlocks - 1), kBatchBlocks};
    } else {
        batch_ = {0, read_.newestBlock + 1};
    }
    lowestBlock_ = 0;
    return std::nullopt;
}

std::optional<RetrievalOutcome> ArchiveRetrieval::readBatch(const RetrievalRequest& request) {
    sendRequest(request, static_cast<std::uint16_t>(batch_.start),
                static_cast<std::uint8_t>(archive_request::kBatch + batch_.length));
    for (std::uint32_t n = 0; n < batch_.length; ++n) {
        const receive::WaitEnd end = awaitBlock(request);
        if (end == receive::WaitEnd::TimedOut) {
            break;  // the rest of the batch is asked for block by block
        }
        if (end != receive::WaitEnd::Reply) {
            return ended(unanswered(end));
        }
    }
    for (std::uint32_t b = batch_.start; b < batch_.start + batch_.length; ++b) {
        if (!blockReceived_.test(b)) {
            sendRequest(request, static_cast<std::uint16_t>(b), archive_request::kSingleBlock);
            if (const receive::WaitEnd end = awaitBlock(request); end != receive::WaitEnd::Reply) {
                return ended(unanswered(end));
            }
        }
    }
    lastBatchStart_ = batch_.start;
    return std::nullopt;
}

bool ArchiveRetrieval::nextBatch() {
    // Below block 0 a wrapped ring goes on from its end down to the block after the newest.
    if (read_.wrapped && batch_.start == 0) {
        batch_.start = kRingBlocks;
        lowestBlock_ = read_.newestBlock + 1;
    }
    if (lowestBlock_ + kBatchBlocks < batch_.start) {
        batch_ = {batch_.start - kBatchBlocks, kBatchBlocks};
    } else {
        batch_ = {lowestBlock_, batch_.start - lowestBlock_};
    }
    // A ring whose newest block is its last has nothing left below the wrap.
    return lastBatchStart_ != lowestBlock_ && batch_.length != 0;
}

bool ArchiveRetrieval::blocksMissing() const {
    for (std::uint32_t b = lastBatchStart_; b != read_.newestBlock; b = (b + 1) % kRingBlocks) {
        if (!blockReceived_.test(b)) {
            return true;
        }
    }
    return false;
}

}  // namespace qrt::archive
