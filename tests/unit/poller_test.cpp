#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "frames/crc16.h"
#include "support/hex.h"
#include "support/receive_fixture.h"

using namespace qrt;
using namespace qrt::testing;
using receive::DecoderState;

namespace {

class PollerTest : public ReceiveFixture {};

// What reaches a measurement sink, in order: each frame's values and each poll's end.
class MeasurementEvents final : public receive::MeasurementSink {
  public:
    void addMeasurements(std::span<const receive::Measurement>) override {
        events.push_back("values");
    }
    void pollFinished() override { events.push_back("end"); }
    std::vector<std::string> events;
};

}  // namespace

// Worked byte-level example: short telegram 05 66 08 96 01 with its CRC.
TEST_F(PollerTest, ShortTelegramIsDecodedInTheFirstPassWithNothingBehindIt) {
    open();
    portA->queueInput(bytesOf(frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0)));
    poller->poll();
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"D 12:00:00.0  ID:5 T:21.50 B:3.00 1 0"}));
}

TEST_F(PollerTest, ShortTelegramBehindAStandardFrameWaitsForElevenBytes) {
    open();
    portA->queueInput(join({frame(0x01, 0x50001234, 0x0203, 0, 9),
                            bytesOf(frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0))}));
    poller->poll();
    ASSERT_EQ(sink.lines.size(), 2u);  // the version reply's two lines only
    EXPECT_EQ(link->ringHeld(0), 7u);
    poller->poll();  // a new poll looks at 7 bytes again in its first pass
    ASSERT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines[2], "D 12:00:00.0  ID:5 T:21.50 B:3.00 1 0");
}

TEST_F(PollerTest, SevenToTenBytesWithoutATelegramAreKeptForTheNextPoll) {
    open();
    portA->queueInput(hexBytes("01 02 03 04 05 06 07 08 09 0A"));
    poller->poll();
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_EQ(link->ringHeld(0), 10u);
}

TEST_F(PollerTest, ShortTelegramCrcInAStandardFrameWins) {
    open();
    // The first seven bytes of this "frame" form a valid short telegram.
    auto bytes = bytesOf(frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0));
    const auto tail = hexBytes("AA BB CC DD");
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    const std::uint16_t crc = frames::crc16(std::span(bytes).first(9), 0);
    bytes[9] = static_cast<std::uint8_t>(crc >> 8);
    bytes[10] = static_cast<std::uint8_t>(crc);
    portA->queueInput(bytes);
    poller->poll();
    ASSERT_FALSE(sink.lines.empty());
    EXPECT_EQ(sink.lines[0], "D 12:00:00.0  ID:5 T:21.50 B:3.00 1 0");
}

TEST_F(PollerTest, GarbageBeforeAFrameIsDroppedByteByByteInDirectMode) {
    open();
    portA->queueInput(join({hexBytes("FF 00 13 37 42 99 01 02 03 04 05 06 07"),
                            frame(0x01, 0x50001234, 0x0203, 0, 9)}));
    poller->poll();
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"D 12:00:00.0  ID:5.4660 pt:1 bp:0 wp:515 9",
                                                    "C ID:5.4660 Version:2.3 run"}));
}

TEST_F(PollerTest, BadFrameInMultiplexedModeDiscardsTheWholeRing) {
    open(true);
    auto bad = frame(0x01, 0x50001234, 0x0203, 0, 9);
    bad[4] ^= 0x01;
    const auto good = frame(0x01, 0x50001234, 0x0203, 0, 10);
    auto wrapped = link::wrapMuxFrame(0, join({bad, good}));
    wrapped.back() = 0xC0;  // signal level in place of the ETX
    portA->queueInput(wrapped);
    poller->poll();
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_EQ(link->ringHeld(0), 0u);
}

TEST_F(PollerTest, MultiplexedTelegramsCarryTheSignalLevel) {
    open(true);
    // The receiver's frame ends DLE, signal level, background level (no ETX).
    auto wrapped = link::wrapMuxFrame(0, frame(0x20, 0x60000010, 0x0866, 0x12, 3));
    wrapped.back() = 0xC0;
    wrapped.push_back(0x40);
    portA->queueInput(wrapped);
    poller->poll();
    ASSERT_EQ(sink.lines.size(), 1u);
    EXPECT_EQ(sink.lines[0], "D 12:00:00.0  R:1 ID:6.16 Temp1   T:21.50 3 50");
    EXPECT_EQ(sink.backgrounds, (std::vector<std::string>{"-50"}));
}

