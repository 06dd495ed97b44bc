#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "commands/calibration.h"
#include "common/failure.h"
#include "core/core_options.h"
#include "frames/protocol_settings.h"
#include "shared/recording.h"

namespace CLI {
class App;
}

namespace qrt::tools {

/// The connection options the tools share, as given.
struct ConnectionOptions {
    std::string portA;
    std::string portB;
    bool mux = false;
    bool binary = false;
    std::string crcStart;
    std::vector<std::string> key;
    std::string keyFile;
    std::string settings;
    RecordOptions record;
};

/// The connection resolved: the settings file's values, the options over them.
struct Connection {
    std::string portA;
    std::string portB;
    bool mux = false;
    bool binary = false;
    std::uint16_t crcStart = 0;
    frames::TeaKey key = frames::kDefaultKey;
    std::int16_t calibrationTarget = commands::kDefaultCalibrationTarget;  // [Calib] Offset
    RecordOptions record;  // none when its path is empty

    /// The core set up for this connection: the link, the protocol settings and the key;
    /// the receive path as `poller` says.
    [[nodiscard]] core::CoreOptions coreOptions(receive::PollerOptions poller = {}) const;
};

/// Adds the receiver's options every tool takes: --port-a, --mux and --crc-start.
void addReceiverOptions(CLI::App& app, ConnectionOptions& options);

/// The settings file's values (--settings) with the options over them, or why not: a
/// settings file that cannot be read, a CRC start or a key that does not parse, no port A.
[[nodiscard]] common::Result<Connection> resolveConnection(const ConnectionOptions& options);

}  // namespace qrt::tools
