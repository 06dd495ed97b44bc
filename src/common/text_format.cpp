#include "common/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace qrt::common {

std::string format(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, fmt, args);
    }
    va_end(args);
    return text;
}

}  // namespace qrt::common
