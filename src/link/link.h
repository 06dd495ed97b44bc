#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <utility>

#include "link/capture_reader.h"
#include "link/mux_framing.h"
#include "link/receive_ring.h"
#include "link/serial_port.h"
#include "link/traffic_observer.h"

namespace qrt::link {

/// The two serial ports.
enum class Port { A, B };

/// Where a write goes: the receiver (port A), the inductive head (port B) or, on the
/// multiplexed link only, the interface box itself.
enum class Target { PortA, PortB, BoxChannel };

/// The multiplexed link's channel of a target: 0 the receiver, 1 the inductive head,
/// 2 the interface box.
[[nodiscard]] constexpr std::uint8_t muxChannel(Target target) {
    switch (target) {
        case Target::PortA:
            return 0;
        case Target::PortB:
            return 1;
        case Target::BoxChannel:
            return 2;
    }
    return 0;
}

/// Device path of a port name: the name itself when it holds a '/', else "/dev/" + name.
[[nodiscard]] std::string devicePath(const std::string& portName);

/// Ports A and B, the receive rings and the multiplexed link: the program's only
/// access to the serial hardware. Diagnostics go to `diagnostics` (standard output
/// in the program), each as one line starting with the program tag.
class Link {
  public:
    static constexpr std::size_t kMaxRead = 128;

    Link(std::unique_ptr<SerialPort> portA, std::unique_ptr<SerialPort> portB,
         std::ostream& diagnostics);

    /// Opens and configures a port: 8 data bits, 2 stop bits at exactly 1200 baud
    /// else 1, read time-outs 50 ms total and 5 ms between bytes, write time-out
    /// 1000 ms, DTR then RTS asserted; empties both rings and resets the multiplexed
    /// receive state. An open port is left alone (success). A failure carries its
    /// reason; when configuring fails the port stays open and the caller closes it.
    PortResult OpenPort(Port port, const std::string& path, int baud, int parity);
    /// Closes an open port; false when it was closed or closing failed.
    bool ClosePort(Port port);
    [[nodiscard]] bool isOpen(Port port) const;

    /// Writes a byte run; in multiplexed mode wrapped for the target's channel and sent
    /// on port A. Returns the bytes written, 0 for a closed port, a failed write, or
    /// the box channel on a direct link.
    std::size_t PortWrite(Target target, std::span<const std::uint8_t> bytes);

    /// Reads once (at most `maxBytes`, never more than 128) from port A into the rings
    /// and returns what the channel's ring now holds. With `waitForData` false the
    /// read takes only what the port has ready. Port B is never read.
    std::size_t PortFill(int channel, std::size_t maxBytes = kMaxRead, bool waitForData = true);

    /// Port A's bytes come from `capture` instead of its port, which stands open for the
    /// poller: a replay reads straight into the rings, with no device to wait for or lose.
    void replayFrom(CaptureReader& capture) { capture_ = &capture; }

    /// Shows what is written and what reaches the receiver's ring to `observer` (none:
    /// to nobody) and returns the one shown before.
    TrafficObserver* observeTraffic(TrafficObserver* observer) {
        return std::exchange(traffic_, observer);
    }

    std::uint8_t RingReadByte(int channel) { return ring(channel).readByte(); }
    /// Removes the oldest `count` bytes.
    void RingDrop(int channel, std::size_t count) { ring(channel).drop(count); }
    void RingRead(int channel, std::span<std::uint8_t> into) { ring(channel).read(into); }
    /// The oldest `into.size()` bytes, left in the ring.
    void RingPeek(int channel, std::span<std::uint8_t> into) const {
        rings_[static_cast<std::size_t>(channel) & 1].peek(into);
    }
    void RingClear(int channel) { ring(channel).clear(); }
    [[nodiscard]] std::size_t ringHeld(int channel) const {
        return rings_[static_cast<std::size_t>(channel) & 1].held();
    }

    /// Break condition on port B (the wake-up of the inductive head).
    void setBreak(bool on);

    /// The port whose device was found gone since the last call, if any, once everything
    /// it delivered before has been read; the port has already been closed. Also looks, without
    /// reading, whether an open port's device has hung up, so a port nothing reads is noticed too.
    /// The window shows this once and returns to its closed state.
    [[nodiscard]] std::optional<Port> takeLostDevice();
    /// Whether a device has been found gone and not yet taken; looks as takeLostDevice
    /// does, but leaves the report to it. Waits end on it.
    [[nodiscard]] bool deviceLost();
    /// The port takeLostDevice returned last, for a report made after the loop that
    /// took it (none while no device has gone).
    [[nodiscard]] std::optional<Port> lastLostDevice() const { return lastLost_; }

    /// Whether both interfaces share port A through the interface box (MXL mode), as the
    /// operator sets it while the link is closed.
    void setMultiplexed(bool on) { multiplexed_ = on; }
    [[nodiscard]] bool multiplexed() const { return multiplexed_; }
    /// The multiplexed link's receive state: the levels of the last receiver frame and the
    /// box's key state and version.
    [[nodiscard]] const MuxReceiver& muxReceiver() const { return mux_; }

  private:
    SerialPort& port(Port which) { return which == Port::A ? *portA_ : *portB_; }
    ReceiveRing& ring(int channel) { return rings_[static_cast<std::size_t>(channel) & 1]; }
    void checkLost(Port which);
    void store(std::span<const std::uint8_t> received, int channel);
    void showReceived(std::size_t heldBefore);
    std::size_t wrote(Target target, std::span<const std::uint8_t> bytes, std::size_t written);
    void lookForLostDevices();

    std::unique_ptr<SerialPort> portA_;
    std::unique_ptr<SerialPort> portB_;
    std::array<ReceiveRing, 2> rings_{};
    std::array<std::string, 2> paths_{};
    std::array<bool, 2> lost_{};
    std::optional<Port> lastLost_;
    std::ostream& diagnostics_;
    CaptureReader* capture_ = nullptr;
    TrafficObserver* traffic_ = nullptr;
    bool multiplexed_ = false;
    MuxReceiver mux_;
};

}  // namespace qrt::link
