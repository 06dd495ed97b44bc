#include <gtest/gtest.h>

#include "frames/authenticator.h"
#include "frames/byte_order.h"
#include "frames/crc16.h"
#include "receive/channel_list.h"
#include "sim/module.h"
#include "sim/pty_port.h"
#include "sim/simulator.h"
#include "support/hex.h"

using namespace qrt;
using namespace qrt::sim;
using namespace std::chrono;
using qrt::testing::toHex;

namespace {

const sys_seconds kNow = sys_days{year(2026) / 12 / 7} + hours(13) + minutes(5) + seconds(9);

ModuleConfig config(std::uint32_t type = 5, std::uint32_t serial = 1234) {
    ModuleConfig c;
    c.address = {type, serial};
    c.versionMajor = 2;
    c.versionMinor = 3;
    return c;
}

Request radio(std::uint8_t code, std::uint16_t wp, std::uint8_t bp, std::uint8_t seq = 7) {
    return {.path = Path::Radio, .code = code, .wordPar = wp, .bytePar = bp, .sequence = seq};
}

std::string replyHex(const std::vector<Transmission>& out, std::size_t i = 0) {
    return out.size() > i ? toHex(out[i].bytes) : "none";
}

std::string expected(std::uint8_t type, std::uint32_t id, std::uint16_t wp, std::uint8_t bp,
                     std::uint8_t seq) {
    return toHex(frames::buildStandardFrame(type, id, wp, bp, seq, 0));
}

}  // namespace

TEST(SimModule, AnswersVersionParameterReadAndWrite) {
    Module m(config(), 0);
    EXPECT_EQ(replyHex(m.handle(radio(15, 0, 0), kNow)), expected(1, 0x500004D2, 0x0203, 0, 7));
    EXPECT_EQ(replyHex(m.handle(radio(12, 0xFF9C, 14), kNow)),
              expected(3, 0x500004D2, 0xFF9C, 14, 7));
    EXPECT_EQ(replyHex(m.handle(radio(11, 0, 14), kNow)), expected(2, 0x500004D2, 0xFF9C, 14, 7));
    EXPECT_EQ(replyHex(m.handle(radio(11, 0, 255), kNow)), expected(4, 0x500004D2, 2, 255, 7));
    EXPECT_EQ(replyHex(m.handle(radio(10, 0, 1), kNow)), expected(7, 0x500004D2, 150, 1, 7));
}

TEST(SimModule, OperateChangesTheRunStateShownInTheVersionReply) {
    Module m(config(), 0);
    EXPECT_EQ(replyHex(m.handle(radio(16, 0, 0), kNow)), expected(1, 0x500004D2, 0x0203, 1, 7));
    EXPECT_FALSE(m.running());
    EXPECT_EQ(m.handleText("OPR1,4,1", kNow).size(), 1u);
    EXPECT_TRUE(m.running());
}

TEST(SimModule, ClockIsReadAsMinutesAndPackedDateAndSetInBcd) {
    Module m(config(), 0);
    // The tool's Set RTC for 13:05:09 UTC on 7 December 2026 (one hour later here).
    const sys_seconds later = kNow - hours(1);
    m.handle(radio(12, 0x0509, 66), later);
    m.handle(radio(12, 0x0713, 68), later);
    m.handle(radio(12, 0x2612, 71), later);
    EXPECT_EQ(replyHex(m.handle(radio(11, 0, 65), later)),
              expected(2, 0x500004D2, 13 * 60 + 5, 65, 7));
    const std::uint16_t date = 7 | (12 << 5) | (26 << 9);
    EXPECT_EQ(replyHex(m.handle(radio(11, 0, 66), later)), expected(2, 0x500004D2, date, 66, 7));
}

