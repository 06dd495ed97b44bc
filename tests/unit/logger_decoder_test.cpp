#include "receive/logger_decoder.h"

#include <gtest/gtest.h>

#include "frames/device_frames.h"
#include "receive/channel_list.h"
#include "receive/channels.h"

using namespace qrt;
using namespace qrt::receive;

namespace {

struct Decoded {
    std::vector<std::string> lines;
    bool goOn = true;
};

class LoggerDecoderTest : public ::testing::Test {
  protected:
    Decoded decode(const frames::LoggerWords& words, std::int32_t block, std::int32_t type,
                   std::uint16_t crcStart = 0) {
        Decoded result;
        result.goOn =
            decoder.decode(frames::buildLoggerBlock(words, crcStart), block, type, 0, archive,
                           [&](std::string_view l) { result.lines.emplace_back(l); });
        return result;
    }
    /// A block of the given words, the rest filled with the end mark 0xFFFF.
    static frames::LoggerWords block(std::initializer_list<std::uint16_t> words) {
        frames::LoggerWords all{};
        all.fill(0xFFFF);
        std::size_t i = 0;
        for (const std::uint16_t w : words) {
            all[i++] = w;
        }
        return all;
    }
    LoggerBlockDecoder decoder;
    ArchiveStore archive;
};

}  // namespace

TEST(ChannelList, DerivesKindsFromTheConfigurationWord) {
    auto kinds = [](std::uint16_t cfg) {
        const ChannelList list = deriveChannelList(cfg);
        return std::vector<int>(list.kinds.begin(),
                                list.kinds.begin() + static_cast<std::ptrdiff_t>(list.count));
    };
    EXPECT_EQ(kinds(0x0083), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(kinds(0x0180), (std::vector<int>{9}));
    EXPECT_EQ(kinds(0x0600), (std::vector<int>{5, 7}));
    EXPECT_EQ(kinds(0x0480), (std::vector<int>{6}));
    EXPECT_EQ(kinds(0x0D80), (std::vector<int>{9, 10}));  // a = 3, b = 3
    EXPECT_EQ(kinds(0x1E7F), (std::vector<int>{1, 2, 3, 7, 8}));
    EXPECT_EQ(kinds(0), (std::vector<int>{}));
}

TEST(LoggerValues, EachChannelKindNamesItsValues) {
    struct Case {
        std::uint8_t kind;
        std::uint16_t word;
        const char* values;
    };
    for (const Case& c : {
             Case{1, 0x0866, "Temp0 2150"},
             Case{2, 0xF79A, "Temp1 -2150"},
             Case{3, 0x0870, "Temp2 2160"},
             Case{4, 0x0AAA, "Status1 63"},
             Case{5, 0x0AAA, "Status2 0"},
             Case{6, 0x0AAA, "Status1 63 Status2 0"},
             Case{7, 0x0014, "Counter1 10"},
             Case{8, 0x0014, "Counter2 10"},
             Case{9, 0x1C20, "HourMeter1 3600"},
             Case{10, 0x1C20, "HourMeter2 3600"},
             Case{0, 0x0014, "Value 10"},
         }) {
        std::string shown;
        for (const Measurement& value : loggerValues(c.kind, c.word)) {
            shown += (shown.empty() ? "" : " ") + std::string(value.channel) + " " +
                     std::to_string(value.raw);
        }
        EXPECT_EQ(shown, c.values) << int(c.kind);
    }
}

TEST_F(LoggerDecoderTest, RawBlockShowsTwoRowsOfHexPairs) {
    frames::LoggerWords words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(0xA000 + i);
    }
    words[3] = 0xFFFF;  // not an end mark in a raw block
    const Decoded d = decode(words, 2044, 5);
    ASSERT_EQ(d.lines.size(), 1u);
    const std::string& line = d.lines[0];
    EXPECT_EQ(line.substr(0, 24), "a0 00 a0 01 a0 02 ff ff ");
    EXPECT_EQ(line.substr(16 * 6, 2), "\r\n");
    EXPECT_EQ(line.size(), 32 * 6 + 2u);
    EXPECT_EQ(decode(words, 1024, 7).lines.size(), 1u);
    EXPECT_NE(decode(words, 1024, 8).lines[0].substr(0, 2), "a0");
}

