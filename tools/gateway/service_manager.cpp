#include "gateway/service_manager.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace qrt::gateway {
namespace {

// sd_notify() returns at once when NOTIFY_SOCKET is unset, and a failed send changes
// nothing the gateway could act on: the result is not looked at.
void tell(const std::string& message) {
    static_cast<void>(::sd_notify(0, message.c_str()));
}

// The monotonic clock in microseconds, which systemd matches a reload's end against.
std::string monotonicMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::to_string(static_cast<unsigned long long>(now.tv_sec) * 1'000'000ULL +
                          static_cast<unsigned long long>(now.tv_nsec) / 1'000ULL);
}

}  // namespace

ServiceManager::ServiceManager() {
    std::uint64_t interval = 0;
    if (::sd_watchdog_enabled(0, &interval) > 0 && interval > 0) {
        watchdogPeriod_ = std::chrono::microseconds(interval / 2);
    }
}

void ServiceManager::ready() const {
    tell("READY=1");
}

void ServiceManager::alive() const {
    tell("WATCHDOG=1");
}

void ServiceManager::reloading() const {
    tell("RELOADING=1\nMONOTONIC_USEC=" + monotonicMicroseconds());
}

void ServiceManager::stopping() const {
    tell("STOPPING=1");
}

void ServiceManager::status(std::string_view text) const {
    std::string line = "STATUS=";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    tell(line);
}

}  // namespace qrt::gateway
