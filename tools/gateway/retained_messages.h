#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/failure.h"
#include "gateway/queue_database.h"

namespace qrt::gateway {

/// A retained message (the status, an announcement, a channel's last value) for the
/// broker.
struct RetainedMessage {
    std::string topic;
    std::string payload;
};

/// The retained messages the gateway keeps for the broker: in memory, which the publisher
/// sends from, and on disk for the next start. A change the disk does not take (a full
/// disk) is written again with the next commit, so none is lost while the gateway runs.
/// An empty message clears its topic on the broker: once the broker has it, it is forgotten.
class RetainedMessages {
  public:
    /// Loads what the last run kept, every message to be sent; or why the statements
    /// cannot be made.
    [[nodiscard]] static common::Result<std::unique_ptr<RetainedMessages>> load(QueueDatabase& db);
    ~RetainedMessages();
    RetainedMessages(const RetainedMessages&) = delete;
    RetainedMessages& operator=(const RetainedMessages&) = delete;

    /// Keeps a message for its topic, replacing the one before, to be sent.
    void keep(const std::string& topic, const std::string& payload);
    /// The broker has `message` (nothing changes when a newer payload took its place).
    void sent(const RetainedMessage& message);
    /// Keeps no more the message for `topic`, leaving the broker's as it is.
    void forget(const std::string& topic);
    /// Every message is to be sent again (a new connection: the broker may have lost them).
    void sendAllAgain();
    [[nodiscard]] std::vector<RetainedMessage> pending() const;
    [[nodiscard]] std::vector<std::string> topics() const;

    /// Writes what changed since the last commit into the open transaction; false when
    /// the disk refused (the changes stay to be written).
    bool save();
    /// The transaction with the changes was committed.
    void saved() { unsaved_.clear(); }

  private:
    struct Entry {
        std::string payload;
        bool sent = false;
    };
    explicit RetainedMessages(QueueDatabase& db) : db_(db) {}

    QueueDatabase& db_;
    std::map<std::string, Entry> messages_;
    std::set<std::string> unsaved_;  // topics changed since the last commit
    sqlite3_stmt* write_ = nullptr;
    sqlite3_stmt* forget_ = nullptr;
};

}  // namespace qrt::gateway