TEST(SimModule, MeasurementsAreTelegramsCarryingTheOffsetCorrectedTemperature) {
    Module m(config(6, 16), 0);
    m.handle(radio(12, static_cast<std::uint16_t>(-100), 14), kNow);
    const auto temp1 = m.handle({.path = Path::Inductive, .code = 23, .bytePar = 0}, kNow);
    ASSERT_EQ(temp1.size(), 1u);
    EXPECT_EQ(temp1[0].bytes[0], 0x20);  // a spontaneous telegram (type 0)
    EXPECT_EQ(temp1[0].bytes[7], 2);
    EXPECT_EQ(frames::readLe16(temp1[0].bytes, 5), 2150 - 100);
    const auto temp2 = m.handle({.path = Path::Inductive, .code = 23, .bytePar = 1}, kNow);
    EXPECT_EQ(temp2[0].bytes[7], 3);
    EXPECT_EQ(static_cast<std::int16_t>(frames::readLe16(temp2[0].bytes, 5)), -325);
}

TEST(SimModule, DbrReplyIsFollowedByNumberedSamples) {
    Module m(config(), 0);
    const auto out = m.handle(radio(13, 100, 4), kNow);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(toHex(out[0].bytes), expected(8, 0x500004D2, 100, 4, 7));
    EXPECT_EQ(out[1].bytes[0], 5);
    EXPECT_TRUE(
        frames::crcMatches(std::span(out[4].bytes).first(9), out[4].bytes[9], out[4].bytes[10], 0));
}

TEST(SimModule, FirmwareStatusNamesTheFirstMissingBlockThenGood) {
    Module m(config(8, 5), 0);
    EXPECT_EQ(replyHex(m.handle(radio(19, 0, 0xFF), kNow)),
              expected(20, 0x80000005, 0xFFFE, 0, 7));  // no transfer started
    m.handle(radio(17, 2, 0xFF), kNow);                 // type 8: count field is the count less one
    const std::vector<std::uint8_t> data(128, 0xAB);
    m.firmware().block(0, data);
    m.firmware().block(2, data);
    EXPECT_EQ(replyHex(m.handle(radio(19, 0, 0xFF), kNow)), expected(20, 0x80000005, 1, 9, 7));
    m.firmware().block(1, data);
    EXPECT_EQ(replyHex(m.handle(radio(19, 0, 0xFF), kNow)), expected(20, 0x80000005, 0xFFFF, 0, 7));
    EXPECT_EQ(m.firmware().image().size(), 3 * 128u);
}

TEST(SimModule, FirmwareBlocksMarkedLostArriveOnlyTheSecondTime) {
    ModuleConfig c = config(5, 1);
    c.loseFirmwareBlocks = {0};
    Module m(c, 0);
    m.handle(radio(17, 1, 0x81), kNow);
    const std::vector<std::uint8_t> data(128, 1);
    m.firmware().block(0, data);
    EXPECT_EQ(m.firmware().status().wordPar, 0);
    EXPECT_EQ(m.firmware().status().bytePar, 1);
    m.firmware().block(0, data);
    EXPECT_EQ(m.firmware().status().wordPar, -1);
}

TEST(SimArchive, RingHoldsFlaggedHeaderRecordsAndAnswersInfoWrapAndBlocks) {
    ModuleConfig c = config(5, 1234);
    c.archive.rows = 100;
    c.archive.rowsPerRecord = 50;
    c.archive.config = 0x0301;  // Temp0 and Counter1, one row a minute
    c.archive.start = sys_days{year(2015) / 5 / 12} + hours(10) + minutes(30);
    c.loseArchiveBlocks = {1};
    Module m(c, 0);
    const ArchiveRing& ring = *m.archive();
    EXPECT_EQ(ring.writeWord(), 2 * (4 + 50 * 2));
    EXPECT_FALSE(ring.wrapped());
    const frames::LoggerWords first = ring.block(0);
    // 10:30 is 630 minutes; bits 12 to 14 hold the true bit 0 of words 1 to 3.
    EXPECT_EQ(first[0] & 0x0FFF, (630 << 1) | 1);
    EXPECT_EQ(first[0] & 0x4000, 0x4000);  // the configuration word's bit 0 is set
    EXPECT_EQ(first[2] & 0xFFFE, 0x1EAC);  // 12.05.2015
    EXPECT_EQ(first[3], 0x0301);
    EXPECT_EQ(first[4] & 1, 0);

    EXPECT_EQ(replyHex(m.handle(radio(11, 0, 0x43), kNow)), expected(2, 0x500004D2, 208, 0x43, 7));
    EXPECT_EQ(replyHex(m.handle(radio(11, 0x00FF, 0x44), kNow)),
              expected(2, 0x500004D2, 0xFFFF, 0x44, 7));
    const auto blocks = m.handle(radio(11, 0, 0x83), kNow);
    ASSERT_EQ(blocks.size(), 2u);  // block 1 lost once
    EXPECT_EQ(toHex(std::span(blocks[1].bytes).first(11)), expected(22, 0x500004D2, 2, 3, 7));
    EXPECT_EQ(blocks[1].bytes.size(), 11 + 66u);
    const auto again =
        m.handle({.path = Path::Inductive, .code = 11, .wordPar = 1, .bytePar = 0x81}, kNow);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].bytes[7], 0);  // inductive replies carry BytePar 0
}

