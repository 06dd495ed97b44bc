#include "gateway/site_identity.h"

#include <sqlite3.h>

#include <random>

#include "common/text_format.h"
#include "gateway/home_assistant.h"

namespace qrt::gateway {

namespace {

constexpr std::size_t kLongestId = 64;

std::string newIdentity() {
    std::random_device random;
    std::string id;
    for (int i = 0; i < 3; ++i) {
        common::appendFormat<"%04x">(id, static_cast<unsigned>(random() & 0xFFFFu));
    }
    return id;
}

}  // namespace

common::Result<std::string> siteIdentity(QueueDatabase& db) {
    sqlite3_stmt* read = db.prepare("SELECT id FROM site LIMIT 1");
    std::string kept;
    if (read != nullptr && sqlite3_step(read) == SQLITE_ROW) {
        kept = reinterpret_cast<const char*>(sqlite3_column_text(read, 0));
    }
    sqlite3_finalize(read);
    if (!kept.empty()) {
        return discoveryId(kept.substr(0, kLongestId));
    }
    const std::string made = newIdentity();
    sqlite3_stmt* write = db.prepare("INSERT INTO site(id) VALUES(?)");
    bool written = false;
    if (write != nullptr) {
        sqlite3_bind_text(write, 1, made.data(), static_cast<int>(made.size()), SQLITE_STATIC);
        written = db.step(write);
        sqlite3_finalize(write);
    }
    if (!written) {
        return common::Failure{"cannot keep the site's identity in " + db.path() + ": " +
                               db.lastError()};
    }
    return made;
}

std::optional<std::string> siteIdProblem(std::string_view id) {
    if (id.empty() || id.size() > kLongestId) {
        return "must be 1 to " + std::to_string(kLongestId) + " characters long";
    }
    if (discoveryId(id) != id) {
        return "holds a character outside a-z, A-Z, 0-9, _ and -";
    }
    return std::nullopt;
}

}  // namespace qrt::gateway
