#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "support/child_process.h"

namespace qrt::testing {

/// A TCP port on the loopback that nothing listens on now.
inline int freeLocalPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

/// Whether something accepts connections on a loopback port.
inline bool listening(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool accepted = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return accepted;
}

/// A real mosquitto broker on a free loopback port, with its configuration in `folder`
/// (persistence there too, saved every second, so a killed broker keeps its sessions and
/// retained messages; without persistence, a restarted broker has lost them).
class MqttBroker {
  public:
    MqttBroker(const std::string& folder, const std::string& extraConfig = "",
               bool persistent = true)
        : folder_(folder), port_(freeLocalPort()) {
        std::ofstream(folder + "/broker.conf")
            << "listener " << port_ << " 127.0.0.1\n"
            << (extraConfig.find("allow_anonymous") == std::string::npos ? "allow_anonymous true\n"
                                                                         : "")
            << (persistent ? "persistence true\npersistence_location " + folder +
                                 "/\nautosave_interval 1\n"
                           : "persistence false\n")
            << "max_queued_messages 0\n"
            << (::geteuid() == 0 ? "user root\n" : "")  // as root it would change to its own user
            << extraConfig;
        start();
    }

    void start() {
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/sbin/mosquitto", "-c", folder_ + "/broker.conf"},
            folder_ + "/broker.log");
        waitFor([this] { return listening(port_); }, std::chrono::seconds(10));
    }
    void kill() { process_->stop(SIGKILL); }
    /// SIGSTOP makes it a broker that answers nothing while its connections stay up.
    void signal(int number) const { process_->signal(number); }
    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] std::string url(const char* scheme = "mqtt") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }

  private:
    std::string folder_;
    int port_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace qrt::testing
