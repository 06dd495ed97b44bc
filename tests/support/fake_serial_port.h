#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace qrt::testing {

/// A serial port that records every call and plays scripted input: each queued
/// chunk is what one read delivers (cut to the read's size, the rest stays queued).
class FakeSerialPort final : public link::SerialPort {
  public:
    struct Call {
        std::string what;  // "open", "configure", "write", "break", "dtr", "rts", "close", ...
        std::vector<std::uint8_t> bytes;
        link::LineSettings settings;
        bool on = false;
    };

    link::PortResult open(const std::string& path, link::Direction direction) override;
    link::PortResult configure(const link::LineSettings& settings) override;
    link::PortResult setTimeouts(std::chrono::milliseconds readTotal,
                                 std::chrono::milliseconds readInterByte,
                                 std::chrono::milliseconds writeTotal) override;
    link::PortResult close() override;
    [[nodiscard]] bool isOpen() const override { return open_; }
    std::size_t write(std::span<const std::uint8_t> bytes) override;
    std::size_t read(std::span<std::uint8_t> into, std::chrono::milliseconds total,
                     std::chrono::milliseconds interByte) override;
    void setDtr(bool on) override { calls.push_back({"dtr", {}, {}, on}); }
    void setRts(bool on) override { calls.push_back({"rts", {}, {}, on}); }
    void setBreak(bool on) override { calls.push_back({"break", {}, {}, on}); }
    void checkPresent() override {
        if (unplugged_ && open_) {
            lost_ = true;
        }
    }
    [[nodiscard]] bool deviceLost() const override { return lost_; }
    [[nodiscard]] bool inputPending() const override;

    /// Queues bytes that one later read delivers.
    void queueInput(std::vector<std::uint8_t> chunk) { input.push_back(std::move(chunk)); }
    /// Every byte written since the last call, in order.
    std::vector<std::uint8_t> takeWritten();
    /// Makes the next read or write find the device gone; input queued before is still
    /// read, as a driver's buffer is.
    void pullPlug() { unplugged_ = true; }

    std::vector<Call> calls;
    std::deque<std::vector<std::uint8_t>> input;
    std::string openedPath;
    link::Direction openedDirection = link::Direction::ReadWrite;
    link::LineSettings settings;
    std::chrono::milliseconds readTotal{0};
    std::chrono::milliseconds readInterByte{0};
    std::chrono::milliseconds writeTotal{0};
    std::vector<std::size_t> readSizes;  // the size asked for by each read
    /// Called with every run written, so a scripted device can answer.
    std::function<void(const std::vector<std::uint8_t>&)> onWrite;
    bool failOpen = false;
    bool failConfigure = false;
    bool failTimeouts = false;

  private:
    std::vector<std::uint8_t> written_;
    bool open_ = false;
    bool lost_ = false;
    bool unplugged_ = false;
};

}  // namespace qrt::testing
