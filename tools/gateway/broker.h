#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/failure.h"

namespace qrt::gateway {

/// Where the broker listens: mqtt://HOST[:PORT] (1883 by default) or mqtts://HOST[:PORT]
/// (TLS, 8883 by default). A host may be an IPv6 address in brackets.
struct BrokerAddress {
    bool tls = false;
    std::string host;
    int port = 1883;

    [[nodiscard]] static std::optional<BrokerAddress> parse(std::string_view url);
    /// As given: "mqtt://localhost:1883".
    [[nodiscard]] std::string text() const;
};

/// A user name and a password for the broker, from a file of two lines.
struct Credentials {
    std::string user;
    std::string password;
};

/// Reads the credentials file: a regular file that others may neither read nor write, the
/// user on its first line, the password on its second; or why it is refused.
[[nodiscard]] common::Result<Credentials> readCredentials(const std::string& path);

}  // namespace qrt::gateway
