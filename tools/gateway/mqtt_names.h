#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qrt::gateway {

/// The longest topic prefix: an MQTT topic holds at most 65,535 bytes, and the module, the
/// channel and "/last" (or a discovery topic's own levels) follow the prefix.
inline constexpr std::size_t kLongestPrefix = 65'535 - 256;

/// Whether `text` is UTF-8 as MQTT carries it: well formed, no control character, at
/// most 65,535 bytes.
[[nodiscard]] bool mqttText(std::string_view text);

/// Why `prefix` cannot begin the topics the gateway publishes on: a wildcard (+ or #)
/// that no topic may hold, a leading $ (the broker's own topics, which it does not let a
/// client publish on), a control character or bytes that are not UTF-8, or more than
/// kLongestPrefix bytes; none when it can.
[[nodiscard]] std::optional<std::string> topicPrefixProblem(std::string_view prefix);

/// Why `id` cannot be an MQTT client ID: empty, a control character or bytes that are
/// not UTF-8, or more than 65,535 bytes; none when it can.
[[nodiscard]] std::optional<std::string> clientIdProblem(std::string_view id);

}  // namespace qrt::gateway
