#include "archive/archive_retrieval.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "archive/record_search.h"
#include "frames/byte_order.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"
#include "support/recording_sink.h"
#include "support/simulated_installation.h"

using namespace qrt;
using namespace qrt::archive;
using namespace qrt::testing;
using namespace std::chrono;

namespace {

using End = RetrievalOutcome::End;

struct FakeRetrievalView final : RetrievalView {
    void showModule(const std::optional<frames::ModuleAddress>& shown) override { module = shown; }
    void showBusy() override { busy = true; }
    void showProgress(std::uint32_t received, std::uint32_t total) override {
        progress = {received, total};
        totals.insert(total);
    }
    std::optional<frames::ModuleAddress> module;
    bool busy = false;
    std::pair<std::uint32_t, std::uint32_t> progress;
    std::set<std::uint32_t> totals;  // every total the progress was shown against
};

RetrievalRequest inductiveFrom(DateTimeValue start) {
    RetrievalRequest request;
    request.selectedStart = start;
    return request;
}

// A logging module 6.16 on the inductive head (and reachable by radio).
sim::ModuleConfig logger(std::uint32_t rows, std::uint16_t config = 0x0001,
                         std::uint32_t rowsPerRecord = 60) {
    sim::ModuleConfig c;
    c.address = {6, 16};
    c.archive.rows = rows;
    c.archive.config = config;
    c.archive.rowsPerRecord = rowsPerRecord;
    c.archive.start = sys_days{year(2026) / 1 / 1};
    return c;
}

class ArchiveRetrievalTest : public ::testing::Test {
  protected:
    void build(const std::vector<sim::ModuleConfig>& modules) {
        auto a = std::make_unique<FakeSerialPort>();
        auto b = std::make_unique<FakeSerialPort>();
        portA = a.get();
        portB = b.get();
        link = std::make_unique<link::Link>(std::move(a), std::move(b), diagnostics);
        EXPECT_TRUE(link->OpenPort(link::Port::A, "a", 19200, 0));
        EXPECT_TRUE(link->OpenPort(link::Port::B, "b", 1200, 0));
        sender = std::make_unique<frames::FrameSender>(*link, protocol, clock);
        poller = std::make_unique<receive::Poller>(*link, protocol, clock, store);
        attached = poller->attach({.lines = &sink});
        retrieval = std::make_unique<ArchiveRetrieval>(*sender, clock, *poller, store, view);
        sim::SimOptions options;
        options.headModule = frames::ModuleAddress{6, 16};
        installation = std::make_unique<SimulatedInstallation>(*portA, *portB, options, modules);
    }

    /// The block requests written (first block, count), in order.
    std::vector<std::pair<int, int>> batchRequests() const {
        std::vector<std::pair<int, int>> batches;
        for (const std::string& line : installation->log) {
            const auto at = line.find(" wp 0x");
            if (line.find("< NVR") != std::string::npos && at != std::string::npos &&
                line.find(" bp 1") != std::string::npos) {
                const int wp = std::stoi(line.substr(at + 6, 4), nullptr, 16);
                const int bp = std::stoi(line.substr(line.find(" bp ") + 4));
                if (bp > 0x80) {
                    batches.emplace_back(wp, bp - 0x80);
                }
            }
        }
        return batches;
    }

    DateTimeValue startAt(int y, unsigned m, unsigned d, int h = 0) const {
        return *encodeDate(y, static_cast<int>(m), static_cast<int>(d)) + h / 24.0;
    }

    std::ostringstream diagnostics;
    FakeSerialPort* portA = nullptr;
    FakeSerialPort* portB = nullptr;
    std::unique_ptr<link::Link> link;
    frames::ProtocolSettings protocol;
    FakeClock clock;
    RecordingSink sink;
    receive::ArchiveStore store;
    std::unique_ptr<frames::FrameSender> sender;
    std::unique_ptr<receive::Poller> poller;
    common::Attachment attached;
    FakeRetrievalView view;
    std::unique_ptr<ArchiveRetrieval> retrieval;
    std::unique_ptr<SimulatedInstallation> installation;
    RetrievalOutcome outcome;
};

}  // namespace

