#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "frames/command_codes.h"
#include "frames/command_frames.h"
#include "frames/frame_sender.h"
#include "frames/tea.h"

namespace qrt::frames {

/// The commands that may carry an authenticator: NVW, OPR, AUX1 and DBW.
[[nodiscard]] constexpr bool takesAuthenticator(std::uint8_t code) {
    return code == code::kNvw || code == code::kOpr || code == code::kAux1 || code == code::kDbw;
}

/// The authenticator block: bytes 1 to 8 of the command frame just sent, XOR the last
/// content block when one went with the command, enciphered with the key.
[[nodiscard]] TeaBlock authenticatorBlock(const StandardFrame& commandFrame,
                                          const std::optional<ContentBlock>& lastContent,
                                          const TeaKey& key);

/// Sends the authenticator, enciphered with the protocol's `authKey`, as a content frame
/// right behind the command, when `enabled` and the command qualifies. Returns whether
/// one was sent.
bool SendAuthenticator(FrameSender& sender, bool enabled, std::uint8_t code,
                       const std::optional<ContentBlock>& lastContent);

}  // namespace qrt::frames
