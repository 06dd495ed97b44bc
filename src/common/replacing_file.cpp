#include "common/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace qrt::common {

namespace {}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) : name_(path), path_(path) {
    if (path == "-") {
        output_.emplace(OutputFile::standardOutput());
        return;
    }
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        output_.emplace(OutputFile::create(path));  // a device or FIFO: written as it is
        return;
    }
    // The file a link points to is replaced, not the link.
    std::error_code error;
    const std::filesystem::path target =
        exists ? std::filesystem::canonical(path, error) : std::filesystem::path(path);
    if (exists) {
        // Written without truncating: a file the operator may not write stays refused.
        const int probe = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (probe < 0) {
            reason_ = std::strerror(errno);
            return;
        }
        ::close(probe);
    }
    std::string name = target.string() + ".XXXXXX";
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0) {
        reason_ = std::strerror(errno);
        return;
    }
    temporary_ = pattern.data();
    path_ = target.string();
    // The new file gets the old one's permissions, or those a new file would get.
    mode_t mode = info.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(descriptor, mode);
    output_.emplace(OutputFile::adopt(path, descriptor));
}

ReplacingFile::~ReplacingFile() {
    if (!committed_ && !temporary_.empty()) {
        output_.reset();
        std::remove(temporary_.c_str());
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
