#include "core/tool_settings.h"

namespace qrt::core {

namespace {

// The read buffers: the port names hold whole device paths on Linux; the serial number
// keeps all ten characters its field takes, the type the one character of its field.
constexpr std::size_t kPortNameBuffer = 256;
constexpr std::size_t kSerialBuffer = 11;
constexpr std::size_t kTypeBuffer = 2;
constexpr std::size_t kLogFileBuffer = 130;

}  // namespace

ToolSettings readToolSettings(const common::SettingsFile& file, const ToolSettings& defaults) {
    ToolSettings s;
    s.interfaceA = file.readString("Config", "InterfaceA", defaults.interfaceA, kPortNameBuffer);
    s.interfaceB = file.readString("Config", "InterfaceB", defaults.interfaceB, kPortNameBuffer);
    s.multiplexed = file.readInt("Config", "MXL", defaults.multiplexed ? 1 : 0) != 0;
    s.binaryProtocol = file.readInt("Config", "binprot", defaults.binaryProtocol ? 1 : 0) != 0;
    s.serial = file.readString("Settings", "ID", defaults.serial, kSerialBuffer);
    s.type = file.readString("Settings", "IDh", defaults.type, kTypeBuffer);
    s.logFile = file.readString("Log", "File", defaults.logFile, kLogFileBuffer);
    s.calibrationTarget =
        static_cast<std::int16_t>(file.readInt("Calib", "Offset", defaults.calibrationTarget));
    return s;
}

bool writeToolSettings(common::SettingsFile& file, const ToolSettings& settings) {
    bool saved = file.writeString("Config", "InterfaceA", settings.interfaceA);
    saved &= file.writeString("Config", "InterfaceB", settings.interfaceB);
    saved &= file.writeString("Config", "MXL", settings.multiplexed ? "1" : "0");
    saved &= file.writeString("Config", "binprot", settings.binaryProtocol ? "1" : "0");
    saved &= file.writeString("Settings", "ID", settings.serial);
    saved &= file.writeString("Settings", "IDh", settings.type);
    return saved;
}

}  // namespace qrt::core
