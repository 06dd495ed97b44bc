#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/serial_port.h"

namespace qrt::link {

/// Hands out the next bytes of a capture: fills the front of `into` and returns how
/// many bytes it wrote, 0 at the end of the capture.
using ByteSource = std::function<std::size_t(std::span<std::uint8_t> into)>;

/// A serial port whose input is a byte capture, handed out in reads of at most
/// `readSize` bytes, with no waiting. Writes are accepted and discarded. Replays a
/// capture of interface A through the real receive path, either from memory or
/// streamed from a source in large blocks, so a capture of any size needs only the
/// block in memory.
class MemoryPort final : public SerialPort {
  public:
    static constexpr std::size_t kBlockSize = 1 << 20;

    MemoryPort(std::vector<std::uint8_t> input, std::size_t readSize)
        : block_(std::move(input)),
          end_(block_.size()),
          readSize_(std::max<std::size_t>(readSize, 1)) {}
    MemoryPort(ByteSource source, std::size_t readSize)
        : source_(std::move(source)), readSize_(std::max<std::size_t>(readSize, 1)) {}

    PortResult open(const std::string&, Direction) override {
        open_ = true;
        return PortResult::success();
    }
    PortResult configure(const LineSettings&) override { return PortResult::success(); }
    PortResult setTimeouts(std::chrono::milliseconds, std::chrono::milliseconds,
                           std::chrono::milliseconds) override {
        return PortResult::success();
    }
    PortResult close() override {
        open_ = false;
        return PortResult::success();
    }
    [[nodiscard]] bool isOpen() const override { return open_; }
    std::size_t write(std::span<const std::uint8_t> bytes) override { return bytes.size(); }
    std::size_t read(std::span<std::uint8_t> into, std::chrono::milliseconds,
                     std::chrono::milliseconds) override {
        // A read takes what it would take from the whole capture: across block ends.
        const std::size_t wanted = std::min(into.size(), readSize_);
        std::size_t count = 0;
        while (count < wanted) {
            if (begin_ == end_ && !refill()) {
                break;
            }
            const std::size_t n = std::min(wanted - count, end_ - begin_);
            std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(begin_), n,
                        into.begin() + static_cast<std::ptrdiff_t>(count));
            begin_ += n;
            count += n;
        }
        position_ += count;
        return count;
    }
    void setDtr(bool) override {}
    void setRts(bool) override {}
    void setBreak(bool) override {}
    void checkPresent() override {}
    [[nodiscard]] bool deviceLost() const override { return false; }

    /// Bytes delivered so far.
    [[nodiscard]] std::uint64_t position() const { return position_; }

  private:
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
    bool open_ = false;
};

}  // namespace qrt::link
