// qrt-monitor: the program's receive path without a window. Decodes a byte capture
// of interface A or a recording (offline), or a live port, into the lines of the two panes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
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
#include "link/recording_reader.h"
#include "receive/poller.h"
#include "receive/replay.h"
#include "shared/exit_status.h"
#include "shared/live_watch.h"
#include "shared/recording.h"
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
    bool recordedTimes = false;
    qrt::tools::RecordOptions record;
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
    std::unique_ptr<tools::Recording> recording;
    if (!options.record.path.empty()) {
        auto started = tools::Recording::start(options.record, core, "qrt-monitor");
        if (const auto* failure = common::failureOf(started)) {
            std::cerr << "qrt-monitor: " << failure->reason << '\n';
            return kUsage;
        }
        recording = std::get<std::unique_ptr<tools::Recording>>(std::move(started));
    }
    if (!options.log.empty()) {
        core.logFile.open(options.log);
    }
    const int status = tools::watchPort(core, options.port, "qrt-monitor", output);
    if (recording && !recording->finish()) {
        std::cerr << "qrt-monitor: " << recording->failure() << '\n';
        return status == kDone ? kUsage : status;
    }
    return status;
}

// What a named input starts with: a recording, a byte capture, or nothing at all.
enum class InputKind { Capture, Recording, Empty };

InputKind kindOfInput(const std::string& path) {
    if (path.empty() || path == "-") {
        return InputKind::Capture;  // standard input is read as it comes
    }
    std::array<std::uint8_t, 4> start{};
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return InputKind::Capture;  // the capture's reader reports why
    }
    const ssize_t got = ::pread(descriptor, start.data(), start.size(), 0);
    struct stat info {};
    const bool emptyFile = got == 0 && ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
    ::close(descriptor);
    if (emptyFile) {
        return InputKind::Empty;
    }
    return got == 4 && qrt::link::RecordingReader::isRecording(start) ? InputKind::Recording
                                                                      : InputKind::Capture;
}

