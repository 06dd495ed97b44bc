#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/failure.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qrt::gateway {

/// The queue's SQLite database in its folder (write-ahead log, every commit synced),
/// checked when it is opened: the folder and the file private to the gateway's user, a
/// database and not a file of something else, undamaged, its tables made when missing.
/// Rows no value or retained message can be made of (a NULL, text where a number
/// belongs, a unit or source kind the gateway does not know) are removed and counted.
class QueueDatabase {
  public:
    /// The file's name in the queue's folder.
    static constexpr const char* kFileName = "queue.sqlite";

    /// Opens (or creates) the database in `folder`, or says why it cannot be used: the
    /// folder cannot be made or written, the file is no database or is damaged.
    [[nodiscard]] static common::Result<std::unique_ptr<QueueDatabase>> open(
        const std::string& folder);
    ~QueueDatabase();
    QueueDatabase(const QueueDatabase&) = delete;
    QueueDatabase& operator=(const QueueDatabase&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    /// A statement, or null when the tables have another layout than the gateway's.
    [[nodiscard]] sqlite3_stmt* prepare(const char* sql);
    bool execute(const char* sql);
    /// The first column of the first row of `sql`; 0 when there is none.
    [[nodiscard]] std::int64_t number(const char* sql);
    /// Runs a statement that changes the database and resets it; false when refused.
    bool step(sqlite3_stmt* statement);
    /// Rows the last statement changed.
    [[nodiscard]] std::int64_t changes() const;
    /// Whether a transaction is open (SQLite ends one on its own after some failures).
    [[nodiscard]] bool inTransaction() const;
    /// Why the last call failed: SQLite's words with the system's reason, if it gave one
    /// ("disk I/O error (File too large)").
    [[nodiscard]] std::string lastError() const;

    /// Rows removed at the opening because nothing could be made of them.
    [[nodiscard]] std::uint64_t repairedRows() const { return repairedRows_; }

  private:
    explicit QueueDatabase(std::string path) : path_(std::move(path)) {}
    /// Opens the file, makes the tables, checks and repairs them; the reason when not.
    [[nodiscard]] std::optional<std::string> openFile();
    void repair();

    std::string path_;
    sqlite3* db_ = nullptr;
    std::uint64_t repairedRows_ = 0;
};

}  // namespace qrt::gateway