TEST_F(LoggerDecoderTest, BadCrcShowsCrcErrorAndGoesOn) {
    const Decoded d = decode(block({0x0866}), 1, 3, 0x1234);
    EXPECT_EQ(d.lines, (std::vector<std::string>{"CRC-Error"}));
    EXPECT_TRUE(d.goOn);
}

TEST_F(LoggerDecoderTest, DateMarkRecordsStartANewLine) {
    const Decoded d = decode(block({0x0866, 0x9699, 0x1EAC, 0x0866, 0xFF9C}), 1, 3);
    EXPECT_EQ(d.lines,
              (std::vector<std::string>{" 21.50", "12.05.2015 19:00 Bat:3.00 21.50 -1.00"}));
}

TEST_F(LoggerDecoderTest, DateMarkSplitAcrossBlocksIsCompletedByTheNextBlock) {
    frames::LoggerWords first{};
    first.fill(0x0002);  // temperature 0.02
    first[31] = 0x969B;  // time mark: quarter 1, hour 19
    const Decoded one = decode(first, 1, 3);
    ASSERT_EQ(one.lines.size(), 1u);
    EXPECT_TRUE(decoder.datePending);
    const Decoded two = decode(block({0x1EAC, 0x0866}), 2, 3);
    EXPECT_EQ(two.lines, (std::vector<std::string>{"12.05.2015 19:15 Bat:3.00 21.50"}));
    EXPECT_FALSE(decoder.datePending);
}

TEST_F(LoggerDecoderTest, EndMarksStopTheBlockAndClearAPendingDate) {
    decode(block({0x9699}), 1, 3);
    EXPECT_FALSE(decoder.datePending);  // 0xFFFF behind the mark cleared it
    decoder.datePending = true;
    const Decoded d = decode(block({0x8080, 0x0866}), 1, 3);
    EXPECT_TRUE(d.lines.empty());
    EXPECT_FALSE(decoder.datePending);
}

TEST_F(LoggerDecoderTest, FlaggedHeaderRecordShowsDateConfigBatteryAndValues) {
    // Header: 10:30 (minutes 630), battery 150, 12.05.2015, Cfg 0x0301 (Temp0, Counter1;
    // bit 14 of word 0 keeps its bit 0).
    const Decoded d = decode(block({0x44ED, 0x0097, 0x1EAD, 0x0301, 0x0866, 0x0014, 0x0870}), 1, 5);
    EXPECT_EQ(d.lines, (std::vector<std::string>{
                           " # 12.05.2015 10:30 Cfg: 0x0301 Bat:3.00 T0:21.50 C1:10 T0:21.60"}));
}

TEST_F(LoggerDecoderTest, HeaderBitsRestoreBit0OfTheOtherHeaderWords) {
    // Bit 14 of word 0 set: the configuration word keeps its bit 0 (Temp0).
    const Decoded d = decode(block({0x44ED, 0x0097, 0x1EAD, 0x0001, 0x0866}), 1, 6);
    EXPECT_EQ(d.lines,
              (std::vector<std::string>{" # 12.05.2015 10:30 Cfg: 0x0001 Bat:3.00 T0:21.50"}));
}

TEST_F(LoggerDecoderTest, ThreeHeaderWordsKeepThePreviousConfiguration) {
    decode(block({0x44ED, 0x0097, 0x1EAD, 0x0001, 0x0866}), 1, 5);
    const Decoded d = decode(block({0x04ED, 0x0097, 0x1EAD, 0x0870}), 2, 5);
    EXPECT_EQ(d.lines,
              (std::vector<std::string>{" # 12.05.2015 10:30 Cfg: 0x0001 Bat:3.00 T0:21.60"}));
}

TEST_F(LoggerDecoderTest, EarlyValuesBelongToTheRecordFromTheBlockBefore) {
    // Two values of the previous record (Temp0, Counter1 list: it ended on Counter1),
    // then a new header.
    const Decoded d = decode(block({0x0866, 0x0014, 0x44ED, 0x0097, 0x1EAD, 0x0301, 0x0870}), 2, 5);
    EXPECT_EQ(d.lines, (std::vector<std::string>{
                           " T0:21.50 C1:10 # 12.05.2015 10:30 Cfg: 0x0301 Bat:3.00 T0:21.60"}));
    // A tail of exactly one value: the record's last, Counter1.
    const Decoded one = decode(block({0x0014, 0x44ED, 0x0097, 0x1EAD, 0x0301, 0x0870}), 3, 5);
    EXPECT_EQ(
        one.lines,
        (std::vector<std::string>{" C1:10 # 12.05.2015 10:30 Cfg: 0x0301 Bat:3.00 T0:21.60"}));
}

