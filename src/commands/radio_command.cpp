#include "commands/radio_command.h"

#include <algorithm>

#include "frames/authenticator.h"
#include "frames/byte_order.h"

namespace qrt::commands {

namespace {

constexpr std::size_t kMaxContentFrames = 2;

}  // namespace

frames::ContentBlock contentBlock(const std::array<std::uint16_t, 4>& words) {
    frames::ContentBlock block{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        frames::writeLe16(block, 2 * i, words[i]);
    }
    return block;
}

void sendRadioCommand(frames::FrameSender& sender, const RadioCommand& command) {
    const std::uint32_t id = command.target ? command.target->commandId() : frames::kBroadcastId;
    sender.SendCommandFrame(command.code, id, command.wordPar, command.bytePar,
                            sender.protocol().nextSequence());
    std::optional<frames::ContentBlock> lastContent;
    const std::size_t frames = std::min(command.content.size(), kMaxContentFrames);
    for (std::size_t i = 0; i < frames; ++i) {
        lastContent = command.content[i];
        sender.SendContentFrame(*lastContent);
    }
    frames::SendAuthenticator(sender, command.authenticate, command.code, lastContent);
}

void sendInductiveCommand(frames::FrameSender& sender, const InductiveCommand& command) {
    if (sender.protocol().binaryProtocol) {
        sender.SendInductiveFrame(command.code, command.wordPar, command.bytePar, true);
    }
}

}  // namespace qrt::commands
