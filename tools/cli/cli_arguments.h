#pragma once

#include <cstdint>
#include <string_view>

#include "common/failure.h"
#include "shared/arguments.h"

namespace qrt::cli {

/// The code of a configuration command of the command list (INF, NVR, ...), any case.
[[nodiscard]] common::Result<std::uint8_t> parseCommand(std::string_view text);
/// The number of a writable parameter of the parameter list.
[[nodiscard]] common::Result<std::uint8_t> parseParameter(std::string_view text);
/// An interface box LED pattern: its name in the LED list ("green-blink", any case) or
/// its byte value.
[[nodiscard]] common::Result<std::uint8_t> parseLed(std::string_view text);

}  // namespace qrt::cli
