#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "common/clock.h"
#include "common/settings_file.h"
#include "frames/frame_sender.h"
#include "receive/poller.h"

namespace qrt::commands {

/// How a calibration ended.
enum class CalibrationOutcome { Skipped, NoAnswer, OutOfRange, Written };

/// Calibrates one temperature input of the module on the inductive head: reads its
/// offset parameter (14 for input 1, 16 for input 2), asks for one measurement, and
/// writes the offset that brings the reading to the target ("Calib"/"Offset" in the
/// settings, hundredths of a degree, -13 when missing). Blocks, pumping the poller.
/// Lines for the communication pane go to `commLine`.
CalibrationOutcome calibrate(int input, frames::FrameSender& sender, common::Clock& clock,
                             receive::Poller& poller, const common::SettingsFile& settings,
                             const std::function<void(std::string_view)>& commLine);

}  // namespace qrt::commands