TEST_F(LoggerDecoderTest, EarlyValuesThatTheNewListCannotPlaceAreShownRaw) {
    // Cfg 0: an empty channel list.
    const Decoded d = decode(block({0x0866, 0x0014, 0x04ED, 0x0097, 0x1EAD, 0x0001, 0x0870}), 2, 5);
    EXPECT_EQ(d.lines, (std::vector<std::string>{
                           " U:0866 U:0014 # 12.05.2015 10:30 Cfg: 0x0000 Bat:3.00 U:0870"}));
    // Three early values but a one-channel list.
    const Decoded more =
        decode(block({0x0002, 0x0004, 0x0006, 0x44ED, 0x0097, 0x1EAD, 0x0001, 0x0870}), 3, 5);
    EXPECT_EQ(more.lines[0].substr(0, 21), " U:0002 U:0004 U:0006");
}

TEST_F(LoggerDecoderTest, DataWordsWithoutAHeaderAfterPosition3AreShownRaw) {
    const Decoded d = decode(block({0x0002, 0x0004, 0x0006, 0x0008, 0x000A}), 2, 5);
    EXPECT_EQ(d.lines, (std::vector<std::string>{" U:000a"}));
}

TEST_F(LoggerDecoderTest, HourMetersCountersAndStatusValues) {
    // Cfg 0x0D80: a = 3 (hour meter 1), b = 3 (hour meter 2); then status (a = 1).
    const Decoded d = decode(block({0x0565, 0x0097, 0x1EAD, 0x0D81, 0x1C20, 0x0014}), 1, 5);
    EXPECT_EQ(
        d.lines,
        (std::vector<std::string>{" # 12.05.2015 11:30 Cfg: 0x0d80 Bat:3.00 BZ1:3600 BZ2:10"}));
    const Decoded s = decode(block({0x0565, 0x0097, 0x1EAD, 0x0081, 0x0AAA}), 1, 5);
    EXPECT_EQ(s.lines[0].substr(s.lines[0].size() - 7), " U:0555");
}

TEST_F(LoggerDecoderTest, AwaitedBlocksGoToTheArchiveStoreAtTheAnnouncedNumber) {
    archive.slot.expectedType = 22;
    archive.slot.reply = frames::buildStandardFrame(0x16, 0x50000001, 2043, 0, 0, 0);
    frames::LoggerWords words{};
    words[0] = 0x1111;
    words[31] = 0x2222;
    const Decoded d = decode(words, 0, 5);
    EXPECT_FALSE(d.goOn);
    EXPECT_TRUE(d.lines.empty());
    EXPECT_EQ(archive.slot.expectedType, 0u);
    EXPECT_EQ(archive.archiveWords[2043 * 32], 0x1111);
    EXPECT_EQ(archive.archiveWords[2043 * 32 + 31], 0x2222);
}

TEST_F(LoggerDecoderTest, BlockNumbersOutsideTheStoreAreNeverWritten) {
    frames::LoggerWords words{};
    words.fill(0xABCD);
    for (const std::uint16_t number : {0xFFFF /* -1 */, 2048, 0x7FFF}) {
        archive.slot.expectedType = 22;
        archive.slot.reply = frames::buildStandardFrame(0x16, 0x50000001, number, 0, 0, 0);
        const Decoded d = decode(words, 0, 5);
        EXPECT_FALSE(d.goOn);
        EXPECT_EQ(archive.slot.expectedType, 0u);
    }
    for (const std::uint16_t word : archive.archiveWords) {
        ASSERT_EQ(word, 0);
    }
    archive.slot.expectedType = 22;
    archive.slot.reply = frames::buildStandardFrame(0x16, 0x50000001, 2047, 0, 0, 0);
    decode(words, 0, 5);
    EXPECT_EQ(archive.archiveWords[65535], 0xABCD);
}
