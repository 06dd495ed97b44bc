#include "gateway/value_queue.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace qrt::gateway {

namespace {

constexpr std::int64_t kDropBatch = 1000;  // values dropped at once while the queue is full
// Batches dropped at one commit: a limit lowered by a reload is reached over a few commits,
// so no commit keeps the loop (and the service's watchdog) waiting.
constexpr int kDropBatchesPerCommit = 50;
constexpr std::size_t kSaveBatch = 1000;  // values moved from memory to disk per commit

constexpr const char* kInsert =
    "INSERT INTO value(id, utc_ms, utc_offset, kind, type, serial, channel, raw, scale, unit)"
    " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
constexpr const char* kSelect =
    "SELECT id, utc_ms, utc_offset, kind, type, serial, channel, raw, scale, unit"
    " FROM value WHERE id > ? ORDER BY id LIMIT ?";
constexpr const char* kDelete = "DELETE FROM value WHERE id = ?";

void bindValue(sqlite3_stmt* s, const StoredValue& v) {
    sqlite3_bind_int64(s, 1, v.id);
    sqlite3_bind_int64(s, 2, v.time.utcMilliseconds);
    sqlite3_bind_int(s, 3, v.time.utcOffsetSeconds);
    sqlite3_bind_int(s, 4, static_cast<int>(v.source.kind));
    sqlite3_bind_int64(s, 5, v.source.module.type);
    sqlite3_bind_int64(s, 6, v.source.module.serial);
    sqlite3_bind_text(s, 7, v.channel.data(), static_cast<int>(v.channel.size()), SQLITE_STATIC);
    sqlite3_bind_int(s, 8, v.raw);
    sqlite3_bind_double(s, 9, v.scale);
    sqlite3_bind_int(s, 10, static_cast<int>(v.unit));
}

// The value of the row a SELECT stands on; damaged rows were removed at the opening.
StoredValue valueAt(sqlite3_stmt* s) {
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
    return v;
}

}  // namespace

StoredValue StoredValue::of(const receive::Measurement& m) {
    return {.time = m.time,
            .source = m.source,
            .channel = m.channelText(),
            .raw = m.raw,
            .scale = m.scale,
            .unit = m.unit};
}

common::Result<std::unique_ptr<ValueQueue>> ValueQueue::open(const std::string& folder,
                                                             std::uint64_t limitBytes) {
    auto db = QueueDatabase::open(folder);
    if (const auto* failure = common::failureOf(db)) {
        return *failure;
    }
    std::unique_ptr<ValueQueue> queue(
        new ValueQueue(std::get<std::unique_ptr<QueueDatabase>>(std::move(db)), limitBytes));
    if (const auto problem = queue->prepare()) {
        return common::Failure{"cannot use the queue " + queue->db_->path() + ": " + *problem};
    }
    return queue;
}

std::optional<std::string> ValueQueue::prepare() {
    insert_ = db_->prepare(kInsert);
    select_ = db_->prepare(kSelect);
    delete_ = db_->prepare(kDelete);
    if (insert_ == nullptr || select_ == nullptr || delete_ == nullptr) {
        return db_->lastError();
    }
    auto retained = RetainedMessages::load(*db_);
    if (const auto* failure = common::failureOf(retained)) {
        return failure->reason;
    }
    retained_ = std::get<std::unique_ptr<RetainedMessages>>(std::move(retained));
    onDisk_ = db_->number("SELECT count(*) FROM value");
    // New values are numbered after every value the queue ever held, as SQLite would.
    nextId_ = std::max(db_->number("SELECT max(id) FROM value"),
                       db_->number("SELECT seq FROM sqlite_sequence WHERE name = 'value'")) +
              1;
    return std::nullopt;
}

ValueQueue::~ValueQueue() {
    commitAll();
    for (sqlite3_stmt* statement : {insert_, select_, delete_}) {
        sqlite3_finalize(statement);
    }
}

