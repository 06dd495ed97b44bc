#include "common/output_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace qrt::common {

namespace {

constexpr int kNotAFile = -1;           // opened something that is no file, device or FIFO
constexpr int kFifoWithoutReader = -2;  // ENXIO, in words a technician understands
constexpr int kReaderStalled = -3;      // a FIFO or device took nothing within the limit

}  // namespace

OutputFile::OutputFile(std::string name, int descriptor, int error)
    : name_(std::move(name)), descriptor_(descriptor), error_(error) {
    buffer_.reserve(kBlock + kBlock / 4);
}

OutputFile OutputFile::standardOutput() {
    OutputFile output("standard output", STDOUT_FILENO, 0);
    output.standardOutput_ = true;
    return output;
}

OutputFile OutputFile::create(const std::string& path, std::chrono::milliseconds stallLimit) {
    // Non-blocking, so a FIFO without a reader fails (ENXIO) instead of hanging.
    const int descriptor = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return {path, -1, errno == ENXIO ? kFifoWithoutReader : errno};
    }
    struct stat info {};
    int error = 0;
    if (::fstat(descriptor, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode) && !S_ISFIFO(info.st_mode)) {
        error = kNotAFile;
    } else if (stallLimit.count() <= 0 && ::fcntl(descriptor, F_SETFL, O_WRONLY) != 0) {
        error = errno;  // without a limit, writes block as usual
    }
    if (error != 0) {
        ::close(descriptor);
        return {path, -1, error};
    }
    OutputFile output(path, descriptor, 0);
    output.stallLimit_ = stallLimit;
    return output;
}

OutputFile OutputFile::adopt(std::string name, int descriptor) {
    return {std::move(name), descriptor, 0};
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : name_(std::move(other.name_)),
      descriptor_(std::exchange(other.descriptor_, -1)),
      error_(other.error_),
      standardOutput_(other.standardOutput_),
      stallLimit_(other.stallLimit_),
      buffer_(std::move(other.buffer_)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        close();
        name_ = std::move(other.name_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        error_ = other.error_;
        standardOutput_ = other.standardOutput_;
        stallLimit_ = other.stallLimit_;
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::flush() {
    const char* data = buffer_.data();
    std::size_t left = error_ == 0 ? buffer_.size() : 0;
    while (left > 0) {
        const ssize_t done = ::write(descriptor_, data, left);
        if (done > 0) {
            data += done;
            left -= static_cast<std::size_t>(done);
        } else if (done < 0 && errno == EAGAIN && stallLimit_.count() > 0) {
            if (!awaitReader()) {
                error_ = kReaderStalled;
                break;
            }
        } else if (done < 0 && errno != EINTR) {
            error_ = errno;
            break;
        }
    }
    buffer_.clear();
    return error_ == 0;
}

bool OutputFile::awaitReader() const {
    // A reader that has gone shows as an error here; the next write then says why.
    pollfd ready{descriptor_, POLLOUT, 0};
    int result = 0;
    do {
        result = ::poll(&ready, 1, static_cast<int>(stallLimit_.count()));
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

bool OutputFile::close() {
    if (descriptor_ < 0) {
        return error_ == 0;
    }
    flush();
    if (!standardOutput_ && ::close(descriptor_) != 0 && error_ == 0) {
        error_ = errno;  // a network file system may report a lost write only here
    }
    descriptor_ = -1;
    return error_ == 0;
}

std::string OutputFile::failure() const {
    return error_ == 0 ? std::string() : "cannot write " + name_ + ": " + reason();
}

std::string OutputFile::reason() const {
    switch (error_) {
        case 0:
            return {};
        case kNotAFile:
            return "not a file, device or FIFO";
        case kFifoWithoutReader:
            return "a FIFO that nothing reads";
        case kReaderStalled: {
            const auto ms = stallLimit_.count();
            return "its reader took nothing for " +
                   (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
        }
        default:
            return std::strerror(error_);
    }
}

}  // namespace qrt::common