TEST_F(PollerTest, BurstIsWorkedOffInOnePollWithOneTimeStamp) {
    open();
    makePoller({});
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < 50; ++i) {
        const auto f = frame(0x01, 0x50001234, 0x0203, 0, static_cast<std::uint8_t>(i));
        burst.insert(burst.end(), f.begin(), f.end());
    }
    portA->queueInput(burst);
    poller->poll();
    ASSERT_EQ(sink.lines.size(), 100u);
    EXPECT_EQ(sink.lines.front().substr(0, 12), "D 10:30:00.0");
    EXPECT_EQ(sink.lines[98].substr(0, 12), "D 10:30:00.0");
    EXPECT_EQ(link->ringHeld(0), 0u);
}

TEST_F(PollerTest, ReadsNoMoreThanTheRingHasRoomFor) {
    open();
    std::vector<std::uint8_t> backlog;
    for (int i = 0; i < 200; ++i) {
        const auto f = frame(0x01, 0x50001234, 0x0203, 0, static_cast<std::uint8_t>(i));
        backlog.insert(backlog.end(), f.begin(), f.end());
    }
    for (std::size_t at = 0; at < backlog.size(); at += 128) {
        portA->queueInput(
            {backlog.begin() + static_cast<std::ptrdiff_t>(at),
             backlog.begin() + static_cast<std::ptrdiff_t>(std::min(at + 128, backlog.size()))});
    }
    poller->poll();
    EXPECT_EQ(sink.lines.size(), 400u);  // no frame lost to a full ring
    for (const std::size_t asked : portA->readSizes) {
        EXPECT_LE(asked, 128u);
    }
}

TEST_F(PollerTest, WindowedPollStopsAfterItsWorkBudget) {
    open();
    for (int i = 0; i < 10; ++i) {
        portA->queueInput(frame(0x01, 0x50001234, 0x0203, 0, static_cast<std::uint8_t>(i)));
    }
    // Every debug line costs 100 ms of virtual time, as a slow machine would.
    struct SlowSink : receive::LineSink {
        FakeClock* clock = nullptr;
        std::size_t lines = 0;
        receive::Pane pane = receive::Pane::Debug;
        std::string line;
        std::string& beginLine(receive::Pane shown) override {
            pane = shown;
            return line;
        }
        void endLine() override {
            if (pane == receive::Pane::Debug) {
                ++lines;
                clock->elapsed += std::chrono::milliseconds(100);
            }
        }
    } slowSink;
    slowSink.clock = &clock;
    receive::Poller budgeted(*link, protocol, clock, archive);  // the live budget of 250 ms
    const common::Attachment budgetedLines = budgeted.attach({.lines = &slowSink});
    budgeted.poll();
    EXPECT_EQ(slowSink.lines, 3u);
    budgeted.poll();
    EXPECT_EQ(slowSink.lines, 6u);
}

TEST_F(PollerTest, SixPollsAfterOpenLeaveThePortAlone) {
    open();
    makePoller({.startupSkipPolls = 6, .fixedTimestamp = "12:00:00.0"});
    poller->skipStartupPolls();
    portA->queueInput(frame(0x01, 0x50001234, 0x0203, 0, 9));
    for (int i = 0; i < 6; ++i) {
        poller->poll();
    }
    EXPECT_TRUE(portA->readSizes.empty());
    poller->poll();
    EXPECT_EQ(sink.lines.size(), 2u);
}

TEST_F(PollerTest, ClosedPortOnlyCountsDownAndReadsNothing) {
    bool paced = false;
    const common::Attachment pacing = poller->attach({.firmwarePacing = [&] { paced = true; }});
    EXPECT_EQ(poller->awaitReply(2, 0, 2, std::chrono::milliseconds(100)).end,
              receive::WaitEnd::TimedOut);
    EXPECT_EQ(clock.sleeps.size(), 2u);  // the wait counted down on a closed port
    EXPECT_FALSE(paced);
    EXPECT_TRUE(portA->readSizes.empty());
}

