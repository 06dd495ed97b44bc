#include "common/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qrt::common {

bool LogFile::open(const std::string& path) {
    close();
    // Non-blocking, so a FIFO or a device that is not ready fails instead of hanging.
    const int descriptor = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return false;
    }
    struct stat info {};
    const bool usable =
        ::fstat(descriptor, &info) == 0 && (S_ISREG(info.st_mode) || S_ISCHR(info.st_mode));
    // Writes block as usual once the file is known to be a file or a device.
    if (!usable || ::fcntl(descriptor, F_SETFL, O_WRONLY | O_APPEND) != 0) {
        ::close(descriptor);
        return false;
    }
    file_ = ::fdopen(descriptor, "a");
    if (file_ == nullptr) {
        ::close(descriptor);
        return false;
    }
    return true;
}

void LogFile::close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void LogFile::writeLine(std::string_view line) {
    if (file_ != nullptr) {
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fputc('\n', file_);
    }
}

void LogFile::flush() {
    if (file_ != nullptr) {
        std::fflush(file_);
    }
}

}  // namespace qrt::common
