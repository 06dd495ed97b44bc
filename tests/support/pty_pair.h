#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qrt::testing {

/// A pseudo-terminal: the test holds the master, the code under test opens the slave
/// by its path, as it would a serial adapter.
class PtyPair {
  public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            slavePath_ = ::ptsname(master_);
            termios raw{};
            ::tcgetattr(master_, &raw);
            ::cfmakeraw(&raw);
            ::tcsetattr(master_, TCSANOW, &raw);
        }
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }
    [[nodiscard]] bool valid() const { return master_ >= 0 && !slavePath_.empty(); }

    void send(const std::vector<std::uint8_t>& bytes) const {
        (void)!::write(master_, bytes.data(), bytes.size());
    }

    /// Reads until `count` bytes arrived or the time-out passed.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds timeout) const {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, 20) > 0 && (fd.revents & POLLIN) != 0) {
                std::uint8_t buffer[256];
                const ssize_t got = ::read(master_, buffer, sizeof buffer);
                if (got > 0) {
                    bytes.insert(bytes.end(), buffer, buffer + got);
                }
            }
        }
        return bytes;
    }

    /// The line settings the code under test gave the slave side.
    [[nodiscard]] termios lineSettings() const {
        termios settings{};
        ::tcgetattr(master_, &settings);
        return settings;
    }

    /// Closes the master side: the slave then looks like a pulled adapter.
    void closeMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

  private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace qrt::testing
