#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "receive/measurement.h"

namespace qrt::gateway {

/// A retained message announcing an entity to Home Assistant: its discovery topic and its
/// configuration.
struct Discovery {
    std::string topic;
    std::string payload;
};

/// Where and as whom the gateway announces: Home Assistant's discovery prefix, the
/// gateway's topic prefix, the site's identity (the unique IDs rest on it, not on the host
/// name) and the host (the gateway device's name).
struct DiscoveryContext {
    std::string discoveryPrefix;
    std::string prefix;
    std::string siteId;
    std::string host;
};

/// A module's channel as Home Assistant is told of it, with the time between two of its
/// values as observed (0 while unknown).
struct AnnouncedChannel {
    receive::ValueSource source{};
    std::string channel;  // "Temp1", "Sample 100"
    receive::Unit unit = receive::Unit::Raw;
    std::int64_t periodMs = 0;
};

/// An ID Home Assistant takes in a discovery topic: each character outside
/// [a-zA-Z0-9_-] becomes '_' ("5.1234" gives "5_1234").
[[nodiscard]] std::string discoveryId(std::string_view text);

/// How long Home Assistant keeps a channel's value without a newer one before it shows
/// the entity unavailable: five telegram periods (radio telegrams get lost), at least a
/// minute, in whole minutes; none while the period is unknown.
[[nodiscard]] std::optional<std::int64_t> expireAfterSeconds(std::int64_t periodMs);

/// A channel as a sensor of its module's device (which names the gateway as the device it
/// comes through): unit, device and state class by what it measures, a status or
/// configuration word as a diagnostic entity without statistics, the value's JSON (with
/// its measurement time) as attributes, unavailable while the gateway is offline or its
/// receiver's port is lost and once the module is silent for `expireAfterSeconds`.
/// Topic: DISCOVERY/sensor/qrt_SITE/MODULE_CHANNEL/config.
[[nodiscard]] Discovery channelDiscovery(const DiscoveryContext& context,
                                         const AnnouncedChannel& channel);

/// The gateway itself as a device: its status and its queue's health as diagnostic
/// sensors.
[[nodiscard]] std::vector<Discovery> gatewayDiscoveries(const DiscoveryContext& context);

}  // namespace qrt::gateway
