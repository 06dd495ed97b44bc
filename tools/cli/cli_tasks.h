#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace qrt::cli {

/// `send`: a configuration command as the radio or inductive button sends it.
struct SendOptions {
    std::string command;
    std::string module;
    bool broadcast = false;
    std::string bytePar = "0";
    std::string wordPar = "0";
    std::vector<std::string> content;
    bool authenticate = false;
    bool inductive = false;
    double waitReply = 0;  // seconds; 0 = do not wait
    double listen = 0;
};

/// `service`, `box`, `chan-pwr` and the measurement requests: what to send.
struct ServiceOptions {
    std::string action{};               // ver, nvp, writepar, start, ... / version, boot, led, ...
    std::vector<std::string> values{};  // its arguments
    double waitReply = 2;               // seconds for the replies of a command that has some
    bool noWait = false;                // only send
    double listen = 0;
};

/// `calibrate`.
struct CalibrateOptions {
    int input = 1;
    std::optional<std::string> target;
};

int runSend(const ConnectionOptions& connection, const SendOptions& options);
int runService(const ConnectionOptions& connection, const ServiceOptions& options);
int runBox(const ConnectionOptions& connection, const ServiceOptions& options);
int runCalibrate(const ConnectionOptions& connection, const CalibrateOptions& options);

/// `firmware`.
struct FirmwareOptions {
    std::string image;
    std::string module;
    int speed = 2;
    bool reboot = false;
};
int runFirmware(const ConnectionOptions& connection, const FirmwareOptions& options);

/// `archive`.
struct ArchiveOptions {
    std::string module;
    bool radio = false;
    std::string since;
    std::string output;
    std::string values;
    std::string valuesFormat = "csv";
};
int runArchive(const ConnectionOptions& connection, const ArchiveOptions& options);

/// `watch`.
struct WatchOptions {
    std::string filter;
    std::string values;
    std::string valuesFormat = "csv";
};
int runWatch(const ConnectionOptions& connection, const WatchOptions& options);

}  // namespace qrt::cli
