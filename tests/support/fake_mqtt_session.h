#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "common/clock.h"
#include "gateway/mqtt_session.h"

namespace qrt::testing {

/// A broker session in memory: records what is published, acknowledges on request and
/// connects or drops as the test says. Servicing it waits the time given, as a broker
/// that has nothing to say does.
class FakeMqttSession final : public gateway::MqttSession {
  public:
    explicit FakeMqttSession(common::Clock& clock) : clock_(clock) {}

    struct Message {
        std::string topic;
        std::string payload;
        bool retain = false;
        int mid = 0;
    };

    void service(std::chrono::milliseconds wait) override { clock_.sleep(wait); }
    [[nodiscard]] bool connected() const override { return connected_; }
    [[nodiscard]] std::uint64_t session() const override { return session_; }
    std::optional<int> publish(const std::string& topic, std::string_view payload,
                               bool retain) override {
        if (!connected_ || refusesPublishing) {
            return std::nullopt;
        }
        published.push_back({topic, std::string(payload), retain, ++lastMid_});
        return lastMid_;
    }
    void publishOnce(const std::string& topic, std::string_view payload) override {
        if (connected_) {
            published.push_back({topic, std::string(payload), false, 0});
        }
    }
    [[nodiscard]] std::vector<int> takeAcknowledged() override {
        return std::exchange(acknowledged, {});
    }
    void subscribe(const std::string& topic) override { subscriptions.push_back(topic); }
    [[nodiscard]] const std::string& fatal() const override { return fatal_; }
    void close(std::string_view status) override {
        closedWith = status;
        connected_ = false;
    }

    /// A new connection, as after the broker came back.
    void connect() {
        connected_ = true;
        ++session_;
        if (events_.connected) {
            events_.connected();
        }
    }
    void drop() { connected_ = false; }
    /// A message from the broker on `topic`, handed over if subscribed to.
    void deliver(const std::string& topic, std::string_view payload) {
        if (std::find(subscriptions.begin(), subscriptions.end(), topic) != subscriptions.end() &&
            events_.received) {
            events_.received(topic, payload);
        }
    }
    /// Acknowledges every message published so far.
    void acknowledgeAll() {
        for (const Message& message : published) {
            if (message.mid != 0) {
                acknowledged.push_back(message.mid);
            }
        }
    }
    /// The payloads published on `topic`, in order.
    [[nodiscard]] std::vector<std::string> payloadsOn(const std::string& topic) const {
        std::vector<std::string> payloads;
        for (const Message& message : published) {
            if (message.topic == topic) {
                payloads.push_back(message.payload);
            }
        }
        return payloads;
    }

    std::vector<Message> published;
    std::vector<int> acknowledged;  // what the broker acknowledges at the next look
    std::string closedWith;
    std::vector<std::string> subscriptions;
    bool refusesPublishing = false;  // connected, but every publish is refused

  private:
    common::Clock& clock_;
    bool connected_ = false;
    std::uint64_t session_ = 0;
    int lastMid_ = 0;
    std::string fatal_;
};

}  // namespace qrt::testing
