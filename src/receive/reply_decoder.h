#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frames/command_frames.h"
#include "receive/decode_state.h"
#include "receive/frame_fields.h"
#include "receive/sinks.h"

namespace qrt::receive {

/// Appends the technical line of a reply: time, ID, type, BytePar, WordPar (signed),
/// sequence.
void appendReplyDebugLine(std::string& line, const FrameFields& f, std::uint32_t type,
                          std::string_view timestamp);

/// A configuration reply (types 1 to 4 and 6 to 31): writes the debug line always, then a
/// line for the communication pane for the known types, and keeps the state the next
/// frame needs.
void decodeReply(const frames::StandardFrame& frame, DecodeState& state, LineSink& lines);

}  // namespace qrt::receive
