#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "link/interfaces.h"
#include "link/link.h"
#include "link/qt_serial_port.h"
#include "support/hex.h"
#include "support/pty_pair.h"

using namespace qrt::link;
using namespace std::chrono;
using qrt::testing::hexBytes;
using qrt::testing::PtyPair;
using qrt::testing::toHex;

namespace {

class PtyLinkTest : public ::testing::Test {
  protected:
    PtyLinkTest()
        : link(std::make_unique<QtSerialPort>(), std::make_unique<QtSerialPort>(), diagnostics) {}
    void SetUp() override {
        ASSERT_TRUE(a.valid());
        ASSERT_TRUE(b.valid());
    }
    std::ostringstream diagnostics;
    PtyPair a;
    PtyPair b;
    Link link;
};

}  // namespace

TEST_F(PtyLinkTest, OpensBothPortsAndCarriesBytesBothWays) {
    ASSERT_TRUE(link.OpenPort(Port::A, a.slavePath(), 19200, 0)) << diagnostics.str();
    ASSERT_TRUE(link.OpenPort(Port::B, b.slavePath(), 1200, 0)) << diagnostics.str();
    EXPECT_EQ(link.PortWrite(Target::PortA, hexBytes("0F FF FF FF FF 00 00 00 00 E0 01")), 11u);
    EXPECT_EQ(toHex(a.receive(11, seconds(2))), "0F FF FF FF FF 00 00 00 00 E0 01");
    EXPECT_EQ(link.PortWrite(Target::PortB, hexBytes("0D 56 45 52 0D")), 5u);
    EXPECT_EQ(toHex(b.receive(5, seconds(2))), "0D 56 45 52 0D");

    a.send(hexBytes("01 02 03 04"));
    std::size_t held = 0;
    for (int i = 0; i < 20 && held < 4; ++i) {
        held = link.PortFill(0);
    }
    EXPECT_EQ(held, 4u);
    EXPECT_TRUE(link.OpenPort(Port::A, a.slavePath(), 19200, 0));
    EXPECT_EQ(link.ringHeld(0), 4u);  // reopening an open port leaves the rings alone
}

TEST_F(PtyLinkTest, SilentReadReturnsAfterAboutFiftyMilliseconds) {
    ASSERT_TRUE(link.OpenPort(Port::A, a.slavePath(), 19200, 0));
    const auto start = steady_clock::now();
    EXPECT_EQ(link.PortFill(0), 0u);
    const auto took = duration_cast<milliseconds>(steady_clock::now() - start);
    EXPECT_GE(took.count(), 40);
    EXPECT_LT(took.count(), 1000);
}

TEST_F(PtyLinkTest, SecondOpenOfTheSameDeviceFails) {
    ASSERT_TRUE(link.OpenPort(Port::A, a.slavePath(), 19200, 0));
    EXPECT_FALSE(link.OpenPort(Port::B, a.slavePath(), 1200, 0));
    EXPECT_NE(diagnostics.str().find("QRTTest Unable to open " + a.slavePath() + " Error: "),
              std::string::npos);
}

TEST_F(PtyLinkTest, MissingDeviceFailsToOpen) {
    EXPECT_FALSE(link.OpenPort(Port::A, "/dev/qrt-no-such-port", 19200, 0));
    EXPECT_FALSE(link.isOpen(Port::A));
}

TEST_F(PtyLinkTest, PeerClosingItsEndClosesThePortWithoutSpinning) {
    ASSERT_TRUE(link.OpenPort(Port::A, a.slavePath(), 19200, 0));
    a.closeMaster();
    const auto start = steady_clock::now();
    for (int i = 0; i < 5 && link.isOpen(Port::A); ++i) {
        link.PortFill(0);
    }
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 2000);
    EXPECT_FALSE(link.isOpen(Port::A));
    EXPECT_EQ(link.takeLostDevice(), Port::A);
    EXPECT_EQ(link.PortWrite(Target::PortA, hexBytes("01")), 0u);
}

TEST_F(PtyLinkTest, InductiveHeadGoneIsNoticedWithoutReadingIt) {
    ASSERT_TRUE(link.OpenPort(Port::A, a.slavePath(), 19200, 0));
    ASSERT_TRUE(link.OpenPort(Port::B, b.slavePath(), 1200, 0));
    // A talkative head: what it sends stays with the driver, never in the program.
    const std::vector<std::uint8_t> chatter(4096, 0x55);
    b.send(chatter);
    EXPECT_EQ(link.takeLostDevice(), std::nullopt);
    EXPECT_TRUE(link.isOpen(Port::B));
    b.closeMaster();
    EXPECT_EQ(link.takeLostDevice(), Port::B);
    EXPECT_FALSE(link.isOpen(Port::B));
    EXPECT_TRUE(link.isOpen(Port::A));
    EXPECT_EQ(link.takeLostDevice(), std::nullopt);
    EXPECT_NE(diagnostics.str().find("QRTTest " + b.slavePath() + " lost\n"), std::string::npos);
}

TEST_F(PtyLinkTest, InterfacesOpenWithEightDataBitsNoParityNoFlowControlAndTheirStopBits) {
    ASSERT_FALSE(openInterfaces(link, a.slavePath(), b.slavePath()).has_value())
        << diagnostics.str();
    struct Case {
        const PtyPair& pty;
        speed_t speed;
        tcflag_t stopBits;
    };
    for (const Case& c : {Case{a, B19200, 0}, Case{b, B1200, CSTOPB}}) {
        const termios line = c.pty.lineSettings();
        EXPECT_EQ(::cfgetospeed(&line), c.speed);
        EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t{CS8});
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), c.stopBits);
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF), tcflag_t{0});
    }
}

TEST_F(PtyLinkTest, WriteToAHeadThatWentFailsAndReportsItLost) {
    ASSERT_TRUE(link.OpenPort(Port::B, b.slavePath(), 1200, 0));
    b.closeMaster();
    EXPECT_EQ(link.PortWrite(Target::PortB, hexBytes("0D 56 45 52 0D")), 0u);
    EXPECT_FALSE(link.isOpen(Port::B));
    EXPECT_NE(diagnostics.str().find("QRTTest " + b.slavePath() + " lost\n"), std::string::npos);
}
