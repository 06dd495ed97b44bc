#include "firmware/firmware_transfer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "frames/crc16.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"
#include "support/hex.h"

using namespace qrt;
using namespace qrt::firmware;
using namespace qrt::testing;

namespace {

struct FakeView final : FirmwareView {
    [[nodiscard]] FirmwareTarget target() const override { return targetFields; }
    [[nodiscard]] int speed() const override { return speedValue; }
    void showBlock(std::uint32_t index) override { blocks.push_back(index); }
    void showBlockCount(std::uint32_t count) override { blockCount = count; }
    void showStatus(const FirmwareStatus& status) override { statuses.push_back(status); }
    void showProgress(std::uint32_t sent, std::uint32_t count) override {
        progress = {sent, count};
    }
    FirmwareTarget targetFields{true, frames::ModuleAddress{5, 1234}};
    int speedValue = 2;
    std::vector<std::uint32_t> blocks;
    std::uint32_t blockCount = 0;
    std::vector<FirmwareStatus> statuses;
    std::pair<std::uint32_t, std::uint32_t> progress;
};

// One frame or block as written to port A.
struct Sent {
    std::vector<std::uint8_t> bytes;
    std::size_t poll;
};

class FirmwareTransferTest : public ::testing::Test {
  protected:
    FirmwareTransferTest() {
        auto a = std::make_unique<FakeSerialPort>();
        portA = a.get();
        link = std::make_unique<link::Link>(std::move(a), std::make_unique<FakeSerialPort>(),
                                            diagnostics);
        EXPECT_TRUE(link->OpenPort(link::Port::A, "a", 19200, 0));
        sender = std::make_unique<frames::FrameSender>(*link, protocol, clock);
        transfer = std::make_unique<FirmwareTransfer>(*sender, clock, view);
        folder = std::filesystem::temp_directory_path() /
                 ("qrt_fw_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    ~FirmwareTransferTest() override { std::filesystem::remove_all(folder); }

    /// An image file: the header line, then `body` bytes counting up.
    std::string image(const std::string& header, std::size_t body, const char* name = "fw.bin") {
        const auto path = (folder / name).string();
        std::ofstream out(path, std::ios::binary);
        out << header;
        for (std::size_t i = 0; i < body; ++i) {
            out.put(static_cast<char>(i * 7));
        }
        return path;
    }

    /// Polls `count` times, collecting what each poll wrote.
    std::vector<Sent> poll(std::size_t count) {
        std::vector<Sent> sent;
        for (std::size_t i = 1; i <= count; ++i) {
            transfer->pace();
            for (const auto& call : portA->calls) {
                if (call.what == "write") {
                    sent.push_back({call.bytes, i});
                }
            }
            portA->calls.clear();
        }
        return sent;
    }
    std::vector<std::uint8_t> takeWrites() {
        std::vector<std::uint8_t> all;
        for (const auto& call : portA->calls) {
            if (call.what == "write") {
                all.insert(all.end(), call.bytes.begin(), call.bytes.end());
            }
        }
        portA->calls.clear();
        return all;
    }

    std::ostringstream diagnostics;
    FakeSerialPort* portA = nullptr;
    std::unique_ptr<link::Link> link;
    frames::ProtocolSettings protocol;
    FakeClock clock;
    FakeView view;
    std::unique_ptr<frames::FrameSender> sender;
    std::unique_ptr<FirmwareTransfer> transfer;
    std::filesystem::path folder;
};

}  // namespace

TEST_F(FirmwareTransferTest, StartFrameCarriesTheFamilyCountAndFlag) {
    view.targetFields = {true, frames::ModuleAddress{8, 77}};
    const auto path = image("RQW1\r\n", 128 * 1024);
    ASSERT_EQ(transfer->start(path), FirmwareTransfer::StartResult::Started);
    EXPECT_EQ(toHex(takeWrites()),
              toHex(frames::buildCommandFrame(17, 0x8000004D, 1023, 0xFF, 0, 0)));
    EXPECT_EQ(view.blockCount, 1024u);
    EXPECT_TRUE(transfer->running());

    const auto tooBig = image("RQW1\r\n", 128 * 1024 + 1, "big.bin");
    EXPECT_EQ(transfer->start(tooBig), FirmwareTransfer::StartResult::TooManyBlocks);
    EXPECT_TRUE(takeWrites().empty());
    EXPECT_FALSE(transfer->running());  // a failed restart stops the running transfer
}

TEST_F(FirmwareTransferTest, FamiliesTagsAndLimits) {
    view.targetFields = {true, frames::ModuleAddress{7, 1}};
    EXPECT_EQ(transfer->start(image("hvn \r\n", 128 * 432)),
              FirmwareTransfer::StartResult::Started);
    EXPECT_EQ(toHex(takeWrites()).substr(0, 26), "11 01 00 00 70 B0 01 82 00");
    EXPECT_EQ(transfer->start(image("HVN \r\n", 128 * 432 + 1, "b.bin")),
              FirmwareTransfer::StartResult::TooManyBlocks);
    EXPECT_EQ(transfer->start(image("DKM2\r\n", 10, "c.bin")),
              FirmwareTransfer::StartResult::WrongHeader);
    // A line feed as the fifth byte would shift the body by one: refused.
    EXPECT_EQ(transfer->start(image("HVN \n\n", 10, "e.bin")),
              FirmwareTransfer::StartResult::WrongHeader);
    // No type read since start-up: "DKM2" and 256 blocks.
    FirmwareTransfer fresh(*sender, clock, view);
    view.targetFields = {false, frames::ModuleAddress{7, 1}};
    EXPECT_EQ(fresh.start(image("dkm2\r\n", 128 * 256, "d.bin")),
              FirmwareTransfer::StartResult::Started);
    EXPECT_EQ(fresh.targetId(), 0xFFFFFFFFu);
    EXPECT_EQ(toHex(takeWrites()).substr(0, 26), "11 FF FF FF FF 00 01 81 01");
}

TEST_F(FirmwareTransferTest, HeaderMustBeTheTagOneByteAndALineFeed) {
    EXPECT_EQ(transfer->start(image("DKM2\n", 200)), FirmwareTransfer::StartResult::WrongHeader);
    EXPECT_EQ(transfer->start(image("DKM2xx\n", 200, "b.bin")),
              FirmwareTransfer::StartResult::WrongHeader);
    EXPECT_EQ(transfer->start(image("", 0, "empty.bin")),
              FirmwareTransfer::StartResult::WrongHeader);
    EXPECT_EQ(transfer->start((folder / "missing.bin").string()),
              FirmwareTransfer::StartResult::CannotOpen);
    EXPECT_EQ(transfer->start(folder.string()), FirmwareTransfer::StartResult::CannotOpen);
    EXPECT_TRUE(takeWrites().empty());
}

TEST_F(FirmwareTransferTest, AGoodImageClearsTheLastRefusal) {
    EXPECT_EQ(transfer->start(image("ABC1\r\n", 200)), FirmwareTransfer::StartResult::WrongHeader);
    EXPECT_TRUE(transfer->refusal().has_value());
    EXPECT_EQ(transfer->start(image("DKM2\r\n", 200, "good.bin")),
              FirmwareTransfer::StartResult::Started);
    EXPECT_FALSE(transfer->refusal().has_value());
}

TEST_F(FirmwareTransferTest, EmptyBodyAnnouncesNoBlocksAndEndsAtTheFirstDuePoll) {
    view.targetFields = {true, frames::ModuleAddress{8, 5}};
    link->setMultiplexed(true);
    ASSERT_EQ(transfer->start(image("RQW1 \n", 0)), FirmwareTransfer::StartResult::Started);
    EXPECT_EQ(toHex(takeWrites()).find("FF FF FF"), 21u);  // count field 0xFFFF, wrapped
    const auto sent = poll(4);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(toHex(sent[0].bytes), "02 02 83 10 03");
    EXPECT_EQ(sent[0].poll, 4u);
    EXPECT_FALSE(transfer->running());
    EXPECT_EQ(clock.sleeps.back(), std::chrono::milliseconds(10));
}

TEST_F(FirmwareTransferTest, BlocksLeaveAtTheFourthPollThenEverySpeedPolls) {
    for (const int speed : {2, 3, 4, 5}) {
        view.speedValue = speed;
        ASSERT_EQ(transfer->start(image("DKM2\r\n", 128 * 3)),
                  FirmwareTransfer::StartResult::Started);
        takeWrites();
        std::vector<std::size_t> headerPolls;
        for (const Sent& s : poll(40)) {
            if (s.bytes.size() == 11 && s.bytes[0] == 18) {
                headerPolls.push_back(s.poll);
            }
        }
        const std::size_t first = speed == 5 ? 5 : 4;
        const std::size_t step = static_cast<std::size_t>(speed);
        EXPECT_EQ(headerPolls, (std::vector<std::size_t>{first, first + step, first + 2 * step}))
            << "speed " << speed;
        EXPECT_FALSE(transfer->running());
    }
}

TEST_F(FirmwareTransferTest, ShortLastBlockIsPaddedWithZerosAndCheckedOverAll128Bytes) {
    protocol.crcStart = 0x1D0F;
    ASSERT_EQ(transfer->start(image("DKM2\r\n", 128 + 5)), FirmwareTransfer::StartResult::Started);
    takeWrites();
    const auto sent = poll(10);
    // header, block 0, header, block 1; the end marker goes nowhere on a direct link
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(toHex(sent[2].bytes),
              toHex(frames::buildCommandFrame(18, 0x500004D2, 1, 0x81, 2, 0x1D0F)));
    const std::vector<std::uint8_t>& block = sent[3].bytes;
    ASSERT_EQ(block.size(), 130u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(block[i], static_cast<std::uint8_t>((128 + i) * 7));
    }
    for (std::size_t i = 5; i < 128; ++i) {
        ASSERT_EQ(block[i], 0) << i;
    }
    EXPECT_TRUE(frames::crcMatches(std::span(block).first(128), block[128], block[129], 0x1D0F));
    EXPECT_EQ(view.blocks.back(), 1u);
    EXPECT_EQ(view.progress, (std::pair<std::uint32_t, std::uint32_t>{2, 2}));
}

TEST_F(FirmwareTransferTest, BodyOfWholeBlocksEndsOneIntervalAfterTheLastBlock) {
    link->setMultiplexed(true);
    ASSERT_EQ(transfer->start(image("DKM2\r\n", 256)), FirmwareTransfer::StartResult::Started);
    takeWrites();
    const auto sent = poll(20);
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[2].poll, 6u);  // second block header
    EXPECT_EQ(toHex(sent[4].bytes), "02 02 83 10 03");
    EXPECT_EQ(sent[4].poll, 8u);
}

TEST_F(FirmwareTransferTest, BlockOfDleBytesIsWrappedWholeOnTheMultiplexedLink) {
    link->setMultiplexed(true);
    const auto path = (folder / "dle.bin").string();
    std::ofstream(path, std::ios::binary) << "DKM2\r\n" << std::string(128, '\x10');
    ASSERT_EQ(transfer->start(path), FirmwareTransfer::StartResult::Started);
    takeWrites();
    const auto sent = poll(4);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_GE(sent[1].bytes.size(), 2u * 128 + 4);
    EXPECT_EQ(sent[1].bytes[0], 0x02);
    EXPECT_EQ(sent[1].bytes[1], 0x00);
}

TEST_F(FirmwareTransferTest, StatusRepliesAreShownOnlyWhenAwaitedFromTheTarget) {
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 0xFFFF, 0, 0, 0));
    EXPECT_TRUE(view.statuses.empty());  // nothing pending
    transfer->requestStatus();
    EXPECT_EQ(toHex(takeWrites()), toHex(frames::buildCommandFrame(19, 0x500004D2, 0, 0x81, 0, 0)));
    transfer->statusReply(frames::buildStandardFrame(20, 0x50000001, 0xFFFF, 0, 0, 0));
    EXPECT_TRUE(view.statuses.empty());  // another module
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 0xFFFF, 0, 0, 0));
    EXPECT_EQ(view.statuses, (std::vector{FirmwareStatus{FirmwareStatus::Kind::Complete}}));
    EXPECT_FALSE(transfer->statusPending());
    transfer->requestStatus();
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 0xFFFE, 1, 0, 0));
    transfer->requestStatus();
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 0x8000, 1, 0, 0));
    EXPECT_EQ(view.statuses,
              (std::vector{FirmwareStatus{FirmwareStatus::Kind::Complete},
                           FirmwareStatus{FirmwareStatus::Kind::Faulty},
                           FirmwareStatus{FirmwareStatus::Kind::MissingBlock, -32768}}));
    EXPECT_FALSE(transfer->running());
}