TEST(SimArchive, RingWrapsAndKeepsWritingFromTheStart) {
    ModuleConfig c = config(6, 1);
    c.archive.rows = 70000;
    c.archive.config = 0x0001;
    c.archive.rowsPerRecord = 1000;
    const ArchiveRing ring(c.archive);
    EXPECT_TRUE(ring.wrapped());
    EXPECT_EQ(ring.writeWord(), (70 * 4 + 70000) % ArchiveRing::kWords);
    EXPECT_EQ(ring.rows().size(), 70000u);
}

namespace {

struct SimHarness {
    explicit SimHarness(std::vector<ModuleConfig> modules, SimOptions options = {})
        : sim(
              options, modules,
              [this](int channel, const Bytes& bytes) {
                  sent.push_back({channel, bytes});
              },
              [this](const std::string& line) { log.push_back(line); }) {}
    void radioCommand(std::uint8_t code, std::uint32_t id, std::uint16_t wp, std::uint8_t bp,
                      std::uint8_t seq, const std::vector<frames::StandardFrame>& extra = {}) {
        const auto frame = frames::buildCommandFrame(code, id, wp, bp, seq, 0);
        sim.receiveA({frame.begin(), frame.end()}, kNow);
        for (const auto& content : extra) {
            sim.receiveA({content.begin(), content.end()}, kNow);
        }
        sim.quiet(kNow);
    }
    Simulator sim;
    std::vector<std::pair<int, Bytes>> sent;
    std::vector<std::string> log;
};

}  // namespace

TEST(SimAuthentication, CommandWithTheRightKeyIsObeyedAndWithAWrongKeyIgnored) {
    ModuleConfig c = config();
    c.authKey = frames::TeaKey{0x45670123, 0xCDEF89AB, 0xBA98FEDC, 0x32107654};
    SimHarness h({c});
    const auto command = frames::buildCommandFrame(12, 0x500004D2, 0x0042, 20, 9, 0);
    const auto good =
        frames::buildContentFrame(frames::authenticatorBlock(command, {}, *c.authKey), 0);
    h.radioCommand(12, 0x500004D2, 0x0042, 20, 9, {good});
    ASSERT_EQ(h.sent.size(), 1u);
    EXPECT_EQ(toHex(h.sent[0].second), expected(3, 0x500004D2, 0x0042, 20, 9));

    const auto wrong = frames::buildContentFrame(
        frames::authenticatorBlock(command, {}, frames::TeaKey{1, 2, 3, 4}), 0);
    h.radioCommand(12, 0x500004D2, 0x0042, 20, 9, {wrong});
    h.radioCommand(12, 0x500004D2, 0x0042, 20, 9);
    EXPECT_EQ(h.sent.size(), 1u);
    EXPECT_NE(std::find(h.log.begin(), h.log.end(),
                        "module 5.1234 ignores NVW: authenticator does not check"),
              h.log.end());
    h.radioCommand(15, 0x500004D2, 0, 0, 10);  // VER needs no authenticator
    EXPECT_EQ(h.sent.size(), 2u);
}

