#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/failure.h"
#include "gateway/queue_database.h"

namespace qrt::gateway {

/// The site's identity, which Home Assistant's unique IDs and device identifiers rest on
/// instead of the host name: made once (twelve random hexadecimal digits) and kept in the
/// queue's database, so a renamed host with the same queue keeps every entity; or why it
/// could not be kept (an identity made anew at every start would duplicate every entity).
[[nodiscard]] common::Result<std::string> siteIdentity(QueueDatabase& db);

/// Why `id` cannot be a site identity (--site-id): empty, more than 64 characters, or a
/// character outside [a-zA-Z0-9_-]; none when it can.
[[nodiscard]] std::optional<std::string> siteIdProblem(std::string_view id);

}  // namespace qrt::gateway
