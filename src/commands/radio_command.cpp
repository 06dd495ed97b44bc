#include "commands/radio_command.h"

#include <optional>

#include "commands/command_tables.h"
#include "common/scan.h"
#include "frames/byte_order.h"

namespace qrt::commands {

namespace {

std::uint32_t scanParameter(const std::string& text, bool hex) {
    return hex ? common::scanHex(text).value_or(0)
               : static_cast<std::uint32_t>(common::scanInt(text).value_or(0));
}

frames::ContentBlock contentBlock(const ConfigurationFields& fields, std::size_t first) {
    frames::ContentBlock block{};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string& text = fields.contentWords[first + i];
        const std::uint16_t word =
            fields.contentHex ? common::scanShortHex(text).value_or(0)
                              : static_cast<std::uint16_t>(common::scanShortInt(text).value_or(0));
        frames::writeLe16(block, 2 * i, word);
    }
    return block;
}

}  // namespace

void sendRadioCommand(frames::FrameSender& sender, const ConfigurationFields& fields) {
    const auto serial = static_cast<std::uint32_t>(common::scanInt(fields.serial).value_or(0));
    const auto type = static_cast<std::uint32_t>(common::scanInt(fields.type).value_or(0));
    const std::uint32_t bytePar = scanParameter(fields.bytePar, fields.byteHex);
    const std::uint32_t wordPar = scanParameter(fields.wordPar, fields.wordHex);
    const std::uint8_t code = itemAt(kCommandList, fields.commandIndex).value;
    const std::uint32_t id =
        fields.broadcast ? frames::kBroadcastId : frames::commandModuleId(type, serial);
    sender.SendCommandFrame(code, id, static_cast<std::uint16_t>(wordPar),
                            static_cast<std::uint8_t>(bytePar), sender.protocol().nextSequence());
    std::optional<frames::ContentBlock> lastContent;
    if (fields.content) {
        lastContent = contentBlock(fields, 0);
        sender.SendContentFrame(*lastContent);
        if (fields.secondContent) {
            lastContent = contentBlock(fields, 4);
            sender.SendContentFrame(*lastContent);
        }
    }
    frames::SendAuthenticator(sender, fields.authenticate, code, lastContent, fields.keyFields);
}

void sendInductiveCommand(frames::FrameSender& sender, const ConfigurationFields& fields) {
    if (!sender.protocol().binaryProtocol) {
        return;
    }
    const std::uint32_t bytePar = scanParameter(fields.bytePar, fields.byteHex);
    const std::uint32_t wordPar = scanParameter(fields.wordPar, fields.wordHex);
    sender.SendInductiveFrame(itemAt(kCommandList, fields.commandIndex).value,
                              static_cast<std::uint16_t>(wordPar),
                              static_cast<std::uint8_t>(bytePar), true);
}

std::uint32_t idFilterFor(bool filterOn, bool broadcast, const std::string& serial,
                          const std::string& type) {
    if (!filterOn) {
        return 0;
    }
    if (broadcast) {
        return frames::kBroadcastId;
    }
    const auto scannedSerial = common::scanInt(serial);
    if (!scannedSerial) {
        return 0;
    }
    const auto filter = static_cast<std::uint32_t>(*scannedSerial);
    if (const auto scannedType = common::scanInt(type)) {
        return frames::moduleId(static_cast<std::uint32_t>(*scannedType), filter);
    }
    return filter;
}

}  // namespace qrt::commands
