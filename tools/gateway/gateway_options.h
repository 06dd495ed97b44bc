#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
    std::string discovery;  // Home Assistant's prefix; empty: no announcements
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

/// Why the configuration file named on the command line may not be read (it must be a
/// regular file of sane size); none when it may, or when none is named.
[[nodiscard]] std::optional<common::Failure> configFileProblem(int argc, char** argv);

/// The options resolved for the gateway on `host`, or the first that cannot be used.
[[nodiscard]] common::Result<GatewaySetup> resolveGatewayOptions(const GatewayOptions& options,
                                                                 const std::string& host);

/// The queue's folder when none is given: the service's state directory, else the user's
/// ($XDG_STATE_HOME/qrt-gateway, by default ~/.local/state/qrt-gateway).
[[nodiscard]] std::string defaultQueueFolder();

/// A size in bytes: "1G", "500M", "64K" or bytes; none for anything else.
[[nodiscard]] std::optional<std::uint64_t> sizeOf(const std::string& text);

}  // namespace qrt::gateway