bool ValueQueue::begin() {
    if (db_->inTransaction()) {
        return true;
    }
    // SQLite may have ended the open transaction on its own (a write of the known channels
    // or the retained messages it refused): what it held is taken back before a new one.
    const bool lost = !uncommitted_.empty() || !removedInCommit_.empty() || !movedToDisk_.empty();
    if (lost) {
        transactionLost();
    }
    db_->execute("BEGIN");
    return !lost;
}

bool ValueQueue::insert(const StoredValue& value) {
    if (!begin()) {
        return false;  // behind the values just taken back into memory
    }
    bindValue(insert_, value);
    if (db_->step(insert_)) {
        ++onDisk_;
        return true;
    }
    failure_ = db_->lastError();
    if (!db_->inTransaction()) {
        transactionLost();  // SQLite rolled the transaction back
    }
    return false;
}

void ValueQueue::add(std::span<const receive::Measurement> values) {
    for (const receive::Measurement& m : values) {
        StoredValue value = StoredValue::of(m);
        value.id = nextId_++;
        // Once a value waits in memory, later ones wait behind it, so the order holds.
        if (memory_.empty() && insert(value)) {
            uncommitted_.push_back(std::move(value));
        } else {
            keepInMemory(std::move(value));
        }
    }
}

void ValueQueue::keepInMemory(StoredValue value) {
    memory_.emplace(value.id, std::move(value));
    while (memory_.size() > kMemoryLimit) {
        memory_.erase(memory_.begin());
        ++dropped_;
        dropReason_ = "the disk takes no more (" + failure_ + ") and " +
                      std::to_string(kMemoryLimit) + " values wait in memory";
    }
}

void ValueQueue::keepRetained(const std::string& topic, const std::string& payload) {
    retained_->keep(topic, payload);
}

void ValueQueue::saveMemory() {
    std::size_t saved = 0;
    for (auto it = memory_.begin(); it != memory_.end() && saved < kSaveBatch; ++it, ++saved) {
        if (!insert(it->second)) {
            return;  // the disk is still full: the values wait on in memory
        }
        movedToDisk_.push_back(it->first);
    }
}

void ValueQueue::retryRemovals() {
    for (auto it = removalsDue_.begin(); it != removalsDue_.end();) {
        if (!begin()) {
            return;
        }
        sqlite3_bind_int64(delete_, 1, *it);
        if (!db_->step(delete_)) {
            failure_ = db_->lastError();
            if (!db_->inTransaction()) {
                transactionLost();
            }
            return;
        }
        onDisk_ -= db_->changes();
        removedInCommit_.push_back(*it);
        it = removalsDue_.erase(it);
    }
}

void ValueQueue::commit() {
    if (!memory_.empty()) {
        saveMemory();
    }
    retryRemovals();
    begin();
    const bool retainedSaved = retained_->save();
    if (!retainedSaved) {
        failure_ = db_->lastError();
    }
    if (db_->inTransaction()) {
        if (db_->execute("COMMIT")) {
            committed(retainedSaved);
        } else {
            failure_ = db_->lastError();
            transactionLost();
        }
    }
    dropOldest();
}

void ValueQueue::commitAll() {
    for (std::size_t before = memory_.size() + 1; memory_.size() < before;) {
        before = memory_.size();
        commit();
    }
}

void ValueQueue::committed(bool retainedSaved) {
    for (const std::int64_t id : movedToDisk_) {
        memory_.erase(id);
    }
    movedToDisk_.clear();
    uncommitted_.clear();
    removedInCommit_.clear();
    if (retainedSaved) {
        retained_->saved();
    }
    if (retainedSaved && memory_.empty() && removalsDue_.empty()) {
        failure_.clear();  // the disk takes every write again
    }
}

