#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "archive/date_time.h"
#include "frames/module_address.h"
#include "frames/tea.h"

namespace qrt::cli {

/// What went wrong with an argument, in words for standard error.
struct ArgumentError {
    std::string message;
};

template <typename T>
using Parsed = std::variant<T, ArgumentError>;

/// The longest wait the tools accept, in seconds.
inline constexpr double kLongestWait = 3600;

/// A whole decimal or 0x-hexadecimal integer within [low, high], with one optional sign
/// where negative values are allowed and none elsewhere.
[[nodiscard]] Parsed<std::int64_t> parseInteger(std::string_view what, std::string_view text,
                                                std::int64_t low, std::int64_t high);
/// TYPE.SERIAL: a module type 0 to 15 and a serial number below 2^28.
[[nodiscard]] Parsed<frames::ModuleAddress> parseModule(std::string_view what,
                                                        std::string_view text);
/// As parseModule; an empty text names no module.
[[nodiscard]] Parsed<std::optional<frames::ModuleAddress>> parseOptionalModule(
    std::string_view what, std::string_view text);
/// Eight hexadecimal words of one to four digits (the authenticator's key).
[[nodiscard]] Parsed<frames::TeaKey> parseKey(std::string_view what,
                                              const std::vector<std::string>& words);
/// Seconds to wait or listen: a finite number from 0 to an hour.
[[nodiscard]] Parsed<double> parseSeconds(std::string_view what, std::string_view text);
/// The key's eight words from a file (a regular file of at most 1 KiB), separated by
/// blanks, commas or line breaks.
[[nodiscard]] Parsed<frames::TeaKey> readKeyFile(const std::string& path);
/// YYYY-MM-DD, YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS (a blank for the T too).
[[nodiscard]] Parsed<archive::DateTimeValue> parseDateTime(std::string_view what,
                                                           std::string_view text);
/// The code of a configuration command of the command list (INF, NVR, ...), any case.
[[nodiscard]] Parsed<std::uint8_t> parseCommand(std::string_view text);
/// The number of a writable parameter of the parameter list.
[[nodiscard]] Parsed<std::uint8_t> parseParameter(std::string_view text);
/// An interface box LED pattern: its name in the LED list ("green-blink", any case) or
/// its byte value.
[[nodiscard]] Parsed<std::uint8_t> parseLed(std::string_view text);

}  // namespace qrt::cli