TEST_F(ArchiveRetrievalTest, NewestBlock3UnwrappedIsOneBatch) {
    build({logger(96, 0x0001, 1000)});  // 4 header words and 96 rows: write position 100
    outcome = retrieval->retrieve(inductiveFrom(0));
    EXPECT_EQ(outcome.end, End::Exportable);
    EXPECT_EQ(outcome.read.writeWord, 100u);
    EXPECT_EQ(outcome.read.newestBlock, 3u);
    EXPECT_FALSE(outcome.read.wrapped);
    EXPECT_EQ(batchRequests(), (std::vector<std::pair<int, int>>{{0, 4}}));
    EXPECT_EQ(view.module, (frames::ModuleAddress{6, 16}));
    EXPECT_TRUE(view.busy);
    EXPECT_EQ(outcome.read.firstRecord, 0);
    EXPECT_EQ(shortDate(outcome.read.recordTime) + " " + longTime(outcome.read.recordTime),
              "01.01.2026 00:00:00");
    EXPECT_EQ(view.progress, (std::pair<std::uint32_t, std::uint32_t>{4, 4}));
    // The logger block decoder's record state was reset after the wrap check.
    EXPECT_EQ(poller->logger().valueIndex, -1);
}

TEST_F(ArchiveRetrievalTest, NewestBlock128ReadsDownToBlock0) {
    build({logger(4076, 0x0001, 1000)});  // 5 headers and 4,076 rows: write position 0x1000
    outcome = retrieval->retrieve(inductiveFrom(0));
    EXPECT_EQ(outcome.read.newestBlock, 128u);
    bool wrapCheck = false;
    for (const auto& line : installation->log) {
        wrapCheck = wrapCheck || line.find("NVR wp 0x40FF bp 68") != std::string::npos;
    }
    EXPECT_TRUE(wrapCheck);
    EXPECT_EQ(batchRequests(), (std::vector<std::pair<int, int>>{{65, 64}, {1, 64}, {0, 1}}));
    EXPECT_EQ(outcome.end, End::Exportable);
}

TEST_F(ArchiveRetrievalTest, StopRuleEndsOnceARecordIsOlderThanTheSelectedStart) {
    build({logger(4076, 0x0001, 1000)});
    // Records of 1,000 rows a minute apart from 1 January 00:00: the first header behind
    // block 65 is of 2 January 02:00, the one behind block 1 of 1 January 16:40, older
    // than the selected start, which ends the reading.
    outcome = retrieval->retrieve(inductiveFrom(startAt(2026, 1, 1, 20)));
    EXPECT_EQ(batchRequests(), (std::vector<std::pair<int, int>>{{65, 64}, {1, 64}}));
    // The progress counts against the blocks the ring may hold from the start: a read
    // that stops early stops short of its total instead of changing it.
    EXPECT_EQ(view.totals, std::set<std::uint32_t>{129});
    EXPECT_EQ(view.progress, (std::pair<std::uint32_t, std::uint32_t>{128, 129}));
}

TEST_F(ArchiveRetrievalTest, WrappedRingIsReadDownAndRoundFromBlock2043) {
    // 65,408 + 330 words: the ring wrapped once; newest block 10.
    build({logger(65408 + 330 - 4 * 66, 0x0001, 1000)});
    outcome = retrieval->retrieve(inductiveFrom(0));
    EXPECT_TRUE(outcome.read.wrapped);
    EXPECT_EQ(outcome.read.newestBlock, 10u);
    const auto batches = batchRequests();
    ASSERT_GE(batches.size(), 3u);
    EXPECT_EQ(batches[0], (std::pair<int, int>{0, 11}));
    EXPECT_EQ(batches[1], (std::pair<int, int>{1980, 64}));
    EXPECT_EQ(batches.back(), (std::pair<int, int>{11, 1980 - 64 * 30 - 11}));
    EXPECT_EQ(outcome.read.blocksReceived, 2044u);
    EXPECT_EQ(outcome.end, End::Exportable);
}

TEST_F(ArchiveRetrievalTest, WrappedRingWithNewestBlock2043AsksForNoEmptyBatch) {
    build({logger(65408 * 2 - 32 - 4 * 131, 0x0001, 1000)});
    outcome = retrieval->retrieve(inductiveFrom(0));
    ASSERT_EQ(outcome.read.newestBlock, 2043u);
    for (const auto& [first, count] : batchRequests()) {
        EXPECT_GT(count, 0) << first;
    }
    EXPECT_EQ(outcome.end, End::Exportable);
}

