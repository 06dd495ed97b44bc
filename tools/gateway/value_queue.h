#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/failure.h"
#include "receive/measurement.h"

struct sqlite3;
struct sqlite3_stmt;

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
};

/// A retained message (a channel's last value, a discovery configuration) not yet
/// acknowledged by the broker.
struct RetainedMessage {
    std::string topic;
    std::string payload;
};

/// The gateway's queue on disk (SQLite in write-ahead-log mode, every commit synced):
/// every value goes in before it is published and leaves it once the broker has
/// acknowledged it, so neither a broker away nor a crash, a power loss or SIGKILL loses
/// one. Bounded: beyond its limit the oldest values are dropped and counted.
class ValueQueue {
  public:
    /// Opens (or creates) the queue in `folder`, or says why it cannot be used.
    [[nodiscard]] static common::Result<std::unique_ptr<ValueQueue>> open(const std::string& folder,
                                                                          std::uint64_t limitBytes);
    ~ValueQueue();
    ValueQueue(const ValueQueue&) = delete;
    ValueQueue& operator=(const ValueQueue&) = delete;

    /// The reason the queue last failed to write; empty otherwise.
    [[nodiscard]] const std::string& failure() const { return failure_; }

    /// Adds values (kept in the transaction until `commit`). Values the disk does not
    /// take are counted as dropped.
    void add(std::span<const receive::Measurement> values);
    /// Keeps a retained message to publish; a newer one for the topic replaces it.
    void keepRetained(const std::string& topic, const std::string& payload);
    /// Makes everything added and removed since the last commit durable, then drops the
    /// oldest values while the queue is beyond its limit.
    void commit();

    /// Up to `limit` values after row `afterId`, oldest first.
    [[nodiscard]] std::vector<StoredValue> next(std::int64_t afterId, std::size_t limit);
    /// Removes a value the broker acknowledged.
    void remove(std::int64_t id);
    /// The retained messages not yet acknowledged, and the acknowledgement of one (unless a
    /// newer payload took its place meanwhile).
    [[nodiscard]] std::vector<RetainedMessage> pendingRetained();
    void retainedSent(const RetainedMessage& message);
    /// The topics of every retained message kept (a discovery configuration sent once).
    [[nodiscard]] std::vector<std::string> retainedTopics();

    /// Values waiting.
    [[nodiscard]] std::int64_t size() const { return size_; }
    /// Values dropped since the queue was opened (full queue, full disk).
    [[nodiscard]] std::uint64_t dropped() const { return dropped_; }

  private:
    explicit ValueQueue(std::uint64_t limitBytes) : limitBytes_(limitBytes) {}
    /// Opens the database at `path` and prepares the statements; the reason when not.
    std::optional<std::string> openDatabase(const std::string& path);
    bool execute(const char* sql);
    void begin();
    sqlite3_stmt* prepare(const char* sql);
    /// Runs a statement that changes the queue; on failure keeps the reason.
    bool step(sqlite3_stmt* statement);
    void transactionLost();
    void dropOldest();
    [[nodiscard]] std::int64_t number(const char* sql);

    sqlite3* db_ = nullptr;
    std::uint64_t limitBytes_;
    std::string failure_;
    bool inTransaction_ = false;
    std::uint64_t dropped_ = 0;
    std::int64_t size_ = 0;
    std::uint64_t uncommitted_ = 0;  // values added in the open transaction
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* select_ = nullptr;
    sqlite3_stmt* delete_ = nullptr;
    sqlite3_stmt* retain_ = nullptr;
    sqlite3_stmt* retained_ = nullptr;
    sqlite3_stmt* sent_ = nullptr;
};

}  // namespace qrt::gateway
