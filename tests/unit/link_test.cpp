#include "link/link.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/fake_serial_port.h"
#include "support/hex.h"

using namespace qrt::link;
using qrt::testing::FakeSerialPort;
using qrt::testing::hexBytes;
using qrt::testing::toHex;

namespace {

class LinkTest : public ::testing::Test {
  protected:
    LinkTest() {
        auto a = std::make_unique<FakeSerialPort>();
        auto b = std::make_unique<FakeSerialPort>();
        portA = a.get();
        portB = b.get();
        link = std::make_unique<Link>(std::move(a), std::move(b), diagnostics);
    }
    void openBoth() {
        ASSERT_TRUE(link->OpenPort(Port::A, "/dev/ttyA", 19200, 0));
        ASSERT_TRUE(link->OpenPort(Port::B, "/dev/ttyB", 1200, 0));
    }

    std::ostringstream diagnostics;
    FakeSerialPort* portA = nullptr;
    FakeSerialPort* portB = nullptr;
    std::unique_ptr<Link> link;
};

}  // namespace

TEST(LinkDiagnostics, EachLineIsFlushedAsItIsWritten) {
    // A killed window must not lose diagnostics sitting in a stream buffer.
    struct FlushCounter : std::stringbuf {
        int flushes = 0;
        int sync() override {
            ++flushes;
            return std::stringbuf::sync();
        }
    } buffer;
    std::ostream diagnostics(&buffer);
    auto failing = std::make_unique<FakeSerialPort>();
    failing->failOpen = true;
    Link link(std::make_unique<FakeSerialPort>(), std::move(failing), diagnostics);
    ASSERT_TRUE(link.OpenPort(Port::A, "/dev/ttyA", 19200, 0));
    EXPECT_EQ(buffer.flushes, 1);
    EXPECT_FALSE(link.OpenPort(Port::B, "/dev/ttyB", 1200, 0));
    EXPECT_EQ(buffer.flushes, 2);
}

TEST(DevicePath, PrefixesDevUnlessTheNameIsAPath) {
    EXPECT_EQ(devicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(devicePath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(devicePath("./sim/a-very-long-link-name"), "./sim/a-very-long-link-name");
}

TEST_F(LinkTest, OpenConfiguresLineTimeoutsThenAssertsDtrBeforeRts) {
    openBoth();
    EXPECT_EQ(portA->settings.baudRate, 19200);
    EXPECT_EQ(portA->settings.stopBits, 1);
    EXPECT_EQ(portB->settings.baudRate, 1200);
    EXPECT_EQ(portB->settings.stopBits, 2);
    EXPECT_EQ(portA->settings.dataBits, 8);
    EXPECT_EQ(portA->openedDirection, Direction::ReadWrite);
    EXPECT_EQ(portB->openedDirection, Direction::WriteOnly);  // nothing reads the head
    EXPECT_EQ(portA->readTotal.count(), 50);
    EXPECT_EQ(portA->readInterByte.count(), 5);
    EXPECT_EQ(portA->writeTotal.count(), 1000);
    std::vector<std::string> order;
    for (const auto& call : portA->calls) {
        order.push_back(call.what);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"open", "configure", "timeouts", "dtr", "rts"}));
    EXPECT_EQ(diagnostics.str(), "QRTTest /dev/ttyA opened\nQRTTest /dev/ttyB opened\n");
}

TEST_F(LinkTest, FailedOpenStaysClosedAndPrintsTheErrorInHex) {
    portA->failOpen = true;
    EXPECT_FALSE(link->OpenPort(Port::A, "/dev/nothing", 19200, 0));
    EXPECT_FALSE(link->isOpen(Port::A));
    EXPECT_EQ(diagnostics.str(), "QRTTest Unable to open /dev/nothing Error: 2\n");
}

TEST_F(LinkTest, FailedConfigurationLeavesThePortOpenForTheCallerToClose) {
    portA->failConfigure = true;
    EXPECT_FALSE(link->OpenPort(Port::A, "/dev/ttyA", 19200, 0));
    EXPECT_TRUE(link->isOpen(Port::A));
    EXPECT_NE(diagnostics.str().find("QRTTest Unable to configure the serial port\n"),
              std::string::npos);
    EXPECT_TRUE(link->ClosePort(Port::A));
    EXPECT_FALSE(link->ClosePort(Port::A));

    portB->failTimeouts = true;
    EXPECT_FALSE(link->OpenPort(Port::B, "/dev/ttyB", 1200, 0));
    EXPECT_TRUE(link->isOpen(Port::B));
    EXPECT_NE(diagnostics.str().find("QRTTest Unable to set the time-out parameters\n"),
              std::string::npos);
}

TEST_F(LinkTest, ReopeningAnOpenPortChangesNothing) {
    openBoth();
    portA->queueInput(hexBytes("01 02 03"));
    EXPECT_EQ(link->PortFill(0), 3u);
    const std::size_t callsBefore = portA->calls.size();
    EXPECT_TRUE(link->OpenPort(Port::A, "/dev/other", 19200, 0));
    EXPECT_EQ(portA->calls.size(), callsBefore);
    EXPECT_EQ(link->ringHeld(0), 3u);
}