TEST_F(PollerTest, WaitForReplyTestsTheTimeOutBeforeTheSlot) {
    open();
    const auto match = frame(0x02, 0x50001234, 754, 65);
    struct Case {
        std::int32_t polls;
        bool answered;
    };
    // The reply arrives in the second poll: with two polls allowed it counts as none.
    for (const Case c : {Case{2, false}, Case{3, true}}) {
        portA->input.clear();
        portA->queueInput({});
        portA->queueInput(match);
        const auto reply = poller->awaitReply(2, 65, c.polls, std::chrono::milliseconds(100));
        EXPECT_EQ(reply.arrived(), c.answered) << c.polls;
        if (reply.arrived()) {
            EXPECT_EQ(toHex(reply.frame), toHex(match));
        }
    }
}

TEST_F(PollerTest, FirmwarePacingRunsBeforeAnyByteIsRead) {
    open();
    std::size_t readsAtPacing = 99;
    const common::Attachment pacing =
        poller->attach({.firmwarePacing = [&] { readsAtPacing = portA->readSizes.size(); }});
    poller->poll();
    EXPECT_EQ(readsAtPacing, 0u);
}

TEST_F(PollerTest, IdFilterPassesOnlyItsModuleAndType5OnlyBehindAnAcceptedFrame) {
    open();
    poller->setIdFilter(0x50001234);
    const auto accepted = frame(0x01, 0x50001234, 0x0203, 0, 1);
    const auto rejected = frame(0x01, 0x50009999, 0x0203, 0, 2);
    const auto samples = frame(0x05, 0x00020001, 0x0004, 0x00, 0x00);
    portA->queueInput(join({accepted, samples, rejected, samples}));
    poller->poll();
    ASSERT_EQ(sink.lines.size(), 4u);
    EXPECT_EQ(sink.lines[2], "D CONT:1 2 4 0 ");
    EXPECT_FALSE(poller->lastFrameAccepted());
}

TEST_F(PollerTest, BroadcastFilterPassesOnlyAllOnesIds) {
    open();
    poller->setIdFilter(0xFFFFFFFF);
    portA->queueInput(join({frame(0x01, 0x50001234, 0, 0), frame(0x01, 0xFFFFFFFF, 0, 0)}));
    poller->poll();
    ASSERT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(sink.lines[0], "D 12:00:00.0  ID:15.268435455 pt:1 bp:0 wp:0 0");
}

TEST_F(PollerTest, RejectedFrameCancelsAnAnnouncedLoggerBlock) {
    open();
    poller->setIdFilter(0x50001234);
    portA->queueInput(frame(0x16, 0x50001234, 7, 0));  // announces a logger block
    poller->poll();
    ASSERT_EQ(poller->decodeState().decoderState, DecoderState::LoggerBlockExpected);
    sink.lines.clear();
    portA->queueInput(frame(0x02, 0x60000001, 0, 0));
    poller->poll();
    EXPECT_EQ(poller->decodeState().decoderState, DecoderState::Idle);
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(PollerTest, MainReplySlotTakesTheFirstMatchingFrame) {
    open();
    const auto otherBp = frame(0x20, 0x60000010, 111, 3);
    const auto match = frame(0x20, 0x60000010, 222, 2);
    portA->queueInput(join({otherBp, match, frame(0x20, 0x60000010, 333, 2)}));
    const auto reply = poller->awaitReply(0x100, 2, 10, std::chrono::milliseconds(100));
    ASSERT_TRUE(reply.arrived());
    EXPECT_EQ(clock.sleeps.size(), 1u);
    EXPECT_EQ(toHex(reply.frame), toHex(match));
}

TEST_F(PollerTest, ArchiveSlotStaysArmedForLoggerBlocksAndStoresTheBlock) {
    open();
    archive.slot.expectedType = 22;
    archive.slot.expectedBytePar = 0;
    frames::LoggerWords words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(0x1000 + i);
    }
    const auto announcement = frame(0x16, 0x50001234, 3, 0);
    portA->queueInput(join({announcement, bytesOf(frames::buildLoggerBlock(words, 0)),
                            frame(0x01, 0x50001234, 0x0203, 0, 9)}));
    poller->poll();
    EXPECT_EQ(archive.slot.expectedType, 0u);
    EXPECT_EQ(toHex(archive.slot.reply), toHex(announcement));
    EXPECT_EQ(archive.archiveWords[96], 0x1000);
    EXPECT_EQ(archive.archiveWords[127], 0x101F);
    EXPECT_EQ(sink.lines.size(), 2u);   // the announcement; the poll ended with the block
    EXPECT_EQ(link->ringHeld(0), 11u);  // the version reply waits for the next poll
}

