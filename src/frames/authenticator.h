#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "frames/command_codes.h"
#include "frames/command_frames.h"
#include "frames/frame_sender.h"
#include "frames/tea.h"

namespace qrt::frames {

/// The eight key fields as the operator typed them (four hexadecimal digits each).
using KeyFieldTexts = std::array<std::string, 8>;

/// The key fields' texts until the operator types the installation's own key.
inline constexpr std::array<const char*, 8> kDefaultKeyFields{"0123", "4567", "89AB", "CDEF",
                                                              "FEDC", "BA98", "7654", "3210"};

/// The commands that may carry an authenticator: NVW, OPR, AUX1 and DBW.
[[nodiscard]] constexpr bool takesAuthenticator(std::uint8_t code) {
    return code == code::kNvw || code == code::kOpr || code == code::kAux1 || code == code::kDbw;
}

/// Key words from the fields: k0 = field 2 : field 1, ..., k3 = field 8 : field 7,
/// each field read as hexadecimal, its low 16 bits used (0 when it does not scan).
[[nodiscard]] TeaKey authKeyFromFields(const KeyFieldTexts& fields);

/// The authenticator block: bytes 1 to 8 of the command frame just sent, XOR the last
/// content block when one went with the command, enciphered with the key.
[[nodiscard]] TeaBlock authenticatorBlock(const StandardFrame& commandFrame,
                                          const std::optional<ContentBlock>& lastContent,
                                          const TeaKey& key);

/// Sends the authenticator as a content frame right behind the command, when `enabled`
/// and the command qualifies; rebuilds the protocol's `authKey` from the fields.
/// Returns whether one was sent.
bool SendAuthenticator(FrameSender& sender, bool enabled, std::uint8_t code,
                       const std::optional<ContentBlock>& lastContent,
                       const KeyFieldTexts& keyFields);

}  // namespace qrt::frames
