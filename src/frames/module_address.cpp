#include "frames/module_address.h"

#include <charconv>

namespace qrt::frames {

namespace {

// A whole unsigned number, decimal or 0x-hexadecimal, at most `high`.
std::optional<std::uint32_t> number(std::string_view text, std::uint32_t high) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<ModuleAddress> ModuleAddress::parse(std::string_view text) {
    const std::size_t dot = text.find('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    const auto type = number(text.substr(0, dot), 15);
    const auto serial = number(text.substr(dot + 1), kSerialMask);
    if (!type || !serial) {
        return std::nullopt;
    }
    return ModuleAddress{*type, *serial};
}

std::string ModuleAddress::text() const {
    return std::to_string(type) + "." + std::to_string(serial);
}

}  // namespace qrt::frames
