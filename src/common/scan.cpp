#include "common/scan.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace qrt::common {
namespace {

// strtoll/strtoull implement exactly the number syntax of the scanf conversions;
// the text is copied so that it is terminated.
std::optional<std::uint64_t> scanWithBase(std::string_view text, int base) {
    const std::string copy(text);
    const char* begin = copy.c_str();
    while (std::isspace(static_cast<unsigned char>(*begin)) != 0) {
        ++begin;
    }
    char* end = nullptr;
    errno = 0;
    if (base == 0) {
        const long long value = std::strtoll(begin, &end, base);
        if (end == begin) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(value);
    }
    const unsigned long long value = std::strtoull(begin, &end, base);
    if (end == begin) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(value);
}

}  // namespace

std::optional<std::int32_t> scanInt(std::string_view text) {
    const auto value = scanWithBase(text, 0);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
}

std::optional<std::uint32_t> scanHex(std::string_view text) {
    const auto value = scanWithBase(text, 16);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

std::optional<std::int16_t> scanShortInt(std::string_view text) {
    const auto value = scanWithBase(text, 0);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(*value));
}

std::optional<std::uint16_t> scanShortHex(std::string_view text) {
    const auto value = scanWithBase(text, 16);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

}  // namespace qrt::common