TEST_F(ArchiveRetrievalTest, LostBlocksAreAskedForOneByOne) {
    auto module = logger(96, 0x0001, 1000);
    module.loseArchiveBlocks = {1, 2};
    build({module});
    outcome = retrieval->retrieve(inductiveFrom(0));
    int singles = 0;
    for (const auto& line : installation->log) {
        singles += line.find("bp 129") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(singles, 2);
    EXPECT_EQ(outcome.end, End::Exportable);
    EXPECT_EQ(outcome.read.blocksReceived, 4u);
}

TEST_F(ArchiveRetrievalTest, NoAnswerIsNoResponseAndTheTenthPollCountsAsNone) {
    build({});
    EXPECT_EQ(retrieval->retrieve(inductiveFrom(0)).end, End::NoResponse);
    EXPECT_TRUE(view.busy);

    // The info reply arriving in the tenth poll of its wait.
    portA->onWrite = nullptr;
    for (int i = 0; i < 9; ++i) {
        portA->queueInput({});
    }
    const auto late = frames::buildStandardFrame(2, 0x60000010, 100, 0x43, 0, 0);
    portA->queueInput({late.begin(), late.end()});
    EXPECT_EQ(retrieval->retrieve(inductiveFrom(0)).end, End::NoResponse);
}

TEST_F(ArchiveRetrievalTest, RadioRequestsNeedAModuleAndPause100msBetweenThem) {
    build({logger(96, 0x0001, 1000)});
    for (const auto& module :
         {std::optional<frames::ModuleAddress>{}, std::optional(frames::ModuleAddress{6, 0}),
          std::optional(frames::ModuleAddress{0, 16})}) {
        EXPECT_EQ(retrieval->retrieve({.radio = true, .module = module}).end, End::NotAsked);
    }
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(installation->log.empty());
    clock.sleeps.clear();
    EXPECT_EQ(retrieval->retrieve({.radio = true, .module = frames::ModuleAddress{6, 16}}).end,
              End::Exportable);
    EXPECT_NE(installation->log[0].find("A< NVR id 6.16 wp 0x0000 bp 67"), std::string::npos);
    EXPECT_EQ(clock.sleeps.front(), milliseconds(100));  // the first info wait, no pause before
    EXPECT_EQ(batchRequests(), (std::vector<std::pair<int, int>>{{0, 4}}));
    EXPECT_NE(installation->log.back().find("logger block 3"), std::string::npos);
}

TEST_F(ArchiveRetrievalTest, WritePositionOutsideTheRingIsNoResponse) {
    build({});
    portA->onWrite = [this](const std::vector<std::uint8_t>&) {
        const auto reply = frames::buildStandardFrame(2, 0x60000010, 65408, 0x43, 0, 0);
        portA->queueInput({reply.begin(), reply.end()});
    };
    EXPECT_EQ(retrieval->retrieve(inductiveFrom(0)).end, End::NoResponse);
}

TEST_F(ArchiveRetrievalTest, InvalidRecordDateEndsInRedWithTheReason) {
    build({logger(96, 0x0001, 1000)});
    // Corrupt the header's date word in the module's copy through a lost-and-forged block:
    // answer block 0 ourselves with a header of month 13.
    portA->onWrite = nullptr;
    auto reply = [&](std::uint8_t type, std::uint16_t wp, std::uint8_t bp) {
        const auto f = frames::buildStandardFrame(type, 0x60000010, wp, bp, 0, 0);
        portA->queueInput({f.begin(), f.end()});
    };
    portB->onWrite = [&](const std::vector<std::uint8_t>& bytes) {
        const std::uint8_t bp = bytes[3];
        if (bp == 0x43) {
            reply(2, 10, 0x43);
        } else if (bp == 0x44) {
            reply(2, 0xFFFF, 0x44);
        } else {
            reply(22, 0, 0);
            frames::LoggerWords words{};
            words.fill(0xFFFF);
            words[0] = 0x44ED;
            words[1] = 0x0097;
            words[2] = 0x1FAD;
            words[3] = 0x0001;
            words[4] = 0x0866;
            const auto block = frames::buildLoggerBlock(words, 0);
            portA->queueInput({block.begin(), block.end()});
        }
    };
    outcome = retrieval->retrieve(inductiveFrom(0));
    EXPECT_EQ(outcome.end, End::DateError);
    EXPECT_NE(outcome.dateError.find("12.13.2015"), std::string::npos);
    EXPECT_EQ(outcome.read.firstRecord, -1);
}
