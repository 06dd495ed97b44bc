#include "shared/connection.h"

#include <CLI/CLI.hpp>

#include "common/settings_file.h"
#include "core/tool_settings.h"
#include "shared/arguments.h"

namespace qrt::tools {

core::CoreOptions Connection::coreOptions(receive::PollerOptions poller) const {
    return {.poller = std::move(poller),
            .multiplexed = mux,
            .protocol = {.binaryProtocol = binary, .crcStart = crcStart, .authKey = key},
            .keepValuePoints = false};
}

void addReceiverOptions(CLI::App& app, ConnectionOptions& options) {
    app.add_option("--port-a", options.portA,
                   "Receiver (or interface box) port: ttyUSB0 or a path");
    app.add_flag("--mux", options.mux, "Multiplexed link through the interface box");
    app.add_option("--crc-start", options.crcStart, "CRC start value, hexadecimal (default 0)");
}

common::Result<Connection> resolveConnection(const ConnectionOptions& options) {
    Connection c;
    if (!options.settings.empty()) {
        const common::SettingsFile file(options.settings);
        if (file.sections().empty()) {
            return common::Failure{"--settings '" + options.settings +
                                   "' cannot be read as a settings file"};
        }
        // Ports the file does not name must be given: nothing is guessed.
        const core::ToolSettings settings =
            core::readToolSettings(file, {.interfaceA = "", .interfaceB = ""});
        c.portA = settings.interfaceA;
        c.portB = settings.interfaceB;
        c.mux = settings.multiplexed;
        c.binary = settings.binaryProtocol;
        c.calibrationTarget = settings.calibrationTarget;
    }
    c.record = options.record;
    c.portA = options.portA.empty() ? c.portA : options.portA;
    c.portB = options.portB.empty() ? c.portB : options.portB;
    c.mux = c.mux || options.mux;
    c.binary = c.binary || options.binary;
    if (!options.crcStart.empty()) {
        const auto crc = parseInteger("--crc-start", "0x" + options.crcStart, 0, 0xFFFF);
        if (common::failureOf(crc) != nullptr) {
            return common::Failure{"--crc-start '" + options.crcStart +
                                   "' is not a hexadecimal number of up to four digits"};
        }
        c.crcStart = static_cast<std::uint16_t>(std::get<std::int64_t>(crc));
    }
    if (!options.key.empty() || !options.keyFile.empty()) {
        auto key =
            options.key.empty() ? readKeyFile(options.keyFile) : parseKey("--key", options.key);
        if (const auto* failure = common::failureOf(key)) {
            return *failure;
        }
        c.key = std::get<frames::TeaKey>(key);
    }
    if (c.portA.empty()) {
        return common::Failure{"no port: give --port-a or --settings"};
    }
    return c;
}

}  // namespace qrt::tools
