// What the gateway tells systemd: nothing at all outside it, each message on the socket
// systemd names, and the watchdog period it must keep.
#include "gateway/service_manager.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "support/temp_folder.h"

namespace qrt::gateway {
namespace {

using namespace std::chrono_literals;
using qrt::testing::TempFolder;

// Sets (or, with none, removes) an environment variable for one scope.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        set(value);
    }
    ~ScopedVariable() { set(old_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

// The datagram socket systemd listens on, bound in the test's own folder.
class NotifySocket {
  public:
    explicit NotifySocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_DGRAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        bound_ = fd_ >= 0 &&
                 ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(fd_); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    [[nodiscard]] bool bound() const { return bound_; }
    // The next message already sent (sd_notify returns once it is queued), or none.
    [[nodiscard]] std::optional<std::string> message() const {
        char buffer[4096];
        const ssize_t size = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (size < 0) {
            return std::nullopt;
        }
        return std::string(buffer, static_cast<std::size_t>(size));
    }

  private:
    int fd_;
    bool bound_ = false;
};

TEST(ServiceManager, OutsideSystemdSendsNothingAndHasNoWatchdog) {
    TempFolder folder("qrt_notify");
    const NotifySocket socket(folder.file("notify"));
    ASSERT_TRUE(socket.bound());
    const ScopedVariable notify("NOTIFY_SOCKET", std::nullopt);
    const ScopedVariable watchdog("WATCHDOG_USEC", std::nullopt);

    const ServiceManager manager;
    manager.ready();
    manager.alive();
    manager.reloading();
    manager.status("online");
    manager.stopping();
    EXPECT_FALSE(manager.watchdogPeriod());
    EXPECT_FALSE(socket.message());
}

TEST(ServiceManager, EachCallIsOneMessageOnTheNotifySocket) {
    TempFolder folder("qrt_notify");
    const NotifySocket socket(folder.file("notify"));
    ASSERT_TRUE(socket.bound());
    const ScopedVariable notify("NOTIFY_SOCKET", folder.file("notify"));
    const ServiceManager manager;

    const struct {
        std::function<void()> call;
        std::string message;  // the whole datagram, or its start for a reload
    } cases[] = {
        {[&] { manager.ready(); }, "READY=1"},
        {[&] { manager.alive(); }, "WATCHDOG=1"},
        {[&] { manager.stopping(); }, "STOPPING=1"},
        {[&] { manager.reloading(); }, "RELOADING=1\nMONOTONIC_USEC="},
        {[&] { manager.status("queue draining: 5"); }, "STATUS=queue draining: 5"},
        {[&] { manager.status("refused\nREADY=1\r"); }, "STATUS=refused READY=1 "},
    };
    for (const auto& c : cases) {
        c.call();
        const auto message = socket.message();
        ASSERT_TRUE(message) << c.message;
        if (c.message.starts_with("RELOADING")) {
            EXPECT_TRUE(message->starts_with(c.message)) << *message;
            EXPECT_GT(message->size(), c.message.size()) << *message;
        } else {
            EXPECT_EQ(*message, c.message);
        }
    }
    EXPECT_FALSE(socket.message());
}

TEST(ServiceManager, WatchdogPeriodIsHalfTheUnitsIntervalForThisProcessOnly) {
    const std::string self = std::to_string(::getpid());
    const std::string other = std::to_string(::getpid() + 1);
    const struct {
        std::optional<std::string> usec;
        std::optional<std::string> pid;
        std::optional<std::chrono::microseconds> period;
    } cases[] = {
        {"30000000", self, 15s},
        {"30000000", std::nullopt, 15s},
        {"30000000", other, std::nullopt},  // the watchdog of the process that started us
        {"0", self, std::nullopt},
        {"junk", self, std::nullopt},
        {std::nullopt, self, std::nullopt},
    };
    for (const auto& c : cases) {
        const ScopedVariable usec("WATCHDOG_USEC", c.usec);
        const ScopedVariable pid("WATCHDOG_PID", c.pid);
        EXPECT_EQ(ServiceManager().watchdogPeriod(), c.period)
            << c.usec.value_or("unset") << " for " << c.pid.value_or("any process");
    }
}

}  // namespace
}  // namespace qrt::gateway
