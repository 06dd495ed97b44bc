#include "sim/pty_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace qrt::sim {

bool PtyPort::open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        pull();
        return false;
    }
    slavePath_ = ::ptsname(master_);
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    for (const int fd : {master_, slave_}) {
        termios raw{};
        if (fd >= 0 && ::tcgetattr(fd, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(fd, TCSANOW, &raw);
        }
    }
    if (!linkPath_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(linkPath_, ignored);
        std::filesystem::create_symlink(slavePath_, linkPath_, ignored);
        if (ignored) {
            error = "cannot link " + linkPath_ + " to " + slavePath_ + ": " + ignored.message();
            pull();
            return false;
        }
    }
    return true;
}

void PtyPort::pull() {
    for (int* fd : {&slave_, &master_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    pending_.clear();
}

Bytes PtyPort::read() {
    Bytes bytes;
    if (master_ < 0) {
        return bytes;
    }
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

std::size_t PtyPort::flush(std::size_t budget) {
    if (master_ < 0 || pending_.empty() || budget == 0) {
        return 0;
    }
    const std::size_t count = std::min(budget, pending_.size());
    const std::vector<std::uint8_t> chunk(pending_.begin(),
                                          pending_.begin() + static_cast<std::ptrdiff_t>(count));
    const ssize_t written = ::write(master_, chunk.data(), chunk.size());
    if (written <= 0) {
        return 0;  // the tool is not reading: the pseudo-terminal is full for now
    }
    pending_.erase(pending_.begin(), pending_.begin() + written);
    return static_cast<std::size_t>(written);
}

}  // namespace qrt::sim
