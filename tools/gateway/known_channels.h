#pragma once

#include <memory>
#include <vector>

#include "common/failure.h"
#include "gateway/home_assistant.h"
#include "gateway/queue_database.h"

namespace qrt::gateway {

/// The channels announced to Home Assistant, remembered in the queue's database with their
/// observed telegram period, so a restarted gateway announces what it knew at once. A
/// write the disk refuses is not made again: the channel is then remembered with its next
/// value or change of period.
class KnownChannels {
  public:
    /// The channels remembered; or why the statements cannot be made.
    [[nodiscard]] static common::Result<std::unique_ptr<KnownChannels>> load(QueueDatabase& db);
    ~KnownChannels();
    KnownChannels(const KnownChannels&) = delete;
    KnownChannels& operator=(const KnownChannels&) = delete;

    [[nodiscard]] const std::vector<AnnouncedChannel>& remembered() const { return remembered_; }
    /// Remembers a channel, or its new period.
    void remember(const AnnouncedChannel& channel);
    /// Forgets every channel of `module`.
    void forget(const receive::ValueSource& module);

  private:
    explicit KnownChannels(QueueDatabase& db) : db_(db) {}

    QueueDatabase& db_;
    std::vector<AnnouncedChannel> remembered_;
    sqlite3_stmt* write_ = nullptr;
};

}  // namespace qrt::gateway
