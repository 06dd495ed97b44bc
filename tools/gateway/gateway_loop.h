#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/tool_core.h"
#include "gateway/announcer.h"
#include "gateway/mqtt_session.h"
#include "gateway/publisher.h"
#include "gateway/service_manager.h"
#include "gateway/value_queue.h"
#include "receive/sinks.h"

namespace qrt::gateway {

/// What the gateway publishes and where it listens.
struct GatewaySettings {
    std::string portA;
    std::string prefix;                          // topics begin with it: "qrt/HOST"
    std::string name;                            // the gateway device's name: the host name
    std::optional<std::string> discoveryPrefix;  // Home Assistant's, when it announces sensors
    std::string siteId{};  // Home Assistant's unique IDs rest on it; empty: the queue's own
    std::vector<receive::ValueSource> forget{};  // retired modules whose entities go
    bool lines = false;                          // the decoded lines on PREFIX/lines too
};

/// The gateway's loop: listens to the receiver through the core's live loop (and opens
/// its port again when it was lost), keeps every value in the queue before the publisher
/// sends it, has the announcer tell Home Assistant of new channels, and says how it stands
/// on PREFIX/status. Between two polls the publisher serves the broker. It sends nothing to
/// the modules; from the broker it takes only Home Assistant's birth message.
class GatewayLoop final : public receive::LineSink, public receive::MeasurementSink {
  public:
    GatewayLoop(core::ToolCore& core, ValueQueue& queue, MqttSession& mqtt, Publisher& publisher,
                const ServiceManager& service, GatewaySettings settings, Publisher::Say say);
    /// The session outlives the loop: nothing of it is told to a loop that is gone.
    ~GatewayLoop() override { mqtt_.listen({}); }
    GatewayLoop(const GatewayLoop&) = delete;
    GatewayLoop& operator=(const GatewayLoop&) = delete;

    /// Reads the settings again when asked: `requested` is asked between two polls, and
    /// `reload` applies what may change to the loop's settings, the service manager told.
    void onReload(std::function<bool()> requested, std::function<void(GatewaySettings&)> reload) {
        reloadRequested_ = std::move(requested);
        reload_ = std::move(reload);
    }

    /// Announces the installation to Home Assistant through `announcer`, which hears its
    /// birth messages.
    void announceWith(Announcer& announcer);

    /// Runs until a termination signal (0) or a refusal of the broker that no retry mends
    /// (the reason on the log, 2).
    int run();

    std::string& beginLine(receive::Pane pane) override;
    void endLine() override;
    void addMeasurements(std::span<const receive::Measurement> measurements) override;
    void pollFinished() override;

  private:
    bool openPort();
    void waitToRetryPort();
    /// Serves the broker between two polls and tells the service manager the loop lives.
    void betweenPolls(std::chrono::milliseconds most);
    void setStatus(const std::string& status);
    /// Forgets the retained messages of an earlier run under another prefix, so they are
    /// not sent again at every connection.
    void forgetOtherPrefixes();
    void reloadWhenAsked();
    /// Says what the queue repaired at the opening, and at the stop what it keeps.
    void tellQueueAtStart();
    void tellQueueAtStop();
    [[nodiscard]] bool brokerRefuses() const { return !mqtt_.fatal().empty(); }

    core::ToolCore& core_;
    ValueQueue& queue_;
    MqttSession& mqtt_;
    Publisher& publisher_;
    const ServiceManager& service_;
    std::optional<std::chrono::steady_clock::time_point> lastAlive_;
    GatewaySettings settings_;
    Publisher::Say say_;
    std::function<bool()> reloadRequested_;
    std::function<void(GatewaySettings&)> reload_;
    std::string line_;
    std::string status_ = "online";
    Announcer* announcer_ = nullptr;
    std::map<std::string, StoredValue> lastValues_;  // this poll's last value per /last topic
    common::Attachment attached_ = core_.attach({.lines = this, .measurements = this});
};

}  // namespace qrt::gateway
