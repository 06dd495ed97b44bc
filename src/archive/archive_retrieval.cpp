#include "archive/archive_retrieval.h"

#include "archive/record_search.h"
#include "common/scan.h"
#include "common/text_format.h"
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

// How a retrieval ends when a reply does not come.
ArchiveRetrieval::End unanswered(receive::WaitEnd end) {
    switch (end) {
        case receive::WaitEnd::PortLost:
            return ArchiveRetrieval::End::PortLost;
        case receive::WaitEnd::Stopped:
            return ArchiveRetrieval::End::Interrupted;
        default:
            return ArchiveRetrieval::End::NoResponse;
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

ArchiveRetrieval::End ArchiveRetrieval::BtInfoClick(const RetrievalRequest& request) {
    view_.showId("");
    firstRequest_ = true;
    if (request.radio) {
        const auto serial = common::scanInt(request.serial);
        const auto type = common::scanInt(request.type);
        if (!serial || !type || *serial == 0 || *type == 0) {
            return End::NotAsked;  // no module named: nothing is asked
        }
        moduleId_ = frames::commandModuleId(static_cast<std::uint32_t>(*type),
                                            static_cast<std::uint32_t>(*serial));
    }
    const End end = retrieve(request);
    switch (end) {
        case End::Done:
        case End::NotAsked:
            break;
        case End::NoResponse:
        case End::PortLost:
        case End::Interrupted:
            view_.showStatus("No Response", StatusColour::Red);
            view_.enableCsv(false);
            break;
        case End::DateError:
            // The blocks read so far stay; the first record found would belong to
            // another retrieval, so there is nothing to export.
            firstRecord = -1;
            view_.showStatus("Invalid record date", StatusColour::Red);
            view_.enableCsv(false);
            view_.dateError(dateError_);
            break;
    }
    return end;
}

ArchiveRetrieval::End ArchiveRetrieval::retrieve(const RetrievalRequest& request) {
    sendRequest(request, 0, archive_request::kInfo);
    view_.showStatus("Busy", StatusColour::Yellow);
    blockReceived.reset();
    const auto info =
        poller_.awaitArchiveReply(kParameterReply, archive_request::kInfo, kReplyPolls, 100ms);
    if (!info.arrived()) {
        return unanswered(info.end);
    }
    const std::uint32_t id = frames::readLe32(info.frame, 1);
    archiveType = frames::moduleTypeOf(id);
    archiveSerial = frames::serialOf(id);
    writeWord = frames::readLe16(info.frame, 5);
    newestBlock = writeWord / 32;
    view_.showId(common::format<"%u.%u">(archiveType, archiveSerial));
    if (writeWord >= kRingWords) {
        return End::NoResponse;  // a write position outside the ring cannot be read
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
            dateError_ = found.error;
            return End::DateError;
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
    view_.showStatus("Ready", StatusColour::Green);
    for (std::uint32_t b = lastBatchStart; b != newestBlock; b = (b + 1) % kRingBlocks) {
        if (!blockReceived.test(b)) {
            view_.showStatus("Missing blocks", StatusColour::Red);
            return End::Done;
        }
    }
    if (firstRecord != -1) {
        view_.showFirstRecord(shortDate(recordTime), longTime(recordTime));
        view_.enableCsv(true);
    } else {
        view_.enableCsv(false);
    }
    return End::Done;
}

}  // namespace qrt::archive
