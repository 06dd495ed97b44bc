#include <gtest/gtest.h>

#include <sstream>

#include "frames/crc16.h"
#include "frames/frame_sender.h"
#include "frames/module_address.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"
#include "support/hex.h"

using namespace qrt::frames;
using namespace qrt::link;
using qrt::testing::FakeClock;
using qrt::testing::FakeSerialPort;
using qrt::testing::hexBytes;
using qrt::testing::toHex;

TEST(Crc16, MatchesTheArcCheckValueAndStartValue) {
    const std::string check = "123456789";
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(check.data()), check.size());
    EXPECT_EQ(crc16(bytes, 0), 0xBB3D);
    EXPECT_NE(crc16(bytes, 0x1D0F), 0xBB3D);
    EXPECT_EQ(Crc16Update(0, 0x01), 0xC0C1);
}

TEST(CommandFrames, BuildTheDocumentedExamplesByteForByte) {
    EXPECT_EQ(toHex(buildCommandFrame(15, kBroadcastId, 0, 0, 0, 0)),
              "0F FF FF FF FF 00 00 00 00 E0 01");
    EXPECT_EQ(toHex(buildInductiveFrame(15, 0, 0)), "0F 00 00 00 14 03");
}

TEST(CommandFrames, FieldsAreLittleEndianAndCodeKeepsFiveBits) {
    const StandardFrame frame = buildCommandFrame(0x2B, 0x500004D2, 0xFFFE, 0x2C, 7, 0);
    EXPECT_EQ(toHex(std::span(frame).first(9)), "0B D2 04 00 50 FE FF 2C 07");
    EXPECT_TRUE(crcMatches(std::span(frame).first(9), frame[9], frame[10], 0));
    EXPECT_EQ(buildInductiveFrame(0xEB, 0, 0)[0], 0xEB);
}

TEST(CommandFrames, CrcStartChangesElevenByteFramesButNotTheInductiveFrame) {
    const StandardFrame plain = buildCommandFrame(15, kBroadcastId, 0, 0, 0, 0);
    const StandardFrame started = buildCommandFrame(15, kBroadcastId, 0, 0, 0, 0x1D0F);
    EXPECT_NE(toHex(plain), toHex(started));
    EXPECT_TRUE(crcMatches(std::span(started).first(9), started[9], started[10], 0x1D0F));
    const StandardFrame content = buildContentFrame({1, 2, 3, 4, 5, 6, 7, 8}, 0x1D0F);
    EXPECT_EQ(toHex(std::span(content).first(9)), "05 01 02 03 04 05 06 07 08");
    EXPECT_TRUE(crcMatches(std::span(content).first(9), content[9], content[10], 0x1D0F));
}

TEST(ModuleAddress, TypeAndSerialAreDecimalOrHexadecimal) {
    struct Case {
        const char* text;
        std::optional<ModuleAddress> module;
    };
    for (const Case& c : {
             Case{"0x5.0x4D2", ModuleAddress{5, 1234}},
             Case{"0XF.0xfffffff", ModuleAddress{15, 0x0FFFFFFF}},
             Case{"5.0X10", ModuleAddress{5, 16}},
             Case{"0x10.1", std::nullopt},
             Case{"0x.1", std::nullopt},
             Case{"5.0x10000000", std::nullopt},
         }) {
        EXPECT_EQ(ModuleAddress::parse(c.text), c.module) << c.text;
    }
}

namespace {

class FrameSenderTest : public ::testing::Test {
  protected:
    FrameSenderTest() {
        auto a = std::make_unique<FakeSerialPort>();
        auto b = std::make_unique<FakeSerialPort>();
        portA = a.get();
        portB = b.get();
        link = std::make_unique<Link>(std::move(a), std::move(b), diagnostics);
        EXPECT_TRUE(link->OpenPort(Port::A, "a", 19200, 0));
        EXPECT_TRUE(link->OpenPort(Port::B, "b", 1200, 0));
        sender = std::make_unique<FrameSender>(*link, protocol, clock);
    }
    std::ostringstream diagnostics;
    FakeSerialPort* portA = nullptr;
    FakeSerialPort* portB = nullptr;
    std::unique_ptr<Link> link;
    ProtocolSettings protocol;
    FakeClock clock;
    std::unique_ptr<FrameSender> sender;
};

}  // namespace

TEST_F(FrameSenderTest, InductiveFrameFollowsABreakOf50msAnd100msQuiet) {
    sender->SendInductiveFrame(15, 0, 0, true);
    std::vector<std::string> order;
    for (const auto& call : portB->calls) {
        if (call.what == "break") {
            order.push_back(call.on ? "break on" : "break off");
        } else if (call.what == "write") {
            order.push_back("write " + toHex(call.bytes));
        }
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"break on", "break off", "write 0F 00 00 00 14 03"}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{
                                std::chrono::milliseconds(50), std::chrono::milliseconds(100)}));
}

TEST_F(FrameSenderTest, MultiplexedInductiveFrameHasNoBreakAndGoesOnChannel1) {
    link->setMultiplexed(true);
    sender->SendInductiveFrame(15, 0, 0, true);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(toHex(portA->takeWritten()), "02 01 0F 00 00 00 14 03 10 03");
    EXPECT_TRUE(portB->takeWritten().empty());
}

TEST_F(FrameSenderTest, SequenceCounterWrapsFrom255To0) {
    protocol.frameSequence = 254;
    for (int i = 0; i < 3; ++i) {
        sender->SendCommandFrame(15, kBroadcastId, 0, 0, protocol.nextSequence());
    }
    const auto written = portA->takeWritten();
    ASSERT_EQ(written.size(), 33u);
    EXPECT_EQ(written[8], 254);
    EXPECT_EQ(written[19], 255);
    EXPECT_EQ(written[30], 0);
}

TEST_F(FrameSenderTest, InductiveFrameOverwritesTheFirstSixBytesOfTheLastCommandFrame) {
    sender->SendCommandFrame(12, 0x500004D2, 0x1234, 0x56, 9);
    sender->SendInductiveFrame(15, 0, 0, false);
    const StandardFrame command = buildCommandFrame(12, 0x500004D2, 0x1234, 0x56, 9, 0);
    EXPECT_EQ(toHex(sender->lastCommandFrame()),
              "0F 00 00 00 14 03 12 56 09 " + toHex(std::span(command).subspan(9)));
}
