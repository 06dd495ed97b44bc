#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "gateway/gateway_loop.h"
#include "gateway/mqtt_link.h"
#include "shared/connection.h"

namespace CLI {
class App;
}

namespace qrt::gateway {

/// qrt-gateway's options as given, on the command line or in its configuration file.
struct GatewayOptions {
    tools::ConnectionOptions connection;
    std::string broker;
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    std::string credentials;
    std::string clientId;
    int keepAlive = 60;
    std::string mqttVersion = "3.1.1";
    std::string prefix;
    std::string discovery;            // Home Assistant's prefix; empty: no announcements
    std::string siteId;               // empty: the one kept in the queue
    std::vector<std::string> forget;  // retired modules
    bool lines = false;
    std::string queue;
    std::string queueLimit = "1G";
};

/// Everything the gateway is set up with, checked.
struct GatewaySetup {
    tools::Connection connection;
    MqttSettings mqtt;
    GatewaySettings gateway;
    std::string queueFolder;
    std::uint64_t queueLimit = 0;
};

/// Adds the options, with --config for a file of the same keys (broker=...), to `app`.
void addGatewayOptions(CLI::App& app, GatewayOptions& options);

/// Reads the command line, and the configuration file it names, into the options added to
/// `app`: why they are refused (the option, key or file named), or none. A request for
/// help or the version is thrown on (CLI::Success), for `app` to answer.
[[nodiscard]] std::optional<common::Failure> parseGatewayOptions(CLI::App& app, int argc,
                                                                 char** argv);

/// The options resolved for the gateway on `host`, or the first that cannot be used.
[[nodiscard]] common::Result<GatewaySetup> resolveGatewayOptions(const GatewayOptions& options,
                                                                 const std::string& host);

/// The setup read anew from the same command line and configuration file (a reload), or
/// why it cannot be used.
[[nodiscard]] common::Result<GatewaySetup> rereadGatewaySetup(int argc, char** argv,
                                                              const std::string& host);

/// The queue's folder when none is given: the service's state directory, else the user's
/// ($XDG_STATE_HOME/qrt-gateway, by default ~/.local/state/qrt-gateway).
[[nodiscard]] std::string defaultQueueFolder();

/// The smallest queue limit: the empty queue and the channels' retained messages take
/// part of it, and values need room beside them.
inline constexpr std::uint64_t kSmallestQueueLimit = 1ULL << 20;

/// A size in bytes: "1G", "500M", "64K" or bytes; none for anything else, and for a size
/// beyond 64 bits.
[[nodiscard]] std::optional<std::uint64_t> sizeOf(const std::string& text);

}  // namespace qrt::gateway
