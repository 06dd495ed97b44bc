#include "cli/cli_arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>

#include "commands/command_tables.h"
#include "common/input_file.h"

namespace qrt::cli {

namespace {

constexpr std::size_t kKeyFileLimit = 1024;  // eight words take a few dozen bytes

std::string quoted(std::string_view what, std::string_view text) {
    return std::string(what) + " '" + std::string(text) + "'";
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c == ' ' ? '-'
                                   : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
               };
               return lower(x) == lower(y);
           });
}

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

Parsed<std::int64_t> parseInteger(std::string_view what, std::string_view text, std::int64_t low,
                                  std::int64_t high) {
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
        return ArgumentError{quoted(what, text) + " is not a number"};
    }
    value = negative ? -value : value;
    if (value < low || value > high) {
        return ArgumentError{quoted(what, text) + " is out of range (" + std::to_string(low) +
                             " to " + std::to_string(high) + ")"};
    }
    return value;
}

Parsed<frames::ModuleAddress> parseModule(std::string_view what, std::string_view text) {
    if (text.find('.') == std::string_view::npos) {
        return ArgumentError{quoted(what, text) + " is not a module TYPE.SERIAL, e.g. 5.1234"};
    }
    if (const auto module = frames::ModuleAddress::parse(text)) {
        return *module;
    }
    return ArgumentError{quoted(what, text) +
                         " is not a module TYPE.SERIAL (type 0 to 15, serial below 2^28)"};
}

Parsed<std::optional<frames::ModuleAddress>> parseOptionalModule(std::string_view what,
                                                                 std::string_view text) {
    if (text.empty()) {
        return std::optional<frames::ModuleAddress>();
    }
    const auto module = parseModule(what, text);
    if (const auto* error = std::get_if<ArgumentError>(&module)) {
        return *error;
    }
    return std::optional(std::get<frames::ModuleAddress>(module));
}

Parsed<frames::TeaKey> parseKey(std::string_view what, const std::vector<std::string>& words) {
    if (words.size() != 8) {
        return ArgumentError{std::string(what) + " takes eight hexadecimal words, not " +
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
            return ArgumentError{quoted(what, word) +
                                 " is not a hexadecimal word of 1 to 4 digits"};
        }
    }
    return frames::keyFromWords(key);
}

Parsed<double> parseSeconds(std::string_view what, std::string_view text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(seconds)) {
        return ArgumentError{quoted(what, text) + " is not a number of seconds"};
    }
    if (seconds < 0 || seconds > kLongestWait) {
        return ArgumentError{quoted(what, text) + " is out of range (0 to " +
                             std::to_string(static_cast<int>(kLongestWait)) + " seconds)"};
    }
    return seconds;
}

Parsed<frames::TeaKey> readKeyFile(const std::string& path) {
    const auto file = common::readInputFile(path, kKeyFileLimit);
    if (const auto* refused = std::get_if<common::InputRefused>(&file)) {
        return ArgumentError{"--key-file " + refused->reason};
    }
    std::string words = std::get<common::InputText>(file).text;
    std::replace(words.begin(), words.end(), ',', ' ');
    std::istringstream split(words);
    std::vector<std::string> list;
    for (std::string word; split >> word;) {
        list.push_back(word);
    }
    return parseKey("--key-file", list);
}

Parsed<archive::DateTimeValue> parseDateTime(std::string_view what, std::string_view text) {
    const ArgumentError error{quoted(what, text) +
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

Parsed<std::uint8_t> parseCommand(std::string_view text) {
    for (const commands::ListItem& item : commands::kCommandList) {
        if (sameLetters(item.text, text)) {
            return item.value;
        }
    }
    std::string known;
    for (const commands::ListItem& item : commands::kCommandList) {
        known += std::string(known.empty() ? "" : " ") + item.text;
    }
    return ArgumentError{quoted("command", text) + " is not one of " + known};
}

Parsed<std::uint8_t> parseParameter(std::string_view text) {
    const auto number = parseInteger("parameter", text, 0, 255);
    if (const auto* value = std::get_if<std::int64_t>(&number)) {
        for (const commands::ListItem& item : commands::kParameterList) {
            if (item.value == *value) {
                return item.value;
            }
        }
    }
    return ArgumentError{quoted("parameter", text) +
                         " is not a writable parameter (0 to 17, 20, 21)"};
}

Parsed<std::uint8_t> parseLed(std::string_view text) {
    for (const commands::ListItem& item : commands::kLedList) {
        if (sameLetters(item.text, text)) {
            return item.value;
        }
    }
    const auto value = parseInteger("LED pattern", text, 0, 255);
    if (const auto* byte = std::get_if<std::int64_t>(&value)) {
        for (const commands::ListItem& item : commands::kLedList) {
            if (item.value == *byte) {
                return item.value;
            }
        }
    }
    return ArgumentError{quoted("LED pattern", text) +
                         " is not one of the box's patterns (off, green, red-blink, ...)"};
}

}  // namespace qrt::cli