void ValueQueue::transactionLost() {
    // The values written in it wait in memory instead, and its removals are made again at
    // the next commit; what it moved from memory never left memory.
    db_->execute("ROLLBACK");  // harmless when SQLite rolled back already
    movedToDisk_.clear();
    std::vector<StoredValue> lost = std::exchange(uncommitted_, {});
    for (StoredValue& value : lost) {
        keepInMemory(std::move(value));
    }
    removalsDue_.insert(removedInCommit_.begin(), removedInCommit_.end());
    removedInCommit_.clear();
    onDisk_ = db_->number("SELECT count(*) FROM value");
}

void ValueQueue::dropOldest() {
    const std::int64_t pageSize = db_->number("PRAGMA page_size");
    for (int batch = 0; batch < kDropBatchesPerCommit; ++batch) {
        const std::int64_t used =
            (db_->number("PRAGMA page_count") - db_->number("PRAGMA freelist_count")) * pageSize;
        if (static_cast<std::uint64_t>(used) <= limitBytes_ || onDisk_ == 0) {
            return;
        }
        if (!db_->execute(
                ("DELETE FROM value WHERE id IN (SELECT id FROM value ORDER BY id LIMIT " +
                 std::to_string(kDropBatch) + ")")
                    .c_str())) {
            failure_ = db_->lastError();
            return;
        }
        const std::int64_t gone = db_->changes();
        if (gone == 0) {
            return;
        }
        onDisk_ -= gone;
        // Values acknowledged and not yet removed were delivered, not dropped.
        const std::int64_t oldest =
            onDisk_ > 0 ? db_->number("SELECT min(id) FROM value") : nextId_;
        const auto delivered =
            std::distance(removalsDue_.begin(), removalsDue_.lower_bound(oldest));
        removalsDue_.erase(removalsDue_.begin(), removalsDue_.lower_bound(oldest));
        dropped_ += static_cast<std::uint64_t>(gone - delivered);
        dropReason_ = "the queue reached its limit of " + std::to_string(limitBytes_) + " bytes";
    }
}

std::vector<StoredValue> ValueQueue::next(std::int64_t afterId, std::size_t limit) {
    std::vector<StoredValue> values;
    std::int64_t after = afterId;
    bool diskDone = false;
    while (!diskDone && values.size() < limit) {
        const std::size_t wanted = limit - values.size();
        sqlite3_bind_int64(select_, 1, after);
        sqlite3_bind_int64(select_, 2, static_cast<std::int64_t>(wanted));
        std::size_t rows = 0;
        while (sqlite3_step(select_) == SQLITE_ROW) {
            ++rows;
            StoredValue value = valueAt(select_);
            after = value.id;
            if (!removalsDue_.contains(value.id)) {
                values.push_back(std::move(value));  // acknowledged ones are not sent again
            }
        }
        sqlite3_reset(select_);
        diskDone = rows < wanted;
    }
    // What waits in memory comes after everything on disk.
    for (auto it = memory_.upper_bound(after);
         diskDone && it != memory_.end() && values.size() < limit; ++it) {
        values.push_back(it->second);
    }
    return values;
}

void ValueQueue::remove(std::int64_t id) {
    begin();  // first: a value it takes back into memory is one this may remove
    if (memory_.erase(id) > 0) {
        std::erase(movedToDisk_, id);
    }
    sqlite3_bind_int64(delete_, 1, id);
    if (db_->step(delete_)) {
        if (db_->changes() > 0) {
            onDisk_ -= db_->changes();
            removedInCommit_.push_back(id);
        }
        return;
    }
    failure_ = db_->lastError();
    removalsDue_.insert(id);
    if (!db_->inTransaction()) {
        transactionLost();
    }
}

std::int64_t ValueQueue::size() const {
    return onDisk_ - static_cast<std::int64_t>(removalsDue_.size()) +
           static_cast<std::int64_t>(inMemory());
}

std::optional<common::Timestamp> ValueQueue::oldestWaiting() {
    const std::vector<StoredValue> first = next(0, 1);
    if (first.empty()) {
        return std::nullopt;
    }
    return first.front().time;
}

}  // namespace qrt::gateway
