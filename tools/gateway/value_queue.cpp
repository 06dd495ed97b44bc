#include "gateway/value_queue.h"

#include <sqlite3.h>

#include <filesystem>
#include <optional>

namespace qrt::gateway {

namespace {

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    "PRAGMA synchronous=FULL;"  // a commit is on disk before the broker sees its values
    "CREATE TABLE IF NOT EXISTS value("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, utc_ms INTEGER, utc_offset INTEGER,"
    " kind INTEGER, type INTEGER, serial INTEGER, channel TEXT, raw INTEGER, scale REAL,"
    " unit INTEGER);"
    "CREATE TABLE IF NOT EXISTS retained(topic TEXT PRIMARY KEY, payload TEXT, sent INTEGER);";

constexpr std::int64_t kDropBatch = 1000;  // values dropped at once while the queue is full

}  // namespace

common::Result<std::unique_ptr<ValueQueue>> ValueQueue::open(const std::string& folder,
                                                             std::uint64_t limitBytes) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string path = (std::filesystem::path(folder) / "queue.sqlite").string();
    std::unique_ptr<ValueQueue> queue(new ValueQueue(limitBytes));
    if (const auto problem = queue->openDatabase(path)) {
        return common::Failure{"cannot use the queue " + path + ": " + *problem};
    }
    return queue;
}

std::optional<std::string> ValueQueue::openDatabase(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK ||
        !execute(kSchema)) {
        std::string reason = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        return reason;
    }
    const std::pair<sqlite3_stmt**, const char*> statements[] = {
        {&insert_,
         "INSERT INTO value(utc_ms, utc_offset, kind, type, serial, channel, raw, scale, unit)"
         " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"},
        {&select_,
         "SELECT id, utc_ms, utc_offset, kind, type, serial, channel, raw, scale, unit"
         " FROM value WHERE id > ? ORDER BY id LIMIT ?"},
        {&delete_, "DELETE FROM value WHERE id = ?"},
        {&retain_, "INSERT OR REPLACE INTO retained(topic, payload, sent) VALUES(?, ?, 0)"},
        {&retained_, "SELECT topic, payload, sent FROM retained"},
        {&sent_, "UPDATE retained SET sent = 1 WHERE topic = ? AND payload = ?"},
    };
    for (const auto& [statement, sql] : statements) {
        *statement = prepare(sql);
        if (*statement == nullptr) {
            // Tables of another layout under our names: not a queue of ours.
            return std::string(sqlite3_errmsg(db_));
        }
    }
    size_ = number("SELECT count(*) FROM value");
    return std::nullopt;
}

ValueQueue::~ValueQueue() {
    if (db_ != nullptr) {
        commit();
        for (sqlite3_stmt* statement : {insert_, select_, delete_, retain_, retained_, sent_}) {
            sqlite3_finalize(statement);
        }
        sqlite3_close(db_);
    }
}

bool ValueQueue::execute(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* ValueQueue::prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
    return statement;
}

bool ValueQueue::step(sqlite3_stmt* statement) {
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    if (!done) {
        failure_ = sqlite3_errmsg(db_);
        if (inTransaction_ && sqlite3_get_autocommit(db_) != 0) {
            transactionLost();  // a full disk made SQLite roll the transaction back
        }
    }
    return done;
}

void ValueQueue::transactionLost() {
    // The transaction's values are lost, counted and reported; values it removed come
    // back and go again (QoS 1 allows a repeat).
    execute("ROLLBACK");  // harmless when SQLite rolled back already
    inTransaction_ = false;
    dropped_ += uncommitted_;
    uncommitted_ = 0;
    size_ = number("SELECT count(*) FROM value");
}

void ValueQueue::begin() {
    if (!inTransaction_) {
        inTransaction_ = execute("BEGIN");
    }
}

