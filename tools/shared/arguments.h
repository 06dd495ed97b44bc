#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/date_time.h"
#include "common/failure.h"
#include "frames/module_address.h"
#include "frames/tea.h"

namespace qrt::tools {

/// The longest wait the tools accept, in seconds.
inline constexpr double kLongestWait = 3600;

/// A whole decimal or 0x-hexadecimal integer within [low, high], with one optional sign
/// where negative values are allowed and none elsewhere.
[[nodiscard]] common::Result<std::int64_t> parseInteger(std::string_view what,
                                                        std::string_view text, std::int64_t low,
                                                        std::int64_t high);
/// TYPE.SERIAL: a module type 0 to 15 and a serial number below 2^28.
[[nodiscard]] common::Result<frames::ModuleAddress> parseModule(std::string_view what,
                                                                std::string_view text);
/// As parseModule; an empty text names no module.
[[nodiscard]] common::Result<std::optional<frames::ModuleAddress>> parseOptionalModule(
    std::string_view what, std::string_view text);
/// Eight hexadecimal words of one to four digits (the authenticator's key).
[[nodiscard]] common::Result<frames::TeaKey> parseKey(std::string_view what,
                                                      const std::vector<std::string>& words);
/// Seconds to wait or listen: a finite number from 0 to an hour.
[[nodiscard]] common::Result<double> parseSeconds(std::string_view what, std::string_view text);
/// The key's eight words from a file (a regular file of at most 1 KiB), separated by
/// blanks, commas or line breaks.
[[nodiscard]] common::Result<frames::TeaKey> readKeyFile(const std::string& path);
/// YYYY-MM-DD, YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS (a blank for the T too).
[[nodiscard]] common::Result<archive::DateTimeValue> parseDateTime(std::string_view what,
                                                                   std::string_view text);

/// "WHAT 'TEXT'": how a refused argument is named in a message.
[[nodiscard]] std::string quoted(std::string_view what, std::string_view text);

}  // namespace qrt::tools
