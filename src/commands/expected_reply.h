#pragma once

#include <cstdint>
#include <optional>

#include "receive/reply_slot.h"

namespace qrt::commands {

/// The reply a module sends to a configuration command, for waiting for it: the reply
/// type (0x100 for a measurement telegram) and its BytePar (`receive::kAnyBytePar` when
/// the reply's BytePar says something else, as the version reply's run state).
struct ExpectedReply {
    std::uint32_t type = 0;
    std::uint32_t bytePar = 0;
};

/// The reply to the parameter page request, as a binary frame or a text line: its
/// BytePar names the page, whichever that is.
inline constexpr ExpectedReply kParameterPageReply{4, receive::kAnyBytePar};

/// The reply to the command `code` sent with `bytePar`; empty for commands no module
/// answers with a reply of their own (AUT, OPR, the firmware transfer's, AUX, DATA).
[[nodiscard]] std::optional<ExpectedReply> expectedReply(std::uint8_t code, std::uint8_t bytePar);

}  // namespace qrt::commands
