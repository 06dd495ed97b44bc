#include "gateway/home_assistant.h"

#include <algorithm>

#include "common/version.h"
#include "gateway/messages.h"
#include "values/value_writer.h"

namespace qrt::gateway {

namespace {

constexpr std::int64_t kExpiryPeriods = 5;
constexpr std::int64_t kExpiryStep = 60;  // seconds

// Home Assistant's view of a channel: the device and state class of what it measures,
// and whether it tells of the module rather than of the installation (diagnostic).
struct SensorKind {
    const char* deviceClass;
    const char* stateClass;
    bool diagnostic;
};

// The channels whose values have no unit, by name: status and configuration words and
// digital inputs are bit patterns, no statistics are kept of them; signal levels tell
// of the radio; continuous samples are measured.
struct WordChannel {
    std::string_view name;
    SensorKind kind;
};
constexpr WordChannel kWordChannels[] = {
    {"Bat_Dig", {nullptr, nullptr, true}},          {"Config", {nullptr, nullptr, true}},
    {"Status", {nullptr, nullptr, true}},           {"Status1", {nullptr, nullptr, true}},
    {"Status2", {nullptr, nullptr, true}},          {"Signal", {nullptr, "measurement", true}},
    {"Background", {nullptr, "measurement", true}}, {"Sample", {nullptr, "measurement", false}},
};

SensorKind kindOf(receive::Unit unit, std::string_view channel) {
    switch (unit) {
        case receive::Unit::Celsius:
            return {"temperature", "measurement", false};
        case receive::Unit::Volt:
            return {"voltage", "measurement", false};
        case receive::Unit::Count:
            return {nullptr, "total_increasing", false};
        case receive::Unit::Hour:
            return {"duration", "total_increasing", false};
        case receive::Unit::Raw:
            break;
    }
    const std::string_view name = channel.substr(0, channel.find(' '));  // "Sample 100"
    for (const WordChannel& word : kWordChannels) {
        if (word.name == name) {
            return word.kind;
        }
    }
    return {nullptr, nullptr, false};  // an auxiliary word of unknown meaning
}

// A JSON object built field by field, strings escaped.
class JsonObject {
  public:
    JsonObject& text(std::string_view name, std::string_view value) {
        key(name);
        values::appendJsonString(json_, value);
        return *this;
    }
    JsonObject& number(std::string_view name, std::int64_t value) {
        key(name);
        json_ += std::to_string(value);
        return *this;
    }
    /// A field whose value is JSON already (an object, an array).
    JsonObject& json(std::string_view name, std::string_view value) {
        key(name);
        json_ += value;
        return *this;
    }
    [[nodiscard]] std::string done() const { return json_ + "}"; }

  private:
    void key(std::string_view name) {
        json_ += json_.size() > 1 ? "," : "";
        values::appendJsonString(json_, name);
        json_ += ':';
    }
    std::string json_ = "{";
};

std::string jsonArray(const std::vector<std::string>& items) {
    std::string json = "[";
    for (const std::string& item : items) {
        json += (json.size() > 1 ? "," : "") + item;
    }
    return json + "]";
}

std::string jsonText(std::string_view text) {
    std::string json;
    values::appendJsonString(json, text);
    return json;
}

// The queue's health as sensors of the gateway: a field of PREFIX/status/queue each.
struct HealthSensor {
    std::string_view object;
    std::string_view name;
    std::string_view field;
    std::string_view stateClass;
    std::string_view unit;  // with its device class, when it has one
    std::string_view deviceClass;
};
constexpr HealthSensor kHealthSensors[] = {
    {"gateway_waiting", "Values waiting", "waiting", "measurement", "", ""},
    {"gateway_oldest", "Oldest value waiting", "oldest_age_s", "measurement", "s", "duration"},
    {"gateway_dropped", "Values dropped", "dropped", "total_increasing", "", ""},
};

std::string gatewayId(const DiscoveryContext& context) {
    return "qrt_" + discoveryId(context.siteId);
}

std::string origin() {
    return JsonObject().text("name", "qrt-gateway").text("sw_version", common::kVersionText).done();
}

// Available while PREFIX/status says `online`: neither `offline` (the gateway gone) nor
// `port lost` (its receiver gone), which Home Assistant would otherwise both ignore.
std::string availability(const DiscoveryContext& context, std::string_view mapping) {
    return jsonArray({JsonObject()
                          .text("topic", context.prefix + "/status")
                          .text("value_template", mapping)
                          .done()});
}
constexpr std::string_view kOnlineOnly = "{{ 'online' if value == 'online' else 'offline' }}";
constexpr std::string_view kGatewayUp = "{{ 'offline' if value == 'offline' else 'online' }}";

std::string moduleDevice(const DiscoveryContext& context, const receive::ValueSource& source) {
    const bool shortTelegram = source.kind == receive::ValueSource::Kind::ShortTelegram;
    return JsonObject()
        .json("identifiers",
              jsonArray({jsonText(gatewayId(context) + "_" + discoveryId(source.text()))}))
        .text("name", "Module " + source.text())
        .text("model", shortTelegram ? std::string("Short-telegram module")
                                     : "Module type " + std::to_string(source.module.type))
        .text("via_device", gatewayId(context))
        .done();
}

std::string gatewayDevice(const DiscoveryContext& context) {
    return JsonObject()
        .json("identifiers", jsonArray({jsonText(gatewayId(context))}))
        .text("name", "qrt-gateway " + context.host)
        .text("model", "qrt-gateway")
        .text("sw_version", common::kVersionText)
        .done();
}

std::string topicOf(const DiscoveryContext& context, std::string_view objectId) {
    return context.discoveryPrefix + "/sensor/" + gatewayId(context) + "/" + std::string(objectId) +
           "/config";
}

}  // namespace

std::string discoveryId(std::string_view text) {
    std::string id(text);
    for (char& c : id) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        c = kept ? c : '_';
    }
    return id;
}

