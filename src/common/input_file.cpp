#include "common/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qrt::common {

namespace {

FileIdentity identity(const struct stat& info) {
    return {static_cast<unsigned long long>(info.st_dev),
            static_cast<unsigned long long>(info.st_ino)};
}

}  // namespace

namespace {

// The system's reason for a failed call on `path`.
Failure systemFailure(const std::string& path) {
    const int error = errno;
    return {path + ": " + std::strerror(error), error};
}

Failure tooLarge(const std::string& path, std::size_t limit) {
    return {path + " is larger than " + std::to_string(limit) + " bytes"};
}

// The whole of an open regular file of at most `limit` bytes.
Result<std::string> readAll(int descriptor, const std::string& path, std::size_t limit) {
    std::string text(limit + 1, '\0');  // a file that grew meanwhile shows as too large
    std::size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t got = ::read(descriptor, text.data() + filled, text.size() - filled);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            return systemFailure(path);
        }
    }
    if (filled > limit) {
        return tooLarge(path, limit);
    }
    text.resize(filled);
    return text;
}

}  // namespace

Result<std::string> readInputFile(const std::string& path, std::size_t limit) {
    // Opening a FIFO for reading without O_NONBLOCK waits for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return systemFailure(path);
    }
    struct stat info {};
    Result<std::string> result = Failure{};
    if (::fstat(descriptor, &info) != 0) {
        result = systemFailure(path);
    } else if (!S_ISREG(info.st_mode)) {
        result = Failure{path + " is not a regular file"};
    } else if (static_cast<unsigned long long>(info.st_size) > limit) {
        result = tooLarge(path, limit);
    } else {
        result = readAll(descriptor, path, limit);
    }
    ::close(descriptor);
    return result;
}

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return identity(info);
}

std::optional<FileIdentity> identityOfDescriptor(int descriptor) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) {
        return std::nullopt;
    }
    return identity(info);
}

bool sameFile(const std::string& a, const std::string& b) {
    const auto first = identityOf(a);
    const auto second = identityOf(b);
    if (first || second) {
        return first == second;
    }
    std::error_code error;
    return std::filesystem::weakly_canonical(a, error) ==
           std::filesystem::weakly_canonical(b, error);
}

}  // namespace qrt::common
