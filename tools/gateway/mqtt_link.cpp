#include "gateway/mqtt_link.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qrt::gateway {

namespace {

constexpr std::chrono::seconds kLongestPause{60};
constexpr std::chrono::seconds kLongestConnect{15};  // TCP, TLS and the broker's answer
constexpr int kQos = 1;

// Errors of a connection that never came about.
bool connectionError(int error) {
    return error == ECONNREFUSED || error == EHOSTUNREACH || error == ENETUNREACH ||
           error == ETIMEDOUT || error == ECONNRESET;
}

// The library is made ready once for the whole program.
struct Library {
    Library() { mosquitto_lib_init(); }
    ~Library() { mosquitto_lib_cleanup(); }
};

// Refusals of the connection that no retry mends: wrong credentials, a client ID the
// broker does not take.
bool refusedForGood(int rc) {
    switch (rc) {
        case CONNACK_REFUSED_IDENTIFIER_REJECTED:
        case CONNACK_REFUSED_BAD_USERNAME_PASSWORD:
        case CONNACK_REFUSED_NOT_AUTHORIZED:
        case MQTT_RC_CLIENTID_NOT_VALID:
        case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
        case MQTT_RC_NOT_AUTHORIZED:
        case MQTT_RC_BANNED:
        case MQTT_RC_BAD_AUTHENTICATION_METHOD:
            return true;
        default:
            return false;
    }
}

}  // namespace

MqttLink::MqttLink(MqttSettings settings, common::Clock& clock)
    : settings_(std::move(settings)), clock_(clock) {
    static Library library;
}

common::Result<std::unique_ptr<MqttLink>> MqttLink::open(MqttSettings settings,
                                                         common::Clock& clock) {
    std::unique_ptr<MqttLink> link(new MqttLink(std::move(settings), clock));
    if (auto failure = link->problem()) {
        return *failure;
    }
    // A client made now says whether the library takes the settings at all; each
    // connection makes its own.
    auto client = link->newClient();
    if (const auto* failure = common::failureOf(client)) {
        return *failure;
    }
    mosquitto_destroy(std::get<mosquitto*>(client));
    return link;
}

MqttLink::~MqttLink() {
    if (client_ != nullptr) {
        mosquitto_destroy(client_);
    }
}

std::optional<common::Failure> MqttLink::problem() const {
    for (const std::string* file : {&settings_.caFile, &settings_.certFile, &settings_.keyFile}) {
        if (!file->empty() && ::access(file->c_str(), R_OK) != 0) {
            const int error = errno;
            return common::Failure{"cannot read " + *file + ": " + std::strerror(error), error};
        }
    }
    if (settings_.broker.tls && settings_.caFile.empty()) {
        return common::Failure{
            "mqtts:// needs --cafile: the broker's certificate is always checked"};
    }
    if (settings_.certFile.empty() != settings_.keyFile.empty()) {
        return common::Failure{"a client certificate needs its key, and a key its certificate"};
    }
    return std::nullopt;
}

