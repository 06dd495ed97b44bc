#include "gateway/known_channels.h"

#include <sqlite3.h>

namespace qrt::gateway {

common::Result<std::unique_ptr<KnownChannels>> KnownChannels::load(QueueDatabase& db) {
    std::unique_ptr<KnownChannels> known(new KnownChannels(db));
    known->write_ = db.prepare(
        "INSERT OR REPLACE INTO channel(kind, type, serial, channel, unit, period_ms)"
        " VALUES(?, ?, ?, ?, ?, ?)");
    sqlite3_stmt* all =
        db.prepare("SELECT kind, type, serial, channel, unit, period_ms FROM channel");
    if (known->write_ == nullptr || all == nullptr) {
        sqlite3_finalize(all);
        return common::Failure{db.lastError()};
    }
    // Damaged rows were removed when the database was opened.
    while (sqlite3_step(all) == SQLITE_ROW) {
        known->remembered_.push_back(
            {.source = {.kind = static_cast<receive::ValueSource::Kind>(sqlite3_column_int(all, 0)),
                        .module = {static_cast<std::uint32_t>(sqlite3_column_int64(all, 1)),
                                   static_cast<std::uint32_t>(sqlite3_column_int64(all, 2))}},
             .channel = reinterpret_cast<const char*>(sqlite3_column_text(all, 3)),
             .unit = static_cast<receive::Unit>(sqlite3_column_int(all, 4)),
             .periodMs = sqlite3_column_int64(all, 5)});
    }
    sqlite3_finalize(all);
    return known;
}

KnownChannels::~KnownChannels() {
    sqlite3_finalize(write_);
}

void KnownChannels::remember(const AnnouncedChannel& channel) {
    sqlite3_bind_int(write_, 1, static_cast<int>(channel.source.kind));
    sqlite3_bind_int64(write_, 2, channel.source.module.type);
    sqlite3_bind_int64(write_, 3, channel.source.module.serial);
    sqlite3_bind_text(write_, 4, channel.channel.data(), static_cast<int>(channel.channel.size()),
                      SQLITE_STATIC);
    sqlite3_bind_int(write_, 5, static_cast<int>(channel.unit));
    sqlite3_bind_int64(write_, 6, channel.periodMs);
    static_cast<void>(db_.step(write_));  // see the class comment for a refused write
}

void KnownChannels::forget(const receive::ValueSource& module) {
    sqlite3_stmt* forget =
        db_.prepare("DELETE FROM channel WHERE kind = ? AND type = ? AND serial = ?");
    if (forget == nullptr) {
        return;
    }
    sqlite3_bind_int(forget, 1, static_cast<int>(module.kind));
    sqlite3_bind_int64(forget, 2, module.module.type);
    sqlite3_bind_int64(forget, 3, module.module.serial);
    static_cast<void>(db_.step(forget));
    sqlite3_finalize(forget);
    std::erase_if(remembered_,
                  [&module](const AnnouncedChannel& channel) { return channel.source == module; });
}

}  // namespace qrt::gateway
