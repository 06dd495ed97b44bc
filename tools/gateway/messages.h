#pragma once

#include <string>
#include <string_view>

#include "gateway/value_queue.h"
#include "receive/measurement.h"

namespace qrt::gateway {

/// One level of a topic: '+', '#', '/', blanks and control characters become '_'.
[[nodiscard]] std::string topicLevel(std::string_view text);

/// PREFIX/MODULE/CHANNEL: "qrt/site/5.1234/Temp1", "qrt/site/2/Sample_100".
[[nodiscard]] std::string valueTopic(const std::string& prefix, const StoredValue& value);

/// {"time":"2026-12-09T05:33:50.123+01:00","value":21.50,"unit":"°C"}: local time with
/// its offset from UTC, the number as the pane line shows it.
[[nodiscard]] std::string valuePayload(const StoredValue& value);

}  // namespace qrt::gateway
