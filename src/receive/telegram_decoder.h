#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frames/command_frames.h"
#include "receive/decode_state.h"
#include "receive/sinks.h"

namespace qrt::receive {

using ShortTelegram = std::array<std::uint8_t, 7>;

/// Writes the debug line of a 7-byte short telegram: module number, temperature, battery,
/// status and signal level, each also recorded as a value (the signal level only where
/// the link measures it). The decoder state is not changed.
void decodeShortTelegram(const ShortTelegram& telegram, std::int32_t signalLevel,
                         DecodeState& state, LineSink& lines);

/// A spontaneous module telegram (type 0): writes its debug line and records the values
/// it shows (kinds 11 to 15 name no channel and record only the signal level). Returns
/// false when the background level must not be shown (module type 5 with BytePar above 31).
bool decodeSpontaneousTelegram(const frames::StandardFrame& frame, DecodeState& state,
                               std::int32_t signalLevel, LineSink& lines);

/// A type-5 frame: the extension of a battery/digital telegram, or four continuous
/// samples (also a line for the communication pane). The values belong to the last
/// module heard.
void decodeType5Frame(const frames::StandardFrame& frame, DecodeState& state, LineSink& lines);

}  // namespace qrt::receive
