#include "gateway/messages.h"

#include <cstdlib>

#include "common/text_format.h"
#include "values/value_writer.h"

namespace qrt::gateway {

namespace {

// The Home Assistant device and state classes of a unit; a raw word has neither.
struct SensorClass {
    const char* device;
    const char* state;
};

SensorClass sensorClassOf(receive::Unit unit) {
    switch (unit) {
        case receive::Unit::Celsius:
            return {"temperature", "measurement"};
        case receive::Unit::Volt:
            return {"voltage", "measurement"};
        case receive::Unit::Count:
            return {nullptr, "total_increasing"};
        case receive::Unit::Hour:
            return {"duration", "total_increasing"};
        case receive::Unit::Raw:
            break;
    }
    return {nullptr, "measurement"};
}

void appendField(std::string& json, std::string_view name, std::string_view text) {
    json += json.size() > 1 ? "," : "";
    values::appendJsonString(json, name);
    json += ':';
    values::appendJsonString(json, text);
}

}  // namespace

std::string topicLevel(std::string_view text) {
    std::string level(text);
    for (char& c : level) {
        if (c == '+' || c == '#' || c == '/' || static_cast<unsigned char>(c) <= ' ') {
            c = '_';
        }
    }
    return level;
}

std::string valueTopic(const std::string& prefix, const StoredValue& value) {
    return prefix + "/" + topicLevel(value.source.text()) + "/" + topicLevel(value.channel);
}

std::string valuePayload(const StoredValue& value) {
    const common::DateTime t = value.time.local();
    const int offset = value.time.utcOffsetSeconds;
    std::string json = "{\"time\":\"";
    values::appendIsoTime(json, t);
    common::appendFormat<"%c%02d:%02d\"">(json, offset < 0 ? '-' : '+', std::abs(offset) / 3600,
                                          std::abs(offset) / 60 % 60);
    json += ",\"value\":";
    values::appendValueText(json, value.raw, value.scale);
    json += ",\"unit\":";
    values::appendJsonString(json, receive::unitText(value.unit));
    json += '}';
    return json;
}

Discovery discoveryOf(const std::string& discoveryPrefix, const std::string& prefix,
                      const std::string& gateway, const StoredValue& value) {
    const std::string module = topicLevel(value.source.text());
    const std::string object = topicLevel(module + "_" + value.channel);
    const std::string device = "qrt_" + topicLevel(gateway) + "_" + module;
    const SensorClass kind = sensorClassOf(value.unit);
    std::string json = "{";
    appendField(json, "name", value.channel);
    appendField(json, "unique_id", device + "_" + topicLevel(value.channel));
    appendField(json, "state_topic", valueTopic(prefix, value) + "/last");
    appendField(json, "value_template", "{{ value_json.value }}");
    if (value.unit != receive::Unit::Raw && value.unit != receive::Unit::Count) {
        appendField(json, "unit_of_measurement", receive::unitText(value.unit));
    }
    if (kind.device != nullptr) {
        appendField(json, "device_class", kind.device);
    }
    appendField(json, "state_class", kind.state);
    appendField(json, "availability_topic", prefix + "/status");
    appendField(json, "payload_available", "online");
    appendField(json, "payload_not_available", "offline");
    json += ",\"device\":{\"identifiers\":[";
    values::appendJsonString(json, device);
    json += "],";
    values::appendJsonString(json, "name");
    json += ':';
    values::appendJsonString(json, "Module " + value.source.text());
    json += "}}";
    return {discoveryPrefix + "/sensor/" + topicLevel("qrt_" + gateway) + "/" + object + "/config",
            json};
}

}  // namespace qrt::gateway
