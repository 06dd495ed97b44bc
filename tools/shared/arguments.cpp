#include "shared/arguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "common/input_file.h"

namespace qrt::tools {

namespace {

constexpr std::size_t kKeyFileLimit = 1024;  // eight words take a few dozen bytes

std::optional<int> wholeNumber(std::string_view text, std::size_t digits) {
    int value = 0;
    if (text.size() != digits) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(value)
                                                                    : std::nullopt;
}

}  // namespace

std::string quoted(std::string_view what, std::string_view text) {
    return std::string(what) + " '" + std::string(text) + "'";
}

common::Result<std::int64_t> parseInteger(std::string_view what, std::string_view text,
                                          std::int64_t low, std::int64_t high) {
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    // One sign, and only where a negative value is allowed.
    if (low < 0 && !digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    std::int64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    const bool signedAgain = !digits.empty() && (digits.front() == '-' || digits.front() == '+');
    if (digits.empty() || signedAgain || error != std::errc() ||
        end != digits.data() + digits.size()) {
        return common::Failure{quoted(what, text) + " is not a number"};
    }
    value = negative ? -value : value;
    if (value < low || value > high) {
        return common::Failure{quoted(what, text) + " is out of range (" + std::to_string(low) +
                               " to " + std::to_string(high) + ")"};
    }
    return value;
}

common::Result<frames::ModuleAddress> parseModule(std::string_view what, std::string_view text) {
    if (text.find('.') == std::string_view::npos) {
        return common::Failure{quoted(what, text) + " is not a module TYPE.SERIAL, e.g. 5.1234"};
    }
    if (const auto module = frames::ModuleAddress::parse(text)) {
        return *module;
    }
    return common::Failure{quoted(what, text) +
                           " is not a module TYPE.SERIAL (type 0 to 15, serial below 2^28)"};
}

common::Result<std::optional<frames::ModuleAddress>> parseOptionalModule(std::string_view what,
                                                                         std::string_view text) {
    if (text.empty()) {
        return std::optional<frames::ModuleAddress>();
    }
    const auto module = parseModule(what, text);
    if (const auto* error = common::failureOf(module)) {
        return *error;
    }
    return std::optional(std::get<frames::ModuleAddress>(module));
}

common::Result<frames::TeaKey> parseKey(std::string_view what,
                                        const std::vector<std::string>& words) {
    if (words.size() != 8) {
        return common::Failure{std::string(what) + " takes eight hexadecimal words, not " +
                               std::to_string(words.size())};
    }
    std::array<std::uint16_t, 8> key{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const auto [end, error] =
            std::from_chars(word.data(), word.data() + word.size(), key[i], 16);
        const bool hex = !word.empty() && word.size() <= 4 && error == std::errc() &&
                         end == word.data() + word.size();
        if (!hex) {
            return common::Failure{quoted(what, word) +
                                   " is not a hexadecimal word of 1 to 4 digits"};
        }
    }
    return frames::keyFromWords(key);
}

common::Result<double> parseSeconds(std::string_view what, std::string_view text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(seconds)) {
        return common::Failure{quoted(what, text) + " is not a number of seconds"};
    }
    if (seconds < 0 || seconds > kLongestWait) {
        return common::Failure{quoted(what, text) + " is out of range (0 to " +
                               std::to_string(static_cast<int>(kLongestWait)) + " seconds)"};
    }
    return seconds;
}

common::Result<frames::TeaKey> readKeyFile(const std::string& path) {
    const auto file = common::readInputFile(path, kKeyFileLimit);
    if (const auto* refused = common::failureOf(file)) {
        return common::Failure{"--key-file " + refused->reason};
    }
    std::string words = std::get<std::string>(file);
    std::replace(words.begin(), words.end(), ',', ' ');
    std::istringstream split(words);
    std::vector<std::string> list;
    for (std::string word; split >> word;) {
        list.push_back(word);
    }
    return parseKey("--key-file", list);
}

common::Result<archive::DateTimeValue> parseDateTime(std::string_view what, std::string_view text) {
    const common::Failure error{quoted(what, text) +
                                " is not a date and time YYYY-MM-DD[THH:MM[:SS]]"};
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) {
        return error;
    }
    const auto year = wholeNumber(text.substr(0, 4), 4);
    const auto month = wholeNumber(text.substr(5, 2), 2);
    const auto day = wholeNumber(text.substr(8, 2), 2);
    if (text[4] != '-' || text[7] != '-' || !year || !month || !day) {
        return error;
    }
    const auto date = archive::encodeDate(*year, *month, *day);
    std::optional<int> hour = 0;
    std::optional<int> minute = 0;
    std::optional<int> second = 0;
    if (text.size() > 10) {
        hour = wholeNumber(text.substr(11, 2), 2);
        minute = wholeNumber(text.substr(14, 2), 2);
        if ((text[10] != 'T' && text[10] != ' ') || text[13] != ':') {
            return error;
        }
    }
    if (text.size() > 16) {
        second = wholeNumber(text.substr(17, 2), 2);
        if (text[16] != ':') {
            return error;
        }
    }
    if (!date || !hour || !minute || !second) {
        return error;
    }
    const auto time = archive::encodeTime(*hour, *minute, *second);
    if (!time) {
        return error;
    }
    return *date + *time;
}

}  // namespace qrt::tools