common::Result<mosquitto*> MqttLink::newClient() {
    mosquitto* client = mosquitto_new(settings_.clientId.c_str(), true, this);
    if (client == nullptr) {
        const int error = errno;
        return common::Failure{"the MQTT library refuses the client ID '" + settings_.clientId +
                                   "': " + std::strerror(error),
                               error};
    }
    // Each setting that the library refuses is named with its reason.
    const auto refused = [client](const std::string& what,
                                  int rc) -> std::optional<common::Failure> {
        if (rc == MOSQ_ERR_SUCCESS) {
            return std::nullopt;
        }
        mosquitto_destroy(client);
        return common::Failure{"the MQTT library refuses " + what + ": " + mosquitto_strerror(rc)};
    };
    std::optional<common::Failure> failure =
        refused("the protocol version",
                mosquitto_int_option(
                    client, MOSQ_OPT_PROTOCOL_VERSION,
                    settings_.protocolVersion == 5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311));
    mosquitto_max_inflight_messages_set(client, 0);  // the caller bounds what is in flight
    if (!failure) {
        failure = refused(
            "the status topic " + settings_.statusTopic,
            mosquitto_will_set(client, settings_.statusTopic.c_str(), 7, "offline", kQos, true));
    }
    if (!failure && settings_.credentials) {
        failure = refused("the credentials",
                          mosquitto_username_pw_set(client, settings_.credentials->user.c_str(),
                                                    settings_.credentials->password.c_str()));
    }
    if (!failure && settings_.broker.tls) {
        failure =
            refused("the TLS settings",
                    mosquitto_tls_set(
                        client, settings_.caFile.c_str(), nullptr,
                        settings_.certFile.empty() ? nullptr : settings_.certFile.c_str(),
                        settings_.keyFile.empty() ? nullptr : settings_.keyFile.c_str(), nullptr));
        if (!failure) {
            mosquitto_tls_opts_set(client, 1 /* verify the peer */, nullptr, nullptr);
            mosquitto_tls_insecure_set(client, false);  // the host name must match too
        }
    }
    if (failure) {
        return *failure;
    }
    mosquitto_connect_v5_callback_set(client, &MqttLink::onConnect);
    mosquitto_disconnect_v5_callback_set(client, &MqttLink::onDisconnect);
    mosquitto_publish_v5_callback_set(client, &MqttLink::onPublish);
    mosquitto_message_v5_callback_set(client, &MqttLink::onMessage);
    mosquitto_log_callback_set(client, &MqttLink::onLog);
    return client;
}

std::string MqttLink::errorText(int rc) const {
    if (rc == MOSQ_ERR_ERRNO) {
        return std::strerror(errno);
    }
    if (rc == MOSQ_ERR_TLS && !lastError_.empty()) {
        return lastError_;
    }
    return mosquitto_strerror(rc);
}

void MqttLink::connect() {
    if (client_ != nullptr) {
        mosquitto_destroy(client_);  // a fresh client: nothing of the last connection is resent
        client_ = nullptr;
    }
    auto client = newClient();
    if (const auto* failure = common::failureOf(client)) {
        fatal_ = failure->reason;  // took the same settings at start: nothing a retry mends
        return;
    }
    client_ = std::get<mosquitto*>(client);
    lastError_.clear();
    connectError_ = 0;
    errno = 0;
    const int rc = mosquitto_connect_async(client_, settings_.broker.host.c_str(),
                                           settings_.broker.port, settings_.keepAliveSeconds);
    if (rc == MOSQ_ERR_SUCCESS) {
        noteConnectError();
        connecting_ = true;
        connectStarted_ = clock_.now();
    } else {
        lost(errorText(rc));
    }
}

void MqttLink::noteConnectError() {
    // The library takes a refused or reset connection during the TLS handshake for one
    // that is still coming, and tries the handshake again on the dead socket for ever: the
    // system's error is caught here, where the library leaves it, to be named once the
    // socket shows it closed.
    if (connectionError(errno)) {
        connectError_ = errno;
    }
}

std::optional<std::string> MqttLink::connectionFailed() const {
    const int socket = mosquitto_socket(client_);
    if (socket < 0) {
        return "closed";
    }
    pollfd descriptor{socket, POLLOUT, 0};
    if (::poll(&descriptor, 1, 0) <= 0 || (descriptor.revents & (POLLHUP | POLLERR)) == 0) {
        if (clock_.now() - connectStarted_ >= kLongestConnect) {
            return "no answer within " + std::to_string(kLongestConnect.count()) + " s";
        }
        return std::nullopt;
    }
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error == 0) {
        error = connectError_;
    }
    return error != 0 ? std::string(std::strerror(error))
                      : std::string("the connection closed before the broker answered");
}

void MqttLink::lost(const std::string& reason) {
    const bool wasConnected = connected_;
    connected_ = false;
    connecting_ = false;
    nextAttempt_ = clock_.now() + pause_;
    pause_ = std::min(pause_ * 2, kLongestPause);
    const std::string line = (wasConnected ? "disconnected from " : "cannot connect to ") +
                             settings_.broker.text() + ": " + reason;
    if (line != lastReason_ && events_.changed) {
        events_.changed(line);  // once per change, not at every retry
    }
    lastReason_ = line;
}

