#include "gateway/retained_messages.h"

#include <sqlite3.h>

namespace qrt::gateway {

common::Result<std::unique_ptr<RetainedMessages>> RetainedMessages::load(QueueDatabase& db) {
    std::unique_ptr<RetainedMessages> retained(new RetainedMessages(db));
    retained->write_ =
        db.prepare("INSERT OR REPLACE INTO retained(topic, payload, sent) VALUES(?, ?, ?)");
    retained->forget_ = db.prepare("DELETE FROM retained WHERE topic = ?");
    sqlite3_stmt* all = db.prepare("SELECT topic, payload FROM retained");
    if (retained->write_ == nullptr || retained->forget_ == nullptr || all == nullptr) {
        sqlite3_finalize(all);
        return common::Failure{db.lastError()};
    }
    // Damaged rows were removed when the database was opened: every row holds two texts.
    while (sqlite3_step(all) == SQLITE_ROW) {
        retained->messages_[reinterpret_cast<const char*>(sqlite3_column_text(all, 0))] = {
            reinterpret_cast<const char*>(sqlite3_column_text(all, 1))};
    }
    sqlite3_finalize(all);
    return retained;
}

RetainedMessages::~RetainedMessages() {
    sqlite3_finalize(write_);
    sqlite3_finalize(forget_);
}

void RetainedMessages::keep(const std::string& topic, const std::string& payload) {
    messages_[topic] = {payload};
    unsaved_.insert(topic);
}

void RetainedMessages::sent(const RetainedMessage& message) {
    const auto kept = messages_.find(message.topic);
    if (kept == messages_.end() || kept->second.payload != message.payload) {
        return;
    }
    if (message.payload.empty()) {
        messages_.erase(kept);  // the topic is clear on the broker: nothing left to keep
    } else {
        kept->second.sent = true;
    }
    unsaved_.insert(message.topic);
}

void RetainedMessages::forget(const std::string& topic) {
    if (messages_.erase(topic) > 0) {
        unsaved_.insert(topic);
    }
}

void RetainedMessages::sendAllAgain() {
    for (auto& [topic, entry] : messages_) {
        entry.sent = false;
    }
}

std::vector<RetainedMessage> RetainedMessages::pending() const {
    std::vector<RetainedMessage> pending;
    for (const auto& [topic, entry] : messages_) {
        if (!entry.sent) {
            pending.push_back({topic, entry.payload});
        }
    }
    return pending;
}

std::vector<std::string> RetainedMessages::topics() const {
    std::vector<std::string> topics;
    for (const auto& [topic, entry] : messages_) {
        topics.push_back(topic);
    }
    return topics;
}

bool RetainedMessages::save() {
    for (const std::string& topic : unsaved_) {
        const auto kept = messages_.find(topic);
        sqlite3_stmt* statement = kept == messages_.end() ? forget_ : write_;
        sqlite3_bind_text(statement, 1, topic.data(), static_cast<int>(topic.size()),
                          SQLITE_STATIC);
        if (kept != messages_.end()) {
            const std::string& payload = kept->second.payload;
            sqlite3_bind_text(statement, 2, payload.data(), static_cast<int>(payload.size()),
                              SQLITE_STATIC);
            sqlite3_bind_int(statement, 3, kept->second.sent ? 1 : 0);
        }
        if (!db_.step(statement)) {
            return false;
        }
    }
    return true;
}

}  // namespace qrt::gateway
