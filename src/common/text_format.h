#pragma once

#include <string>

namespace qrt::common {

/// printf-style formatting into a string of any length (C semantics of the format).
[[nodiscard]] std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qrt::common
