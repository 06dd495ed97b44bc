#pragma once

#include <cstdint>
#include <string>

#include "commands/calibration.h"
#include "common/settings_file.h"

namespace qrt::core {

/// The tool's settings file as the window and `qrt-cli --settings` use it, read through
/// the buffers the window has always read it with.
struct ToolSettings {
    std::string interfaceA = "COM1";  // [Config] InterfaceA: the receiver's port
    std::string interfaceB = "COM2";  // [Config] InterfaceB: the inductive head's port
    bool multiplexed = false;         // [Config] MXL: any number but 0 is on
    bool binaryProtocol = false;      // [Config] binprot
    std::string serial = "0";         // [Settings] ID: the serial number field
    std::string type = "5";           // [Settings] IDh: the module type field
    std::string logFile{};            // [Log] File: no log when empty
    std::int16_t calibrationTarget = commands::kDefaultCalibrationTarget;  // [Calib] Offset
};

/// Reads every setting; a missing key gives what `defaults` holds.
[[nodiscard]] ToolSettings readToolSettings(const common::SettingsFile& file,
                                            const ToolSettings& defaults = {});

/// Writes what the window keeps when it closes: the ports, the two modes (as "1" or
/// "0") and the module fields. False when the file could not be written.
bool writeToolSettings(common::SettingsFile& file, const ToolSettings& settings);

}  // namespace qrt::core
