// qrt-gateway: the installation's values on an MQTT broker, with nothing lost when the
// broker or the network goes away. Listens and decodes as qrt-monitor --port does, keeps
// every value in a queue on disk and publishes it; sends nothing to the modules.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "common/input_file.h"
#include "common/version.h"
#include "core/tool_core.h"
#include "gateway/gateway.h"
#include "gateway/messages.h"
#include "link/qt_serial_port.h"
#include "shared/connection.h"
#include "shared/exit_status.h"

namespace {

using namespace qrt;
using tools::exit_status::kDone;
using tools::exit_status::kUsage;

constexpr std::size_t kConfigLimit = 1024 * 1024;

struct Options {
    tools::ConnectionOptions connection;
    std::string broker;
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    std::string credentials;
    std::string clientId;
    int keepAlive = 60;
    std::string mqttVersion = "3.1.1";
    std::string prefix;
    std::string discovery;
    bool lines = false;
    std::string queue;
    std::string queueLimit = "1G";
};

int fail(const std::string& message) {
    std::cerr << "qrt-gateway: " << message << '\n';
    return kUsage;
}

std::string hostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name[0] != '\0' ? name : "gateway";
}

// The queue's folder: the service's state directory, else the user's.
std::string defaultQueueFolder() {
    if (const char* state = std::getenv("STATE_DIRECTORY"); state != nullptr && *state != '\0') {
        const std::string first(state);
        return first.substr(0, first.find(':'));
    }
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg != '\0') {
        return std::string(xdg) + "/qrt-gateway";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/state/qrt-gateway";
}

// "1G", "500M", "64K" or bytes; none for anything else.
std::optional<std::uint64_t> sizeOf(const std::string& text) {
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const std::string unit = text.substr(used);
    const std::uint64_t factor = unit.empty()  ? 1
                                 : unit == "K" ? 1ULL << 10
                                 : unit == "M" ? 1ULL << 20
                                 : unit == "G" ? 1ULL << 30
                                               : 0;
    if (factor == 0 || value == 0 || text.front() == '-') {
        return std::nullopt;
    }
    return value * factor;
}

