#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/failure.h"
#include "gateway/queue_database.h"
#include "gateway/retained_messages.h"
#include "receive/measurement.h"

namespace qrt::gateway {

/// A value as the queue keeps it: the measurement with its channel text owned.
struct StoredValue {
    std::int64_t id = 0;  // the queue's order: values leave it oldest first
    common::Timestamp time{};
    receive::ValueSource source{};
    std::string channel;  // with its number: "Temp1", "Sample 100"
    std::int32_t raw = 0;
    double scale = 1.0;
    receive::Unit unit = receive::Unit::Raw;

    [[nodiscard]] static StoredValue of(const receive::Measurement& measurement);
};

/// The gateway's queue: every value goes in before it is published and leaves it once the
/// broker has acknowledged it, so neither a broker away nor a crash, a power loss or
/// SIGKILL loses one. On disk (SQLite, every commit synced), bounded by its limit: beyond
/// it the oldest values are dropped and counted. Values the disk does not take (a full
/// disk, the file size limit) wait in memory, in order, are published from there, and go
/// to disk once it has room; only when that memory is full too are the oldest dropped.
class ValueQueue {
  public:
    /// Values kept in memory at most while the disk takes none (about 10 MB).
    static constexpr std::size_t kMemoryLimit = 100'000;

    /// Opens (or creates) the queue in `folder`, or says why it cannot be used.
    [[nodiscard]] static common::Result<std::unique_ptr<ValueQueue>> open(const std::string& folder,
                                                                          std::uint64_t limitBytes);
    ~ValueQueue();
    ValueQueue(const ValueQueue&) = delete;
    ValueQueue& operator=(const ValueQueue&) = delete;

    /// Why the disk refused the last write; empty while it takes them.
    [[nodiscard]] const std::string& failure() const { return failure_; }
    /// Why values were dropped last: the queue at its limit, or the disk and the memory
    /// both full.
    [[nodiscard]] const std::string& dropReason() const { return dropReason_; }

    /// Adds values, on disk with the next `commit` or else in memory.
    void add(std::span<const receive::Measurement> values);
    /// Keeps a retained message to publish; a newer one for the topic replaces it.
    void keepRetained(const std::string& topic, const std::string& payload);
    /// Makes everything added and removed since the last commit durable (with what waited
    /// in memory and the removals the disk refused before), then drops the oldest values
    /// while the queue is beyond its limit.
    void commit();
    /// Commits until nothing waits in memory any more, or the disk takes no more (a stop).
    void commitAll();

    /// Up to `limit` values after row `afterId`, oldest first.
    [[nodiscard]] std::vector<StoredValue> next(std::int64_t afterId, std::size_t limit);
    /// Removes a value the broker acknowledged; a removal the disk refuses is made again at
    /// each commit, and the value is not handed out again meanwhile.
    void remove(std::int64_t id);
    /// The retained messages to send, and the acknowledgement of one (unless a newer
    /// payload took its place meanwhile).
    [[nodiscard]] std::vector<RetainedMessage> pendingRetained() const {
        return retained_->pending();
    }
    void retainedSent(const RetainedMessage& message) { retained_->sent(message); }
    /// Keeps no more the retained message for `topic`; the broker's stays.
    void forgetRetained(const std::string& topic) { retained_->forget(topic); }
    /// Every retained message is to be sent again (a new connection).
    void sendRetainedAgain() { retained_->sendAllAgain(); }
    /// The topics of every retained message kept.
    [[nodiscard]] std::vector<std::string> retainedTopics() const { return retained_->topics(); }

    /// Values waiting, on disk and in memory.
    [[nodiscard]] std::int64_t size() const;
    /// Values waiting in memory.
    [[nodiscard]] std::size_t inMemory() const { return memory_.size() - movedToDisk_.size(); }
    /// When the oldest waiting value was measured; none when none waits.
    [[nodiscard]] std::optional<common::Timestamp> oldestWaiting();
    /// Values dropped since the queue was opened (full queue, full disk and memory,
    /// damaged rows).
    [[nodiscard]] std::uint64_t dropped() const { return dropped_; }
    /// Damaged rows removed when the queue was opened.
    [[nodiscard]] std::uint64_t repaired() const { return db_->repairedRows(); }
    /// The database the queue lives in, which keeps the gateway's other records too.
    [[nodiscard]] QueueDatabase& database() { return *db_; }
    /// A new bound for the disk, applied at the next commit.
    void setLimit(std::uint64_t limitBytes) { limitBytes_ = limitBytes; }

  private:
    ValueQueue(std::unique_ptr<QueueDatabase> db, std::uint64_t limitBytes)
        : db_(std::move(db)), limitBytes_(limitBytes) {}
    /// Prepares the statements; the reason when the tables refuse them.
    std::optional<std::string> prepare();
    /// Opens a transaction unless one is open; false when SQLite had ended the one that held
    /// this commit's changes on its own, which are then taken back (see transactionLost).
    bool begin();
    /// Writes a value into the open transaction; false when the disk refused it.
    bool insert(const StoredValue& value);
    void keepInMemory(StoredValue value);
    void saveMemory();
    void retryRemovals();
    void committed(bool retainedSaved);
    void transactionLost();
    void dropOldest();

    std::unique_ptr<QueueDatabase> db_;
    std::unique_ptr<RetainedMessages> retained_;
    std::uint64_t limitBytes_;
    std::string failure_;
    std::string dropReason_;
    std::uint64_t dropped_ = 0;
    std::int64_t nextId_ = 1;
    std::int64_t onDisk_ = 0;                     // rows on disk as the transaction leaves them
    std::vector<StoredValue> uncommitted_;        // added to disk in the open transaction
    std::vector<std::int64_t> movedToDisk_;       // from memory to disk in the open transaction
    std::vector<std::int64_t> removedInCommit_;   // removed from disk in the open transaction
    std::map<std::int64_t, StoredValue> memory_;  // what the disk did not take, in order
    std::set<std::int64_t> removalsDue_;          // acknowledged, still on disk
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* select_ = nullptr;
    sqlite3_stmt* delete_ = nullptr;
};

}  // namespace qrt::gateway
