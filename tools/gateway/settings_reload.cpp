#include "gateway/settings_reload.h"

#include <csignal>

namespace qrt::gateway {

namespace {

volatile std::sig_atomic_t hangUp = 0;

void noteHangUp(int) {
    hangUp = 1;
}

// A setting the gateway is built on, as text for comparing two setups.
struct FixedSetting {
    const char* option;
    std::function<std::string(const GatewaySetup&)> text;
};

std::string credentialsText(const GatewaySetup& s) {
    return s.mqtt.credentials ? s.mqtt.credentials->user + '\n' + s.mqtt.credentials->password : "";
}

const FixedSetting kFixedSettings[] = {
    {"--port-a", [](const GatewaySetup& s) { return s.connection.portA; }},
    {"--mux", [](const GatewaySetup& s) { return std::to_string(s.connection.mux); }},
    {"--crc-start", [](const GatewaySetup& s) { return std::to_string(s.connection.crcStart); }},
    {"--broker", [](const GatewaySetup& s) { return s.mqtt.broker.text(); }},
    {"--cafile", [](const GatewaySetup& s) { return s.mqtt.caFile; }},
    {"--certfile", [](const GatewaySetup& s) { return s.mqtt.certFile; }},
    {"--keyfile", [](const GatewaySetup& s) { return s.mqtt.keyFile; }},
    {"--credentials", credentialsText},
    {"--client-id", [](const GatewaySetup& s) { return s.mqtt.clientId; }},
    {"--keepalive", [](const GatewaySetup& s) { return std::to_string(s.mqtt.keepAliveSeconds); }},
    {"--mqtt-version",
     [](const GatewaySetup& s) { return std::to_string(s.mqtt.protocolVersion); }},
    {"--prefix", [](const GatewaySetup& s) { return s.gateway.prefix; }},
    {"--ha-discovery",
     [](const GatewaySetup& s) { return s.gateway.discoveryPrefix.value_or(""); }},
    {"--site-id", [](const GatewaySetup& s) { return s.gateway.siteId; }},
    {"--forget-module",
     [](const GatewaySetup& s) {
         std::string modules;
         for (const receive::ValueSource& module : s.gateway.forget) {
             modules += module.text() + " ";
         }
         return modules;
     }},
    {"--queue", [](const GatewaySetup& s) { return s.queueFolder; }},
};

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

}  // namespace

void reloadOnHangUp() {
    std::signal(SIGHUP, noteHangUp);
}

bool takeReloadRequest() {
    if (hangUp == 0) {
        return false;
    }
    hangUp = 0;
    return true;
}

void SettingsReload::reload(GatewaySettings& settings) {
    const auto read = reread_();
    if (const auto* failure = common::failureOf(read)) {
        say_("settings not reloaded, they stay as they were: " + failure->reason);
        return;
    }
    const GatewaySetup& next = std::get<GatewaySetup>(read);
    std::vector<std::string> applied;
    if (next.gateway.lines != running_.gateway.lines) {
        settings.lines = running_.gateway.lines = next.gateway.lines;
        applied.emplace_back("--lines");
    }
    if (next.queueLimit != running_.queueLimit) {
        queue_.setLimit(running_.queueLimit = next.queueLimit);
        applied.emplace_back("--queue-limit");
    }
    std::vector<std::string> fixed;
    for (const FixedSetting& setting : kFixedSettings) {
        if (setting.text(next) != setting.text(running_)) {
            fixed.emplace_back(setting.option);
        }
    }
    std::string line = "settings reloaded: ";
    line += applied.empty() ? "nothing to change now" : "changed " + joined(applied);
    if (!fixed.empty()) {
        line += "; " + joined(fixed) + " changed too, in force after a restart";
    }
    say_(line);
}

}  // namespace qrt::gateway