void ValueQueue::add(std::span<const receive::Measurement> values) {
    begin();
    for (const receive::Measurement& m : values) {
        sqlite3_stmt* s = insert_;
        sqlite3_bind_int64(s, 1, m.time.utcMilliseconds);
        sqlite3_bind_int(s, 2, m.time.utcOffsetSeconds);
        sqlite3_bind_int(s, 3, static_cast<int>(m.source.kind));
        sqlite3_bind_int64(s, 4, m.source.module.type);
        sqlite3_bind_int64(s, 5, m.source.module.serial);
        const std::string channel = m.channelText();
        sqlite3_bind_text(s, 6, channel.data(), static_cast<int>(channel.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 7, m.raw);
        sqlite3_bind_double(s, 8, m.scale);
        sqlite3_bind_int(s, 9, static_cast<int>(m.unit));
        if (step(s)) {
            ++size_;
            ++uncommitted_;
        } else {
            ++dropped_;  // a full disk: the value is dropped, counted and reported
            begin();
        }
    }
}

void ValueQueue::keepRetained(const std::string& topic, const std::string& payload) {
    begin();
    sqlite3_bind_text(retain_, 1, topic.data(), static_cast<int>(topic.size()), SQLITE_STATIC);
    sqlite3_bind_text(retain_, 2, payload.data(), static_cast<int>(payload.size()), SQLITE_STATIC);
    step(retain_);
}

void ValueQueue::commit() {
    if (!inTransaction_) {
        return;
    }
    if (execute("COMMIT")) {
        inTransaction_ = false;
        uncommitted_ = 0;
    } else {
        failure_ = sqlite3_errmsg(db_);
        transactionLost();
    }
    dropOldest();
}

std::int64_t ValueQueue::number(const char* sql) {
    sqlite3_stmt* s = prepare(sql);
    const std::int64_t value = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    return value;
}

void ValueQueue::dropOldest() {
    const std::int64_t pageSize = number("PRAGMA page_size");
    for (;;) {
        const std::int64_t used =
            (number("PRAGMA page_count") - number("PRAGMA freelist_count")) * pageSize;
        if (static_cast<std::uint64_t>(used) <= limitBytes_ || size_ == 0) {
            return;
        }
        execute(("DELETE FROM value WHERE id IN (SELECT id FROM value ORDER BY id LIMIT " +
                 std::to_string(kDropBatch) + ")")
                    .c_str());
        const auto gone = static_cast<std::int64_t>(sqlite3_changes(db_));
        size_ -= gone;
        dropped_ += static_cast<std::uint64_t>(gone);
        if (gone == 0) {
            return;
        }
    }
}

std::vector<StoredValue> ValueQueue::next(std::int64_t afterId, std::size_t limit) {
    std::vector<StoredValue> values;
    sqlite3_stmt* s = select_;
    sqlite3_bind_int64(s, 1, afterId);
    sqlite3_bind_int64(s, 2, static_cast<std::int64_t>(limit));
    while (sqlite3_step(s) == SQLITE_ROW) {
        StoredValue v;
        v.id = sqlite3_column_int64(s, 0);
        v.time = {sqlite3_column_int64(s, 1), sqlite3_column_int(s, 2)};
        v.source.kind = static_cast<receive::ValueSource::Kind>(sqlite3_column_int(s, 3));
        v.source.module = {static_cast<std::uint32_t>(sqlite3_column_int64(s, 4)),
                           static_cast<std::uint32_t>(sqlite3_column_int64(s, 5))};
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 6));
        v.channel = text != nullptr ? text : "";
        v.raw = sqlite3_column_int(s, 7);
        v.scale = sqlite3_column_double(s, 8);
        v.unit = static_cast<receive::Unit>(sqlite3_column_int(s, 9));
        values.push_back(std::move(v));
    }
    sqlite3_reset(s);
    return values;
}

void ValueQueue::remove(std::int64_t id) {
    begin();
    sqlite3_bind_int64(delete_, 1, id);
    if (step(delete_)) {
        size_ -= sqlite3_changes(db_);
    }
}

std::vector<RetainedMessage> ValueQueue::pendingRetained() {
    std::vector<RetainedMessage> pending;
    while (sqlite3_step(retained_) == SQLITE_ROW) {
        if (sqlite3_column_int(retained_, 2) == 0) {
            pending.push_back({reinterpret_cast<const char*>(sqlite3_column_text(retained_, 0)),
                               reinterpret_cast<const char*>(sqlite3_column_text(retained_, 1))});
        }
    }
    sqlite3_reset(retained_);
    return pending;
}

void ValueQueue::retainedSent(const RetainedMessage& message) {
    begin();
    sqlite3_bind_text(sent_, 1, message.topic.data(), static_cast<int>(message.topic.size()),
                      SQLITE_STATIC);
    sqlite3_bind_text(sent_, 2, message.payload.data(), static_cast<int>(message.payload.size()),
                      SQLITE_STATIC);
    step(sent_);
}

std::vector<std::string> ValueQueue::retainedTopics() {
    std::vector<std::string> topics;
    while (sqlite3_step(retained_) == SQLITE_ROW) {
        topics.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(retained_, 0)));
    }
    sqlite3_reset(retained_);
    return topics;
}

}  // namespace qrt::gateway
