#include "common/text_format.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace qrt::common {

std::string format(const char* fmt, ...) {
    // Decoded lines are short: one pass into a stack buffer, a second only for longer text.
    std::array<char, 256> buffer{};
    std::va_list args;
    va_start(args, fmt);
    std::va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
    va_end(args);
    std::string text;
    if (length > 0 && static_cast<std::size_t>(length) < buffer.size()) {
        text.assign(buffer.data(), static_cast<std::size_t>(length));
    } else if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, fmt, copy);
    }
    va_end(copy);
    return text;
}

}  // namespace qrt::common
