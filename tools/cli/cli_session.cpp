#include "cli/cli_session.h"

#include <filesystem>
#include <iostream>

#include "commands/calibration.h"
#include "common/input_file.h"
#include "common/settings_file.h"
#include "core/tool_settings.h"
#include "link/interfaces.h"
#include "link/qt_serial_port.h"
#include "shared/live_watch.h"

namespace qrt::cli {

int fail(const std::string& message, int status) {
    std::cerr << "qrt-cli: " << message << '\n';
    return status;
}

Parsed<Connection> resolveConnection(const ConnectionOptions& options) {
    Connection c;
    if (!options.settings.empty()) {
        const common::SettingsFile file(options.settings);
        if (file.sections().empty()) {
            return ArgumentError{"--settings '" + options.settings +
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
    c.portA = options.portA.empty() ? c.portA : options.portA;
    c.portB = options.portB.empty() ? c.portB : options.portB;
    c.mux = c.mux || options.mux;
    c.binary = c.binary || options.binary;
    if (!options.crcStart.empty()) {
        const auto crc = parseInteger("--crc-start", "0x" + options.crcStart, 0, 0xFFFF);
        if (std::holds_alternative<ArgumentError>(crc)) {
            return ArgumentError{"--crc-start '" + options.crcStart +
                                 "' is not a hexadecimal number of up to four digits"};
        }
        c.crcStart = static_cast<std::uint16_t>(std::get<std::int64_t>(crc));
    }
    if (!options.key.empty() || !options.keyFile.empty()) {
        auto key =
            options.key.empty() ? readKeyFile(options.keyFile) : parseKey("--key", options.key);
        if (auto* error = std::get_if<ArgumentError>(&key)) {
            return *error;
        }
        c.key = std::get<frames::TeaKey>(key);
    }
    if (c.portA.empty()) {
        return ArgumentError{"no port: give --port-a or --settings"};
    }
    return c;
}

Session::Session(const Connection& connection, receive::PollerOptions poller)
    : connection_(connection),
      // The link's own diagnostic lines are left out: failures are reported in words.
      core_(std::make_unique<core::ToolCore>(
          std::make_unique<link::QtSerialPort>(), std::make_unique<link::QtSerialPort>(),
          diagnostics_, clock_,
          core::CoreOptions{.poller = std::move(poller),
                            .multiplexed = connection.mux,
                            .protocol = {.binaryProtocol = connection.binary,
                                         .crcStart = connection.crcStart,
                                         .authKey = connection.key},
                            .keepValuePoints = false})) {}

Session::~Session() {
    core_->link.ClosePort(link::Port::A);
    core_->link.ClosePort(link::Port::B);
}

bool Session::open() {
    if (const auto failed =
            link::openInterfaces(core_->link, connection_.portA, connection_.portB)) {
        fail("cannot open " + failed->name + ": " + failed->result.failure, exit_status::kUsage);
        return false;
    }
    return true;
}

void Session::showLines(bool shown) {
    shownLines_ = shown ? core_->attach({.lines = &console_}) : common::Attachment();
}

std::variant<std::unique_ptr<Session>, int> openSession(const ConnectionOptions& options,
                                                        Needs needs, const std::string& task) {
    auto connection = resolveConnection(options);
    if (const auto* error = std::get_if<ArgumentError>(&connection)) {
        return fail(error->message, exit_status::kUsage);
    }
    const Connection& resolved = std::get<Connection>(connection);
    if (needs == Needs::BinaryProtocol && !resolved.binary) {
        return fail(task + " needs the binary protocol of the inductive head (--binary)",
                    exit_status::kUsage);
    }
    if (needs == Needs::InterfaceBox && !resolved.mux) {
        return fail(task + " goes to the interface box: give --mux", exit_status::kUsage);
    }
    if (!resolved.mux && resolved.portB.empty()) {
        return fail("no port for the inductive head: give --port-b, or --mux", exit_status::kUsage);
    }
    auto session = std::make_unique<Session>(std::get<Connection>(connection));
    if (!session->open()) {
        return exit_status::kUsage;
    }
    tools::stopOnTerminationSignals();
    return session;
}

std::optional<std::string> outputClash(
    const ConnectionOptions& inputs,
    const std::vector<std::pair<std::string, std::string>>& outputs) {
    std::vector<std::pair<std::string, std::string>> named{{"--settings", inputs.settings},
                                                           {"--key-file", inputs.keyFile}};
    for (const auto& [option, path] : outputs) {
        std::error_code error;
        const auto kind = std::filesystem::status(path, error).type();
        if (path.empty() || path == "-" ||
            (kind != std::filesystem::file_type::regular &&
             kind != std::filesystem::file_type::not_found)) {
            continue;  // standard output, a device or a FIFO: writing it destroys nothing
        }
        for (const auto& [otherOption, otherPath] : named) {
            if (!otherPath.empty() && common::sameFile(path, otherPath)) {
                return option + " " + path + " is the same file as " + otherOption + " " +
                       otherPath;
            }
        }
        named.emplace_back(option, path);
    }
    return std::nullopt;
}

Parsed<values::ValueFormat> parseValueFormat(const std::string& format) {
    if (const auto named = values::valueFormatNamed(format)) {
        return *named;
    }
    return ArgumentError{"--values-format takes csv or jsonl"};
}

int Session::listen(double seconds) {
    if (seconds <= 0) {
        return exit_status::kDone;
    }
    std::cout.flush();  // what the task printed comes before the lines
    showLines(true);
    tools::stopOnTerminationSignals();
    const auto end = tools::pollLive(
        *core_, {.duration = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000)),
                 .writeOut = [this] { return standardOutput_.flush(); }});
    showLines(false);
    switch (end) {
        case tools::LiveEnd::PortLost:
            return fail("the port was lost", exit_status::kPortLost);
        case tools::LiveEnd::OutputFailed:
            return fail(standardOutput_.failure(), exit_status::kUsage);
        default:
            return exit_status::kDone;
    }
}

}  // namespace qrt::cli

namespace qrt::cli {

int Session::portLost() {
    const auto lost = core_->link.takeLostDevice();
    const std::string& name = lost == link::Port::B ? connection_.portB : connection_.portA;
    return fail("port lost: " + name, exit_status::kPortLost);
}

}  // namespace qrt::cli
