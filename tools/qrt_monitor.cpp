// qrt-monitor: the program's receive path without a window. Decodes a byte capture
// of interface A (offline) or a live port into the lines of the two panes.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <span>

#include "common/clock.h"
#include "common/input_file.h"
#include "common/scan.h"
#include "common/version.h"
#include "core/tool_core.h"
#include "link/link.h"
#include "link/qt_serial_port.h"
#include "receive/poller.h"
#include "receive/replay.h"
#include "shared/exit_status.h"
#include "shared/live_watch.h"
#include "shared/tool_output.h"
#include "values/value_file.h"

namespace {

using qrt::tools::exit_status::kDone;
using qrt::tools::exit_status::kUsage;

/// A capture file or standard input, read in blocks as the replay asks for them. A
/// read error ends the capture and is kept for the report.
class CaptureFile {
  public:
    explicit CaptureFile(const std::string& path)
        : name_(path.empty() || path == "-" ? "standard input" : path),
          descriptor_(path.empty() || path == "-" ? STDIN_FILENO
                                                  : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (descriptor_ < 0) {
            error_ = errno;
        }
    }
    ~CaptureFile() {
        if (descriptor_ > STDIN_FILENO) {
            ::close(descriptor_);
        }
    }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    std::size_t read(std::span<std::uint8_t> into) {
        std::size_t filled = 0;
        while (error_ == 0 && filled < into.size()) {
            const ssize_t got = ::read(descriptor_, into.data() + filled, into.size() - filled);
            if (got > 0) {
                filled += static_cast<std::size_t>(got);
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                error_ = errno;
            }
        }
        return filled;
    }
    /// Where the capture lives, to refuse an output that would overwrite it.
    [[nodiscard]] std::optional<qrt::common::FileIdentity> identity() const {
        return descriptor_ < 0 ? std::nullopt : qrt::common::identityOfDescriptor(descriptor_);
    }
    /// "cannot read NAME: reason" when opening or a read failed; empty otherwise.
    [[nodiscard]] std::string failure() const {
        return error_ == 0 ? std::string() : "cannot read " + name_ + ": " + std::strerror(error_);
    }