TEST_F(PollerTest, ArchiveSlotForOtherTypesDisarmsOnTheReply) {
    open();
    archive.slot.expectedType = 2;
    archive.slot.expectedBytePar = 0x43;
    const auto info = frame(0x02, 0x50001234, 100, 0x43);
    portA->queueInput(info);
    poller->poll();
    EXPECT_EQ(archive.slot.expectedType, 0u);
    EXPECT_EQ(toHex(archive.slot.reply), toHex(info));
}

TEST_F(PollerTest, FirmwareBlockEchoIsSkippedWhole) {
    open();
    std::vector<std::uint8_t> echo(130, 0x01);  // would be garbage to the frame search
    portA->queueInput(
        join({frame(0x12, 0x50001234, 7, 0x81), echo, frame(0x01, 0x50001234, 0x0203, 0, 9)}));
    poller->poll();
    ASSERT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines[0], "D 12:00:00.0  ID:5.4660 pt:18 bp:129 wp:7 0");
    EXPECT_EQ(sink.lines[2], "C ID:5.4660 Version:2.3 run");
}

TEST_F(PollerTest, FirmwareStatusRepliesGoToTheFirmwareHook) {
    open();
    std::vector<std::uint32_t> statuses;
    const common::Attachment hooked = poller->attach(
        {.firmwareStatus = [&](const frames::StandardFrame& f) { statuses.push_back(f[5]); }});
    portA->queueInput(join({frame(0x14, 0x50001234, 0xFFFF, 1), frame(0x01, 0x50001234, 0, 0)}));
    poller->poll();
    EXPECT_EQ(statuses, (std::vector<std::uint32_t>{0xFF}));
    EXPECT_EQ(sink.lines[0], "D 12:00:00.0  ID:5.4660 pt:20 bp:1 wp:-1 0");
}

TEST_F(PollerTest, CrcStartAppliesToReceivedFrames) {
    open();
    protocol.crcStart = 0x1D0F;
    portA->queueInput(frame(0x01, 0x50001234, 0x0203, 0, 9));
    poller->poll();
    EXPECT_EQ(sink.lines.size(), 2u);
    protocol.crcStart = 0;
    auto f = frames::buildStandardFrame(0x01, 0x50001234, 0x0203, 0, 9, 0x1D0F);
    portA->queueInput(bytesOf(f));
    poller->poll();
    EXPECT_EQ(sink.lines.size(), 2u);
}

TEST_F(PollerTest, BoxStatusIsShownOnlyWhenItChanges) {
    open(true);
    portA->queueInput(hexBytes("02 02 01 34 12 10 03"));
    poller->poll();  // the status arrives during this poll's read
    poller->poll();
    poller->poll();
    EXPECT_EQ(sink.keyStates, (std::vector<bool>{true}));
    EXPECT_EQ(sink.versions, (std::vector<std::string>{"1234"}));
    portA->queueInput(hexBytes("02 02 02 34 12 10 03"));
    poller->poll();
    poller->poll();
    EXPECT_EQ(sink.keyStates, (std::vector<bool>{true, false}));
}

TEST_F(PollerTest, DebugLinesGoToTheLogFileAndItIsFlushedEvery22Polls) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("qrt_poller_log_" + std::to_string(::getpid()) + ".txt");
    std::filesystem::remove(path);
    logFile.open(path.string());
    open();
    portA->queueInput(join({frame(0x01, 0x50001234, 0x0203, 0, 9),
                            bytesOf(frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0))}));
    poller->poll();
    poller->poll();
    EXPECT_EQ(output.logFlushCounter(), 2);
    for (int i = 0; i < 20; ++i) {
        poller->poll();
    }
    EXPECT_EQ(output.logFlushCounter(), 0);  // the 22nd poll flushed
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text,
              "12:00:00.0  ID:5.4660 pt:1 bp:0 wp:515 9\n12:00:00.0  ID:5 T:21.50 B:3.00 1 0\n");
    logFile.close();
    std::filesystem::remove(path);
}

TEST_F(PollerTest, EveryPollEndsAtTheMeasurementSinkAfterItsValues) {
    open();
    MeasurementEvents values;
    const common::Attachment attachedValues = poller->attach({.measurements = &values});
    portA->queueInput(bytesOf(frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0)));
    poller->poll();
    poller->poll();  // nothing arrives: the values window still refreshes
    EXPECT_EQ(values.events, (std::vector<std::string>{"values", "end", "end"}));
}
