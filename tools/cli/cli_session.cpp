#include "cli/cli_session.h"

#include <filesystem>
#include <iostream>

#include "common/input_file.h"
#include "link/interfaces.h"
#include "link/qt_serial_port.h"
#include "shared/live_watch.h"

namespace qrt::cli {

int fail(const std::string& message, int status) {
    std::cerr << "qrt-cli: " << message << '\n';
    return status;
}

Session::Session(const Connection& connection, receive::PollerOptions poller)
    : connection_(connection),
      // The link's own diagnostic lines are left out: failures are reported in words.
      core_(std::make_unique<core::ToolCore>(std::make_unique<link::QtSerialPort>(),
                                             std::make_unique<link::QtSerialPort>(), diagnostics_,
                                             clock_, connection.coreOptions(std::move(poller)))) {}

Session::~Session() {
    core_->link.ClosePort(link::Port::A);
    core_->link.ClosePort(link::Port::B);
}

std::optional<common::Failure> Session::record() {
    if (connection_.record.path.empty()) {
        return std::nullopt;
    }
    auto recording = tools::Recording::start(connection_.record, *core_, "qrt-cli");
    if (const auto* failure = common::failureOf(recording)) {
        return *failure;
    }
    recording_ = std::get<std::unique_ptr<tools::Recording>>(std::move(recording));
    return std::nullopt;
}

std::optional<common::Failure> Session::open() {
    if (const auto failed =
            link::openInterfaces(core_->link, connection_.portA, connection_.portB)) {
        return common::Failure{"cannot open " + failed->name + ": " + failed->result.failure,
                               static_cast<int>(failed->result.errorCode)};
    }
    return std::nullopt;
}

void Session::showLines(bool shown) {
    shownLines_.detach();  // the console once, not on top of itself
    if (shown) {
        shownLines_ = core_->attach({.lines = &console_});
    }
}

common::Result<std::unique_ptr<Session>> openSession(const ConnectionOptions& options, Needs needs,
                                                     const std::string& task) {
    auto connection = tools::resolveConnection(options);
    if (const auto* failure = common::failureOf(connection)) {
        return *failure;
    }
    const Connection& resolved = std::get<Connection>(connection);
    if (needs == Needs::BinaryProtocol && !resolved.binary) {
        return common::Failure{task +
                               " needs the binary protocol of the inductive head (--binary)"};
    }
    if (needs == Needs::InterfaceBox && !resolved.mux) {
        return common::Failure{task + " goes to the interface box: give --mux"};
    }
    if (!resolved.mux && resolved.portB.empty()) {
        return common::Failure{"no port for the inductive head: give --port-b, or --mux"};
    }
    if (const auto clash = outputClash(options, {{"--record", resolved.record.path}})) {
        return common::Failure{*clash};
    }
    auto session = std::make_unique<Session>(resolved);
    if (auto failure = session->record()) {
        return *failure;
    }
    if (auto failure = session->open()) {
        return *failure;
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

common::Result<values::ValueFormat> parseValueFormat(const std::string& format) {
    if (const auto named = values::valueFormatNamed(format)) {
        return *named;
    }
    return common::Failure{"--values-format takes csv or jsonl"};
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
        case tools::LiveEnd::Stopped:
            return exit_status::kInterrupted;  // the program then ends by the signal
        default:
            return exit_status::kDone;
    }
}

}  // namespace qrt::cli

namespace qrt::cli {

int Session::portLost() {
    // The live loop may have taken the report already: the port it took is named then.
    auto lost = core_->link.takeLostDevice();
    lost = lost ? lost : core_->link.lastLostDevice();
    const std::string& name = lost == link::Port::B ? connection_.portB : connection_.portA;
    return fail("port lost: " + name, exit_status::kPortLost);
}

int Session::finish(int status) {
    if (recording_ && !recording_->finish() && status == exit_status::kDone) {
        return fail(recording_->failure(), exit_status::kUsage);
    }
    if (!standardOutput_.flush() && status == exit_status::kDone) {
        return fail(standardOutput_.failure(), exit_status::kUsage);
    }
    return status;
}

}  // namespace qrt::cli
