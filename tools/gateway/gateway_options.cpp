#include "gateway/gateway_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdlib>
#include <limits>

#include "common/version.h"
#include "gateway/config_file.h"
#include "gateway/messages.h"
#include "gateway/mqtt_names.h"
#include "gateway/site_identity.h"

namespace qrt::gateway {

namespace {

constexpr const char* kDiscoveryPrefix = "homeassistant";

// A folder named by an empty text would silently be the default one.
const CLI::Validator kNotEmpty(
    [](const std::string& text) { return text.empty() ? std::string("names no folder") : ""; }, "");

// Why the topic prefixes and the client ID cannot be carried by MQTT, the option named.
std::optional<common::Failure> mqttNamesProblem(const std::string& prefix,
                                                const std::string& discovery,
                                                const std::string& clientId) {
    if (const auto problem = topicPrefixProblem(prefix)) {
        return common::Failure{"--prefix " + *problem};
    }
    if (const auto problem = discovery.empty() ? std::nullopt : topicPrefixProblem(discovery)) {
        return common::Failure{"--ha-discovery " + *problem};
    }
    if (const auto problem = clientIdProblem(clientId)) {
        return common::Failure{"--client-id " + *problem};
    }
    return std::nullopt;
}

// A short telegram's module number, 0 to 255, in decimal.
std::optional<std::uint32_t> shortTelegramModule(std::string_view text) {
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || number > 255) {
        return std::nullopt;
    }
    return number;
}

// The retired modules named, or the first that is no module.
common::Result<std::vector<receive::ValueSource>> modulesToForget(const GatewayOptions& options) {
    std::vector<receive::ValueSource> modules;
    for (const std::string& text : options.forget) {
        receive::ValueSource module;
        if (const auto address = frames::ModuleAddress::parse(text)) {
            module.module = *address;
        } else if (const auto number = shortTelegramModule(text)) {
            module = {.kind = receive::ValueSource::Kind::ShortTelegram, .module = {0, *number}};
        } else {
            return common::Failure{"--forget-module '" + text +
                                   "' is not a module (TYPE.SERIAL, or a short telegram's number)"};
        }
        modules.push_back(module);
    }
    if (!modules.empty() && options.discovery.empty()) {
        return common::Failure{
            "--forget-module clears Home Assistant's entities: it takes "
            "--ha-discovery"};
    }
    return modules;
}

// The queue limit in bytes, or why it cannot bound a queue.
common::Result<std::uint64_t> queueLimitOf(const std::string& text) {
    const auto limit = sizeOf(text);
    if (!limit) {
        return common::Failure{"--queue-limit '" + text +
                               "' is not a size (bytes, or 64K, 500M, 1G, below 16 exbibytes)"};
    }
    if (*limit < kSmallestQueueLimit) {
        return common::Failure{"--queue-limit '" + text +
                               "' is below 1M, the smallest queue that holds values beside its "
                               "own tables"};
    }
    return *limit;
}

}  // namespace

void addGatewayOptions(CLI::App& app, GatewayOptions& options) {
    app.set_config("--config", "",
                   "Read the options from a file of KEY = VALUE lines (the same keys: broker = "
                   "...)");
    tools::addReceiverOptions(app, options.connection);
    app.add_option("--settings", options.connection.settings,
                   "Take the port and MXL from the tool's settings file");
    app.add_option("--broker", options.broker, "mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")
        ->required();
    app.add_option("--cafile", options.caFile,
                   "With mqtts://: the certificate authority to check by");
    app.add_option("--certfile", options.certFile, "A client certificate (PEM) for the broker");
    app.add_option("--keyfile", options.keyFile, "The client certificate's key (PEM)");
    app.add_option("--credentials", options.credentials,
                   "A private file: the user name on its first line, the password on its second");
    app.add_option("--client-id", options.clientId, "MQTT client ID (default qrt-gateway-HOST)");
    app.add_option("--keepalive", options.keepAlive, "Keep-alive in seconds (default 60)")
        ->check(CLI::Range(5, 3600));
    app.add_option("--mqtt-version", options.mqttVersion, "3.1.1 (default) or 5")
        ->check(CLI::IsMember({"3.1.1", "5"}));
    app.add_option("--prefix", options.prefix, "Topic prefix (default qrt/HOST)");
    app.add_option("--ha-discovery", options.discovery,
                   "Announce every channel to Home Assistant under this prefix")
        ->expected(0, 1)
        ->default_str(kDiscoveryPrefix);
    app.add_option("--site-id", options.siteId,
                   "The site's identity in Home Assistant's unique IDs, [a-zA-Z0-9_-] (default: "
                   "made once and kept in the queue)");
    app.add_option("--forget-module", options.forget,
                   "With --ha-discovery: clear a retired module's entities and last values "
                   "(TYPE.SERIAL, or a short telegram's number)");
    app.add_flag("--lines", options.lines, "Publish the decoded lines on PREFIX/lines too");
    app.add_option("--queue", options.queue,
                   "Folder of the queue (default $STATE_DIRECTORY, else "
                   "$XDG_STATE_HOME/qrt-gateway)")
        ->check(kNotEmpty);
    app.add_option("--queue-limit", options.queueLimit,
                   "Largest queue: bytes, or K, M, G (default 1G, at least 1M); beyond, the oldest "
                   "values are dropped and counted");
    app.set_version_flag("--version", common::kVersionText);
    app.footer(
        "Topics: PREFIX/MODULE/CHANNEL (QoS 1) with {\"time\", \"value\", \"unit\"}, the last "
        "value "
        "retained under PREFIX/MODULE/CHANNEL/last, PREFIX/status (online, offline, port lost), "
        "PREFIX/status/dropped, PREFIX/status/queue ({\"waiting\", \"oldest_age_s\", "
        "\"dropped\"}, at most every 10 s).\n"
        "The configuration file: KEY = VALUE lines and comment lines (# or ; first); an unknown "
        "key, a # inside a value or a line of another form is refused. SIGHUP reads it again: "
        "queue-limit and lines change at once, other changes wait for a restart.\n"
        "Exit status: 0 stopped by SIGTERM or Ctrl+C, 2 an option, a file or a refusal of the "
        "broker (credentials).\n"
        "Example: qrt-gateway --port-a ttyUSB0 --broker mqtt://localhost --ha-discovery");
    // --ha-discovery without a value announces under Home Assistant's own prefix.
    app.final_callback([&app, &options] {
        if (app.count("--ha-discovery") > 0 && options.discovery.empty()) {
            options.discovery = kDiscoveryPrefix;
        }
    });
}

