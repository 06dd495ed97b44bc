#include "receive/telegram_decoder.h"

#include <gtest/gtest.h>

#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "receive/console_sink.h"
#include "receive/reply_decoder.h"

using namespace qrt;
using namespace qrt::receive;

namespace {

DecodeState stateAt(const char* time = "08:15:42.3") {
    DecodeState state;
    state.timestamp = time;
    return state;
}

frames::StandardFrame telegram(std::uint8_t header, std::uint32_t id, std::uint16_t wp,
                               std::uint8_t bp, std::uint8_t seq) {
    return frames::buildStandardFrame(header, id, wp, bp, seq, 0);
}

std::string spontaneous(std::uint32_t id, std::uint16_t wp, std::uint8_t bp,
                        std::int32_t signal = 0) {
    DecodeState state = stateAt();
    LastLines lines;
    decodeSpontaneousTelegram(telegram(0x40, id, wp, bp, 7), state, signal, lines);
    return lines.debug;
}

}  // namespace

TEST(ShortTelegram, ShowsNumberTemperatureBatteryStatusAndSignal) {
    DecodeState state = stateAt();
    LastLines lines;
    decodeShortTelegram(frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0), -7, state, lines);
    EXPECT_EQ(lines.debug, "08:15:42.3  ID:5 T:21.50 B:3.00 1 -7");
    DecodeState cold = stateAt("x");
    decodeShortTelegram(frames::buildShortTelegram(255, -1234, 0, 200, 0), 0, cold, lines);
    EXPECT_EQ(lines.debug, "x  ID:255 T:-12.34 B:0.00 200 0");
}

TEST(SpontaneousTelegram, OtherModuleTypesShowTemperatureAndBattery) {
    EXPECT_EQ(spontaneous(0x30000007, 0xFF85, 150, 12),
              "08:15:42.3  R:2 ID:3.7 T:-1.23 B:3.00 7 12");
    EXPECT_EQ(spontaneous(0x30000007, 100, 0), "08:15:42.3  R:2 ID:3.7 T:1.00  B:0.00 7 0");
}

TEST(SpontaneousTelegram, ChannelKindsOfModuleTypes5And6) {
    const std::string head = "08:15:42.3  R:2 ID:6.16 ";
    EXPECT_EQ(spontaneous(0x60000010, 0x0866, 0x12), head + "Temp1   T:21.50 7 0");
    EXPECT_EQ(spontaneous(0x60000010, 0xF79A, 0x13), head + "Temp2   T:-21.50 7 0");
    EXPECT_EQ(spontaneous(0x60000010, 0x0196, 0x00), head + "Bat_Dig B:3.00 D:1 7 0");
    EXPECT_EQ(spontaneous(0x60000010, 0xBEEF, 0x01), head + "Config  T:0xbeef 7 0");
    EXPECT_EQ(spontaneous(0x60000010, 65535, 0x05), head + "Count2  C:65535 7 0");
    EXPECT_EQ(spontaneous(0x60000010, 42, 0x0A), head + "Aux5    X:42 7 0");
    EXPECT_EQ(spontaneous(0x60000010, 42, 0x1B), head + "B:27 W:42 7 0");
}

TEST(SpontaneousTelegram, ModuleType5AboveBytePar31ShowsTheReplyLine) {
    DecodeState state = stateAt();
    LastLines lines;
    EXPECT_FALSE(
        decodeSpontaneousTelegram(telegram(0x20, 0x50000001, 5, 0x20, 3), state, 0, lines));
    EXPECT_EQ(lines.debug, "08:15:42.3  ID:5.1 pt:0 bp:32 wp:5 3");
}

TEST(SpontaneousTelegram, BatDigWithBytePar0x10ArmsTheExtension) {
    DecodeState state = stateAt();
    LastLines lines;
    state.sampleCounter = 9;
    decodeSpontaneousTelegram(telegram(0x20, 0x50000001, 0x0196, 0x00, 3), state, 0, lines);
    EXPECT_EQ(state.decoderState, DecoderState::Idle);
    EXPECT_EQ(state.sampleCounter, 0);
    decodeSpontaneousTelegram(telegram(0x20, 0x50000001, 0x0196, 0x10, 3), state, 0, lines);
    EXPECT_EQ(state.decoderState, DecoderState::ExtensionExpected);

    // Kinds 2, 4 and 0 in bytes 1 and 2: two values shown, the third skipped.
    frames::StandardFrame extension = telegram(0x05, 0x00000042, 0x0000, 0, 0);
    extension[3] = 0x66;
    extension[4] = 0x08;
    extension[5] = 0x14;
    extension[6] = 0x00;
    extension[7] = 0x99;
    extension[8] = 0x99;
    decodeType5Frame(extension, state, lines);
    EXPECT_EQ(lines.debug, "    Temp1   T:21.50 Count1  C:20 ");
    EXPECT_TRUE(lines.comm.empty());
    EXPECT_EQ(state.decoderState, DecoderState::Idle);
}

