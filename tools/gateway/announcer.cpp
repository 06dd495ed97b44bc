#include "gateway/announcer.h"

#include <algorithm>
#include <set>

#include "gateway/messages.h"
#include "gateway/site_identity.h"

namespace qrt::gateway {

namespace {

using namespace std::chrono_literals;

// The pause between Home Assistant's birth message and the announcements.
constexpr std::chrono::milliseconds kShortestPause = 500ms;
constexpr std::chrono::milliseconds kLongestPause = 5s;

}  // namespace

common::Result<std::unique_ptr<Announcer>> Announcer::make(DiscoveryContext context,
                                                           ValueQueue& queue, Publisher& publisher,
                                                           common::Clock& clock) {
    if (context.siteId.empty()) {
        auto site = siteIdentity(queue.database());
        if (const auto* failure = common::failureOf(site)) {
            return *failure;
        }
        context.siteId = std::get<std::string>(site);
    }
    auto known = KnownChannels::load(queue.database());
    if (const auto* failure = common::failureOf(known)) {
        return common::Failure{"cannot use the queue " + queue.database().path() + ": " +
                               failure->reason};
    }
    return std::unique_ptr<Announcer>(new Announcer(
        std::move(context), std::get<std::unique_ptr<KnownChannels>>(std::move(known)), queue,
        publisher, clock));
}

Announcer::Announcer(DiscoveryContext context, std::unique_ptr<KnownChannels> known,
                     ValueQueue& queue, Publisher& publisher, common::Clock& clock)
    : context_(std::move(context)),
      known_(std::move(known)),
      queue_(queue),
      publisher_(publisher),
      clock_(clock) {
    for (const AnnouncedChannel& channel : known_->remembered()) {
        channels_[{channel.source, channel.channel}] = {channel};
    }
}

void Announcer::start() {
    std::set<std::string> current;
    for (const Discovery& discovery : gatewayDiscoveries(context_)) {
        current.insert(discovery.topic);
    }
    for (const auto& [key, seen] : channels_) {
        current.insert(channelDiscovery(context_, seen.channel).topic);
    }
    // Announcements of an earlier gateway (another layout of IDs) are cleared, never read.
    for (const std::string& topic : queue_.retainedTopics()) {
        if (topic.starts_with(context_.discoveryPrefix + "/") && topic.ends_with("/config") &&
            !current.contains(topic)) {
            publisher_.retainNow(topic, "");
        }
    }
    announceAll();
}

void Announcer::forget(const receive::ValueSource& module) {
    for (auto it = channels_.begin(); it != channels_.end();) {
        if (it->first.first == module) {
            publisher_.retainNow(channelDiscovery(context_, it->second.channel).topic, "");
            it = channels_.erase(it);
        } else {
            ++it;
        }
    }
    const std::string lastValues = context_.prefix + "/" + topicLevel(module.text()) + "/";
    for (const std::string& topic : queue_.retainedTopics()) {
        if (topic.starts_with(lastValues) && topic.ends_with("/last")) {
            publisher_.retainNow(topic, "");
        }
    }
    known_->forget(module);
}

void Announcer::announce(const AnnouncedChannel& channel) {
    const Discovery discovery = channelDiscovery(context_, channel);
    publisher_.retainNow(discovery.topic, discovery.payload);
}

void Announcer::announceAll() {
    for (const Discovery& discovery : gatewayDiscoveries(context_)) {
        publisher_.retainNow(discovery.topic, discovery.payload);
    }
    for (const auto& [key, seen] : channels_) {
        announce(seen.channel);
    }
}

void Announcer::noteValue(const StoredValue& value) {
    const auto [entry, isNew] = channels_.try_emplace(
        {value.source, value.channel},
        Seen{.channel = {.source = value.source, .channel = value.channel, .unit = value.unit}});
    Seen& seen = entry->second;
    const std::int64_t at = value.time.utcMilliseconds;
    // Values of one poll share its time: only the time between two polls tells the period.
    const std::int64_t since = seen.lastMs > 0 ? at - seen.lastMs : 0;
    seen.lastMs = at;
    const std::int64_t period = since > 0 ? nextPeriod(seen, since) : seen.channel.periodMs;
    const bool expiryChanged =
        expireAfterSeconds(period) != expireAfterSeconds(seen.channel.periodMs);
    seen.channel.periodMs = period;
    if (isNew || expiryChanged) {
        known_->remember(seen.channel);
        announce(seen.channel);
    }
}

std::int64_t Announcer::nextPeriod(Seen& seen, std::int64_t since) {
    seen.recent[seen.times++ % seen.recent.size()] = since;
    if (seen.times >= seen.recent.size()) {
        return *std::min_element(seen.recent.begin(), seen.recent.end());
    }
    const std::int64_t period = seen.channel.periodMs;
    return period == 0 || since < period ? since : period;
}

void Announcer::received(const std::string& topic, std::string_view payload) {
    if (topic != birthTopic() || payload != "online" || announceAt_) {
        return;
    }
    std::uniform_int_distribution<std::int64_t> pause(kShortestPause.count(),
                                                      kLongestPause.count());
    announceAt_ = clock_.now() + std::chrono::milliseconds(pause(random_));
}

void Announcer::announceWhenDue() {
    if (announceAt_ && clock_.now() >= *announceAt_) {
        announceAt_.reset();
        announceAll();
    }
}

}  // namespace qrt::gateway
