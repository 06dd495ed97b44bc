#include "common/replacing_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qrt::common {

namespace {

namespace fs = std::filesystem;

constexpr int kMostLinks = 40;  // as many as the system follows
constexpr std::string_view kRandomPart = "XXXXXX";
constexpr std::string_view kTemporarySuffix = ".partial";

// The file a path names once its symbolic links are followed, whether it exists or not:
// a link to a file still to be created names that file, so a save through it writes
// there, as through a link to an existing file. Empty when the links go round in circles.
fs::path followLinks(fs::path path) {
    for (int hop = 0; hop < kMostLinks; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) {
            return path;
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) {
            return path;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return {};
}

fs::path folderOf(const fs::path& file) {
    std::error_code ignored;
    return fs::absolute(file.has_parent_path() ? file.parent_path() : fs::path("."), ignored);
}

// Whether a name in the folder is a temporary of a save of `file`: the file's name, a
// dot, the six random letters and digits, the temporary suffix.
bool isTemporaryOf(const std::string& name, const std::string& file) {
    const std::size_t length = file.size() + 1 + kRandomPart.size() + kTemporarySuffix.size();
    if (name.size() != length || name.compare(0, file.size(), file) != 0 ||
        name[file.size()] != '.' || !name.ends_with(kTemporarySuffix)) {
        return false;
    }
    for (std::size_t i = file.size() + 1; i < file.size() + 1 + kRandomPart.size(); ++i) {
        if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) {
            return false;
        }
    }
    return true;
}

// Removes what saves of `target` that were killed left beside it. A save in progress
// holds a lock on its temporary file, so only the abandoned ones can be locked here.
void removeLeftovers(const fs::path& target) {
    std::error_code error;
    const std::string file = target.filename().string();
    for (fs::directory_iterator entry(folderOf(target), error), end; !error && entry != end;
         entry.increment(error)) {
        if (!isTemporaryOf(entry->path().filename().string(), file)) {
            continue;
        }
        const int descriptor =
            ::open(entry->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            continue;
        }
        struct stat info {};
        if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(entry->path().c_str());
        }
        ::close(descriptor);
    }
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path, std::chrono::milliseconds stallLimit)
    : name_(path), path_(path) {
    if (path == "-") {
        output_.emplace(OutputFile::standardOutput());
        return;
    }
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or FIFO: written as it is.
        output_.emplace(OutputFile::create(path, stallLimit));
        return;
    }
    // The file a link points to is replaced, not the link.
    std::error_code error;
    const fs::path target = exists ? fs::canonical(path, error) : followLinks(path);
    if (target.empty()) {
        reason_ = error ? error.message() : std::strerror(ELOOP);
        return;
    }
    if (exists) {
        // Written without truncating: a file the operator may not write stays refused.
        const int probe = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (probe < 0) {
            reason_ = std::strerror(errno);
            return;
        }
        ::close(probe);
    }
    removeLeftovers(target);
    openTemporary(target, exists ? info.st_mode & 07777 : newFileMode());
}

void ReplacingFile::openTemporary(const fs::path& target, mode_t mode) {
    const std::string name =
        target.string() + "." + std::string(kRandomPart) + std::string(kTemporarySuffix);
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    const int descriptor =
        ::mkostemps(pattern.data(), static_cast<int>(kTemporarySuffix.size()), O_CLOEXEC);
    if (descriptor < 0) {
        // The file itself may be writable; its folder is what refuses.
        reason_ = std::string(std::strerror(errno)) + ": no file can be made in the folder " +
                  folderOf(target).string();
        return;
    }
    // The lock lives on a copy of the descriptor until the temporary is renamed or
    // removed, so a second save of the same file never takes it for a leftover.
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    lock_ = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    temporary_ = pattern.data();
    path_ = target.string();
    // The new file gets the old one's permissions, or those a new file would get.
    ::fchmod(descriptor, mode);
    output_.emplace(OutputFile::adopt(path_, descriptor));
}

ReplacingFile::~ReplacingFile() {
    if (!committed_ && !temporary_.empty()) {
        output_.reset();
        std::remove(temporary_.c_str());
    }
    if (lock_ >= 0) {
        ::close(lock_);
    }
}

bool ReplacingFile::commit() {
    if (!output_ || committed_) {
        return committed_;
    }
    bool written = output_->flush();
    if (written && !temporary_.empty() && ::fsync(output_->descriptor()) != 0) {
        reason_ = std::strerror(errno);
        written = false;
    }
    written = output_->close() && written;
    if (!written) {
        return false;
    }
    if (!temporary_.empty() && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        reason_ = std::strerror(errno);
        return false;
    }
    committed_ = true;
    return true;
}

std::string ReplacingFile::failure() const {
    const std::string why = reason();
    return why.empty() ? why : "cannot write " + name_ + ": " + why;
}

std::string ReplacingFile::reason() const {
    if (output_ && output_->failed()) {
        return output_->reason();
    }
    return reason_;
}

}  // namespace qrt::common