TEST(ContinuousSamples, AreNumberedFromTheValueADbrReplyAnnounced) {
    DecodeState state = stateAt();
    LastLines lines;
    decodeReply(telegram(0x08, 0x50000001, 100, 4, 0), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.1 DBR 4");
    lines.comm.clear();
    frames::StandardFrame samples = telegram(0x05, 0, 0, 0, 0);
    const std::array<std::int16_t, 4> values{5, -5, 32767, -32768};
    for (std::size_t i = 0; i < 4; ++i) {
        samples[1 + 2 * i] = static_cast<std::uint8_t>(values[i]);
        samples[2 + 2 * i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(values[i]) >> 8);
    }
    decodeType5Frame(samples, state, lines);
    EXPECT_EQ(lines.debug, "CONT:5 -5 32767 -32768 ");
    EXPECT_EQ(lines.comm, ">>  100:5  101:-5  102:32767  103:-32768 ");
}

TEST(ContinuousSamples, DbrWithWordPar0StartsNumberingAt0) {
    DecodeState state = stateAt();
    LastLines lines;
    decodeReply(telegram(0x08, 0x50000001, 0, 4, 0), state, lines);
    EXPECT_EQ(state.sampleCounter, -1);
    decodeType5Frame(telegram(0x05, 0, 0, 0, 0), state, lines);
    EXPECT_EQ(lines.comm.substr(0, 10), ">>    0:0 ");
}

TEST(Replies, ParameterReadShowsTimeDateOrValue) {
    DecodeState state = stateAt();
    LastLines lines;
    decodeReply(telegram(0x02, 0x50001234, 754, 65, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 Time:12:34");
    decodeReply(telegram(0x02, 0x50001234, 7893, 66, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 Date:21.06.2015");
    decodeReply(telegram(0x02, 0x50001234, 0xFFFE, 14, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 NVR:14:-2 0xfffe");
    EXPECT_EQ(lines.debug, "08:15:42.3  ID:5.4660 pt:2 bp:14 wp:-2 1");
}

TEST(Replies, VersionShowsMajorMinorAndRunState) {
    DecodeState state = stateAt();
    LastLines lines;
    decodeReply(telegram(0x01, 0x50001234, 0x0203, 0, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 Version:2.3 run");
    decodeReply(telegram(0x01, 0x50001234, 0x8001, 1, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 Version:128.1 stopp");
}

TEST(Replies, WriteNvpInfAndDbwLines) {
    DecodeState state = stateAt();
    LastLines lines;
    state.sampleCounter = 50;
    decodeReply(telegram(0x03, 0x50001234, 0xFFFF, 20, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 NVW:20:-1");
    decodeReply(telegram(0x04, 0x50001234, 3, 255, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 NVP:255:3");
    EXPECT_EQ(state.sampleCounter, 0);
    state.sampleCounter = 50;
    decodeReply(telegram(0x07, 0x50001234, 9, 2, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 INF:2:9");
    EXPECT_EQ(state.sampleCounter, 0);
    decodeReply(telegram(0x1A, 0x50001234, 0xFFFF, 8, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:5.4660 DBW 8");
    EXPECT_EQ(state.sampleCounter, 65534);
}

TEST(Replies, LoggerAnnouncementAndFirmwareEchoSetTheNextExpectation) {
    DecodeState state = stateAt();
    LastLines lines;
    decodeReply(telegram(0x16, 0x60000007, 0xFFFE, 0, 1), state, lines);
    EXPECT_EQ(lines.comm, "ID:6.7 Logdata Block:65534");
    EXPECT_EQ(state.decoderState, DecoderState::LoggerBlockExpected);
    EXPECT_EQ(state.loggerBlock, -2);
    EXPECT_EQ(state.loggerType, 6);
    lines.comm.clear();
    decodeReply(telegram(0x12, 0x60000007, 0, 0, 1), state, lines);
    EXPECT_EQ(state.decoderState, DecoderState::SkipFirmwareBlock);
    EXPECT_TRUE(lines.comm.empty());
}

TEST(Replies, UnknownTypesShowOnlyTheirDebugLine) {
    for (const std::uint8_t type : {9, 20, 31}) {
        DecodeState state = stateAt();
        LastLines lines;
        decodeReply(telegram(type, 0x50001234, 1, 2, 3), state, lines);
        EXPECT_TRUE(lines.comm.empty());
        EXPECT_EQ(lines.debug, "08:15:42.3  ID:5.4660 pt:" + std::to_string(type) + " bp:2 wp:1 3");
    }
}

TEST(Replies, EndWhateverTheFrameBeforeHadAnnounced) {
    for (const DecoderState announced :
         {DecoderState::ExtensionExpected, DecoderState::LoggerBlockExpected,
          DecoderState::SkipFirmwareBlock}) {
        DecodeState state = stateAt();
        state.decoderState = announced;
        LastLines lines;
        decodeReply(telegram(0x03, 0x50001234, 1, 20, 1), state, lines);
        EXPECT_EQ(state.decoderState, DecoderState::Idle) << int(announced);
    }
}
