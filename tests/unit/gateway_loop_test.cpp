// The gateway loop's own rules with the core on fake ports, a broker session in memory
// and virtual time; and where its queue lives when none is given.
#include "gateway/gateway_loop.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <sstream>

#include "gateway/gateway_options.h"
#include "gateway/mqtt_link.h"
#include "support/fake_clock.h"
#include "support/fake_mqtt_session.h"
#include "support/fake_serial_port.h"
#include "support/temp_folder.h"

namespace qrt::gateway {
namespace {

using namespace std::chrono_literals;

// The loop on a core with fake ports, its queue in a fresh folder, a broker in memory.
class GatewayLoopTest : public ::testing::Test {
  protected:
    /// The loop under `prefix`, announcing under `discoveryPrefix` when there is one.
    std::unique_ptr<GatewayLoop> makeLoop(std::optional<std::string> discoveryPrefix) {
        return std::make_unique<GatewayLoop>(core, *queue, mqtt, publisher, service,
                                             GatewaySettings{.portA = "a",
                                                             .prefix = "qrt/test",
                                                             .name = "vm",
                                                             .discoveryPrefix = discoveryPrefix},
                                             say);
    }

    testing::TempFolder folder{"qrt_gateway_loop"};
    testing::FakeClock clock;
    testing::FakeMqttSession mqtt{clock};
    std::ostringstream diagnostics;
    core::ToolCore core{std::make_unique<testing::FakeSerialPort>(),
                        std::make_unique<testing::FakeSerialPort>(), diagnostics, clock};
    std::unique_ptr<ValueQueue> queue =
        std::get<std::unique_ptr<ValueQueue>>(ValueQueue::open(folder.file("q"), 1 << 30));
    Publisher::Say say = [](const std::string&) {};
    Publisher publisher{*queue, mqtt, clock, "qrt/test", say};
    const ServiceManager service;
};

TEST_F(GatewayLoopTest, EachChannelIsAnnouncedOnceWhateverItsValues) {
    const auto loop = makeLoop("ha");
    auto announcer = std::get<std::unique_ptr<Announcer>>(Announcer::make(
        {.discoveryPrefix = "ha", .prefix = "qrt/test", .siteId = "site", .host = "vm"}, *queue,
        publisher, clock));
    loop->announceWith(*announcer);
    EXPECT_EQ(mqtt.subscriptions, std::vector<std::string>{"ha/status"});
    mqtt.connect();
    receive::Measurement temperature{.source = {.module = {5, 1234}},
                                     .channel = "Temp1",
                                     .raw = 2150,
                                     .scale = 0.01,
                                     .unit = receive::Unit::Celsius};
    for (const std::int32_t raw : {2150, 2160, 2170}) {
        temperature.raw = raw;
        loop->addMeasurements({&temperature, 1});
        loop->pollFinished();
        for (int i = 0; i < 30; ++i) {
            publisher.serve(50ms);
            mqtt.acknowledgeAll();
        }
    }
    EXPECT_EQ(mqtt.payloadsOn("ha/sensor/qrt_site/5_1234_Temp1/config").size(), 1u);
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/5.1234/Temp1").size(), 3u);
}

TEST_F(GatewayLoopTest, RetainedMessagesOfAnotherPrefixAreForgottenNotSentAgain) {
    for (const char* topic : {"old/5.1234/Temp1/last", "qrt/test/5.1234/Temp1/last",
                              "ha/sensor/qrt_site/5_1234_Temp1/config"}) {
        queue->keepRetained(topic, "kept");
    }
    queue->commit();
    const auto loop = makeLoop(std::nullopt);
    mqtt.connect();
    publisher.serve(50ms);
    EXPECT_TRUE(mqtt.payloadsOn("old/5.1234/Temp1/last").empty());
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/5.1234/Temp1/last").size(), 1u);
    // Without announcements, Home Assistant's prefix is another prefix too.
    for (const std::string& topic : queue->retainedTopics()) {
        EXPECT_TRUE(topic.starts_with("qrt/test/")) << topic;
    }
}

TEST(GatewayOptions, TheQueueLivesInTheServicesStateFolderElseTheUsers) {
    struct Case {
        const char* stateDirectory;
        const char* xdgStateHome;
        const char* expected;
    };
    const char* home = std::getenv("HOME");
    const std::string saved = home != nullptr ? home : "";
    ::setenv("HOME", "/home/tech", 1);
    for (const Case c : {Case{"/var/lib/qrt-gateway:/var/lib/other", "/x", "/var/lib/qrt-gateway"},
                         Case{nullptr, "/state", "/state/qrt-gateway"},
                         Case{nullptr, nullptr, "/home/tech/.local/state/qrt-gateway"},
                         Case{"", "", "/home/tech/.local/state/qrt-gateway"}}) {
        for (const auto& [name, value] : {std::pair{"STATE_DIRECTORY", c.stateDirectory},
                                          std::pair{"XDG_STATE_HOME", c.xdgStateHome}}) {
            value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
        }
        EXPECT_EQ(defaultQueueFolder(), c.expected);
    }
    ::unsetenv("STATE_DIRECTORY");
    ::unsetenv("XDG_STATE_HOME");
    saved.empty() ? ::unsetenv("HOME") : ::setenv("HOME", saved.c_str(), 1);
}

TEST(GatewaySetUp, WhatTheLibrariesRefuseEndsTheStartWithItsReason) {
    testing::FakeClock clock;
    for (const std::string& clientId : {std::string("qrt\xff"), std::string(70'000, 'x')}) {
        const auto link = MqttLink::open(
            {.broker = {.host = "localhost"}, .clientId = clientId, .statusTopic = "qrt/status"},
            clock);
        ASSERT_NE(common::failureOf(link), nullptr) << clientId.size();
        EXPECT_NE(common::failureOf(link)->reason.find("client ID"), std::string::npos);
    }
    // A database of another program's under the queue's name is not taken for a queue.
    testing::TempFolder folder("qrt_gateway_setup");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("queue.sqlite").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE value(id INTEGER PRIMARY KEY, note TEXT)", nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
    const auto queue = ValueQueue::open(folder.path().string(), 1 << 30);
    ASSERT_NE(common::failureOf(queue), nullptr);
    EXPECT_NE(common::failureOf(queue)->reason.find("utc_ms"), std::string::npos)
        << common::failureOf(queue)->reason;
}

}  // namespace
}  // namespace qrt::gateway
