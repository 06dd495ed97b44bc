#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace qrt::cli {

/// How long a command waits for the replies it brings: 2 seconds unless --wait-reply says
/// otherwise, not at all with --no-wait.
struct ReplyWait {
    double seconds = 2;
    bool given = false;  // --wait-reply was given
    bool none = false;   // --no-wait: only send
};

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
    ReplyWait wait;
    double listen = 0;
};

/// `service`, `box`, `chan-pwr` and the measurement requests: what to send.
struct ServiceOptions {
    std::string action{};               // ver, nvp, writepar, start, ... / version, boot, led, ...
    std::vector<std::string> values{};  // its arguments
    ReplyWait wait{};                   // for the replies of a command that has some
    double listen = 0;
};

/// `calibrate`.
struct CalibrateOptions {
    int input = 1;
    std::optional<std::string> target;
    bool noWait = false;  // refused: a calibration is its replies
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
    bool noWait = false;  // the blocks only, no status requests
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
    bool noWait = false;  // refused: an archive read is its replies
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
