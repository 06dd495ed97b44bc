#include "firmware/firmware_transfer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "firmware/firmware_family.h"
#include "frames/byte_order.h"
#include "frames/command_codes.h"
#include "frames/crc16.h"

namespace qrt::firmware {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kBlockSize = 128;
constexpr std::size_t kHeaderSize = 6;  // four tag bytes, one more, LF
constexpr std::size_t kHeaderLineLimit = 63;
constexpr int kFirstBlockPolls = 4;

// The header line: up to the first LF, at most 63 bytes.
std::string readHeaderLine(std::ifstream& image) {
    std::string line;
    char c = 0;
    while (line.size() < kHeaderLineLimit && image.get(c)) {
        line.push_back(c);
        if (c == '\n') {
            break;
        }
    }
    return line;
}

// It must be the tag, one byte and the LF, so that the body starts where the block
// numbers say it does.
bool headerMatches(const std::string& line, const char* tag) {
    if (line.size() != kHeaderSize || line.back() != '\n') {
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) !=
            std::tolower(static_cast<unsigned char>(tag[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

void FirmwareTransfer::applyTargetRule() {
    const FirmwareTarget target = view_.target();
    if (target.singleModule && target.module) {
        targetType_ = static_cast<std::int32_t>(target.module->type);
        targetId_ = target.module->filterId();
    } else {
        targetId_ = frames::kBroadcastId;
    }
}

FirmwareTransfer::StartResult FirmwareTransfer::start(const std::string& path) {
    applyTargetRule();
    std::error_code error;
    std::ifstream image;
    if (std::filesystem::is_regular_file(path, error)) {
        image.open(path, std::ios::binary);
    }
    if (!image.is_open()) {
        refusal_ = ImageRefusal{.reason = ImageRefusal::Reason::CannotOpen, .path = path};
        return StartResult::CannotOpen;  // a running transfer goes on untouched
    }
    // From here on the new image replaces the old one, whether it passes or not.
    image_.close();
    running_ = false;
    singleBlock_ = false;
    const FirmwareFamily& family = familyFor(targetType_);
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    const std::uintmax_t blocks = error ? 0 : (size + 121) / kBlockSize;
    if (error || blocks > family.maxBlocks) {
        refusal_ = ImageRefusal{.reason = ImageRefusal::Reason::TooManyBlocks,
                                .path = path,
                                .blocks = blocks,
                                .maxBlocks = family.maxBlocks};
        return StartResult::TooManyBlocks;
    }
    const std::string header = readHeaderLine(image);
    if (!headerMatches(header, family.tag)) {
        std::string tag = header.substr(0, 4);
        std::replace_if(
            tag.begin(), tag.end(),
            [](char c) { return std::isprint(static_cast<unsigned char>(c)) == 0; }, '?');
        refusal_ = ImageRefusal{.reason = ImageRefusal::Reason::WrongHeader,
                                .path = path,
                                .tag = tag,
                                .familyTag = family.tag};
        return StartResult::WrongHeader;
    }
    refusal_.reset();
    imagePath_ = path;
    image_ = std::move(image);
    blockCount_ = static_cast<std::uint32_t>(blocks);
    blockIndex_ = 0;
    blocksSent_ = 0;
    countdown_ = std::max(view_.speed(), kFirstBlockPolls);
    const auto countField =
        static_cast<std::uint16_t>(family.countLessOne ? blockCount_ - 1 : blockCount_);
    sender_.SendCommandFrame(frames::code::kFirmwareStart, targetId_, countField, family.startFlag,
                             sender_.protocol().nextSequence());
    running_ = true;
    view_.showBlockCount(blockCount_);
    view_.showProgress(0, blockCount_);
    return StartResult::Started;
}

void FirmwareTransfer::pace() {
    if (!running_ || --countdown_ != 0) {
        return;
    }
    countdown_ = view_.speed();
    block_.fill(0);  // the tail of a short last block is sent as zeros
    image_.read(reinterpret_cast<char*>(block_.data()), kBlockSize);
    const auto n = static_cast<std::size_t>(image_.gcount());
    if (n > 0) {
        applyTargetRule();
        sender_.SendCommandFrame(
            frames::code::kFirmwareBlockHeader, targetId_, static_cast<std::uint16_t>(blockIndex_),
            familyFor(targetType_).headerFlag, sender_.protocol().nextSequence());
        frames::writeCrc(
            block_, kBlockSize,
            frames::crc16(std::span(block_).first(kBlockSize), sender_.protocol().crcStart));
        sender_.link().PortWrite(link::Target::PortA, block_);
        view_.showBlock(blockIndex_);
        ++blocksSent_;
        view_.showProgress(std::min(blocksSent_, blockCount_), blockCount_);
    }
    ++blockIndex_;
    if (singleBlock_ || n < kBlockSize) {
        endTransfer();
    }
}

void FirmwareTransfer::endTransfer() {
    if (!singleBlock_) {
        sender_.link().PortWrite(link::Target::BoxChannel,
                                 std::span(&frames::box::kEndOfFirmware, 1));
        clock_.sleep(10ms);
    }
    image_.close();
    running_ = false;
    singleBlock_ = false;
}

void FirmwareTransfer::stop() {
    running_ = false;
    singleBlock_ = false;
    image_.close();
}

void FirmwareTransfer::requestStatus() {
    const auto named = view_.target().module;
    if (!named) {
        return;
    }
    targetType_ = static_cast<std::int32_t>(named->type);
    targetId_ = named->filterId();
    sender_.SendCommandFrame(frames::code::kFirmwareControl, targetId_, 0,
                             familyFor(targetType_).statusFlag, sender_.protocol().nextSequence());
    statusPending_ = true;
}

void FirmwareTransfer::reboot() {
    const auto named = view_.target().module;
    if (!named) {
        return;
    }
    targetId_ = named->filterId();
    // The flag follows the family of the last transfer's or status request's target.
    sender_.SendCommandFrame(frames::code::kFirmwareControl, targetId_, 1,
                             familyFor(targetType_).rebootFlag, sender_.protocol().nextSequence());
}

void FirmwareTransfer::statusReply(const frames::StandardFrame& frame) {
    if (!statusPending_ || frames::readLe32(frame, 1) != targetId_) {
        return;
    }
    const auto wp = static_cast<std::int16_t>(frames::readLe16(frame, 5));
    view_.showStatus(FirmwareStatus::of(wp));
    statusPending_ = false;
    const bool resendable = !running_ && frame[7] == familyFor(targetType_).resendBytePar &&
                            wp >= 0 && static_cast<std::uint32_t>(wp) < blockCount_;
    if (!resendable) {
        return;
    }
    std::ifstream image(imagePath_, std::ios::binary);
    image.seekg(
        static_cast<std::streamoff>(kHeaderSize + kBlockSize * static_cast<std::size_t>(wp)));
    if (!image.is_open() || !image) {
        return;  // the image is gone: nothing to resend
    }
    image_ = std::move(image);
    blockIndex_ = static_cast<std::uint32_t>(wp);
    countdown_ = 1;
    running_ = true;
    singleBlock_ = true;
}

}  // namespace qrt::firmware
