#include "cli/cli_arguments.h"

#include <algorithm>
#include <cctype>

#include "commands/command_tables.h"

namespace qrt::cli {

namespace {

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c == ' ' ? '-'
                                   : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
               };
               return lower(x) == lower(y);
           });
}

}  // namespace

common::Result<std::uint8_t> parseCommand(std::string_view text) {
    for (const commands::ListItem& item : commands::kCommandList) {
        if (sameLetters(item.text, text)) {
            return item.value;
        }
    }
    std::string known;
    for (const commands::ListItem& item : commands::kCommandList) {
        known += std::string(known.empty() ? "" : " ") + item.text;
    }
    return common::Failure{tools::quoted("command", text) + " is not one of " + known};
}

common::Result<std::uint8_t> parseParameter(std::string_view text) {
    const auto number = tools::parseInteger("parameter", text, 0, 255);
    if (const auto* value = std::get_if<std::int64_t>(&number)) {
        for (const commands::ListItem& item : commands::kParameterList) {
            if (item.value == *value) {
                return item.value;
            }
        }
    }
    return common::Failure{tools::quoted("parameter", text) +
                           " is not a writable parameter (0 to 17, 20, 21)"};
}

common::Result<std::uint8_t> parseLed(std::string_view text) {
    for (const commands::ListItem& item : commands::kLedList) {
        if (sameLetters(item.text, text)) {
            return item.value;
        }
    }
    const auto value = tools::parseInteger("LED pattern", text, 0, 255);
    if (const auto* byte = std::get_if<std::int64_t>(&value)) {
        for (const commands::ListItem& item : commands::kLedList) {
            if (item.value == *byte) {
                return item.value;
            }
        }
    }
    return common::Failure{tools::quoted("LED pattern", text) +
                           " is not one of the box's patterns (off, green, red-blink, ...)"};
}

}  // namespace qrt::cli
