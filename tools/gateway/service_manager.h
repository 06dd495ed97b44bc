#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace qrt::gateway {

/// What the gateway tells systemd when it runs as a service (Type=notify): that it is
/// ready, that its loop is alive, that it reloads its settings or stops, and a status
/// line for `systemctl status`. Outside systemd (no NOTIFY_SOCKET) every call does
/// nothing, and a message systemd cannot take is dropped: the gateway runs on either way.
class ServiceManager {
  public:
    /// Reads once whether systemd watches this process, and how closely.
    ServiceManager();

    /// How often the loop must call alive(): half the unit's WatchdogSec=, so one late
    /// poll does not count as a hang; none when no watchdog watches this process.
    [[nodiscard]] std::optional<std::chrono::microseconds> watchdogPeriod() const {
        return watchdogPeriod_;
    }

    /// Settings read, queue open, listening: systemctl start returns. Also ends a reload.
    void ready() const;
    /// The loop goes round; without it for WatchdogSec= systemd kills and restarts it.
    void alive() const;
    /// The settings are being read again; ready() follows once they are in force.
    void reloading() const;
    /// A stop has begun (the queue is being closed).
    void stopping() const;
    /// One line for `systemctl status`; a line break or other control character in it
    /// becomes a blank, so no text (a broker's reason) can pass as another message.
    void status(std::string_view text) const;

  private:
    std::optional<std::chrono::microseconds> watchdogPeriod_;
};

}  // namespace qrt::gateway
