// End to end: qrt-gateway's announcements for a simulated installation as Home Assistant's
// MQTT integration takes them, by its own rules: the discovery topic and its IDs, units and
// state classes allowed for each device class, availability as Home Assistant computes it
// from the status the gateway publishes (before and while the receiver's adapter is
// pulled), and every announcement again after a broker that lost them and after Home
// Assistant's birth message.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "support/gateway_fixture.h"

using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

// Home Assistant's rules for an MQTT sensor.
const std::regex kDiscoveryTopic(R"(homeassistant/sensor/([a-zA-Z0-9_-]+/)?[a-zA-Z0-9_-]+/config)");
const std::map<std::string, std::set<std::string>> kUnitsOfDeviceClass{
    {"temperature", {"°C", "°F", "K"}},
    {"voltage", {"V", "mV", "µV", "kV", "MV"}},
    {"duration", {"d", "h", "min", "s", "ms", "µs"}},
    {"enum", {}},
};
const std::map<std::string, std::set<std::string>> kStateClassesOfDeviceClass{
    {"temperature", {"measurement"}},
    {"voltage", {"measurement"}},
    {"duration", {"measurement", "total", "total_increasing"}},
    {"enum", {}},
};
const std::set<std::string> kStateClasses{"measurement", "measurement_angle", "total",
                                          "total_increasing"};
const std::set<std::string> kSensorKeys{"name",
                                        "unique_id",
                                        "state_topic",
                                        "value_template",
                                        "json_attributes_topic",
                                        "unit_of_measurement",
                                        "device_class",
                                        "state_class",
                                        "entity_category",
                                        "expire_after",
                                        "availability",
                                        "availability_mode",
                                        "device",
                                        "origin",
                                        "options"};

std::string text(const QJsonValue& value) {
    return value.toString().toStdString();
}

// What in one announcement breaks Home Assistant's rules; empty when nothing does.
std::vector<std::string> ruleBreaks(const std::string& topic, const QJsonObject& config) {
    std::vector<std::string> breaks;
    const auto check = [&](bool kept, const std::string& rule) {
        if (!kept) {
            breaks.push_back(topic + ": " + rule);
        }
    };
    check(std::regex_match(topic, kDiscoveryTopic), "discovery topic with IDs of [a-zA-Z0-9_-]");
    for (const QString& key : config.keys()) {
        check(kSensorKeys.contains(key.toStdString()), "unknown key " + key.toStdString());
    }
    check(!text(config["unique_id"]).empty() && !text(config["state_topic"]).empty(),
          "unique_id and state_topic");
    const std::string deviceClass = text(config["device_class"]);
    const std::string unit = text(config["unit_of_measurement"]);
    const std::string stateClass = text(config["state_class"]);
    if (config.contains("device_class")) {
        check(kUnitsOfDeviceClass.contains(deviceClass), "device class " + deviceClass);
        check(kUnitsOfDeviceClass.at(deviceClass).contains(unit) ||
                  (unit.empty() && deviceClass == "enum"),
              "unit '" + unit + "' of " + deviceClass);
        check(stateClass.empty() || kStateClassesOfDeviceClass.at(deviceClass).contains(stateClass),
              "state class " + stateClass + " of " + deviceClass);
        check(deviceClass != "enum" || config["options"].isArray(), "options of an enum");
    }
    check(stateClass.empty() || kStateClasses.contains(stateClass), "state class " + stateClass);
    check(!config.contains("entity_category") || text(config["entity_category"]) == "diagnostic",
          "a sensor's entity category is diagnostic");
    check(!config.contains("expire_after") || config["expire_after"].toInt() > 0, "expire_after");
    check(!text(config["origin"].toObject()["name"]).empty(), "origin with a name");
    check(!config["device"].toObject()["identifiers"].toArray().isEmpty(), "device identifiers");
    for (const QJsonValue& entry : config["availability"].toArray()) {
        check(!text(entry.toObject()["topic"]).empty(), "availability topic");
    }
    return breaks;
}

