#include "support/fake_serial_port.h"

#include <algorithm>

namespace qrt::testing {

link::PortResult FakeSerialPort::open(const std::string& path, link::Direction direction) {
    calls.push_back({"open", {}, {}, false});
    if (failOpen) {
        return link::PortResult::failed("No such file or directory", 2);
    }
    openedPath = path;
    openedDirection = direction;
    open_ = true;
    lost_ = false;
    return link::PortResult::success();
}

link::PortResult FakeSerialPort::configure(const link::LineSettings& lineSettings) {
    calls.push_back({"configure", {}, lineSettings, false});
    settings = lineSettings;
    return failConfigure ? link::PortResult::failed("Unsupported operation")
                         : link::PortResult::success();
}

link::PortResult FakeSerialPort::setTimeouts(std::chrono::milliseconds total,
                                             std::chrono::milliseconds gap,
                                             std::chrono::milliseconds write) {
    calls.push_back({"timeouts", {}, {}, false});
    readTotal = total;
    readInterByte = gap;
    writeTotal = write;
    return failTimeouts ? link::PortResult::failed("Unsupported operation")
                        : link::PortResult::success();
}

link::PortResult FakeSerialPort::close() {
    calls.push_back({"close", {}, {}, false});
    open_ = false;
    return link::PortResult::success();
}

std::size_t FakeSerialPort::write(std::span<const std::uint8_t> bytes) {
    if (unplugged_) {
        lost_ = true;
        return 0;
    }
    calls.push_back({"write", {bytes.begin(), bytes.end()}, {}, false});
    written_.insert(written_.end(), bytes.begin(), bytes.end());
    if (onWrite) {
        onWrite({bytes.begin(), bytes.end()});
    }
    return bytes.size();
}

std::size_t FakeSerialPort::read(std::span<std::uint8_t> into, std::chrono::milliseconds,
                                 std::chrono::milliseconds) {
    readSizes.push_back(into.size());
    if (unplugged_) {
        lost_ = true;
    }
    if (input.empty()) {
        return 0;
    }
    std::vector<std::uint8_t>& chunk = input.front();
    const std::size_t count = std::min(chunk.size(), into.size());
    std::copy_n(chunk.begin(), count, into.begin());
    chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(count));
    if (chunk.empty()) {
        input.pop_front();
    }
    return count;
}

bool FakeSerialPort::inputPending() const {
    return open_ &&
           std::any_of(input.begin(), input.end(),
                       [](const std::vector<std::uint8_t>& chunk) { return !chunk.empty(); });
}

std::vector<std::uint8_t> FakeSerialPort::takeWritten() {
    std::vector<std::uint8_t> bytes;
    bytes.swap(written_);
    return bytes;
}

}  // namespace qrt::testing
