#include "sim/firmware_receiver.h"

namespace qrt::sim {

void FirmwareReceiver::start(std::uint16_t countField, int moduleType) {
    started_ = true;
    moduleType_ = moduleType;
    // A count field of 0xFFFF for type 8 announces no block at all.
    blockCount_ = moduleType == 8 ? (countField + 1u) & 0xFFFFu : countField;
    blocks_.assign(blockCount_, {});
}

void FirmwareReceiver::block(std::uint16_t index, std::span<const std::uint8_t> data) {
    if (!started_ || index >= blocks_.size()) {
        return;
    }
    if (loseOnce.erase(index) != 0) {
        return;
    }
    blocks_[index].assign(data.begin(), data.end());
}

FirmwareReceiver::Status FirmwareReceiver::status() const {
    if (!started_) {
        return {-2, 0};
    }
    const std::uint8_t resend = moduleType_ == 8 ? 9 : 1;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        if (blocks_[i].empty()) {
            return {static_cast<std::int16_t>(i), resend};
        }
    }
    return {-1, 0};
}

std::vector<std::uint8_t> FirmwareReceiver::image() const {
    std::vector<std::uint8_t> bytes;
    for (const auto& block : blocks_) {
        if (block.empty()) {
            bytes.insert(bytes.end(), 128, 0);
        } else {
            bytes.insert(bytes.end(), block.begin(), block.end());
        }
    }
    return bytes;
}

}  // namespace qrt::sim