// An output that is the capture itself would destroy it while it is read.
bool overwritesCapture(const std::optional<qrt::common::FileIdentity>& input,
                       const std::string& valuesPath) {
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
    auto* recordedTimes = app.add_flag(
        "--recorded-times", options.recordedTimes,
        "Offline, from a recording: each line carries the time its bytes were received");
    recordedTimes->excludes(time);
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
    recordedTimes->excludes(port);
    qrt::tools::addRecordOptions(app, options.record);
    app.get_option("--record")->needs(port);
    app.set_version_flag("--version", qrt::common::kVersionText);
    app.footer(
        "Decoded lines go to standard output, the tool's own messages to standard error.\n"
        "A recording (pcap or pcapng, as --record writes it, recognised by its first bytes) "
        "decodes as the bytes received on interface A would.\n"
        "Values: ISO 8601 local time with milliseconds, \".\" as the decimal point; offline "
        "every value carries the time the decoding started (a capture holds no times), or "
        "with --recorded-times the time it was received.\n"
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

// The received records of interface A, one by one, until the recording ends or a fault
// of the file, which is kept for the report.
class ReceivedRecords {
  public:
    explicit ReceivedRecords(qrt::link::RecordingReader& reader) : reader_(reader) {}
    std::optional<qrt::link::Record> next() {
        if (fault_) {
            return std::nullopt;
        }
        auto record = reader_.nextReceived();
        if (const auto* failure = qrt::common::failureOf(record)) {
            fault_ = *failure;
            return std::nullopt;
        }
        return std::get<std::optional<qrt::link::Record>>(record);
    }
    /// The records joined: the byte stream interface A received.
    std::size_t read(std::span<std::uint8_t> into) {
        std::size_t filled = 0;
        while (filled < into.size()) {
            if (rest_.empty()) {
                const auto record = next();
                if (!record) {
                    break;
                }
                rest_ = record->bytes;
            }
            const std::size_t count = std::min(rest_.size(), into.size() - filled);
            std::copy_n(rest_.begin(), count, into.begin() + static_cast<std::ptrdiff_t>(filled));
            rest_ = rest_.subspan(count);
            filled += count;
        }
        return filled;
    }
    [[nodiscard]] const std::optional<qrt::common::Failure>& fault() const { return fault_; }

  private:
    qrt::link::RecordingReader& reader_;
    std::span<const std::uint8_t> rest_;
    std::optional<qrt::common::Failure> fault_;
};

// Decodes a recording's interface A into `output`; the exit status.
int runRecording(const Options& options, std::uint16_t crcStart, std::uint32_t idFilter,
                 qrt::tools::ToolOutput& output) {
    using namespace qrt;
    if (options.mux) {
        std::cerr << "qrt-monitor: a recording holds the receiver's bytes without the interface "
                     "box's framing: leave out --mux\n";
        return kUsage;
    }
    auto opened = link::RecordingReader::open(options.file);
    if (const auto* failure = common::failureOf(opened)) {
        std::cerr << "qrt-monitor: " << failure->reason << '\n';
        return kUsage;
    }
    auto& reader = std::get<link::RecordingReader>(opened);
    ReceivedRecords records(reader);
    const receive::ReplayOptions replay{.crcStart = crcStart,
                                        .idFilter = idFilter,
                                        .readSize = options.readSize,
                                        .timestamp = options.time,
                                        .time = common::SystemClock().timestamp(),
                                        .stop = [&output] { return output.failed(); }};
    if (options.recordedTimes) {
        receive::replayTimed(
            [&records]() -> std::optional<receive::TimedBytes> {
                const auto record = records.next();
                if (!record) {
                    return std::nullopt;
                }
                return receive::TimedBytes{
                    .at = common::systemTimestampAt(record->utcMicroseconds / 1000),
                    .bytes = record->bytes};
            },
            replay, output.lines(), output.measurements());
    } else {
        receive::replayCapture(
            [&records](std::span<std::uint8_t> into) { return records.read(into); }, replay,
            output.lines(), output.measurements());
    }
    if (records.fault()) {
        std::cerr << "qrt-monitor: " << records.fault()->reason << '\n';
        return kUsage;
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that went away (| head) fails the write with its reason instead of killing.
    std::signal(SIGPIPE, SIG_IGN);
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
    const InputKind input = options.port.empty() ? kindOfInput(options.file) : InputKind::Capture;
    if (input == InputKind::Empty) {
        std::cerr << "qrt-monitor: " << options.file
                  << " is empty: neither a capture nor a recording\n";
        return kUsage;
    }
    if (options.recordedTimes && input != InputKind::Recording) {
        std::cerr
            << "qrt-monitor: --recorded-times needs a recording; a byte capture holds no times\n";
        return kUsage;
    }
    std::optional<CaptureFile> capture;
    if (options.port.empty() && input == InputKind::Capture) {
        capture.emplace(options.file);
        if (!capture->failure().empty()) {
            std::cerr << "qrt-monitor: " << capture->failure() << '\n';
            return kUsage;
        }
        if (overwritesCapture(capture->identity(), options.values)) {
            return kUsage;
        }
    }
    if (input == InputKind::Recording &&
        overwritesCapture(qrt::common::identityOf(options.file), options.values)) {
        return kUsage;
    }
    auto values = openValues(options);
    if (const auto* failure = qrt::common::failureOf(values)) {
        std::cerr << "qrt-monitor: " << failure->reason << '\n';
        return kUsage;
    }
    qrt::tools::ToolOutput output(
        std::get<std::optional<qrt::values::ValueFile>>(std::move(values)));
    int status = kDone;
    if (input == InputKind::Recording) {
        status = runRecording(options, *crcStart, *idFilter, output);
    } else if (capture) {
        status = runOffline(options, *crcStart, *idFilter, *capture, output);
    } else {
        status = runLive(options, *crcStart, *idFilter, output, argc, argv);
    }
    if (!output.finish() && status == kDone) {
        std::cerr << "qrt-monitor: " << output.failure() << '\n';
        return kUsage;
    }
    return status;
}
