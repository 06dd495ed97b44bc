// Home Assistant's view kept up with a broker session in memory and virtual time: what a
// start announces and clears, a channel announced when new and when its expiry changes,
// and the birth message as the only thing heard from the broker.
#include "gateway/announcer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/fake_clock.h"
#include "support/fake_mqtt_session.h"
#include "support/random_bytes.h"
#include "support/temp_folder.h"

namespace qrt::gateway {
namespace {

using namespace std::chrono_literals;

constexpr const char* kTemperatureConfig = "ha/sensor/qrt_site/5_1234_Temp1/config";

class AnnouncerTest : public ::testing::Test {
  protected:
    AnnouncerTest() { start(); }

    /// A gateway started anew on the same queue.
    void start() {
        announcer.reset();
        publisher.reset();
        queue.reset();
        queue = std::get<std::unique_ptr<ValueQueue>>(ValueQueue::open(folder.file("q"), 1 << 30));
        publisher =
            std::make_unique<Publisher>(*queue, mqtt, clock, "qrt/test", [](const std::string&) {});
        announcer = std::get<std::unique_ptr<Announcer>>(Announcer::make(
            {.discoveryPrefix = "ha", .prefix = "qrt/test", .siteId = "site", .host = "vm"}, *queue,
            *publisher, clock));
        announcer->start();
    }
    void temperatureAt(std::int64_t ms) {
        announcer->noteValue({.time = {ms, 3600},
                              .source = {.module = {5, 1234}},
                              .channel = "Temp1",
                              .unit = receive::Unit::Celsius});
    }
    /// Serves the broker for `time`, acknowledging everything.
    void serveFor(std::chrono::milliseconds time) {
        for (const auto until = clock.elapsed + time; clock.elapsed < until;) {
            announcer->announceWhenDue();
            publisher->serve(50ms);
            mqtt.acknowledgeAll();
        }
    }
    [[nodiscard]] std::vector<std::string> temperatureConfigs() const {
        return mqtt.payloadsOn(kTemperatureConfig);
    }

    testing::TempFolder folder{"qrt_announcer"};
    testing::FakeClock clock;
    testing::FakeMqttSession mqtt{clock};
    std::unique_ptr<ValueQueue> queue;
    std::unique_ptr<Publisher> publisher;
    std::unique_ptr<Announcer> announcer;
};

TEST_F(AnnouncerTest, AChannelIsAnnouncedWhenNewAndAgainWhenItsExpiryChanges) {
    mqtt.connect();
    std::int64_t at = 1'765'000'000'000;
    std::vector<std::int64_t> steps{0, 0, 30'000, 30'000, 10'000, 9'000};
    // Lost telegrams (twice the period) change nothing; a module set to send every
    // 2 minutes is followed after a round of its new times.
    steps.insert(steps.end(), {18'000, 9'000, 18'000});
    steps.insert(steps.end(), 8, 9'000);
    steps.insert(steps.end(), 8, 120'000);
    for (const std::int64_t step : steps) {
        at += step;
        temperatureAt(at);
        serveFor(1s);
    }
    const std::vector<std::string> configs = temperatureConfigs();
    ASSERT_EQ(configs.size(), 4u);  // new; a period of 30 s; of 9 s; of 2 minutes
    EXPECT_EQ(configs[0].find("expire_after"), std::string::npos);
    EXPECT_NE(configs[1].find("\"expire_after\":180"), std::string::npos) << configs[1];
    EXPECT_NE(configs[2].find("\"expire_after\":60"), std::string::npos) << configs[2];
    EXPECT_NE(configs[3].find("\"expire_after\":600"), std::string::npos) << configs[3];
}

TEST_F(AnnouncerTest, ARestartAnnouncesWhatItKnewAtOnceAndClearsEarlierAnnouncements) {
    temperatureAt(1'000);
    temperatureAt(31'000);
    queue->keepRetained("ha/sensor/qrt_vm/5.1234_Temp1/config", "{\"name\":\"Temp1\"}");
    queue->commit();
    start();
    mqtt.connect();
    serveFor(1s);
    ASSERT_EQ(temperatureConfigs().size(), 1u);
    EXPECT_NE(temperatureConfigs()[0].find("\"expire_after\":180"), std::string::npos);
    EXPECT_EQ(mqtt.payloadsOn("ha/sensor/qrt_vm/5.1234_Temp1/config"),
              std::vector<std::string>{""});
    EXPECT_EQ(mqtt.payloadsOn("ha/sensor/qrt_site/gateway_status/config").size(), 1u);
    const auto topics = queue->retainedTopics();
    EXPECT_EQ(std::count(topics.begin(), topics.end(), "ha/sensor/qrt_vm/5.1234_Temp1/config"), 0);
}

TEST_F(AnnouncerTest, ARetiredModuleIsForgottenWithItsEntitiesAndLastValues) {
    temperatureAt(1'000);
    announcer->noteValue(
        {.source = {.kind = receive::ValueSource::Kind::ShortTelegram, .module = {0, 5}},
         .channel = "Temp",
         .unit = receive::Unit::Celsius});
    queue->keepRetained("qrt/test/5.1234/Temp1/last", "{}");
    queue->keepRetained("qrt/test/5/Temp/last", "{}");
    start();
    announcer->forget({.module = {5, 1234}});
    mqtt.connect();
    serveFor(1s);
    EXPECT_EQ(temperatureConfigs(), std::vector<std::string>{""});
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/5.1234/Temp1/last"), std::vector<std::string>{""});
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/5/Temp/last"), std::vector<std::string>{"{}"});
    EXPECT_EQ(mqtt.payloadsOn("ha/sensor/qrt_site/5_Temp/config").size(), 1u);
    start();  // not remembered any more
    serveFor(1s);
    EXPECT_EQ(temperatureConfigs(), std::vector<std::string>{""});
    EXPECT_EQ(mqtt.payloadsOn("ha/sensor/qrt_site/5_Temp/config").size(), 2u);
}

TEST_F(AnnouncerTest, OnlyTheBirthMessageOnlineAnnouncesAgainAfterAShortPause) {
    mqtt.subscribe(announcer->birthTopic());
    mqtt.listen({.received = [this](const std::string& topic, std::string_view payload) {
        announcer->received(topic, payload);
    }});
    mqtt.connect();
    temperatureAt(1'000);
    serveFor(1s);
    const std::vector<std::uint8_t> noise = testing::pseudoRandomBytes(100'000, 7);
    for (const std::string& payload :
         {std::string("offline"), std::string("Online"), std::string("online "), std::string(),
          std::string("online\0", 7), std::string(noise.begin(), noise.end())}) {
        mqtt.deliver("ha/status", payload);
    }
    mqtt.deliver("ha/statusx", "online");
    serveFor(10s);
    EXPECT_EQ(temperatureConfigs().size(), 1u);
    mqtt.deliver("ha/status", "online");
    serveFor(400ms);
    EXPECT_EQ(temperatureConfigs().size(), 1u);
    serveFor(5s);
    EXPECT_EQ(temperatureConfigs().size(), 2u);
}

}  // namespace
}  // namespace qrt::gateway
