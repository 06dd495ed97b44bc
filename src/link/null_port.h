#pragma once

#include "link/serial_port.h"

namespace qrt::link {

/// A port that opens, accepts and discards every write and never receives: the ports
/// of a replay, whose input comes from a capture, and of benchmarks and fuzzers that
/// feed the receive rings themselves.
class NullPort final : public SerialPort {
  public:
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
    std::size_t read(std::span<std::uint8_t>, std::chrono::milliseconds,
                     std::chrono::milliseconds) override {
        return 0;
    }
    void setDtr(bool) override {}
    void setRts(bool) override {}
    void setBreak(bool) override {}
    void checkPresent() override {}
    [[nodiscard]] bool deviceLost() const override { return false; }
    [[nodiscard]] bool inputPending() const override { return false; }

  private:
    bool open_ = false;
};

}  // namespace qrt::link
