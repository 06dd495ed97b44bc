// qrt-gateway: the installation's values on an MQTT broker, with nothing lost when the
// broker or the network goes away. Listens and decodes as qrt-monitor --port does, keeps
// every value in a queue on disk and publishes it; sends nothing to the modules.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <csignal>
#include <iostream>

#include "common/clock.h"
#include "core/tool_core.h"
#include "gateway/gateway_loop.h"
#include "gateway/gateway_options.h"
#include "gateway/mqtt_link.h"
#include "gateway/publisher.h"
#include "gateway/service_manager.h"
#include "gateway/settings_reload.h"
#include "gateway/value_queue.h"
#include "link/qt_serial_port.h"
#include "shared/exit_status.h"

namespace {

using namespace qrt;
using tools::exit_status::kDone;
using tools::exit_status::kUsage;

int fail(const std::string& message) {
    std::cerr << "qrt-gateway: " << message << '\n';
    return kUsage;
}

std::string hostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name[0] != '\0' ? name : "gateway";
}

// The announcer to Home Assistant when the settings ask for one, the retired modules
// forgotten; none without discovery; or why it cannot be made.
common::Result<std::unique_ptr<gateway::Announcer>> announcerFor(
    const gateway::GatewaySettings& settings, gateway::ValueQueue& values,
    gateway::Publisher& publisher, common::Clock& clock) {
    if (!settings.discoveryPrefix) {
        return std::unique_ptr<gateway::Announcer>();
    }
    auto made = gateway::Announcer::make({.discoveryPrefix = *settings.discoveryPrefix,
                                          .prefix = settings.prefix,
                                          .siteId = settings.siteId,
                                          .host = settings.name},
                                         values, publisher, clock);
    if (const auto* announcer = std::get_if<std::unique_ptr<gateway::Announcer>>(&made)) {
        for (const receive::ValueSource& retired : settings.forget) {
            (*announcer)->forget(retired);
        }
    }
    return made;
}

// Runs the gateway as it was set up, until a termination signal or a refusal of the broker;
// `reread` reads the settings again for a reload.
int runGateway(const gateway::GatewaySetup& setup, gateway::SettingsReload::Reread reread) {
    common::SystemClock clock;
    auto mqtt = gateway::MqttLink::open(setup.mqtt, clock);
    if (const auto* failure = common::failureOf(mqtt)) {
        return fail(failure->reason);
    }
    auto queue = gateway::ValueQueue::open(setup.queueFolder, setup.queueLimit);
    if (const auto* failure = common::failureOf(queue)) {
        return fail(failure->reason);
    }
    // The link's own diagnostic lines go nowhere: the gateway says what changes in its
    // own words, and a service that runs for months must not collect them.
    std::ostream noDiagnostics(nullptr);
    // A poll takes only what has arrived: on a busy line the port is not waited on byte by
    // byte, and the lines are the same.
    core::ToolCore core(std::make_unique<link::QtSerialPort>(),
                        std::make_unique<link::QtSerialPort>(), noDiagnostics, clock,
                        setup.connection.coreOptions({.waitForRestOfFrame = false}));
    // What changes is said on standard error (the journal) and as the service's status.
    const gateway::ServiceManager service;
    const auto say = [&service](const std::string& line) {
        std::cerr << "qrt-gateway: " << line << std::endl;
        service.status(line);
    };
    gateway::ValueQueue& values = *std::get<std::unique_ptr<gateway::ValueQueue>>(queue);
    gateway::MqttLink& broker = *std::get<std::unique_ptr<gateway::MqttLink>>(mqtt);
    gateway::Publisher publisher(values, broker, clock, setup.gateway.prefix, say);
    gateway::GatewayLoop loop(core, values, broker, publisher, service, setup.gateway, say);
    auto announcer = announcerFor(setup.gateway, values, publisher, clock);
    if (const auto* failure = common::failureOf(announcer)) {
        return fail(failure->reason);
    }
    if (const auto& made = std::get<std::unique_ptr<gateway::Announcer>>(announcer)) {
        loop.announceWith(*made);
    }
    gateway::SettingsReload reload(setup, std::move(reread), values, say);
    loop.onReload(gateway::takeReloadRequest,
                  [&reload](gateway::GatewaySettings& settings) { reload.reload(settings); });
    return loop.run();
}

}  // namespace

int main(int argc, char** argv) {
    // A reload asked for during the start waits for the loop instead of ending the gateway;
    // a queue file at the file size limit fails its write, as on a full disk, instead of
    // killing the gateway; so does a closed pipe.
    gateway::reloadOnHangUp();
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);  // the serial backend expects one
    CLI::App app{
        "Publishes the installation's values on an MQTT broker: listens to the receiver on "
        "interface A, decodes every telegram as qrt-monitor --port does, keeps every value in a "
        "queue on disk until the broker has it, and sends nothing to the modules.",
        "qrt-gateway"};
    gateway::GatewayOptions options;
    gateway::addGatewayOptions(app, options);
    try {
        if (const auto problem = gateway::parseGatewayOptions(app, argc, argv)) {
            return fail(problem->reason);
        }
    } catch (const CLI::Success& asked) {
        return app.exit(asked) == 0 ? kDone : kUsage;
    }
    const std::string host = hostName();
    const auto setup = gateway::resolveGatewayOptions(options, host);
    if (const auto* failure = common::failureOf(setup)) {
        return fail(failure->reason);
    }
    return runGateway(std::get<gateway::GatewaySetup>(setup),
                      [argc, argv, host] { return gateway::rereadGatewaySetup(argc, argv, host); });
}