TEST(SimReceiver, BroadcastReachesEveryModuleAndJunkIsLogged) {
    SimHarness h({config(5, 1), config(6, 2)});
    h.sim.receiveA({0x13, 0x37}, kNow);
    h.radioCommand(15, frames::kBroadcastId, 0, 0, 3);
    EXPECT_EQ(h.sent.size(), 2u);
    EXPECT_EQ(h.log.front(), "A< junk (2 bytes, no frame): 13 37");
    EXPECT_TRUE(h.log[1].starts_with("A< VER id 15.268435455 wp 0x0000 bp 0 seq 3 crc "))
        << h.log[1];
    EXPECT_EQ(h.log[1].substr(h.log[1].size() - 7), " crc ok");
}

TEST(SimReceiver, FirmwareBlockAfterItsHeaderReachesTheModule) {
    SimOptions options;
    options.echoFirmwareBlocks = true;
    SimHarness h({config(7, 9)}, options);
    h.radioCommand(17, 0x70000009, 1, 0x82, 0);
    const auto header = frames::buildCommandFrame(18, 0x70000009, 0, 0x82, 1, 0);
    Bytes block(128, 0x10);
    const std::uint16_t crc = frames::crc16(block, 0);
    block.push_back(static_cast<std::uint8_t>(crc >> 8));
    block.push_back(static_cast<std::uint8_t>(crc));
    Bytes all = block;
    all.insert(all.begin(), header.begin(), header.end());
    h.sim.receiveA(all, kNow);
    EXPECT_EQ(h.sim.modules()[0].firmware().status().wordPar, -1);
    ASSERT_EQ(h.sent.size(), 2u);  // the receiver's echo: header reply and block
    EXPECT_EQ(h.sent[0].second[0], 18);
    EXPECT_EQ(h.sent[1].second, block);
}

TEST(SimInductiveHead, TextAndFramesReachTheModuleOnTheHead) {
    SimOptions options;
    options.headModule = frames::ModuleAddress{6, 2};
    SimHarness h({config(5, 1), config(6, 2)}, options);
    const std::string start = "\rOPR1,4,1\r\rVER\r";
    h.sim.receiveB(Bytes(start.begin(), start.end()), kNow);
    const auto nvr = frames::buildInductiveFrame(11, 0, 14);
    h.sim.receiveB({nvr.begin(), nvr.end()}, kNow);
    ASSERT_EQ(h.sent.size(), 3u);
    EXPECT_EQ(frames::readLe32(h.sent[0].second, 1), 0x60000002u);
    EXPECT_EQ(h.log[0], "B< text \\rOPR1,4,1\\r");
    EXPECT_EQ(h.sent[2].second[0], 2);
}

TEST(SimBox, VersionRequestIsAnsweredOnTheBoxChannel) {
    SimOptions options;
    options.multiplexed = true;
    options.boxVersion = 0x1234;
    SimHarness h({config()}, options);
    h.sim.receiveMux({0x02, 0x02, 0xE0, 0x10, 0x03, 0x02, 0x02, 0x87, 0x10, 0x03}, kNow);
    ASSERT_EQ(h.sent.size(), 1u);
    EXPECT_EQ(h.sent[0].first, 2);
    EXPECT_EQ(toHex(h.sent[0].second), "00 34 12");
    EXPECT_EQ(h.log.back(), "box< beep 7");
}

// A pulled adapter loses what the modules send meanwhile; the replug brings no burst.
TEST(SimPort, TransmissionsWhileThePortIsPulledAreLost) {
    PtyPort port("");
    std::string error;
    ASSERT_TRUE(port.open(error)) << error;
    port.queue({0x01, 0x02});
    port.pull();
    port.queue({0x03, 0x04, 0x05});
    ASSERT_TRUE(port.open(error)) << error;
    EXPECT_EQ(port.queued(), 0u);
    port.queue({0x06});
    EXPECT_EQ(port.queued(), 1u);
}
