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

std::variant<InputText, InputRefused> readInputFile(const std::string& path, std::size_t limit) {
    // Opening a FIFO for reading without O_NONBLOCK waits for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return InputRefused{path + ": " + std::strerror(errno)};
    }
    struct stat info {};
    std::variant<InputText, InputRefused> result = InputText{};
    if (::fstat(descriptor, &info) != 0) {
        result = InputRefused{path + ": " + std::strerror(errno)};
    } else if (!S_ISREG(info.st_mode)) {
        result = InputRefused{path + " is not a regular file"};
    } else if (static_cast<unsigned long long>(info.st_size) > limit) {
        result = InputRefused{path + " is larger than " + std::to_string(limit) + " bytes"};
    } else {
        std::string& text = std::get<InputText>(result).text;
        text.resize(limit + 1);  // a file that grew meanwhile shows as too large
        std::size_t filled = 0;
        while (filled < text.size()) {
            const ssize_t got = ::read(descriptor, text.data() + filled, text.size() - filled);
            if (got > 0) {
                filled += static_cast<std::size_t>(got);
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                result = InputRefused{path + ": " + std::strerror(errno)};
                break;
            }
        }
        if (auto* read = std::get_if<InputText>(&result)) {
            if (filled > limit) {
                result = InputRefused{path + " is larger than " + std::to_string(limit) + " bytes"};
            } else {
                read->text.resize(filled);
            }
        }
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
