#include "link/mux_framing.h"

#include <gtest/gtest.h>

#include "support/hex.h"

using namespace qrt::link;
using qrt::testing::hexBytes;
using qrt::testing::toHex;

namespace {

std::string drain(ReceiveRing& ring) {
    std::vector<std::uint8_t> bytes(ring.held());
    ring.read(bytes);
    return toHex(bytes);
}

struct Splitter {
    MuxReceiver mux;
    ReceiveRing ring0;
    ReceiveRing ring1;
    void feed(std::string_view hex) { mux.split(hexBytes(hex), ring0, ring1); }
};

}  // namespace

TEST(MuxWrap, DoublesDleButNotStxOrChannel) {
    EXPECT_EQ(toHex(wrapMuxFrame(1, hexBytes("10 02 10"))), "02 01 10 10 02 10 10 10 03");
    EXPECT_EQ(toHex(wrapMuxFrame(2, hexBytes("83"))), "02 02 83 10 03");
}

TEST(MuxWrap, WorstCasePayloadOfAllDleFitsWhole) {
    const std::vector<std::uint8_t> block(130, 0x10);
    const std::vector<std::uint8_t> frame = wrapMuxFrame(0, block);
    ASSERT_EQ(frame.size(), 2 * 130 + 4u);
    EXPECT_EQ(frame[frame.size() - 2], 0x10);
    EXPECT_EQ(frame.back(), 0x03);
}

TEST(MuxLevels, ConvertTruncatingTowardZero) {
    EXPECT_EQ(levelFromByte(0), -100);
    EXPECT_EQ(levelFromByte(64), -50);
    EXPECT_EQ(levelFromByte(128), 0);
    EXPECT_EQ(levelFromByte(192), 50);
    EXPECT_EQ(levelFromByte(255), 99);
    EXPECT_EQ(levelFromByte(127), 0);  // -100/128 truncates to 0
}

TEST(MuxReceive, ReceiverFrameFillsRing0AndSetsBothLevels) {
    Splitter s;
    s.feed("02 00 41 10 10 42 10 C0 40");
    EXPECT_EQ(drain(s.ring0), "41 10 42");
    EXPECT_EQ(s.mux.signalLevel, 50);
    EXPECT_EQ(s.mux.backgroundLevel, -50);
    EXPECT_EQ(s.mux.muxState, MuxReceiver::kWaitStx);
}

TEST(MuxReceive, BackgroundByteInTheNextChunkIsDropped) {
    Splitter s;
    s.mux.backgroundLevel = 7;
    s.feed("02 00 41 10 C0");
    s.feed("40 02 00 42 10 80");
    EXPECT_EQ(s.mux.signalLevel, 0);
    EXPECT_EQ(s.mux.backgroundLevel, 7);
    EXPECT_EQ(drain(s.ring0), "41 42");
}

TEST(MuxReceive, BackgroundByteOf02StartsTheNextFrame) {
    Splitter s;
    s.feed("02 00 41 10 C0 02 00 55 10 80 80");
    EXPECT_EQ(drain(s.ring0), "41 55");
    EXPECT_EQ(s.mux.backgroundLevel, 0);
}

TEST(MuxReceive, BoxFrameSetsKeyStateAndVersion) {
    Splitter s;
    s.feed("02 02 01 34 12 10 03");
    EXPECT_EQ(s.mux.keyState, 1);
    EXPECT_EQ(s.mux.boxVersion, 0x1234u);
    s.feed("02 02 FF 10 10 00 99 10 03");  // escaped DLE as version low byte; 4th byte ignored
    EXPECT_EQ(s.mux.keyState, -1);
    EXPECT_EQ(s.mux.boxVersion, 0x0010u);
    EXPECT_EQ(s.ring0.held() + s.ring1.held(), 0u);
}

TEST(MuxReceive, BadChannelDropsTheFrameUntilTheNextStx) {
    Splitter s;
    s.feed("02 03 41 42 02 80 43 02 01 44 10 03 45");
    EXPECT_EQ(s.ring0.held(), 0u);
    EXPECT_EQ(drain(s.ring1), "44");
}

TEST(MuxReceive, StxInsideAFrameIsPayloadAndAnOpenFrameNeverTimesOut) {
    Splitter s;
    s.feed("02 00 02 01");
    s.feed("03");
    EXPECT_EQ(drain(s.ring0), "02 01 03");
    EXPECT_EQ(s.mux.muxState, 0);
}

TEST(MuxReceive, ByteAtATimeGivesTheSamePayloadAsOneChunk) {
    const auto stream = hexBytes("55 02 00 0A 10 10 0B 10 C0 40 02 01 0C 10 03 02 00 0D 10 80 80");
    Splitter whole;
    whole.mux.split(stream, whole.ring0, whole.ring1);
    Splitter single;
    for (const std::uint8_t byte : stream) {
        single.mux.split(std::span(&byte, 1), single.ring0, single.ring1);
    }
    EXPECT_EQ(drain(whole.ring0), drain(single.ring0));
    EXPECT_EQ(drain(whole.ring1), drain(single.ring1));
    EXPECT_EQ(whole.mux.signalLevel, single.mux.signalLevel);
}

TEST(MuxReceive, AnyByteSequenceKeepsTheStateInRange) {
    Splitter s;
    std::uint32_t seed = 12345;
    std::vector<std::uint8_t> noise(100000);
    for (auto& byte : noise) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(seed >> 24) & 0x13;  // rich in STX, DLE, ETX, 0..3
    }
    s.mux.split(noise, s.ring0, s.ring1);
    EXPECT_GE(s.mux.muxState, -2);
    EXPECT_LE(s.mux.muxState, 5);
    EXPECT_LE(s.ring0.held(), 1023u);
}
