#include "gateway/gateway_loop.h"

#include "gateway/messages.h"
#include "link/interfaces.h"
#include "shared/exit_status.h"
#include "shared/live_watch.h"

namespace qrt::gateway {

namespace {

using namespace std::chrono_literals;

constexpr auto kPortRetry = 5s;
constexpr auto kFinalDrain = 1s;  // for the queue and the last values at a stop

}  // namespace

GatewayLoop::GatewayLoop(core::ToolCore& core, ValueQueue& queue, MqttSession& mqtt,
                         Publisher& publisher, const ServiceManager& service,
                         GatewaySettings settings, Publisher::Say say)
    : core_(core),
      queue_(queue),
      mqtt_(mqtt),
      publisher_(publisher),
      service_(service),
      settings_(std::move(settings)),
      say_(std::move(say)) {
    mqtt_.listen({.changed = say_,
                  .connected = [this] { setStatus(status_); },
                  .received =
                      [this](const std::string& topic, std::string_view payload) {
                          if (announcer_ != nullptr) {
                              announcer_->received(topic, payload);
                          }
                      }});
    forgetOtherPrefixes();
}

void GatewayLoop::forgetOtherPrefixes() {
    const auto under = [](const std::string& topic, const std::optional<std::string>& prefix) {
        return prefix && topic.starts_with(*prefix + "/");
    };
    for (const std::string& topic : queue_.retainedTopics()) {
        if (!under(topic, settings_.prefix) && !under(topic, settings_.discoveryPrefix)) {
            queue_.forgetRetained(topic);
        }
    }
    queue_.commit();
}

void GatewayLoop::announceWith(Announcer& announcer) {
    announcer_ = &announcer;
    mqtt_.subscribe(announcer.birthTopic());
    announcer.start();
}

std::string& GatewayLoop::beginLine(receive::Pane) {
    line_.clear();
    return line_;
}

void GatewayLoop::endLine() {
    if (settings_.lines) {
        mqtt_.publishOnce(settings_.prefix + "/lines", line_);
    }
}

void GatewayLoop::addMeasurements(std::span<const receive::Measurement> measurements) {
    queue_.add(measurements);
    for (const receive::Measurement& m : measurements) {
        StoredValue value = StoredValue::of(m);
        if (announcer_ != nullptr) {
            announcer_->noteValue(value);
        }
        std::string topic = valueTopic(settings_.prefix, value) + "/last";
        lastValues_.insert_or_assign(std::move(topic), std::move(value));
    }
}

void GatewayLoop::pollFinished() {
    for (const auto& [topic, value] : lastValues_) {
        publisher_.retainLastValue(topic, valuePayload(value));
    }
    lastValues_.clear();
    queue_.commit();  // the poll's values are on disk before any of them is published
}

void GatewayLoop::setStatus(const std::string& status) {
    status_ = status;
    publisher_.retainNow(settings_.prefix + "/status", status);
    queue_.commit();
}

bool GatewayLoop::openPort() {
    const link::PortResult opened = core_.link.OpenPort(
        link::Port::A, link::devicePath(settings_.portA), link::kBaudA, link::kNoParity);
    if (!opened) {
        core_.link.ClosePort(link::Port::A);
        if (status_ != "port lost") {
            say_("cannot open " + settings_.portA + ": " + opened.failure + " Trying again every " +
                 std::to_string(kPortRetry.count()) + " s.");
            setStatus("port lost");
        }
        return false;
    }
    say_("listening on " + settings_.portA);
    setStatus("online");
    return true;
}

void GatewayLoop::waitToRetryPort() {
    const auto retry = core_.clock.now() + kPortRetry;
    while (core_.clock.now() < retry && !tools::stopRequested() && !brokerRefuses()) {
        betweenPolls(100ms);
    }
}

void GatewayLoop::reloadWhenAsked() {
    if (reloadRequested_ && reloadRequested_()) {
        service_.reloading();
        reload_(settings_);
        service_.ready();
    }
}

void GatewayLoop::betweenPolls(std::chrono::milliseconds most) {
    publisher_.serve(most);
    if (announcer_ != nullptr) {
        announcer_->announceWhenDue();
    }
    reloadWhenAsked();
    const auto period = service_.watchdogPeriod();
    const auto now = core_.clock.now();
    if (period && (!lastAlive_ || now - *lastAlive_ >= *period)) {
        lastAlive_ = now;
        service_.alive();
    }
}

int GatewayLoop::run() {
    tools::stopOnTerminationSignals();
    // Settings read, queue open, broker session set up: the service has started, whether
    // or not the receiver is there yet.
    tellQueueAtStart();
    service_.ready();
    const tools::LiveOptions live{
        .done = [this] { return brokerRefuses(); },
        .wait = [this](std::chrono::milliseconds most) { betweenPolls(most); }};
    while (!tools::stopRequested() && !brokerRefuses()) {
        if (!openPort()) {
            waitToRetryPort();
            continue;
        }
        if (tools::pollLive(core_, live) == tools::LiveEnd::PortLost) {
            say_("port lost: " + settings_.portA);
            setStatus("port lost");
        }
    }
    service_.stopping();
    core_.link.ClosePort(link::Port::A);
    queue_.commit();
    publisher_.reportDrops(true);
    if (brokerRefuses()) {
        say_(mqtt_.fatal());
        return tools::exit_status::kUsage;
    }
    publisher_.finish(kFinalDrain, "offline");
    tellQueueAtStop();
    return tools::exit_status::kDone;
}

void GatewayLoop::tellQueueAtStart() {
    if (queue_.repaired() > 0) {
        say_("queue repaired: " + std::to_string(queue_.repaired()) +
             " damaged rows removed (a value or retained message with a field missing)");
    }
}

void GatewayLoop::tellQueueAtStop() {
    queue_.commitAll();
    const std::size_t inMemory = queue_.inMemory();
    say_("stopped; " + std::to_string(queue_.size() - static_cast<std::int64_t>(inMemory)) +
         " values kept in the queue" +
         (inMemory > 0
              ? ", " + std::to_string(inMemory) +
                    " lost with the memory (the disk took no more: " + queue_.failure() + ")"
              : ""));
}

}  // namespace qrt::gateway