std::optional<std::int64_t> expireAfterSeconds(std::int64_t periodMs) {
    if (periodMs <= 0) {
        return std::nullopt;
    }
    const std::int64_t seconds = (kExpiryPeriods * periodMs + 999) / 1000;
    return std::max(kExpiryStep, (seconds + kExpiryStep - 1) / kExpiryStep * kExpiryStep);
}

Discovery channelDiscovery(const DiscoveryContext& context, const AnnouncedChannel& channel) {
    const std::string object =
        discoveryId(channel.source.text()) + "_" + discoveryId(channel.channel);
    const StoredValue value{.source = channel.source, .channel = channel.channel};
    const std::string state = valueTopic(context.prefix, value) + "/last";
    const SensorKind kind = kindOf(channel.unit, channel.channel);
    JsonObject config;
    config.text("name", channel.channel)
        .text("unique_id", gatewayId(context) + "_" + object)
        .text("state_topic", state)
        .text("value_template", "{{ value_json.value }}")
        .text("json_attributes_topic", state);
    if (channel.unit != receive::Unit::Raw && channel.unit != receive::Unit::Count) {
        config.text("unit_of_measurement", receive::unitText(channel.unit));
    }
    if (kind.deviceClass != nullptr) {
        config.text("device_class", kind.deviceClass);
    }
    if (kind.stateClass != nullptr) {
        config.text("state_class", kind.stateClass);
    }
    if (kind.diagnostic) {
        config.text("entity_category", "diagnostic");
    }
    if (const auto expiry = expireAfterSeconds(channel.periodMs)) {
        config.number("expire_after", *expiry);
    }
    config.json("availability", availability(context, kOnlineOnly))
        .json("device", moduleDevice(context, channel.source))
        .json("origin", origin());
    return {topicOf(context, object), config.done()};
}

std::vector<Discovery> gatewayDiscoveries(const DiscoveryContext& context) {
    const auto sensor = [&](std::string_view object, std::string_view name) {
        JsonObject config;
        config.text("name", name)
            .text("unique_id", gatewayId(context) + "_" + std::string(object))
            .text("entity_category", "diagnostic");
        return config;
    };
    const auto done = [&](std::string_view object, JsonObject& config) {
        config.json("device", gatewayDevice(context)).json("origin", origin());
        return Discovery{topicOf(context, object), config.done()};
    };
    // The status has no availability of its own: it shows `offline` when the gateway is.
    JsonObject status = sensor("gateway_status", "Status");
    status.text("state_topic", context.prefix + "/status")
        .text("device_class", "enum")
        .json("options",
              jsonArray({jsonText("online"), jsonText("port lost"), jsonText("offline")}));
    std::vector<Discovery> discoveries{done("gateway_status", status)};
    for (const HealthSensor& health : kHealthSensors) {
        JsonObject config = sensor(health.object, health.name);
        config.text("state_topic", context.prefix + "/status/queue")
            .text("value_template", "{{ value_json." + std::string(health.field) + " }}")
            .text("state_class", health.stateClass);
        if (!health.unit.empty()) {
            config.text("unit_of_measurement", health.unit)
                .text("device_class", health.deviceClass);
        }
        config.json("availability", availability(context, kGatewayUp));
        discoveries.push_back(done(health.object, config));
    }
    return discoveries;
}

}  // namespace qrt::gateway
