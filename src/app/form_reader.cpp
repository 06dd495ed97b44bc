#include "app/form_reader.h"

#include "commands/command_tables.h"
#include "common/scan.h"
#include "common/text_format.h"

namespace qrt::app {

namespace {

std::uint32_t parameterOf(const std::string& text, bool hex) {
    return hex ? common::scanHex(text).value_or(0)
               : static_cast<std::uint32_t>(common::scanInt(text).value_or(0));
}

std::uint16_t contentWordOf(const std::string& text, bool hex) {
    return hex ? common::scanShortHex(text).value_or(0)
               : static_cast<std::uint16_t>(common::scanShortInt(text).value_or(0));
}

frames::ContentBlock contentOf(const ConfigurationForm& form, std::size_t first) {
    std::array<std::uint16_t, 4> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = contentWordOf(form.contentWords[first + i], form.contentHex);
    }
    return commands::contentBlock(words);
}

std::uint8_t codeOf(const ConfigurationForm& form) {
    return commands::itemAt(commands::kCommandList, form.commandIndex).value;
}

}  // namespace

commands::RadioCommand radioCommandOf(const ConfigurationForm& form) {
    commands::RadioCommand command{
        .code = codeOf(form),
        .wordPar = static_cast<std::uint16_t>(parameterOf(form.wordPar, form.wordHex)),
        .bytePar = static_cast<std::uint8_t>(parameterOf(form.bytePar, form.byteHex)),
        .authenticate = form.authenticate};
    if (!form.broadcast) {
        command.target = frames::ModuleAddress{
            static_cast<std::uint32_t>(common::scanInt(form.type).value_or(0)),
            static_cast<std::uint32_t>(common::scanInt(form.serial).value_or(0))};
    }
    if (form.content) {
        command.content.push_back(contentOf(form, 0));
        if (form.secondContent) {
            command.content.push_back(contentOf(form, 4));
        }
    }
    return command;
}

commands::InductiveCommand inductiveCommandOf(const ConfigurationForm& form) {
    return {.code = codeOf(form),
            .wordPar = static_cast<std::uint16_t>(parameterOf(form.wordPar, form.wordHex)),
            .bytePar = static_cast<std::uint8_t>(parameterOf(form.bytePar, form.byteHex))};
}

std::optional<frames::ModuleAddress> typedModule(const std::string& serial,
                                                 const std::string& type) {
    const auto scannedSerial = common::scanInt(serial);
    const auto scannedType = common::scanInt(type);
    if (!scannedSerial || !scannedType) {
        return std::nullopt;
    }
    return frames::ModuleAddress{static_cast<std::uint32_t>(*scannedType),
                                 static_cast<std::uint32_t>(*scannedSerial)};
}

std::uint32_t idFilterOf(bool filterOn, bool broadcast, const std::string& serial,
                         const std::string& type) {
    if (!filterOn) {
        return 0;
    }
    if (broadcast) {
        return frames::kBroadcastId;
    }
    if (const auto module = typedModule(serial, type)) {
        return module->filterId();
    }
    return static_cast<std::uint32_t>(common::scanInt(serial).value_or(0));
}

frames::TeaKey keyOf(const std::array<std::string, 8>& fields) {
    std::array<std::uint16_t, 8> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(common::scanHex(fields[i]).value_or(0));
    }
    return frames::keyFromWords(words);
}

std::array<std::string, 8> keyFieldsOf(const frames::TeaKey& key) {
    std::array<std::string, 8> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i] = common::format<"%04X">((key[i / 2] >> (16 * (i % 2))) & 0xFFFFu);
    }
    return fields;
}

std::optional<std::int32_t> parameterValueOf(const std::string& text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (const auto hex = common::scanHex(std::string_view(text).substr(2))) {
            return static_cast<std::int32_t>(*hex);
        }
        return std::nullopt;
    }
    return common::scanInt(text);
}

std::optional<std::uint16_t> crcStartOf(const std::string& text) {
    return common::scanShortHex(text);
}

}  // namespace qrt::app