  private:
    std::string name_;
    int descriptor_;
    int error_ = 0;
};

struct Options {
    bool mux = false;
    std::string crcStart = "0";
    std::string idFilter = "0";
    std::size_t readSize = 128;
    std::string time = "00:00:00.0";
    std::string file;
    std::string port;
    std::string log;
    std::string values;
    std::string valuesFormat = "csv";
};

int runLive(const Options& options, std::uint16_t crcStart, std::uint32_t idFilter,
            qrt::tools::ToolOutput& output, int argc, char** argv) {
    using namespace qrt;
    QCoreApplication application(argc, argv);  // the serial backend expects one
    common::SystemClock clock;
    core::ToolCore core(std::make_unique<link::QtSerialPort>(),
                        std::make_unique<link::QtSerialPort>(), std::cerr, clock,
                        {.poller = {.idFilter = idFilter},
                         .multiplexed = options.mux,
                         .protocol = {.crcStart = crcStart},
                         .keepValuePoints = false});
    const common::Attachment shown =
        core.attach({.lines = &output.lines(), .measurements = output.measurements()});
    if (!options.log.empty()) {
        core.logFile.open(options.log);
    }
    return tools::watchPort(core, options.port, "qrt-monitor", output);
}

// An output that is the capture itself would destroy it while it is read.
bool overwritesCapture(const CaptureFile& capture, const std::string& valuesPath) {
    const auto input = capture.identity();
    if (!input) {
        return false;
    }
    if (!valuesPath.empty() && valuesPath != "-" && qrt::common::identityOf(valuesPath) == input) {
        std::cerr << "qrt-monitor: --values " << valuesPath << " is the capture being read\n";
        return true;
    }
    if (qrt::common::identityOfDescriptor(STDOUT_FILENO) == input) {
        std::cerr << "qrt-monitor: standard output is the capture being read\n";
        return true;
    }
    return false;
}

// The options of both modes; help and version are answered here.
void addOptions(CLI::App& app, Options& options) {
    app.add_flag("--mux", options.mux, "Multiplexed link (interface box)");
    app.add_option("--crc-start", options.crcStart, "CRC start value, hexadecimal (default 0)");
    app.add_option("--id-filter", options.idFilter, "Receive ID filter, hexadecimal (0 = off)");
    auto* readSize = app.add_option("--read-size", options.readSize,
                                    "Offline: bytes per port read, 1 to 128 (default 128)")
                         ->check(CLI::Range(1, 128));
    auto* time = app.add_option("--time", options.time,
                                "Offline: time stamp of every line (default 00:00:00.0)");
    auto* port =
        app.add_option("--port", options.port, "Live: port name or device path of interface A");
    app.add_option("--log", options.log, "Live: append the debug lines to this log file")
        ->needs(port);
    app.add_option("--values", options.values,
                   "Also write every decoded value to this file (\"-\": standard output, "
                   "which then carries the values only)");
    app.add_option("--values-format", options.valuesFormat,
                   "csv (default: time,module,channel,value,unit) or jsonl (JSON Lines)")
        ->check(CLI::IsMember({"csv", "jsonl"}));
    app.add_option("FILE", options.file, "Offline: capture file (default or \"-\": standard input)")
        ->excludes(port);
    readSize->excludes(port);
    time->excludes(port);
    app.set_version_flag("--version", qrt::common::kVersionText);
    app.footer(
        "Decoded lines go to standard output, the tool's own messages to standard error.\n"
        "Values: ISO 8601 local time with milliseconds, \".\" as the decimal point; offline "
        "every value carries the time the decoding started (a capture holds no times).\n"
        "Exit status: 0 done, 1 port lost, 2 usage, a file that cannot be read or written, or a "
        "port that does not open.");
}

// The values file, when one is asked for; none, or the failure, otherwise.
qrt::common::Result<std::optional<qrt::values::ValueFile>> openValues(const Options& options) {
    if (options.values.empty()) {
        return std::optional<qrt::values::ValueFile>();
    }
    auto values = qrt::values::ValueFile::open(
        options.values, *qrt::values::valueFormatNamed(options.valuesFormat));
    if (values.failed()) {
        return qrt::common::Failure{values.failure()};
    }
    return std::optional(std::move(values));
}

// Decodes the whole capture into `output`; the exit status.
int runOffline(const Options& options, std::uint16_t crcStart, std::uint32_t idFilter,
               CaptureFile& capture, qrt::tools::ToolOutput& output) {
    qrt::receive::replayCapture(
        [&capture](std::span<std::uint8_t> into) { return capture.read(into); },
        {.multiplexed = options.mux,
         .crcStart = crcStart,
         .idFilter = idFilter,
         .readSize = options.readSize,
         .timestamp = options.time,
         .time = qrt::common::SystemClock().timestamp(),
         .stop = [&output] { return output.failed(); }},
        output.lines(), output.measurements());
    if (!capture.failure().empty()) {
        std::cerr << "qrt-monitor: " << capture.failure() << '\n';
        return kUsage;
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Decodes telegrams and replies from interface A into the lines of the "
        "tool's two panes: \"D \" for the debug pane, \"C \" for the communication "
        "pane.\n"
        "  qrt-monitor [--mux] [--crc-start HEX] [--id-filter HEX] [--read-size N] "
        "[--time TEXT] [FILE]\n"
        "  qrt-monitor --port NAME [--mux] [--crc-start HEX] [--id-filter HEX] "
        "[--log FILE]"};
    Options options;
    addOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int shown = app.exit(error);  // help and version exit with 0
        return shown == 0 ? kDone : kUsage;
    }

    const auto crcStart = qrt::common::scanShortHex(options.crcStart);
    const auto idFilter = qrt::common::scanHex(options.idFilter);
    if (!crcStart || !idFilter) {
        std::cerr << "qrt-monitor: --crc-start and --id-filter take hexadecimal numbers\n";
        return kUsage;
    }
    std::optional<CaptureFile> capture;
    if (options.port.empty()) {
        capture.emplace(options.file);
        if (!capture->failure().empty()) {
            std::cerr << "qrt-monitor: " << capture->failure() << '\n';
            return kUsage;
        }
        if (overwritesCapture(*capture, options.values)) {
            return kUsage;
        }
    }
    auto values = openValues(options);
    if (const auto* failure = qrt::common::failureOf(values)) {
        std::cerr << "qrt-monitor: " << failure->reason << '\n';
        return kUsage;
    }
    qrt::tools::ToolOutput output(
        std::get<std::optional<qrt::values::ValueFile>>(std::move(values)));
    const int status = capture ? runOffline(options, *crcStart, *idFilter, *capture, output)
                               : runLive(options, *crcStart, *idFilter, output, argc, argv);
    if (!output.finish() && status == kDone) {
        std::cerr << "qrt-monitor: " << output.failure() << '\n';
        return kUsage;
    }
    return status;
}
