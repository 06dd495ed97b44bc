// The gateway's queue: order, persistence, acknowledgement, its bound, a full disk and the
// memory behind it, damaged rows, and what cannot hold a queue.
#include "gateway/value_queue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <vector>

#include "support/file_size_limit.h"
#include "support/temp_folder.h"

namespace qrt::gateway {
namespace {

using qrt::testing::FileSizeLimit;
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
    const auto opened = openQueue(folder.path().string(), 128 * 1024);
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

TEST(ValueQueue, WhatTheDiskDoesNotTakeWaitsInMemoryInOrderUntilThereIsRoom) {
    TempFolder folder("qrt_queue");
    {
        const auto opened = openQueue(folder.path().string(), 1 << 30);
        ValueQueue& queue = *opened;
        addCounts(queue, 1, 10);
        {
            // No file may grow beyond 64 KiB now: the write-ahead log fills as a disk would.
            const FileSizeLimit full(64 * 1024);
            addCounts(queue, 11, 5000);
            EXPECT_GT(queue.inMemory(), 0U);
            EXPECT_FALSE(queue.failure().empty());
            for (const StoredValue& value : queue.next(0, 3)) {
                queue.remove(value.id);  // acknowledged while the disk refuses the removal
            }
            queue.commit();
            EXPECT_EQ(waiting(queue).front(), 4);
            EXPECT_EQ(queue.size(), 4997);
        }
        queue.commitAll();
        EXPECT_EQ(queue.inMemory(), 0U);
        EXPECT_TRUE(queue.failure().empty());
        EXPECT_EQ(queue.dropped(), 0U);
    }
    const auto reopened = openQueue(folder.path().string(), 1 << 30);
    const std::vector<std::int32_t> kept = waiting(*reopened);
    ASSERT_EQ(kept.size(), 4997U);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        ASSERT_EQ(kept[i], static_cast<std::int32_t>(i) + 4);
    }
}

TEST(ValueQueue, OnlyWhenDiskAndMemoryAreFullAreTheOldestDroppedWithTheReason) {
    TempFolder folder("qrt_queue");
    const auto opened = openQueue(folder.path().string(), 1 << 30);
    ValueQueue& queue = *opened;
    const FileSizeLimit full(64 * 1024);
    const std::int32_t last = static_cast<std::int32_t>(ValueQueue::kMemoryLimit) + 20'000;
    addCounts(queue, 1, last);
    EXPECT_GT(queue.dropped(), 0U);
    EXPECT_EQ(static_cast<std::uint64_t>(queue.size()) + queue.dropped(),
              static_cast<std::uint64_t>(last));
    EXPECT_EQ(waiting(queue).back(), last);
    EXPECT_NE(queue.dropReason().find("the disk takes no more"), std::string::npos)
        << queue.dropReason();
}

TEST(ValueQueue, DamagedRowsAreRemovedAndCountedAtTheOpening) {
    TempFolder folder("qrt_queue");
    addCounts(*openQueue(folder.path().string(), 1 << 30), 1, 3);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("queue.sqlite").c_str(), &db), SQLITE_OK);
    for (const char* damage : {
             "INSERT INTO retained(topic, payload, sent) VALUES(NULL, 'x', 0)",
             "INSERT INTO retained(topic, payload, sent) VALUES('t', NULL, 0)",
             "UPDATE value SET channel = NULL WHERE raw = 1",
             "UPDATE value SET unit = 99 WHERE raw = 2",
             "INSERT INTO value(utc_ms) VALUES(5)",
         }) {
        ASSERT_EQ(sqlite3_exec(db, damage, nullptr, nullptr, nullptr), SQLITE_OK) << damage;
    }
    sqlite3_close(db);
    const auto opened = openQueue(folder.path().string(), 1 << 30);
    EXPECT_EQ(opened->repaired(), 5U);
    EXPECT_EQ(waiting(*opened), std::vector<std::int32_t>{3});
    EXPECT_TRUE(opened->pendingRetained().empty());
}

TEST(ValueQueue, IsPrivateToItsUserAndRefusesWhatCannotHoldItWithTheReason) {
    TempFolder folder("qrt_queue");
    const auto made = openQueue(folder.file("new/queue"), 1 << 30);
    addCounts(*made, 1, 1);
    struct stat info {};
    ASSERT_EQ(::stat(folder.file("new/queue").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700U);
    for (const char* file : {"queue.sqlite", "queue.sqlite-wal"}) {
        ASSERT_EQ(::stat(folder.file(std::string("new/queue/") + file).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600U) << file;
    }

    struct Case {
        std::string folder;
        std::string reason;
    };
    std::ofstream(folder.file("plain")) << "x";
    ::mkdir(folder.file("locked").c_str(), 0500);
    ::mkdir(folder.file("noise").c_str(), 0700);
    std::ofstream(folder.file("noise/queue.sqlite")) << std::string(4096, '\x5a');
    for (const Case& c : {
             Case{folder.file("plain"), "is not a folder"},
             Case{folder.file("plain/q"), "cannot make the queue folder"},
             Case{folder.file("noise"), "file is not a database"},
             Case{folder.file("locked"), ::geteuid() == 0 ? "" : "Permission denied"},
         }) {
        const auto queue = ValueQueue::open(c.folder, 1 << 30);
        if (c.reason.empty()) {
            continue;  // root writes anywhere
        }
        ASSERT_NE(common::failureOf(queue), nullptr) << c.folder;
        EXPECT_NE(common::failureOf(queue)->reason.find(c.reason), std::string::npos)
            << common::failureOf(queue)->reason;
    }
}

}  // namespace
}  // namespace qrt::gateway
