#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrt::gateway {

/// The gateway's session with its broker, serviced by the gateway's one loop: connects
/// and reconnects on its own, publishes, reports which messages the broker acknowledged,
/// and hands over what arrives on the topics it subscribed to. Every connection is a fresh session,
/// so what was in flight on the last one is the caller's to send again, in its own order. The real
/// one is libmosquitto's
/// (`MqttLink`); tests use a fake.
class MqttSession {
  public:
    /// What the session tells the gateway.
    struct Events {
        /// A change of the connection in one line: connected, disconnected with the reason.
        std::function<void(const std::string&)> changed{};
        /// A connection is up; nothing has been sent on it yet.
        std::function<void()> connected{};
        /// A message arrived on a subscribed topic: any bytes, to be compared, not trusted.
        std::function<void(const std::string& topic, std::string_view payload)> received{};
    };

    virtual ~MqttSession() = default;

    void listen(Events events) { events_ = std::move(events); }

    /// Connects when due, reads and writes, for at most `wait`.
    virtual void service(std::chrono::milliseconds wait) = 0;
    [[nodiscard]] virtual bool connected() const = 0;
    /// The connections made so far: a new one means what was in flight is to be sent again.
    [[nodiscard]] virtual std::uint64_t session() const = 0;

    /// Publishes with QoS 1; the message ID, or none when not connected.
    virtual std::optional<int> publish(const std::string& topic, std::string_view payload,
                                       bool retain) = 0;
    /// Publishes with QoS 0, if connected: nothing is kept for a later connection.
    virtual void publishOnce(const std::string& topic, std::string_view payload) = 0;
    /// The message IDs the broker acknowledged since the last call.
    [[nodiscard]] virtual std::vector<int> takeAcknowledged() = 0;
    /// Subscribes to `topic` (no wildcard, QoS 0) on this connection and every later one.
    virtual void subscribe(const std::string& topic) = 0;

    /// A refusal no retry can mend (the broker refuses the credentials or the client ID);
    /// empty while there is none.
    [[nodiscard]] virtual const std::string& fatal() const = 0;
    /// Publishes `status` on the status topic (retained) and disconnects.
    virtual void close(std::string_view status) = 0;

  protected:
    Events events_;
};

}  // namespace qrt::gateway
