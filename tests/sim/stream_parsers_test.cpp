#include "sim/stream_parsers.h"

#include <gtest/gtest.h>

#include "frames/command_frames.h"
#include "support/hex.h"

using namespace qrt;
using namespace qrt::sim;
using qrt::testing::toHex;

TEST(RadioParser, FramesSplitAcrossFeedsAndTextsWithoutTerminator) {
    RadioParser parser(0);
    const auto frame = frames::buildCommandFrame(11, 0x500004D2, 0, 65, 1, 0);
    Bytes bytes(frame.begin(), frame.end());
    const std::string texts = "ER_CMD#C7ACKER_CMD#p9";
    bytes.insert(bytes.end(), texts.begin(), texts.end());
    std::vector<RadioEvent> events = parser.feed(Bytes(bytes.begin(), bytes.begin() + 5));
    EXPECT_TRUE(events.empty());
    events = parser.feed(Bytes(bytes.begin() + 5, bytes.end()));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(toHex(std::get<RadioFrame>(events[0]).frame), toHex(frame));
    EXPECT_EQ(std::get<RadioText>(events[1]).text, "ER_CMD#C7");
    EXPECT_EQ(std::get<RadioText>(events[2]).text, "ACK");
    events = parser.idle();  // the last text ends when the line goes quiet
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<RadioText>(events[0]).text, "ER_CMD#p9");
}

TEST(RadioParser, BadCrcBecomesJunkAndTheNextFrameIsFound) {
    RadioParser parser(0x1D0F);
    auto bad = frames::buildCommandFrame(15, 1, 0, 0, 0, 0x1D0F);
    bad[3] ^= 0xFF;
    const auto good = frames::buildCommandFrame(15, 1, 0, 0, 1, 0x1D0F);
    Bytes bytes;
    for (const auto& frame : {bad, good}) {
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    const auto events = parser.feed(bytes);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<Junk>(events[0]).bytes.size(), 11u);
    EXPECT_EQ(std::get<RadioFrame>(events[1]).frame[8], 1);
}

TEST(RadioParser, BlockHeaderIsFollowedBy130BlockBytes) {
    RadioParser parser(0);
    const auto header = frames::buildCommandFrame(18, 0xFFFFFFFF, 3, 0x81, 5, 0);
    Bytes bytes(header.size() + 130, 0x45);  // 'E' bytes must not be taken as a text
    std::copy(header.begin(), header.end(), bytes.begin());
    const auto events = parser.feed(bytes);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<FirmwareBlock>(events[1]).bytes.size(), 130u);
    EXPECT_FALSE(std::get<FirmwareBlock>(events[1]).crcOk);
}

TEST(HeadParser, TextsAndInductiveFrames) {
    HeadParser parser;
    const auto frame = frames::buildInductiveFrame(0x0D, 0, 0);  // starts with a CR byte
    const std::string text = "\rNVW20,16\r";
    Bytes bytes(frame.size() + text.size());
    std::copy(text.begin(), text.end(), std::copy(frame.begin(), frame.end(), bytes.begin()));
    const auto events = parser.feed(bytes);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<InductiveFrameEvent>(events[0]).code, 0x0D);
    EXPECT_EQ(std::get<HeadText>(events[1]).text, "NVW20,16");
    const auto leftover = parser.feed({0x0D, 'V', 'E'});
    EXPECT_TRUE(leftover.empty());
    EXPECT_EQ(std::get<Junk>(parser.idle()[0]).bytes.size(), 3u);
}

TEST(MuxDeframer, UnescapesAndNamesTheChannel) {
    MuxDeframer deframer;
    const auto payloads = deframer.feed({0xFF, 0x02, 0x01, 0x10, 0x10, 0x02, 0x10, 0x03, 0x02, 0x07,
                                         0x55, 0x02, 0x02, 0xE0, 0x10, 0x03});
    ASSERT_EQ(payloads.size(), 2u);
    EXPECT_EQ(payloads[0].channel, 1);
    EXPECT_EQ(toHex(payloads[0].bytes), "10 02");
    EXPECT_EQ(payloads[1].channel, 2);
    EXPECT_EQ(toHex(payloads[1].bytes), "E0");
}
