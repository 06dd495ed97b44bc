#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "sim/transmission.h"

namespace qrt::sim {

/// One simulated serial interface: a pseudo-terminal whose slave side the tool opens
/// as its port. The simulator holds the slave open itself, so the tool may close and
/// reopen its port without the master seeing a hang-up. Output is queued and written
/// without blocking.
class PtyPort {
  public:
    explicit PtyPort(std::string linkPath) : linkPath_(std::move(linkPath)) {}
    ~PtyPort() { pull(); }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    /// Creates the pseudo-terminal (raw, 8 bits) and points the link, if any, at it.
    bool open(std::string& error);
    /// Closes both sides, as a pulled adapter: the tool's port then fails.
    void pull();
    [[nodiscard]] bool isOpen() const { return master_ >= 0; }
    [[nodiscard]] int fd() const { return master_; }
    /// The path the tool opens: the link when one was asked for, else the slave.
    [[nodiscard]] const std::string& path() const {
        return linkPath_.empty() ? slavePath_ : linkPath_;
    }
    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }

    /// Everything the tool has written so far.
    Bytes read();
    /// Queues bytes for the tool. While the adapter is pulled they are lost, as the
    /// modules' transmissions are lost on the air: nothing arrives in a burst at the replug.
    void queue(const Bytes& bytes) {
        if (isOpen()) {
            pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        }
    }
    /// Writes at most `budget` queued bytes; returns how many went out.
    std::size_t flush(std::size_t budget);
    [[nodiscard]] std::size_t queued() const { return pending_.size(); }

  private:
    std::string linkPath_;
    std::string slavePath_;
    int master_ = -1;
    int slave_ = -1;
    std::deque<std::uint8_t> pending_;
};

}  // namespace qrt::sim
