// The gateway's queue on disk: order, persistence, acknowledgement, its bound, a full disk.
#include "gateway/value_queue.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <stdexcept>
#include <vector>

#include "support/temp_folder.h"

namespace qrt::gateway {
namespace {

using qrt::testing::TempFolder;

receive::Measurement counted(std::int32_t count) {
    receive::Measurement m;
    m.time = {1'765'000'000'000 + count, 3600};
    m.source.module = {5, 1234};
    m.channel = "Count1";
    m.raw = count;
    m.unit = receive::Unit::Count;
    return m;
}

void addCounts(ValueQueue& queue, std::int32_t from, std::int32_t to) {
    for (std::int32_t count = from; count <= to; ++count) {
        const receive::Measurement m = counted(count);
        queue.add({&m, 1});
    }
    queue.commit();
}

std::unique_ptr<ValueQueue> openQueue(const std::string& folder, std::uint64_t limit) {
    auto opened = ValueQueue::open(folder, limit);
    if (const auto* failure = common::failureOf(opened)) {
        throw std::runtime_error(failure->reason);  // the test fails with the reason
    }
    return std::get<std::unique_ptr<ValueQueue>>(std::move(opened));
}

std::vector<std::int32_t> waiting(ValueQueue& queue) {
    std::vector<std::int32_t> raws;
    for (const StoredValue& value : queue.next(0, 100'000)) {
        raws.push_back(value.raw);
    }
    return raws;
}

TEST(ValueQueue, KeepsValuesInOrderAcrossARestartUntilAcknowledged) {
    TempFolder folder("qrt_queue");
    {
        const auto opened = openQueue(folder.path().string(), 1 << 30);
        ValueQueue& queue = *opened;
        addCounts(queue, 1, 3);
        const std::vector<StoredValue> values = queue.next(0, 10);
        ASSERT_EQ(values.size(), 3U);
        EXPECT_EQ(values[0].channel, "Count1");
        EXPECT_EQ(values[0].time.utcOffsetSeconds, 3600);
        EXPECT_EQ(values[0].time.utcMilliseconds, 1'765'000'000'001);
        EXPECT_EQ(values[0].raw, 1);
        EXPECT_EQ(values[0].unit, receive::Unit::Count);
        EXPECT_EQ(values[0].scale, 1.0);
        EXPECT_EQ(values[0].source.text(), "5.1234");
        EXPECT_EQ(queue.next(values[1].id, 10).size(), 1U);
        queue.remove(values[0].id);
        queue.keepRetained("t", "old");
        queue.keepRetained("t", "new");
        queue.commit();
    }
    const auto opened = openQueue(folder.path().string(), 1 << 30);
    ValueQueue& queue = *opened;
    EXPECT_EQ(waiting(queue), (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(queue.size(), 2);
    ASSERT_EQ(queue.pendingRetained().size(), 1U);
    EXPECT_EQ(queue.pendingRetained()[0].payload, "new");
    queue.retainedSent({"t", "old"});  // acknowledged after a newer payload took its place
    EXPECT_EQ(queue.pendingRetained().size(), 1U);
    queue.retainedSent({"t", "new"});
    EXPECT_TRUE(queue.pendingRetained().empty());
    EXPECT_EQ(queue.retainedTopics(), std::vector<std::string>{"t"});
}

TEST(ValueQueue, KeepsWhereEachValueCameFrom) {
    TempFolder folder("qrt_queue");
    const auto opened = openQueue(folder.path().string(), 1 << 30);
    ValueQueue& queue = *opened;
    using Kind = receive::ValueSource::Kind;
    const receive::ValueSource sources[] = {{.kind = Kind::Module, .module = {5, 1234}},
                                            {.kind = Kind::ShortTelegram, .module = {0, 7}},
                                            {.kind = Kind::Archive, .module = {6, 16}}};
    for (const receive::ValueSource& source : sources) {
        receive::Measurement m = counted(1);
        m.source = source;
        queue.add({&m, 1});
    }
    queue.commit();
    const std::vector<StoredValue> values = queue.next(0, 10);
    ASSERT_EQ(values.size(), 3U);
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].source, sources[i]) << i;
    }
}

TEST(ValueQueue, BeyondItsLimitDropsTheOldestAndCountsThem) {
    TempFolder folder("qrt_queue");
    const auto opened = openQueue(folder.path().string(), 64 * 1024);
    ValueQueue& queue = *opened;
    for (std::int32_t from = 1; from <= 20'000; from += 1000) {
        addCounts(queue, from, from + 999);
    }
    const std::vector<std::int32_t> kept = waiting(queue);
    ASSERT_FALSE(kept.empty());
    EXPECT_GT(queue.dropped(), 0U);
    EXPECT_EQ(kept.size() + queue.dropped(), 20'000U);
    EXPECT_EQ(kept.front(), static_cast<std::int32_t>(queue.dropped()) + 1);
    EXPECT_EQ(kept.back(), 20'000);
}

TEST(ValueQueue, AFullDiskDropsValuesCountedAndTheQueueGoesOnWhenThereIsRoom) {
    TempFolder folder("qrt_queue");
    const auto opened = openQueue(folder.path().string(), 1 << 30);
    ValueQueue& queue = *opened;
    addCounts(queue, 1, 10);
    // No file may grow beyond 64 KiB now: the write-ahead log fills as a disk would.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = saved;
    full.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &full);
    addCounts(queue, 11, 5000);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_GT(queue.dropped(), 0U);
    EXPECT_FALSE(queue.failure().empty());
    addCounts(queue, 5001, 5001);
    const std::vector<std::int32_t> kept = waiting(queue);
    EXPECT_EQ(static_cast<std::int64_t>(kept.size()), queue.size());
    EXPECT_EQ(kept.size() + queue.dropped(), 5001U);
    EXPECT_EQ(kept.back(), 5001);
}

}  // namespace
}  // namespace qrt::gateway