TEST_F(FirmwareTransferTest, MissingBlockIsResentAloneUnderAFreshHeader) {
    ASSERT_EQ(transfer->start(image("DKM2\r\n", 128 * 4)), FirmwareTransfer::StartResult::Started);
    poll(30);
    takeWrites();
    transfer->requestStatus();
    takeWrites();
    // bp 0, or a number beyond the count, does not resend
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 2, 0, 0, 0));
    transfer->requestStatus();
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 4, 1, 0, 0));
    EXPECT_FALSE(transfer->running());
    transfer->requestStatus();
    takeWrites();
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 2, 1, 0, 0));
    EXPECT_TRUE(transfer->running());
    protocol.frameSequence = 200;
    const auto sent = poll(3);
    ASSERT_EQ(sent.size(), 2u);  // header and block, no end marker
    EXPECT_EQ(sent[0].poll, 1u);
    EXPECT_EQ(toHex(sent[0].bytes),
              toHex(frames::buildCommandFrame(18, 0x500004D2, 2, 0x81, 200, 0)));
    EXPECT_EQ(sent[1].bytes[0], static_cast<std::uint8_t>(256 * 7));
    EXPECT_FALSE(transfer->running());
    EXPECT_EQ(clock.sleeps.size(), 1u);  // only the first transfer's end marker pause
}

