#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/broker.h"

struct mosquitto;
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

/// The connection to the broker through libmosquitto, serviced by the gateway's one loop:
/// it connects without waiting, reconnects with a growing pause (1 s, doubled up to a
/// minute) when the broker or the network goes away, and reports which messages the
/// broker acknowledged. Every connection starts a fresh client, so what was in flight on
/// the last one is the caller's to send again, in its own order.
class MqttLink {
  public:
    explicit MqttLink(MqttSettings settings);
    ~MqttLink();
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    /// Why the settings cannot be used (a TLS file that cannot be read); empty otherwise.
    [[nodiscard]] std::string problem();

    /// Connects when due, reads and writes, for at most `wait`.
    void service(std::chrono::milliseconds wait);
    [[nodiscard]] bool connected() const { return connected_; }
    /// The connections made so far: a new one means what was in flight is to be sent again.
    [[nodiscard]] std::uint64_t session() const { return session_; }

    /// Publishes with QoS 1; the message ID, or none when not connected.
    std::optional<int> publish(const std::string& topic, std::string_view payload, bool retain);
    /// Publishes with QoS 0, if connected: nothing is kept for a later connection.
    void publishOnce(const std::string& topic, std::string_view payload);
    /// The message IDs the broker acknowledged since the last call.
    [[nodiscard]] std::vector<int> takeAcknowledged();

    /// A refusal no retry can mend (the broker refuses the credentials or the client ID).
    [[nodiscard]] const std::string& fatal() const { return fatal_; }
    /// Publishes `status` on the status topic (retained) and disconnects.
    void close(std::string_view status);

    /// Told of every change of the connection: connected, disconnected with the reason.
    std::function<void(const std::string&)> onChange;
    /// Called once a connection is up, before anything else is sent on it.
    std::function<void()> onConnected;

  private:
    static void onConnect(mosquitto*, void* self, int rc, int, const mosquitto_property*);
    static void onDisconnect(mosquitto*, void* self, int rc, const mosquitto_property*);
    static void onPublish(mosquitto*, void* self, int mid, int, const mosquitto_property*);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    void connect();
    void lost(const std::string& reason);
    [[nodiscard]] std::string errorText(int rc) const;

    MqttSettings settings_;
    mosquitto* client_ = nullptr;
    bool connected_ = false;
    bool connecting_ = false;
    std::uint64_t session_ = 0;
    std::chrono::steady_clock::time_point nextAttempt_{};
    std::chrono::seconds pause_{1};
    std::vector<int> acknowledged_;
    std::string fatal_;
    std::string lastError_;   // the library's last error message (an OpenSSL reason)
    std::string lastReason_;  // told once per state change
};

}  // namespace qrt::gateway
