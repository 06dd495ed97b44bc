#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "core/tool_core.h"
#include "gateway/mqtt_link.h"
#include "gateway/value_queue.h"
#include "receive/sinks.h"

namespace qrt::gateway {

/// What the gateway publishes and where it listens.
struct GatewaySettings {
    std::string portA;
    std::string prefix;                          // topics begin with it: "qrt/HOST"
    std::string name;                            // the gateway in discovery IDs: the host name
    std::optional<std::string> discoveryPrefix;  // Home Assistant's, when it announces sensors
    bool lines = false;                          // the decoded lines on PREFIX/lines too
};

/// The installation's values on the broker: listens to the receiver through the core's
/// live loop, keeps every value in the queue before it publishes it and lets it go once
/// the broker has it, announces new channels, and says how it stands on PREFIX/status.
/// It sends nothing to the modules and takes nothing from the broker.
class Gateway final : public receive::LineSink, public receive::MeasurementSink {
  public:
    Gateway(core::ToolCore& core, ValueQueue& queue, MqttLink& mqtt, GatewaySettings settings,
            std::ostream& log);

    /// Runs until a termination signal (0) or a refusal of the broker that no retry mends
    /// (the reason on the log, 2).
    int run();

    std::string& beginLine(receive::Pane pane) override;
    void endLine() override;
    void addMeasurements(std::span<const receive::Measurement> measurements) override;
    void pollFinished() override;

  private:
    void say(const std::string& line);
    bool openPort();
    void setStatus(const std::string& status);
    /// What a pump did: published values, found the broker's window full, or had
    /// nothing to publish (or no broker).
    enum class Pumped { Sent, WindowFull, Idle };
    /// Publishes from the queue while the broker takes more, and lets go of what it
    /// acknowledged.
    Pumped pump();
    /// Serves the broker for at most `most` between two polls.
    void serviceBroker(std::chrono::milliseconds most);
    void acknowledge();
    void reportDrops(bool force);

    core::ToolCore& core_;
    ValueQueue& queue_;
    MqttLink& mqtt_;
    GatewaySettings settings_;
    std::ostream& log_;
    std::string line_;
    std::string status_ = "online";
    std::set<std::string> announced_;  // discovery topics already kept
    std::uint64_t session_ = 0;
    std::int64_t cursor_ = 0;                     // the last queued value published
    std::map<int, std::int64_t> valuesInFlight_;  // message ID to the value's row
    std::map<int, RetainedMessage> retainedInFlight_;
    std::map<std::string, StoredValue> lastValues_;  // this poll's last value per /last topic
    bool retainedNow_ = true;                        // a retained message to send at once
    bool retainedChanged_ = false;  // channels' last values to send in the next round
    std::chrono::steady_clock::time_point nextLastValues_{};
    bool draining_ = false;
    std::chrono::steady_clock::time_point lastCommit_{};
    std::chrono::steady_clock::time_point lastDropReport_{};
    std::uint64_t droppedReported_ = 0;
    common::Attachment attached_ = core_.attach({.lines = this, .measurements = this});
};

}  // namespace qrt::gateway
