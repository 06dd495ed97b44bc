#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace qrt::link {

/// Hands out the next bytes of a capture: fills the front of `into` and returns how
/// many bytes it wrote, 0 at the end of the capture.
using ByteSource = std::function<std::size_t(std::span<std::uint8_t> into)>;

/// A capture of interface A handed out in reads of at most `readSize` bytes, as the
/// port would deliver it: from memory, or streamed from a source in large blocks, so a
/// capture of any size needs only one block in memory. A read is a view into the
/// block, not a copy, except the rare one that spans two blocks.
class CaptureReader {
  public:
    static constexpr std::size_t kBlockSize = 1 << 20;
    static constexpr std::size_t kMaxReadSize = 128;

    CaptureReader(std::vector<std::uint8_t> input, std::size_t readSize)
        : block_(std::move(input)), end_(block_.size()), readSize_(clampedReadSize(readSize)) {}
    CaptureReader(ByteSource source, std::size_t readSize)
        : source_(std::move(source)), readSize_(clampedReadSize(readSize)) {}

    /// The next read: at most `maxBytes` and the read size, empty at the end of the
    /// capture. Valid until the next read.
    std::span<const std::uint8_t> read(std::size_t maxBytes) {
        const std::size_t wanted = std::min(maxBytes, readSize_);
        if (end_ - begin_ >= wanted || !source_) {
            return take(std::min(wanted, end_ - begin_));
        }
        // Across a block end: the read takes what it would take from the whole capture.
        std::size_t count = 0;
        while (count < wanted && (begin_ < end_ || refill())) {
            const std::span<const std::uint8_t> piece =
                take(std::min(wanted - count, end_ - begin_));
            std::copy(piece.begin(), piece.end(),
                      joined_.begin() + static_cast<std::ptrdiff_t>(count));
            count += piece.size();
        }
        return std::span<const std::uint8_t>(joined_).first(count);
    }

    /// Bytes handed out so far.
    [[nodiscard]] std::uint64_t position() const { return position_; }

  private:
    static std::size_t clampedReadSize(std::size_t readSize) {
        return std::clamp<std::size_t>(readSize, 1, kMaxReadSize);
    }
    std::span<const std::uint8_t> take(std::size_t count) {
        const auto piece = std::span<const std::uint8_t>(block_).subspan(begin_, count);
        begin_ += count;
        position_ += count;
        return piece;
    }
    bool refill() {
        if (!source_) {
            return false;
        }
        block_.resize(kBlockSize);
        begin_ = 0;
        end_ = std::min(source_(block_), block_.size());
        return end_ > 0;
    }

    ByteSource source_;
    std::vector<std::uint8_t> block_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t readSize_;
    std::uint64_t position_ = 0;
    std::array<std::uint8_t, kMaxReadSize> joined_{};
};

}  // namespace qrt::link