// The configuration file is read only when it is a regular file of sane size.
std::optional<std::string> configProblem(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string path;
        if (arg == "--config" && i + 1 < argc) {
            path = argv[i + 1];
        } else if (arg.starts_with("--config=")) {
            path = arg.substr(9);
        }
        if (!path.empty()) {
            const auto file = common::readInputFile(path, kConfigLimit);
            if (const auto* refused = common::failureOf(file)) {
                return "--config " + refused->reason;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);  // the serial backend expects one
    CLI::App app{
        "Publishes the installation's values on an MQTT broker: listens to the receiver on "
        "interface A, decodes every telegram as qrt-monitor --port does, keeps every value in a "
        "queue on disk until the broker has it, and sends nothing to the modules.",
        "qrt-gateway"};
    Options o;
    app.set_config("--config", "", "Read the options from an INI file (the same keys: broker=...)");
    tools::addReceiverOptions(app, o.connection);
    app.add_option("--settings", o.connection.settings,
                   "Take the port and MXL from the tool's settings file");
    app.add_option("--broker", o.broker, "mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")->required();
    app.add_option("--cafile", o.caFile, "With mqtts://: the certificate authority to check by");
    app.add_option("--certfile", o.certFile, "A client certificate (PEM) for the broker");
    app.add_option("--keyfile", o.keyFile, "The client certificate's key (PEM)");
    app.add_option("--credentials", o.credentials,
                   "A private file: the user name on its first line, the password on its second");
    app.add_option("--client-id", o.clientId, "MQTT client ID (default qrt-gateway-HOST)");
    app.add_option("--keepalive", o.keepAlive, "Keep-alive in seconds (default 60)")
        ->check(CLI::Range(5, 3600));
    app.add_option("--mqtt-version", o.mqttVersion, "3.1.1 (default) or 5")
        ->check(CLI::IsMember({"3.1.1", "5"}));
    app.add_option("--prefix", o.prefix, "Topic prefix (default qrt/HOST)");
    app.add_option("--ha-discovery", o.discovery,
                   "Announce every channel to Home Assistant under this prefix")
        ->expected(0, 1)
        ->default_str("homeassistant");
    app.add_flag("--lines", o.lines, "Publish the decoded lines on PREFIX/lines too");
    app.add_option("--queue", o.queue,
                   "Folder of the queue (default $STATE_DIRECTORY, else "
                   "$XDG_STATE_HOME/qrt-gateway)");
    app.add_option("--queue-limit", o.queueLimit,
                   "Largest queue: bytes, or K, M, G (default 1G); beyond, the oldest values are "
                   "dropped and counted");
    app.set_version_flag("--version", common::kVersionText);
    app.footer(
        "Topics: PREFIX/MODULE/CHANNEL (QoS 1) with {\"time\", \"value\", \"unit\"}, the last "
        "value "
        "retained under PREFIX/MODULE/CHANNEL/last, PREFIX/status (online, offline, port lost), "
        "PREFIX/status/dropped.\n"
        "Exit status: 0 stopped by SIGTERM or Ctrl+C, 2 an option, a file or a refusal of the "
        "broker (credentials).\n"
        "Example: qrt-gateway --port-a ttyUSB0 --broker mqtt://localhost --ha-discovery");
    if (const auto problem = configProblem(argc, argv)) {
        return fail(*problem);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kDone : kUsage;
    }
    if (app.count("--ha-discovery") > 0 && o.discovery.empty()) {
        o.discovery = "homeassistant";
    }

    const std::string host = hostName();
    const auto resolved = tools::resolveConnection(o.connection);
    if (const auto* failure = common::failureOf(resolved)) {
        return fail(failure->reason);
    }
    const tools::Connection& connection = std::get<tools::Connection>(resolved);
    const auto broker = gateway::BrokerAddress::parse(o.broker);
    if (!broker) {
        return fail("--broker '" + o.broker + "' is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]");
    }
    const auto limit = sizeOf(o.queueLimit);
    if (!limit) {
        return fail("--queue-limit '" + o.queueLimit + "' is not a size (bytes, or 64K, 500M, 1G)");
    }
    std::optional<gateway::Credentials> credentials;
    if (!o.credentials.empty()) {
        auto read = gateway::readCredentials(o.credentials);
        if (const auto* failure = common::failureOf(read)) {
            return fail("--credentials " + failure->reason);
        }
        credentials = std::get<gateway::Credentials>(std::move(read));
    }
    const std::string prefix = o.prefix.empty() ? "qrt/" + gateway::topicLevel(host) : o.prefix;
    gateway::MqttLink mqtt({.broker = *broker,
                            .clientId = o.clientId.empty() ? "qrt-gateway-" + host : o.clientId,
                            .keepAliveSeconds = o.keepAlive,
                            .protocolVersion = o.mqttVersion == "5" ? 5 : 4,
                            .caFile = o.caFile,
                            .certFile = o.certFile,
                            .keyFile = o.keyFile,
                            .credentials = credentials,
                            .statusTopic = prefix + "/status"});
    if (const std::string problem = mqtt.problem(); !problem.empty()) {
        return fail(problem);
    }
    gateway::ValueQueue queue(o.queue.empty() ? defaultQueueFolder() : o.queue, *limit);
    if (!queue.isOpen()) {
        return fail(queue.failure());
    }
    common::SystemClock clock;
    // The link's own diagnostic lines go nowhere: the gateway says what changes in its
    // own words, and a service that runs for months must not collect them.
    std::ostream noDiagnostics(nullptr);
    // A poll takes only what has arrived: on a busy line the port is not waited on byte by
    // byte, and the lines are the same.
    core::ToolCore core(std::make_unique<link::QtSerialPort>(),
                        std::make_unique<link::QtSerialPort>(), noDiagnostics, clock,
                        {.poller = {.waitForRestOfFrame = false},
                         .multiplexed = connection.mux,
                         .protocol = {.crcStart = connection.crcStart},
                         .keepValuePoints = false});
    gateway::Gateway gateway(
        core, queue, mqtt,
        {.portA = connection.portA,
         .prefix = prefix,
         .name = host,
         .discoveryPrefix = o.discovery.empty() ? std::nullopt : std::optional(o.discovery),
         .lines = o.lines},
        std::cerr);
    return gateway.run();
}
