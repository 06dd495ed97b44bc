#include "link/link.h"

#include <iomanip>

namespace qrt::link {
namespace {

constexpr const char* kTag = "QRTTest";
constexpr std::chrono::milliseconds kReadTotal{50};
constexpr std::chrono::milliseconds kReadInterByte{5};
constexpr std::chrono::milliseconds kWriteTotal{1000};

std::size_t index(Port port) {
    return port == Port::A ? 0 : 1;
}

}  // namespace

std::string devicePath(const std::string& portName) {
    return portName.find('/') != std::string::npos ? portName : "/dev/" + portName;
}

Link::Link(std::unique_ptr<SerialPort> portA, std::unique_ptr<SerialPort> portB,
           std::ostream& diagnostics)
    : portA_(std::move(portA)), portB_(std::move(portB)), diagnostics_(diagnostics) {}

PortResult Link::OpenPort(Port which, const std::string& path, int baud, int parity) {
    SerialPort& serial = port(which);
    if (serial.isOpen()) {
        return PortResult::success();
    }
    // The inductive head answers by radio, through the receiver: port B is only written.
    const Direction direction = which == Port::A ? Direction::ReadWrite : Direction::WriteOnly;
    if (PortResult opened = serial.open(path, direction); !opened) {
        diagnostics_ << kTag << " Unable to open " << path << " Error: " << std::hex
                     << opened.errorCode << std::dec << std::endl;
        return opened;
    }
    paths_[index(which)] = path;
    lost_[index(which)] = false;
    diagnostics_ << kTag << ' ' << path << " opened" << std::endl;
    const LineSettings settings{
        .baudRate = baud, .dataBits = 8, .parity = parity, .stopBits = baud == 1200 ? 2 : 1};
    if (PortResult configured = serial.configure(settings); !configured) {
        diagnostics_ << kTag << " Unable to configure the serial port" << std::endl;
        return configured;
    }
    if (PortResult timed = serial.setTimeouts(kReadTotal, kReadInterByte, kWriteTotal); !timed) {
        diagnostics_ << kTag << " Unable to set the time-out parameters" << std::endl;
        return timed;
    }
    serial.setDtr(true);
    serial.setRts(true);
    rings_[0].clear();
    rings_[1].clear();
    mux_.reset();
    if (traffic_ != nullptr) {
        traffic_->receiverRingEmptied();
    }
    return PortResult::success();
}

bool Link::ClosePort(Port which) {
    lost_[index(which)] = false;  // closing settles a loss not yet reported
    SerialPort& serial = port(which);
    if (!serial.isOpen()) {
        return false;
    }
    if (const PortResult closed = serial.close(); !closed) {
        diagnostics_ << "Close Com Error: " << std::hex << closed.errorCode << std::dec
                     << std::endl;
        return false;
    }
    return true;
}

bool Link::isOpen(Port which) const {
    return (which == Port::A ? *portA_ : *portB_).isOpen();
}

std::size_t Link::PortWrite(Target target, std::span<const std::uint8_t> bytes) {
    if (multiplexed_) {
        const std::vector<std::uint8_t> frame = wrapMuxFrame(muxChannel(target), bytes);
        if (!portA_->isOpen()) {
            return 0;
        }
        const std::size_t written = portA_->write(frame);
        checkLost(Port::A);
        return wrote(target, bytes, written);
    }
    if (target == Target::BoxChannel) {
        return 0;
    }
    const Port which = target == Target::PortA ? Port::A : Port::B;
    SerialPort& serial = port(which);
    if (!serial.isOpen()) {
        return 0;
    }
    const std::size_t written = serial.write(bytes);
    checkLost(which);
    return wrote(target, bytes, written);
}

std::size_t Link::wrote(Target target, std::span<const std::uint8_t> bytes, std::size_t written) {
    if (traffic_ != nullptr && written > 0) {
        // A direct port may take part of a run; a multiplexed frame is taken whole or not.
        traffic_->sent(target, multiplexed_ ? bytes : bytes.first(std::min(written, bytes.size())));
    }
    return written;
}

std::size_t Link::PortFill(int channel, std::size_t maxBytes, bool waitForData) {
    const Port which = (multiplexed_ || channel == 0) ? Port::A : Port::B;
    if (which != Port::A || maxBytes == 0) {
        return ring(channel).held();
    }
    const std::size_t wanted = std::min(maxBytes, kMaxRead);
    if (capture_ != nullptr) {
        store(capture_->read(wanted), channel);
        return ring(channel).held();
    }
    SerialPort& serial = port(which);
    if (serial.isOpen()) {
        std::array<std::uint8_t, kMaxRead> chunk;  // only the bytes read are used
        const std::size_t got =
            serial.read(std::span(chunk).first(wanted),
                        waitForData ? kReadTotal : std::chrono::milliseconds{0}, kReadInterByte);
        store(std::span<const std::uint8_t>(chunk).first(got), channel);
        checkLost(which);
    }
    return ring(channel).held();
}

void Link::store(std::span<const std::uint8_t> received, int channel) {
    const std::size_t heldBefore = rings_[0].held();
    if (multiplexed_) {
        mux_.split(received, rings_[0], rings_[1]);
    } else {
        ring(channel).store(received);
    }
    if (traffic_ != nullptr && multiplexed_) {
        showReceived(heldBefore);
    } else if (traffic_ != nullptr) {
        traffic_->received(received);  // a direct link reads port A for ring 0 only
    }
}

void Link::showReceived(std::size_t heldBefore) {
    // The poller reads no more than the ring has room for, so what the box's frames
    // added is the ring's newest bytes.
    const std::size_t held = rings_[0].held();
    if (held <= heldBefore) {
        return;
    }
    std::array<std::uint8_t, ReceiveRing::kCapacity> bytes;
    const auto all = std::span(bytes).first(held);
    rings_[0].peek(all);
    traffic_->received(all.subspan(heldBefore));
}

void Link::setBreak(bool on) {
    if (portB_->isOpen()) {
        portB_->setBreak(on);
    }
}

void Link::lookForLostDevices() {
    for (const Port candidate : {Port::A, Port::B}) {
        port(candidate).checkPresent();
        checkLost(candidate);
    }
}

bool Link::deviceLost() {
    lookForLostDevices();
    return lost_[0] || lost_[1];
}

std::optional<Port> Link::takeLostDevice() {
    lookForLostDevices();
    for (const Port candidate : {Port::A, Port::B}) {
        if (lost_[index(candidate)]) {
            lost_[index(candidate)] = false;
            lastLost_ = candidate;
            return candidate;
        }
    }
    return std::nullopt;
}

void Link::checkLost(Port which) {
    SerialPort& serial = port(which);
    // Bytes the receiver delivered before its adapter went are read and decoded first.
    if (!serial.deviceLost() || !serial.isOpen() || (which == Port::A && serial.inputPending())) {
        return;
    }
    // A pulled adapter never comes back on the same handle: close it at once so
    // nothing polls a dead port, and report it once.
    (void)serial.close();
    lost_[index(which)] = true;
    diagnostics_ << kTag << ' ' << paths_[index(which)] << " lost" << std::endl;
}

}  // namespace qrt::link
