#pragma once

#include "frames/protocol_settings.h"
#include "receive/poller.h"

namespace qrt::core {

/// How a face sets up the core, in one place: every program fills one and hands it to
/// the core it builds.
struct CoreOptions {
    receive::PollerOptions poller{};
    /// Both interfaces through the interface box on port A (MXL mode).
    bool multiplexed = false;
    /// The binary protocol of the inductive head, the CRC start value and the key.
    frames::ProtocolSettings protocol{};
    /// Whether each series of the value history keeps its newest points for a plot (the
    /// window), or only its last value, count and extremes (a tool running for months).
    bool keepValuePoints = true;
};

}  // namespace qrt::core
