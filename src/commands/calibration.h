#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "common/clock.h"
#include "frames/frame_sender.h"
#include "receive/poller.h"

namespace qrt::commands {

/// How a calibration ended.
enum class CalibrationOutcome { Skipped, NoAnswer, PortLost, Interrupted, OutOfRange, Written };

/// A calibration's outcome with the offsets it read and wrote (hundredths of a degree;
/// 0 where it did not get that far).
struct CalibrationResult {
    CalibrationOutcome outcome = CalibrationOutcome::Skipped;
    std::int16_t oldOffset = 0;
    std::int16_t newOffset = 0;
};

/// The target temperature of a calibration when the settings name none.
inline constexpr int kDefaultCalibrationTarget = -13;

/// Calibrates one temperature input of the module on the inductive head: reads its
/// offset parameter (14 for input 1, 16 for input 2), asks for one measurement, and
/// writes the offset that brings the reading to `target` (hundredths of a degree).
/// Needs the binary protocol (skipped without it). Blocks, pumping the poller. Lines for
/// the communication pane go to `commLine`.
CalibrationResult calibrate(int input, std::int16_t target, frames::FrameSender& sender,
                            common::Clock& clock, receive::Poller& poller,
                            const std::function<void(std::string_view)>& commLine);

}  // namespace qrt::commands
