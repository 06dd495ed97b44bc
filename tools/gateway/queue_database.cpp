#include "gateway/queue_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qrt::gateway {

namespace {

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    "PRAGMA synchronous=FULL;"  // a commit is on disk before the broker sees its values
    "CREATE TABLE IF NOT EXISTS value("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, utc_ms INTEGER, utc_offset INTEGER,"
    " kind INTEGER, type INTEGER, serial INTEGER, channel TEXT, raw INTEGER, scale REAL,"
    " unit INTEGER);"
    "CREATE TABLE IF NOT EXISTS retained(topic TEXT PRIMARY KEY, payload TEXT, sent INTEGER);"
    "CREATE TABLE IF NOT EXISTS channel(kind INTEGER, type INTEGER, serial INTEGER,"
    " channel TEXT, unit INTEGER, period_ms INTEGER, PRIMARY KEY(kind, type, serial, channel));"
    "CREATE TABLE IF NOT EXISTS site(id TEXT);";

// Every column the gateway reads: a table without one of them is of another layout.
constexpr const char* kLayout[] = {
    "SELECT id, utc_ms, utc_offset, kind, type, serial, channel, raw, scale, unit FROM value",
    "SELECT topic, payload, sent FROM retained",
    "SELECT kind, type, serial, channel, unit, period_ms FROM channel",
    "SELECT id FROM site",
};

// Rows nothing can be made of: a NULL or text where a number belongs, a number beyond what
// the field holds, a source kind (0 to 2) or a unit (0 to 4) the gateway does not know.
constexpr const char* kDamagedValues =
    "DELETE FROM value WHERE typeof(utc_ms) <> 'integer' OR typeof(utc_offset) <> 'integer'"
    " OR utc_offset NOT BETWEEN -86400 AND 86400"
    " OR typeof(kind) <> 'integer' OR kind NOT BETWEEN 0 AND 2"
    " OR typeof(type) <> 'integer' OR type NOT BETWEEN 0 AND 4294967295"
    " OR typeof(serial) <> 'integer' OR serial NOT BETWEEN 0 AND 4294967295"
    " OR typeof(channel) <> 'text'"
    " OR typeof(raw) <> 'integer' OR raw NOT BETWEEN -2147483648 AND 2147483647"
    " OR typeof(scale) NOT IN ('integer', 'real')"
    " OR typeof(unit) <> 'integer' OR unit NOT BETWEEN 0 AND 4";
constexpr const char* kDamagedRetained =
    "DELETE FROM retained WHERE typeof(topic) <> 'text' OR typeof(payload) <> 'text'";
constexpr const char* kDamagedChannels =
    "DELETE FROM channel WHERE typeof(kind) <> 'integer' OR kind NOT BETWEEN 0 AND 2"
    " OR typeof(type) <> 'integer' OR type NOT BETWEEN 0 AND 4294967295"
    " OR typeof(serial) <> 'integer' OR serial NOT BETWEEN 0 AND 4294967295"
    " OR typeof(channel) <> 'text' OR typeof(unit) <> 'integer' OR unit NOT BETWEEN 0 AND 4"
    " OR typeof(period_ms) <> 'integer' OR period_ms < 0";
constexpr const char* kDamagedSite = "DELETE FROM site WHERE typeof(id) <> 'text' OR id = ''";

std::string systemReason(int error) {
    return std::strerror(error);
}

// Why `folder` cannot hold the queue; none when it can. A folder made here is private to
// the gateway's user.
std::optional<std::string> folderProblem(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_type type = fs::status(folder, error).type();
    if (type == fs::file_type::not_found) {
        if (!fs::create_directories(folder, error) && error) {
            return "cannot make the queue folder " + folder + ": " + error.message();
        }
        fs::permissions(folder, fs::perms::owner_all, error);
        return std::nullopt;
    }
    if (error) {
        return "cannot use the queue folder " + folder + ": " + error.message();
    }
    if (type != fs::file_type::directory) {
        return "the queue folder " + folder + " is not a folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "cannot write in the queue folder " + folder + ": " + systemReason(errno);
    }
    return std::nullopt;
}

// Makes the file private to the gateway's user before SQLite opens it: SQLite would make
// it as readable as the umask lets it, and its log files take the file's permissions.
std::optional<std::string> fileProblem(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    if (errno != EEXIST) {
        return "cannot make " + path + ": " + systemReason(errno);
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return path + " is not a regular file";
    }
    return std::nullopt;
}

}  // namespace

common::Result<std::unique_ptr<QueueDatabase>> QueueDatabase::open(const std::string& folder) {
    if (auto problem = folderProblem(folder)) {
        return common::Failure{*problem};
    }
    const std::string path = (std::filesystem::path(folder) / kFileName).string();
    if (auto problem = fileProblem(path)) {
        return common::Failure{*problem};
    }
    std::unique_ptr<QueueDatabase> database(new QueueDatabase(path));
    if (auto problem = database->openFile()) {
        return common::Failure{"cannot use the queue " + path + ": " + *problem};
    }
    return database;
}

std::optional<std::string> QueueDatabase::openFile() {
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        !execute(kSchema)) {
        return lastError();
    }
    for (const char* query : kLayout) {
        sqlite3_stmt* statement = prepare(query);
        if (statement == nullptr) {
            return lastError() + ": not a queue of qrt-gateway";
        }
        sqlite3_finalize(statement);
    }
    // A damaged file is refused before the gateway builds on it. The check reads every
    // page once: seconds for a queue of a gigabyte, and queues are mostly small.
    sqlite3_stmt* check = prepare("PRAGMA quick_check(1)");
    const bool stepped = check != nullptr && sqlite3_step(check) == SQLITE_ROW;
    const auto* verdict = stepped ? sqlite3_column_text(check, 0) : nullptr;
    const std::string result =
        verdict != nullptr ? reinterpret_cast<const char*>(verdict) : lastError();
    sqlite3_finalize(check);
    if (result != "ok") {
        return "damaged beyond repair (" + result + ")";
    }
    repair();
    return std::nullopt;
}

void QueueDatabase::repair() {
    for (const char* sql : {kDamagedValues, kDamagedRetained, kDamagedChannels, kDamagedSite}) {
        if (execute(sql)) {
            repairedRows_ += static_cast<std::uint64_t>(changes());
        }
    }
}

QueueDatabase::~QueueDatabase() {
    sqlite3_close(db_);  // harmless when it never opened
}

sqlite3_stmt* QueueDatabase::prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
    return statement;
}

bool QueueDatabase::execute(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::int64_t QueueDatabase::number(const char* sql) {
    sqlite3_stmt* statement = prepare(sql);
    const std::int64_t value = statement != nullptr && sqlite3_step(statement) == SQLITE_ROW
                                   ? sqlite3_column_int64(statement, 0)
                                   : 0;
    sqlite3_finalize(statement);
    return value;
}

bool QueueDatabase::step(sqlite3_stmt* statement) {
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    return done;
}

std::int64_t QueueDatabase::changes() const {
    return sqlite3_changes(db_);
}

bool QueueDatabase::inTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

std::string QueueDatabase::lastError() const {
    if (db_ == nullptr) {
        return "out of memory";
    }
    std::string reason = sqlite3_errmsg(db_);
    if (const int error = sqlite3_system_errno(db_); error != 0) {
        reason += " (" + systemReason(error) + ")";
    }
    return reason;
}

}  // namespace qrt::gateway
