#include "gateway/gateway.h"

#include <thread>

#include "gateway/messages.h"
#include "link/interfaces.h"
#include "shared/exit_status.h"
#include "shared/live_watch.h"

namespace qrt::gateway {

namespace {

using namespace std::chrono_literals;

// Values in flight at once. libmosquitto finds each acknowledgement by walking what is
// in flight: a few thousand keep a local broker busy, more only cost.
constexpr std::size_t kWindow = 2000;
constexpr std::size_t kBatch = 500;      // values read from the queue at once
constexpr std::int64_t kBacklog = 1000;  // a queue this long is said to drain
constexpr auto kCommitEvery = 200ms;     // acknowledged values leave the disk this often
constexpr auto kPortRetry = 5s;
constexpr auto kLastValuesEvery = 1s;  // a channel's retained last value is this fresh
constexpr auto kDropReportEvery = 1h;

}  // namespace

Gateway::Gateway(core::ToolCore& core, ValueQueue& queue, MqttLink& mqtt, GatewaySettings settings,
                 std::ostream& log)
    : core_(core), queue_(queue), mqtt_(mqtt), settings_(std::move(settings)), log_(log) {
    for (const std::string& topic : queue_.retainedTopics()) {
        announced_.insert(topic);
    }
    droppedReported_ = queue_.dropped();
    mqtt_.onChange = [this](const std::string& line) { say(line); };
    mqtt_.onConnected = [this] { setStatus(status_); };
}

void Gateway::say(const std::string& line) {
    log_ << "qrt-gateway: " << line << std::endl;
}

std::string& Gateway::beginLine(receive::Pane) {
    line_.clear();
    return line_;
}

void Gateway::endLine() {
    if (settings_.lines) {
        mqtt_.publishOnce(settings_.prefix + "/lines", line_);
    }
}

void Gateway::addMeasurements(std::span<const receive::Measurement> measurements) {
    queue_.add(measurements);
    for (const receive::Measurement& m : measurements) {
        StoredValue value = storedValueOf(m);
        if (settings_.discoveryPrefix) {
            const Discovery discovery =
                discoveryOf(*settings_.discoveryPrefix, settings_.prefix, settings_.name, value);
            if (announced_.insert(discovery.topic).second) {
                queue_.keepRetained(discovery.topic, discovery.payload);
                retainedNow_ = true;
            }
        }
        std::string topic = valueTopic(settings_.prefix, value) + "/last";
        lastValues_.insert_or_assign(std::move(topic), std::move(value));
    }
}

void Gateway::pollFinished() {
    for (const auto& [topic, value] : lastValues_) {
        queue_.keepRetained(topic, valuePayload(value));
    }
    retainedChanged_ = retainedChanged_ || !lastValues_.empty();
    lastValues_.clear();
    queue_.commit();  // the poll's values are on disk before any of them is published
}

void Gateway::setStatus(const std::string& status) {
    status_ = status;
    queue_.keepRetained(settings_.prefix + "/status", status);
    queue_.commit();
    retainedNow_ = true;
}

void Gateway::acknowledge() {
    for (const int mid : mqtt_.takeAcknowledged()) {
        if (const auto value = valuesInFlight_.find(mid); value != valuesInFlight_.end()) {
            queue_.remove(value->second);
            valuesInFlight_.erase(value);
        } else if (const auto retained = retainedInFlight_.find(mid);
                   retained != retainedInFlight_.end()) {
            queue_.retainedSent(retained->second);
            retainedInFlight_.erase(retained);
        }
    }
}

Gateway::Pumped Gateway::pump() {
    acknowledge();  // acknowledgements of the last connection still count
    if (mqtt_.session() != session_) {
        // A new connection: what was in flight on the last one goes again, in order.
        session_ = mqtt_.session();
        valuesInFlight_.clear();
        retainedInFlight_.clear();
        cursor_ = 0;
        retainedNow_ = true;
    }
    // Retained messages go in rounds, each once the broker has the last: at once for a
    // new connection, a status or a new channel; for the channels' last values at most
    // once a second, so a busy line does not send each value twice.
    const auto now = std::chrono::steady_clock::now();
    const bool due = retainedNow_ || (retainedChanged_ && now >= nextLastValues_);
    if (mqtt_.connected() && due && retainedInFlight_.empty()) {
        retainedNow_ = false;
        retainedChanged_ = false;
        nextLastValues_ = now + kLastValuesEvery;
        for (const RetainedMessage& message : queue_.pendingRetained()) {
            if (const auto mid = mqtt_.publish(message.topic, message.payload, true)) {
                retainedInFlight_[*mid] = message;
            }
        }
    }
    Pumped pumped = Pumped::Idle;
    if (mqtt_.connected() && valuesInFlight_.size() >= kWindow) {
        pumped = Pumped::WindowFull;
    } else if (mqtt_.connected()) {
        const auto batch = queue_.next(cursor_, std::min(kBatch, kWindow - valuesInFlight_.size()));
        for (const StoredValue& value : batch) {
            const auto mid =
                mqtt_.publish(valueTopic(settings_.prefix, value), valuePayload(value), false);
            if (!mid) {
                break;
            }
            valuesInFlight_[*mid] = value.id;
            cursor_ = value.id;
        }
        pumped = batch.empty() ? Pumped::Idle : Pumped::Sent;
    }
    if (now - lastCommit_ >= kCommitEvery) {
        lastCommit_ = now;
        queue_.commit();
        const std::int64_t waiting = queue_.size();
        if (!draining_ && mqtt_.connected() && waiting >= kBacklog) {
            draining_ = true;
            say("queue draining: " + std::to_string(waiting) + " values");
        } else if (draining_ && mqtt_.connected() && pumped == Pumped::Idle) {
            draining_ = false;  // all published; new values go out as they come
            say("queue drained");
        }
        reportDrops(false);
    }
    return pumped;
}

void Gateway::serviceBroker(std::chrono::milliseconds most) {
    switch (pump()) {
        case Pumped::Sent:
            mqtt_.service(0ms);  // a backlog goes on without a pause
            break;
        case Pumped::WindowFull:
            mqtt_.service(most);  // the broker's next acknowledgements end the wait
            break;
        case Pumped::Idle:
            // Acknowledgements trickle in one by one: they are taken together after the
            // pause rather than each waking the gateway.
            std::this_thread::sleep_for(most);
            mqtt_.service(0ms);
            break;
    }
}

void Gateway::reportDrops(bool force) {
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t dropped = queue_.dropped();
    // The first drop is told at once, later ones once an hour.
    if (dropped == droppedReported_ ||
        (!force && lastDropReport_ != std::chrono::steady_clock::time_point{} &&
         now - lastDropReport_ < kDropReportEvery)) {
        return;
    }
    lastDropReport_ = now;
    const std::uint64_t recent = dropped - droppedReported_;
    droppedReported_ = dropped;
    say("queue full or disk full: " + std::to_string(recent) + " values dropped (" +
        queue_.failure() + ")");
    queue_.keepRetained(settings_.prefix + "/status/dropped",
                        "{\"dropped\":" + std::to_string(recent) + "}");
    retainedNow_ = true;
}

bool Gateway::openPort() {
    const link::PortResult opened = core_.link.OpenPort(
        link::Port::A, link::devicePath(settings_.portA), link::kBaudA, link::kNoParity);
    if (!opened) {
        core_.link.ClosePort(link::Port::A);
        if (status_ != "port lost") {
            say("cannot open " + settings_.portA + ": " + opened.failure + " Trying again every " +
                std::to_string(kPortRetry.count()) + " s.");
            setStatus("port lost");
        }
        return false;
    }
    say("listening on " + settings_.portA);
    setStatus("online");
    return true;
}

int Gateway::run() {
    tools::stopOnTerminationSignals();
    // Between two polls the broker is served.
    const tools::LiveOptions live{
        .done = [this] { return !mqtt_.fatal().empty(); },
        .wait = [this](std::chrono::milliseconds most) { serviceBroker(most); }};
    while (!tools::stopRequested() && mqtt_.fatal().empty()) {
        if (!openPort()) {
            const auto retry = std::chrono::steady_clock::now() + kPortRetry;
            while (std::chrono::steady_clock::now() < retry && !tools::stopRequested() &&
                   mqtt_.fatal().empty()) {
                live.wait(100ms);
            }
            continue;
        }
        if (tools::pollLive(core_, live) == tools::LiveEnd::PortLost) {
            say("port lost: " + settings_.portA);
            setStatus("port lost");
        }
    }
    core_.link.ClosePort(link::Port::A);
    queue_.commit();
    reportDrops(true);
    if (!mqtt_.fatal().empty()) {
        say(mqtt_.fatal());
        return tools::exit_status::kUsage;
    }
    // The queue and the channels' last values get a second to go out, then the status
    // says the gateway went.
    retainedNow_ = true;
    const auto until = std::chrono::steady_clock::now() + 1s;
    while (mqtt_.connected() && std::chrono::steady_clock::now() < until) {
        if (pump() == Pumped::Idle && !retainedNow_ && valuesInFlight_.empty() &&
            retainedInFlight_.empty()) {
            break;
        }
        mqtt_.service(20ms);
    }
    queue_.commit();
    mqtt_.close("offline");
    say("stopped; " + std::to_string(queue_.size()) + " values kept in the queue");
    return tools::exit_status::kDone;
}

}  // namespace qrt::gateway