TEST_F(FirmwareTransferTest, StopDuringAResendSendsNothing) {
    ASSERT_EQ(transfer->start(image("DKM2\r\n", 128 * 4)), FirmwareTransfer::StartResult::Started);
    poll(30);
    transfer->requestStatus();
    transfer->statusReply(frames::buildStandardFrame(20, 0x500004D2, 1, 1, 0, 0));
    takeWrites();
    transfer->stop();
    EXPECT_TRUE(poll(5).empty());
}

TEST_F(FirmwareTransferTest, RestartWithAnImageThatCannotBeOpenedLeavesTheTransferRunning) {
    ASSERT_EQ(transfer->start(image("DKM2\r\n", 128 * 4)), FirmwareTransfer::StartResult::Started);
    EXPECT_EQ(transfer->start((folder / "gone.bin").string()),
              FirmwareTransfer::StartResult::CannotOpen);
    EXPECT_TRUE(transfer->running());
}

TEST_F(FirmwareTransferTest, NoNamedModuleBroadcastsTheBlocksAndSilencesStatusAndReboot) {
    view.targetFields = {true, std::nullopt};
    ASSERT_EQ(transfer->start(image("DKM2\r\n", 10)), FirmwareTransfer::StartResult::Started);
    EXPECT_EQ(transfer->targetId(), 0xFFFFFFFFu);
    takeWrites();
    transfer->requestStatus();
    transfer->reboot();
    EXPECT_TRUE(takeWrites().empty());
    view.targetFields = {true, frames::ModuleAddress{7, 9}};
    transfer->requestStatus();
    transfer->reboot();
    const auto bytes = takeWrites();
    ASSERT_EQ(bytes.size(), 22u);
    EXPECT_EQ(bytes[7], 0x82);   // status flag of type 7
    EXPECT_EQ(bytes[16], 1);     // reboot: WordPar 1
    EXPECT_EQ(bytes[18], 0x82);  // reboot flag by the stored type 7
}

TEST_F(FirmwareTransferTest, SequenceByteIsSharedWithOtherSenders) {
    protocol.frameSequence = 254;
    ASSERT_EQ(transfer->start(image("DKM2\r\n", 10)), FirmwareTransfer::StartResult::Started);
    sender->SendCommandFrame(15, 1, 0, 0, protocol.nextSequence());
    takeWrites();
    const auto sent = poll(4);
    EXPECT_EQ(sent[0].bytes[8], 0);  // block header after 254 (start) and 255 (VER)
}
