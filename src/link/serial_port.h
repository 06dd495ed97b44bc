#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qrt::link {

/// Line settings applied when a port is configured.
struct LineSettings {
    int baudRate = 19200;
    int dataBits = 8;
    int parity = 0;  // 0 = none
    int stopBits = 1;
};

/// What became of opening, configuring or closing a port: success, or why not, in
/// words, with the system's error number for the diagnostic line.
struct [[nodiscard]] PortResult {
    std::string failure;          // empty on success
    std::uint32_t errorCode = 0;  // the system's error number, 0 when there is none

    [[nodiscard]] static PortResult success() { return {}; }
    [[nodiscard]] static PortResult failed(std::string reason, std::uint32_t errorCode = 0) {
        return {reason.empty() ? std::string("unknown error") : std::move(reason), errorCode};
    }
    [[nodiscard]] bool ok() const { return failure.empty(); }
    explicit operator bool() const { return ok(); }
};

/// How a port is used. A port that is only written to is opened for writing alone, so
/// whatever its device sends stays with the driver instead of piling up in the program.
enum class Direction { ReadWrite, WriteOnly };

/// One serial device, used synchronously. The real backend wraps the operating
/// system's port; tests use a fake that records calls and plays scripted input.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    /// Opens the device in the given direction.
    virtual PortResult open(const std::string& path, Direction direction) = 0;
    /// Applies baud rate, data bits, parity, stop bits, no flow control.
    virtual PortResult configure(const LineSettings& settings) = 0;
    /// Sets the read (total, between bytes) and write time-outs.
    virtual PortResult setTimeouts(std::chrono::milliseconds readTotal,
                                   std::chrono::milliseconds readInterByte,
                                   std::chrono::milliseconds writeTotal) = 0;
    /// Closes the device.
    virtual PortResult close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;

    /// Writes the whole run; returns the number of bytes written, 0 on failure.
    virtual std::size_t write(std::span<const std::uint8_t> bytes) = 0;
    /// Reads at most `into.size()` bytes. Waits up to `total` for a first byte
    /// (0 = take only what is ready) and returns at the first gap of `interByte`. Once
    /// the device is found gone, hands out, without waiting, what it delivered before.
    virtual std::size_t read(std::span<std::uint8_t> into, std::chrono::milliseconds total,
                             std::chrono::milliseconds interByte) = 0;

    /// Modem lines and break. Pseudo-terminals refuse them; the result is ignored.
    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;
    virtual void setBreak(bool on) = 0;

    /// Looks, without reading anything, whether the device has hung up; one found
    /// gone makes deviceLost() true. For ports that nothing reads.
    virtual void checkPresent() = 0;
    /// True after a read, write, control call or presence check found the device gone
    /// (adapter pulled, other end of a pseudo-terminal closed).
    [[nodiscard]] virtual bool deviceLost() const = 0;
    /// Whether bytes the device delivered are still to be read (also after it went).
    [[nodiscard]] virtual bool inputPending() const = 0;
};

}  // namespace qrt::link
