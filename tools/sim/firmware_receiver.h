#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <vector>

namespace qrt::sim {

/// A module's firmware reception: the start frame announces the block count, each
/// block header is followed by 128 bytes and their CRC, and a status request is
/// answered from the blocks that arrived intact.
class FirmwareReceiver {
  public:
    struct Status {
        std::int16_t wordPar;  // -1 all blocks received, -2 no transfer, else first missing block
        std::uint8_t bytePar;  // the family's resend value when a block is missing
    };

    /// Start frame: the count field is the block count less one for module type 8.
    void start(std::uint16_t countField, int moduleType);
    /// A block arrived with a good CRC (`index` from its header). Blocks named in
    /// `loseOnce` are dropped the first time, as a fault on the radio would.
    void block(std::uint16_t index, std::span<const std::uint8_t> data);
    [[nodiscard]] Status status() const;
    /// The image reassembled so far: block count × 128 bytes, missing blocks zero.
    [[nodiscard]] std::vector<std::uint8_t> image() const;
    [[nodiscard]] bool started() const { return started_; }

    std::set<std::uint16_t> loseOnce;

  private:
    bool started_ = false;
    int moduleType_ = 0;
    std::uint32_t blockCount_ = 0;
    std::vector<std::vector<std::uint8_t>> blocks_;
};

}  // namespace qrt::sim
