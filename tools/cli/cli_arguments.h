#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "archive/date_time.h"
#include "frames/authenticator.h"

namespace qrt::cli {

/// A module named on the command line as TYPE.SERIAL.
struct ModuleName {
    std::uint32_t type = 0;
    std::uint32_t serial = 0;
};

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
[[nodiscard]] Parsed<ModuleName> parseModule(std::string_view what, std::string_view text);
/// As parseModule; an empty text names no module.
[[nodiscard]] Parsed<std::optional<ModuleName>> parseOptionalModule(std::string_view what,
                                                                    std::string_view text);
/// Eight hexadecimal words of one to four digits (the authenticator's key).
[[nodiscard]] Parsed<frames::KeyFieldTexts> parseKey(std::string_view what,
                                                     const std::vector<std::string>& words);
/// Seconds to wait or listen: a finite number from 0 to an hour.
[[nodiscard]] Parsed<double> parseSeconds(std::string_view what, std::string_view text);
/// The key's eight words from a file (a regular file of at most 1 KiB), separated by
/// blanks, commas or line breaks.
[[nodiscard]] Parsed<frames::KeyFieldTexts> readKeyFile(const std::string& path);
/// YYYY-MM-DD, YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS (a blank for the T too).
[[nodiscard]] Parsed<archive::DateTimeValue> parseDateTime(std::string_view what,
                                                           std::string_view text);
/// The index of a configuration command in the command list (INF, NVR, ...), any case.
[[nodiscard]] Parsed<int> parseCommand(std::string_view text);
/// The index of a writable parameter in the parameter list, by its number.
[[nodiscard]] Parsed<int> parseParameter(std::string_view text);
/// An interface box LED pattern: its name in the LED list ("green-blink", any case) or
/// its byte value.
[[nodiscard]] Parsed<std::uint8_t> parseLed(std::string_view text);

}  // namespace qrt::cli
