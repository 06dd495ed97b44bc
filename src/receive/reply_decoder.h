#pragma once

#include <cstdint>
#include <string>

#include "frames/command_frames.h"
#include "receive/decode_state.h"
#include "receive/frame_fields.h"

namespace qrt::receive {

/// The technical line of a reply, in place of what `line` held: time, ID, type,
/// BytePar, WordPar (signed), sequence.
void assignReplyDebugLine(std::string& line, const FrameFields& f, std::uint32_t type,
                          const std::string& timestamp);

/// A configuration reply (types 1 to 4 and 6 to 31): the debug line always, a line for
/// the communication pane for the known types, and the state the next frame needs.
void decodeReply(const frames::StandardFrame& frame, DecodeState& state);

}  // namespace qrt::receive
