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

/// How a port is used. A port that is only written to is opened for writing alone, so
/// whatever its device sends stays with the driver instead of piling up in the program.
enum class Direction { ReadWrite, WriteOnly };

/// One serial device, used synchronously. The real backend wraps the operating
/// system's port; tests use a fake that records calls and plays scripted input.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    /// Opens the device in the given direction. On failure returns false and
    /// `errorCode` holds the system's error number.
    virtual bool open(const std::string& path, Direction direction, std::uint32_t& errorCode) = 0;
    /// Applies baud rate, data bits, parity, stop bits, no flow control. False on failure.
    virtual bool configure(const LineSettings& settings) = 0;
    /// Sets the read (total, between bytes) and write time-outs. False on failure.
    virtual bool setTimeouts(std::chrono::milliseconds readTotal,
                             std::chrono::milliseconds readInterByte,
                             std::chrono::milliseconds writeTotal) = 0;
    /// Closes the device. On failure returns false and `errorCode` holds the error.
    virtual bool close(std::uint32_t& errorCode) = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;

    /// Writes the whole run; returns the number of bytes written, 0 on failure.
    virtual std::size_t write(std::span<const std::uint8_t> bytes) = 0;
    /// Reads at most `into.size()` bytes. Waits up to `total` for a first byte
    /// (0 = take only what is ready) and returns at the first gap of `interByte`.
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
};

}  // namespace qrt::link
