#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "frames/command_codes.h"
#include "frames/command_frames.h"
#include "frames/frame_sender.h"
#include "frames/module_address.h"

namespace qrt::commands {

/// A configuration command to send by radio: its code, the module it goes to (none:
/// every module), WordPar, BytePar, up to two content blocks of four words, and whether
/// an authenticator follows it (the commands that take one).
struct RadioCommand {
    std::uint8_t code = frames::code::kInf;
    std::optional<frames::ModuleAddress> target{};  // none: broadcast
    std::uint16_t wordPar = 0;
    std::uint8_t bytePar = 0;
    std::vector<frames::ContentBlock> content{};  // at most two
    bool authenticate = false;
};

/// The same command to the module on the inductive head.
struct InductiveCommand {
    std::uint8_t code = frames::code::kInf;
    std::uint16_t wordPar = 0;
    std::uint8_t bytePar = 0;
};

/// Sends the command by radio: command frame, up to two content frames and, for the
/// commands that take one, the authenticator with the protocol's key, back to back.
/// Takes a sequence byte.
void sendRadioCommand(frames::FrameSender& sender, const RadioCommand& command);

/// Sends the command inductively (code, WordPar, BytePar after the line break), only
/// while the binary protocol is on.
void sendInductiveCommand(frames::FrameSender& sender, const InductiveCommand& command);

/// A content block of four 16-bit words, little-endian.
[[nodiscard]] frames::ContentBlock contentBlock(const std::array<std::uint16_t, 4>& words);

}  // namespace qrt::commands
