// The tools' live loop at a pulled adapter: every frame whose bytes the port delivered
// before the device went is decoded, those still in the port's buffer and the last ones
// left in the ring alike.
#include "shared/live_watch.h"

#include <gtest/gtest.h>

#include <sstream>

#include "frames/device_frames.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"
#include "support/recording_sink.h"

namespace qrt {
namespace {

TEST(LiveLoop, EveryFrameDeliveredBeforeTheAdapterWentIsDecoded) {
    auto port = std::make_unique<testing::FakeSerialPort>();
    testing::FakeSerialPort& portA = *port;
    std::ostringstream diagnostics;
    testing::FakeClock clock;
    core::ToolCore core(std::move(port), std::make_unique<testing::FakeSerialPort>(), diagnostics,
                        clock);
    testing::RecordingSink lines;
    const common::Attachment attached = core.attach({.lines = &lines});
    ASSERT_TRUE(core.link.OpenPort(link::Port::A, "a", 19200, 0));
    // More than the ring holds, in the driver's buffer when the adapter is pulled; the last
    // telegram is shorter than a standard frame.
    constexpr int kTelegrams = 200;
    std::vector<std::uint8_t> delivered;
    for (int i = 0; i < kTelegrams; ++i) {
        const auto telegram =
            frames::buildShortTelegram(static_cast<std::uint8_t>(i % 250), 2150, 150, 0, 0);
        delivered.insert(delivered.end(), telegram.begin(), telegram.end());
    }
    portA.queueInput(delivered);
    portA.pullPlug();
    EXPECT_EQ(tools::pollLive(core), tools::LiveEnd::PortLost);
    EXPECT_EQ(lines.lines.size(), static_cast<std::size_t>(kTelegrams));
    EXPECT_FALSE(core.link.isOpen(link::Port::A));
}

}  // namespace
}  // namespace qrt