std::optional<common::Failure> parseGatewayOptions(CLI::App& app, int argc, char** argv) {
    if (auto problem = configFileProblem(app, argc, argv)) {
        return problem;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success&) {
        throw;
    } catch (const CLI::ParseError& error) {
        return common::Failure{error.what()};
    }
    return std::nullopt;
}

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
    if (factor == 0 || value == 0 || text.front() == '-' ||
        value > std::numeric_limits<std::uint64_t>::max() / factor) {
        return std::nullopt;
    }
    return value * factor;
}

common::Result<GatewaySetup> resolveGatewayOptions(const GatewayOptions& options,
                                                   const std::string& host) {
    const auto connection = tools::resolveConnection(options.connection);
    if (const auto* failure = common::failureOf(connection)) {
        return *failure;
    }
    const auto broker = BrokerAddress::parse(options.broker);
    if (!broker) {
        return common::Failure{"--broker '" + options.broker +
                               "' is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]"};
    }
    const auto limit = queueLimitOf(options.queueLimit);
    if (const auto* failure = common::failureOf(limit)) {
        return *failure;
    }
    std::optional<Credentials> credentials;
    if (!options.credentials.empty()) {
        auto read = readCredentials(options.credentials);
        if (const auto* failure = common::failureOf(read)) {
            return common::Failure{"--credentials " + failure->reason};
        }
        credentials = std::get<Credentials>(std::move(read));
    }
    const std::string prefix = options.prefix.empty() ? "qrt/" + topicLevel(host) : options.prefix;
    const std::string clientId =
        options.clientId.empty() ? "qrt-gateway-" + host : options.clientId;
    if (auto problem = mqttNamesProblem(prefix, options.discovery, clientId)) {
        return *problem;
    }
    if (const auto problem =
            options.siteId.empty() ? std::nullopt : siteIdProblem(options.siteId)) {
        return common::Failure{"--site-id " + *problem};
    }
    auto forget = modulesToForget(options);
    if (const auto* failure = common::failureOf(forget)) {
        return *failure;
    }
    return GatewaySetup{
        .connection = std::get<tools::Connection>(connection),
        .mqtt = {.broker = *broker,
                 .clientId = clientId,
                 .keepAliveSeconds = options.keepAlive,
                 .protocolVersion = options.mqttVersion == "5" ? 5 : 4,
                 .caFile = options.caFile,
                 .certFile = options.certFile,
                 .keyFile = options.keyFile,
                 .credentials = credentials,
                 .statusTopic = prefix + "/status"},
        .gateway = {.portA = std::get<tools::Connection>(connection).portA,
                    .prefix = prefix,
                    .name = host,
                    .discoveryPrefix =
                        options.discovery.empty() ? std::nullopt : std::optional(options.discovery),
                    .siteId = options.siteId,
                    .forget = std::get<std::vector<receive::ValueSource>>(std::move(forget)),
                    .lines = options.lines},
        .queueFolder = options.queue.empty() ? defaultQueueFolder() : options.queue,
        .queueLimit = std::get<std::uint64_t>(limit)};
}

common::Result<GatewaySetup> rereadGatewaySetup(int argc, char** argv, const std::string& host) {
    CLI::App app;
    GatewayOptions options;
    addGatewayOptions(app, options);
    try {
        if (auto problem = parseGatewayOptions(app, argc, argv)) {
            return *problem;
        }
    } catch (const CLI::Success&) {
        return common::Failure{"the command line asks for help, not for a gateway"};
    }
    return resolveGatewayOptions(options, host);
}

}  // namespace qrt::gateway