void MqttLink::service(std::chrono::milliseconds wait) {
    if (!fatal_.empty()) {
        return;
    }
    if (!connected_ && !connecting_ && clock_.now() >= nextAttempt_) {
        connect();
    }
    if (connecting_) {
        if (const auto failed = connectionFailed()) {
            lost(*failed);
        }
    }
    if (!connected_ && !connecting_) {
        clock_.sleep(wait);
        return;
    }
    errno = 0;
    const int rc = mosquitto_loop(client_, static_cast<int>(wait.count()), 1);
    if (connecting_) {
        noteConnectError();
    }
    if (rc != MOSQ_ERR_SUCCESS && (connected_ || connecting_)) {
        lost(errorText(rc));
    }
}

void MqttLink::onConnect(mosquitto*, void* self, int rc, int, const mosquitto_property*) {
    auto& link = *static_cast<MqttLink*>(self);
    link.connecting_ = false;
    if (rc != 0) {
        const std::string reason = link.settings_.protocolVersion == 5
                                       ? mosquitto_reason_string(rc)
                                       : mosquitto_connack_string(rc);
        if (refusedForGood(rc)) {
            link.fatal_ = "the broker " + link.settings_.broker.text() + " refuses: " + reason;
        }
        link.lost(reason);
        return;
    }
    link.connected_ = true;
    link.pause_ = std::chrono::seconds(1);
    ++link.session_;
    link.lastReason_ = "connected to " + link.settings_.broker.text();
    for (const std::string& topic : link.subscriptions_) {
        mosquitto_subscribe(link.client_, nullptr, topic.c_str(), 0);
    }
    if (link.events_.changed) {
        link.events_.changed(link.lastReason_);
    }
    if (link.events_.connected) {
        link.events_.connected();
    }
}

void MqttLink::onDisconnect(mosquitto*, void* self, int rc, const mosquitto_property*) {
    auto& link = *static_cast<MqttLink*>(self);
    if (link.connected_ || link.connecting_) {
        link.lost(rc == 0 ? "closed" : link.errorText(rc));
    }
}

void MqttLink::onPublish(mosquitto*, void* self, int mid, int, const mosquitto_property*) {
    static_cast<MqttLink*>(self)->acknowledged_.push_back(mid);
}

void MqttLink::onMessage(mosquitto*, void* self, const mosquitto_message* message,
                         const mosquitto_property*) {
    const auto& link = *static_cast<MqttLink*>(self);
    if (link.events_.received && message->topic != nullptr) {
        const auto* bytes = static_cast<const char*>(message->payload);
        link.events_.received(message->topic,
                              std::string_view(bytes, bytes != nullptr ? message->payloadlen : 0));
    }
}

void MqttLink::onLog(mosquitto*, void* self, int level, const char* text) {
    if (level == MOSQ_LOG_ERR) {
        static_cast<MqttLink*>(self)->lastError_ = text;
    }
}

std::optional<int> MqttLink::publish(const std::string& topic, std::string_view payload,
                                     bool retain) {
    if (!connected_) {
        return std::nullopt;
    }
    int mid = 0;
    if (mosquitto_publish(client_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), kQos, retain) != MOSQ_ERR_SUCCESS) {
        return std::nullopt;
    }
    return mid;
}

void MqttLink::publishOnce(const std::string& topic, std::string_view payload) {
    if (connected_) {
        mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 0, false);
    }
}

void MqttLink::subscribe(const std::string& topic) {
    subscriptions_.push_back(topic);
    if (connected_) {
        mosquitto_subscribe(client_, nullptr, topic.c_str(), 0);
    }
}

std::vector<int> MqttLink::takeAcknowledged() {
    std::vector<int> taken;
    taken.swap(acknowledged_);
    return taken;
}

void MqttLink::close(std::string_view status) {
    if (!connected_) {
        return;
    }
    mosquitto_publish(client_, nullptr, settings_.statusTopic.c_str(),
                      static_cast<int>(status.size()), status.data(), kQos, true);
    connected_ = false;  // a disconnection asked for is no change to report
    mosquitto_disconnect(client_);
    for (int i = 0; i < 20 && mosquitto_loop(client_, 50, 1) == MOSQ_ERR_SUCCESS; ++i) {
    }
}

}  // namespace qrt::gateway
