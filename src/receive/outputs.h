#pragma once

#include <functional>
#include <span>

#include "frames/command_frames.h"
#include "receive/recording_sink.h"
#include "receive/sinks.h"

namespace qrt::receive {

/// Everything a face takes from the receive path: its sinks and its hooks. Attached as
/// one; a field left empty keeps whatever is attached already, so a task can add its
/// hooks for a while on top of what its program attached.
struct Outputs {
    /// The two panes' lines.
    LineSink* lines = nullptr;
    /// The decoded values (values are recorded only while a sink is attached).
    MeasurementSink* measurements = nullptr;
    /// The interface box's key state, version and background level.
    BoxStatusSink* boxStatus = nullptr;
    /// A recording of the traffic: what is sent, what arrives and how the poller
    /// delimited it.
    RecordingSink* recording = nullptr;
    /// Called once per poll, before any received byte is read, while port A is open: the
    /// firmware transfer sends its next block from here.
    std::function<void()> firmwarePacing{};
    /// Asked after every poll of a wait: true ends it (a termination signal in the tools).
    std::function<bool()> stopWaiting{};
    /// Called for every accepted standard frame once its lines are out: a tool that waits
    /// for several replies at once watches them here.
    std::function<void(const frames::StandardFrame&)> frameAccepted{};
    /// Called for every accepted firmware status reply (type 20).
    std::function<void(const frames::StandardFrame&)> firmwareStatus{};
};

/// The outputs of `layers` laid over one another, oldest first: each field is the newest
/// layer's that has it.
[[nodiscard]] Outputs newestOutputs(std::span<const Outputs> layers);

}  // namespace qrt::receive