// Home Assistant's reading of one availability payload: the template's result (only the
// form `{{ 'A' if value == 'B' else 'C' }}` is known here), compared with the payloads
// for available and not available; none when it is neither.
std::optional<bool> availabilityOf(const QJsonObject& entry, const std::string& payload) {
    std::string result = payload;
    if (entry.contains("value_template")) {
        static const std::regex kMapping(
            R"(\{\{ '([^']*)' if value == '([^']*)' else '([^']*)' \}\})");
        std::smatch match;
        const std::string mapping = text(entry["value_template"]);
        EXPECT_TRUE(std::regex_match(mapping, match, kMapping)) << mapping;
        result = payload == match[2].str() ? match[1].str() : match[3].str();
    }
    if (result == entry["payload_available"].toString("online").toStdString()) {
        return true;
    }
    if (result == entry["payload_not_available"].toString("offline").toStdString()) {
        return false;
    }
    return std::nullopt;
}

// Whether Home Assistant shows the entity available after the retained status messages
// `statuses` (topic, payload), in order: unavailable until a payload says otherwise.
bool availableAfter(const QJsonObject& config,
                    const std::vector<std::pair<std::string, std::string>>& statuses) {
    const QJsonArray entries = config["availability"].toArray();
    if (entries.isEmpty()) {
        return true;
    }
    std::map<std::string, bool> byTopic;
    bool latest = false;
    for (const auto& [topic, payload] : statuses) {
        for (const QJsonValue& entry : entries) {
            if (text(entry.toObject()["topic"]) == topic) {
                if (const auto available = availabilityOf(entry.toObject(), payload)) {
                    byTopic[topic] = latest = *available;
                }
            }
        }
    }
    const std::string mode = config["availability_mode"].toString("latest").toStdString();
    const auto all = [&](bool wanted) {
        return std::all_of(entries.begin(), entries.end(), [&](const QJsonValue& entry) {
            const auto at = byTopic.find(text(entry.toObject()["topic"]));
            return (at != byTopic.end() && at->second) == wanted;
        });
    };
    return mode == "all" ? all(true) : mode == "any" ? !all(false) : latest;
}

class HomeAssistantEndToEnd : public GatewayFixture {
  protected:
    /// Every announcement the broker keeps now: topic to configuration.
    [[nodiscard]] std::map<std::string, std::string> announcements() const {
        const auto [status, output] =
            runCommand("timeout 10 mosquitto_sub -h 127.0.0.1 -p " +
                       std::to_string(broker_->port()) + " -t 'homeassistant/#' -v -W 1");
        std::map<std::string, std::string> kept;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            const auto blank = line.find(' ');
            if (blank != std::string::npos) {
                kept[line.substr(0, blank)] = line.substr(blank + 1);
            }
        }
        return kept;
    }
    void publish(const std::string& topic, const std::string& payload, bool retained) const {
        runCommand("mosquitto_pub -h 127.0.0.1 -p " + std::to_string(broker_->port()) + " -t '" +
                   topic + "' " + (retained ? "-r " : "") +
                   (payload.empty() ? "-n" : "-m '" + payload + "'"));
    }
    /// The status messages the subscriber saw so far, in order.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> statuses() const {
        std::vector<std::pair<std::string, std::string>> seen;
        std::istringstream lines(received());
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("qrt/test/status ")) {
                seen.emplace_back("qrt/test/status", line.substr(16));
            }
        }
        return seen;
    }
};

constexpr std::string_view kGatewayNode = "homeassistant/sensor/qrt_testsite/";
constexpr const char* kTemperatureConfig = "homeassistant/sensor/qrt_testsite/5_1234_Temp1/config";

}  // namespace

