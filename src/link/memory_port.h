#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "link/serial_port.h"

namespace qrt::link {

/// A serial port whose input is a byte buffer, handed out in reads of at most
/// `readSize` bytes, with no waiting. Writes are accepted and discarded. Replays a
/// capture of interface A through the real receive path.
class MemoryPort final : public SerialPort {
public:
    MemoryPort(std::vector<std::uint8_t> input, std::size_t readSize)
        : input_(std::move(input)), readSize_(readSize == 0 ? 1 : readSize) {}

    bool open(const std::string&, std::uint32_t&) override { return open_ = true; }
    bool configure(const LineSettings&) override { return true; }
    bool setTimeouts(std::chrono::milliseconds, std::chrono::milliseconds,
                     std::chrono::milliseconds) override {
        return true;
    }
    bool close(std::uint32_t&) override {
        open_ = false;
        return true;
    }
    [[nodiscard]] bool isOpen() const override { return open_; }
    std::size_t write(std::span<const std::uint8_t> bytes) override { return bytes.size(); }
    std::size_t read(std::span<std::uint8_t> into, std::chrono::milliseconds,
                     std::chrono::milliseconds) override {
        std::size_t count = std::min({into.size(), readSize_, input_.size() - position_});
        for (std::size_t i = 0; i < count; ++i) {
            into[i] = input_[position_ + i];
        }
        position_ += count;
        return count;
    }
    void setDtr(bool) override {}
    void setRts(bool) override {}
    void setBreak(bool) override {}
    [[nodiscard]] bool deviceLost() const override { return false; }

    /// Bytes delivered so far.
    [[nodiscard]] std::size_t position() const { return position_; }

private:
    std::vector<std::uint8_t> input_;
    std::size_t readSize_;
    std::size_t position_ = 0;
    bool open_ = false;
};

}  // namespace qrt::link
