#include "gateway/mqtt_names.h"

#include <mosquitto.h>

namespace qrt::gateway {

namespace {

constexpr std::size_t kLongestString = 65'535;  // an MQTT string's length is two bytes

}  // namespace

bool mqttText(std::string_view text) {
    return text.size() <= kLongestString &&
           mosquitto_validate_utf8(text.data(), static_cast<int>(text.size())) == MOSQ_ERR_SUCCESS;
}

std::optional<std::string> topicPrefixProblem(std::string_view prefix) {
    if (prefix.empty()) {
        return "is empty";
    }
    if (prefix.size() > kLongestPrefix) {
        return "is " + std::to_string(prefix.size()) + " bytes long: at most " +
               std::to_string(kLongestPrefix) + ", so that module and channel fit in a topic";
    }
    if (prefix.find_first_of("+#") != std::string_view::npos) {
        return "holds a wildcard (+ or #), which no topic may hold";
    }
    if (prefix.front() == '$') {
        return "begins with $: such topics are the broker's own";
    }
    if (!mqttText(prefix)) {
        return "holds a control character or bytes that are not UTF-8";
    }
    return std::nullopt;
}

std::optional<std::string> clientIdProblem(std::string_view id) {
    if (id.empty()) {
        return "is empty";
    }
    if (id.size() > kLongestString) {
        return "is " + std::to_string(id.size()) + " bytes long: at most " +
               std::to_string(kLongestString);
    }
    if (!mqttText(id)) {
        return "holds a control character or bytes that are not UTF-8";
    }
    return std::nullopt;
}

}  // namespace qrt::gateway
