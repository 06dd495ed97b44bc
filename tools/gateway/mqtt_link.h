#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "common/failure.h"
#include "gateway/broker.h"
#include "gateway/mqtt_session.h"

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;
using mosquitto_property = struct mqtt5__property;

namespace qrt::gateway {

/// How to reach the broker and who the gateway is there.
struct MqttSettings {
    BrokerAddress broker;
    std::string clientId;
    int keepAliveSeconds = 60;
    int protocolVersion = 4;  // 4: MQTT 3.1.1, 5: MQTT 5
    std::string caFile{};     // with mqtts://: the authority the broker's certificate is checked by
    std::string certFile{};   // a client certificate and its key, if the broker asks for one
    std::string keyFile{};
    std::optional<Credentials> credentials{};
    std::string statusTopic{};  // "offline" is left there, retained, when the gateway vanishes
};

/// The session with the broker through libmosquitto: it connects without waiting,
/// reconnects with a growing pause (1 s, doubled up to a minute) when the broker or the
/// network goes away or a connection does not come about within 15 s, and starts a fresh
/// client for every connection.
class MqttLink final : public MqttSession {
  public:
    /// A link with `settings`, or why they cannot be used (a TLS file that cannot be read,
    /// a client ID the library refuses).
    [[nodiscard]] static common::Result<std::unique_ptr<MqttLink>> open(MqttSettings settings,
                                                                        common::Clock& clock);
    ~MqttLink() override;
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    void service(std::chrono::milliseconds wait) override;
    [[nodiscard]] bool connected() const override { return connected_; }
    [[nodiscard]] std::uint64_t session() const override { return session_; }
    std::optional<int> publish(const std::string& topic, std::string_view payload,
                               bool retain) override;
    void publishOnce(const std::string& topic, std::string_view payload) override;
    [[nodiscard]] std::vector<int> takeAcknowledged() override;
    void subscribe(const std::string& topic) override;
    [[nodiscard]] const std::string& fatal() const override { return fatal_; }
    void close(std::string_view status) override;

  private:
    MqttLink(MqttSettings settings, common::Clock& clock);
    /// Why the settings cannot be used; none when they can.
    [[nodiscard]] std::optional<common::Failure> problem() const;
    /// A new client with every setting applied, or why the library refused one.
    [[nodiscard]] common::Result<mosquitto*> newClient();

    static void onConnect(mosquitto*, void* self, int rc, int, const mosquitto_property*);
    static void onDisconnect(mosquitto*, void* self, int rc, const mosquitto_property*);
    static void onPublish(mosquitto*, void* self, int mid, int, const mosquitto_property*);
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* message,
                          const mosquitto_property*);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    void connect();
    void noteConnectError();
    /// Why the connection in progress failed: its socket closed, or no answer in time;
    /// none while it may still come about.
    [[nodiscard]] std::optional<std::string> connectionFailed() const;
    void lost(const std::string& reason);
    [[nodiscard]] std::string errorText(int rc) const;

    MqttSettings settings_;
    common::Clock& clock_;
    mosquitto* client_ = nullptr;
    bool connected_ = false;
    bool connecting_ = false;
    std::uint64_t session_ = 0;
    std::chrono::steady_clock::time_point nextAttempt_{};
    std::chrono::steady_clock::time_point connectStarted_{};
    int connectError_ = 0;  // the system's error of a connection in progress, once seen
    std::chrono::seconds pause_{1};
    std::vector<int> acknowledged_;
    std::vector<std::string> subscriptions_;
    std::string fatal_;
    std::string lastError_;   // the library's last error message (an OpenSSL reason)
    std::string lastReason_;  // told once per state change
};

}  // namespace qrt::gateway
