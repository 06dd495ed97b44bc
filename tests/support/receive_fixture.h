#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "common/log_file.h"
#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "link/link.h"
#include "receive/log_file_sink.h"
#include "receive/poller.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"
#include "support/recording_sink.h"

namespace qrt::testing {

/// A poller on an open port A that plays scripted input, with virtual time.
class ReceiveFixture : public ::testing::Test {
  protected:
    ReceiveFixture() {
        auto a = std::make_unique<FakeSerialPort>();
        portA = a.get();
        link = std::make_unique<link::Link>(std::move(a), std::make_unique<FakeSerialPort>(),
                                            diagnostics);
        makePoller({.fixedTimestamp = "12:00:00.0"});
    }

    /// A new poller with `options`, the recording sinks attached.
    void makePoller(receive::PollerOptions options) {
        attached = {};
        poller = std::make_unique<receive::Poller>(*link, protocol, clock, archive, options);
        attached = poller->attach({.lines = &output, .boxStatus = &sink});
    }

    void open(bool multiplexed = false) {
        link->setMultiplexed(multiplexed);
        ASSERT_TRUE(link->OpenPort(link::Port::A, "/dev/ttyA", 19200, 0));
    }

    /// A frame as a module sends it (header byte in full), CRC from `crcStart`.
    [[nodiscard]] std::vector<std::uint8_t> frame(std::uint8_t header, std::uint32_t id,
                                                  std::uint16_t wp, std::uint8_t bp,
                                                  std::uint8_t seq = 0) const {
        const auto f = frames::buildStandardFrame(header, id, wp, bp, seq, protocol.crcStart);
        return {f.begin(), f.end()};
    }

    std::ostringstream diagnostics;
    FakeSerialPort* portA = nullptr;
    std::unique_ptr<link::Link> link;
    frames::ProtocolSettings protocol;
    FakeClock clock;
    RecordingSink sink;
    common::LogFile logFile;
    receive::LogFileSink output{logFile, &sink};
    receive::ArchiveStore archive;
    std::unique_ptr<receive::Poller> poller;
    common::Attachment attached;
};

/// Concatenates byte runs.
inline std::vector<std::uint8_t> join(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

template <std::size_t N>
std::vector<std::uint8_t> bytesOf(const std::array<std::uint8_t, N>& frame) {
    return {frame.begin(), frame.end()};
}

}  // namespace qrt::testing