TEST_F(HomeAssistantEndToEnd, EveryAnnouncementFollowsHomeAssistantsRules) {
    startBroker();
    publish(kTemperatureConfig, "left by another program {", true);
    startSim({"--module", "5.1234,period=0.1,telegrams=temp1/temp2/batdig/config/count1/aux1",
              "--module", "6.16,period=0.1,telegrams=temp1/short", "--module", "3.77,period=0.1"});
    subscribe("qrt/test/status");
    startGateway({"--broker", broker_->url(), "--ha-discovery", "--site-id", "testsite"});
    const std::set<std::string> objects{
        "5_1234_Temp1",   "5_1234_Temp2",   "5_1234_Bat", "5_1234_Bat_Dig", "5_1234_Config",
        "5_1234_Count1",  "5_1234_Aux1",    "6_16_Temp1", "16_Temp",        "16_Bat",
        "16_Status",      "3_77_Temp",      "3_77_Bat",   "gateway_status", "gateway_waiting",
        "gateway_oldest", "gateway_dropped"};
    std::map<std::string, QJsonObject> configs;
    // Complete once every module's sensor knows its module's period, and so its expiry.
    ASSERT_TRUE(waitFor(
        [&] {
            configs.clear();
            for (const auto& [topic, payload] : announcements()) {
                configs[topic] =
                    QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
            }
            std::set<std::string> complete;
            for (const auto& [topic, config] : configs) {
                if (config.contains("expire_after") ||
                    topic.find("/gateway_") != std::string::npos) {
                    const std::size_t from = kGatewayNode.size();
                    complete.insert(topic.substr(from, topic.size() - from - 7));  // "/config"
                }
            }
            return complete == objects;
        },
        30s))
        << configs.size() << " announcements\n"
        << readText(path("gateway.log"));

    std::set<std::string> uniqueIds;
    std::set<std::string> devices;
    for (const auto& [topic, config] : configs) {
        EXPECT_EQ(ruleBreaks(topic, config), std::vector<std::string>{});
        EXPECT_TRUE(uniqueIds.insert(text(config["unique_id"])).second) << topic;
        devices.insert(text(config["device"].toObject()["identifiers"].toArray()[0]));
    }
    for (const auto& [topic, config] : configs) {
        const std::string via = text(config["device"].toObject()["via_device"]);
        EXPECT_TRUE(via.empty() || devices.contains(via)) << topic;
    }
    EXPECT_EQ(text(configs[kTemperatureConfig]["unique_id"]), "qrt_testsite_5_1234_Temp1");
    // State classes by meaning: no statistics of bit patterns, which are diagnostics.
    for (const auto& [object, stateClass, category] :
         {std::tuple{"5_1234_Temp1", "measurement", ""}, std::tuple{"16_Bat", "measurement", ""},
          std::tuple{"5_1234_Count1", "total_increasing", ""},
          std::tuple{"5_1234_Bat_Dig", "", "diagnostic"},
          std::tuple{"5_1234_Config", "", "diagnostic"},
          std::tuple{"16_Status", "", "diagnostic"}}) {
        const QJsonObject& config = configs[std::string(kGatewayNode) + object + "/config"];
        EXPECT_EQ(text(config["state_class"]), stateClass) << object;
        EXPECT_EQ(text(config["entity_category"]), category) << object;
    }

    // Available while the receiver is there; a pulled adapter makes every module's sensor
    // unavailable, the gateway's own stay; back with the adapter.
    const auto expectAvailable = [&](bool modules, const char* when) {
        const auto seen = statuses();
        for (const auto& [topic, config] : configs) {
            const bool gateway = topic.find("/gateway_") != std::string::npos;
            EXPECT_EQ(availableAfter(config, seen), gateway || modules) << topic << " " << when;
        }
    };
    expectAvailable(true, "with the receiver");
    sim_->signal(SIGUSR1);
    ASSERT_TRUE(waitForText(path("sub.txt"), "qrt/test/status port lost")) << received();
    expectAvailable(false, "with the adapter pulled");
    sim_->signal(SIGUSR2);
    ASSERT_TRUE(waitFor([&] { return statuses().back().second == "online"; }, 15s)) << received();
    expectAvailable(true, "with the adapter back");
}

TEST_F(HomeAssistantEndToEnd, AnnouncementsComeAgainAfterABrokerThatLostThemAndABirthMessage) {
    startBroker("", false);
    startSim({"--module", "5.1234,period=0.2,telegrams=temp1"});
    startGateway({"--broker", broker_->url(), "--ha-discovery", "--site-id", "testsite"});
    const auto announced = [&] {
        const auto kept = announcements();
        return kept.contains(kTemperatureConfig) &&
               kept.contains("homeassistant/sensor/qrt_testsite/gateway_status/config");
    };
    ASSERT_TRUE(waitFor(announced, 20s)) << readText(path("gateway.log"));
    broker_->kill();
    broker_->start();
    EXPECT_TRUE(waitFor(announced, 20s)) << readText(path("gateway.log"));

    // Home Assistant lost them too: its birth message brings them back within seconds.
    for (const auto& [topic, config] : announcements()) {
        publish(topic, "", true);
    }
    ASSERT_FALSE(announced());
    publish("homeassistant/status", "online", false);
    EXPECT_TRUE(waitFor(announced, 15s)) << readText(path("gateway.log"));
}