TEST_F(LinkTest, EverySuccessfulOpenEmptiesBothRingsAndResetsTheSplitter) {
    link->setMultiplexed(true);
    ASSERT_TRUE(link->OpenPort(Port::A, "/dev/ttyA", 19200, 0));
    // A receiver frame, a head frame, then half a frame.
    portA->queueInput(hexBytes("02 00 41 42 43 10 C0 02 01 55 10 03 02 00"));
    link->PortFill(0);
    ASSERT_EQ(link->ringHeld(0), 3u);
    ASSERT_EQ(link->ringHeld(1), 1u);
    ASSERT_NE(link->muxReceiver().muxState, MuxReceiver::kWaitStx);
    ASSERT_TRUE(link->OpenPort(Port::B, "/dev/ttyB", 1200, 0));
    EXPECT_EQ(link->ringHeld(0), 0u);
    EXPECT_EQ(link->ringHeld(1), 0u);
    EXPECT_EQ(link->muxReceiver().muxState, MuxReceiver::kWaitStx);
}

TEST_F(LinkTest, DirectWritesGoToTheirPortAndTheBoxChannelSendsNothing) {
    openBoth();
    EXPECT_EQ(link->PortWrite(Target::PortA, hexBytes("AA BB")), 2u);
    EXPECT_EQ(link->PortWrite(Target::PortB, hexBytes("CC")), 1u);
    EXPECT_EQ(link->PortWrite(Target::BoxChannel, hexBytes("E0")), 0u);
    EXPECT_EQ(toHex(portA->takeWritten()), "AA BB");
    EXPECT_EQ(toHex(portB->takeWritten()), "CC");
}

TEST_F(LinkTest, MultiplexedWritesAreWrappedForTheirChannelOnPortA) {
    link->setMultiplexed(true);
    ASSERT_TRUE(link->OpenPort(Port::A, "/dev/ttyA", 19200, 0));
    EXPECT_EQ(link->PortWrite(Target::PortB, hexBytes("10 02 10")), 9u);
    EXPECT_EQ(link->PortWrite(Target::BoxChannel, hexBytes("E0")), 5u);
    EXPECT_EQ(toHex(portA->takeWritten()), "02 01 10 10 02 10 10 10 03 02 02 E0 10 03");
    EXPECT_TRUE(portB->calls.empty());
}

TEST_F(LinkTest, WritesAndFillsOnAClosedPortDoNothing) {
    EXPECT_EQ(link->PortWrite(Target::PortA, hexBytes("01")), 0u);
    openBoth();
    portA->queueInput(hexBytes("01 02"));
    EXPECT_EQ(link->PortFill(0), 2u);
    link->ClosePort(Port::A);
    portA->queueInput(hexBytes("03"));
    EXPECT_EQ(link->PortFill(0), 2u);  // what the ring still holds
    EXPECT_EQ(portA->readSizes.size(), 1u);
}

TEST_F(LinkTest, FillReadsAtMost128BytesAndNeverMoreThanAsked) {
    openBoth();
    portA->queueInput(std::vector<std::uint8_t>(300, 0x55));
    EXPECT_EQ(link->PortFill(0), 128u);
    EXPECT_EQ(link->PortFill(0, 20), 148u);
    EXPECT_EQ(portA->readSizes, (std::vector<std::size_t>{128, 20}));
}

TEST_F(LinkTest, MultiplexedFillSplitsIntoRingsAndStatus) {
    link->setMultiplexed(true);
    ASSERT_TRUE(link->OpenPort(Port::A, "/dev/ttyA", 19200, 0));
    portA->queueInput(hexBytes("02 00 41 10 C0 40 02 01 77 10 03 02 02 01 34 12 10 03"));
    EXPECT_EQ(link->PortFill(0), 1u);
    EXPECT_EQ(link->ringHeld(1), 1u);
    EXPECT_EQ(link->muxReceiver().boxVersion, 0x1234u);
    EXPECT_EQ(link->muxReceiver().signalLevel, 50);
}

TEST_F(LinkTest, LostDeviceIsClosedAndReportedOnce) {
    openBoth();
    portA->pullPlug();
    EXPECT_EQ(link->PortFill(0), 0u);
    EXPECT_FALSE(link->isOpen(Port::A));
    EXPECT_EQ(link->takeLostDevice(), Port::A);
    EXPECT_EQ(link->takeLostDevice(), std::nullopt);
    link->PortFill(0);
    EXPECT_EQ(link->PortWrite(Target::PortA, hexBytes("01")), 0u);
    EXPECT_EQ(diagnostics.str().find("lost"), diagnostics.str().rfind("lost"));
    EXPECT_NE(diagnostics.str().find("QRTTest /dev/ttyA lost\n"), std::string::npos);
    // The head's port is only written: its loss is found by looking, without a read.
    portB->pullPlug();
    EXPECT_TRUE(link->deviceLost());
    EXPECT_EQ(link->takeLostDevice(), Port::B);
    EXPECT_FALSE(link->isOpen(Port::B));
}
