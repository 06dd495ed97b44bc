#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/serial_port.h"

class QSerialPort;

namespace qrt::link {

/// The real serial backend: Qt Serial Port used through its blocking calls,
/// without an event loop, so a lost device cannot make it spin.
class QtSerialPort final : public SerialPort {
  public:
    QtSerialPort();
    ~QtSerialPort() override;

    PortResult open(const std::string& path, Direction direction) override;
    PortResult configure(const LineSettings& settings) override;
    PortResult setTimeouts(std::chrono::milliseconds readTotal,
                           std::chrono::milliseconds readInterByte,
                           std::chrono::milliseconds writeTotal) override;
    PortResult close() override;
    [[nodiscard]] bool isOpen() const override;
    std::size_t write(std::span<const std::uint8_t> bytes) override;
    std::size_t read(std::span<std::uint8_t> into, std::chrono::milliseconds total,
                     std::chrono::milliseconds interByte) override;
    void setDtr(bool on) override;
    void setRts(bool on) override;
    void setBreak(bool on) override;
    void checkPresent() override;
    [[nodiscard]] bool deviceLost() const override;
    [[nodiscard]] bool inputPending() const override;

  private:
    void noteError();

    std::unique_ptr<QSerialPort> port_;
    std::chrono::milliseconds writeTimeout_{1000};
    bool lost_ = false;
};

/// Names of the serial ports the system reports (adapters, not pseudo-terminals).
[[nodiscard]] std::vector<std::string> availablePortNames();

}  // namespace qrt::link
