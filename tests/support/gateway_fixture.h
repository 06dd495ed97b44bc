#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/mqtt_broker.h"
#include "support/temp_folder.h"

namespace qrt::testing {

/// qrt-gateway between qrt-sim on pseudo-terminals and a real mosquitto, in a folder of
/// the test's own; each started when the test asks, stopped at its end.
class GatewayFixture : public ::testing::Test {
  protected:
    ~GatewayFixture() override {
        gateway_.reset();
        subscriber_.reset();
        sim_.reset();
        broker_.reset();
    }
    [[nodiscard]] std::string path(const std::string& name) const { return folder_.file(name); }

    void startSim(std::vector<std::string> modules) {
        modules.insert(modules.begin(),
                       {QRT_SIM_PATH, "--link-a", path("a"), "--link-b", path("b")});
        sim_ = std::make_unique<ChildProcess>(modules, path("sim.log"));
        ASSERT_TRUE(waitForText(path("sim.log"), "interface A")) << readText(path("sim.log"));
    }
    void startBroker(const std::string& config = "", bool persistent = true) {
        broker_ = std::make_unique<MqttBroker>(folder_.path().string(), config, persistent);
    }
    /// A persistent QoS 1 subscription, as a dashboard that must miss nothing holds it.
    void subscribe(const std::string& topic, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"/usr/bin/mosquitto_sub",
                                      "-h",
                                      "127.0.0.1",
                                      "-p",
                                      std::to_string(broker_->port()),
                                      "-t",
                                      topic,
                                      "-v",
                                      "-q",
                                      "1",
                                      "-c",
                                      "-i",
                                      "qrt-test-subscriber"};
        args.insert(args.end(), extra.begin(), extra.end());
        subscriber_ = std::make_unique<ChildProcess>(args, path("sub.txt"));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    void startGateway(std::vector<std::string> args) {
        args.insert(args.begin(), {QRT_GATEWAY_PATH, "--port-a", path("a"), "--queue",
                                   path("queue"), "--prefix", "qrt/test"});
        gateway_ = std::make_unique<ChildProcess>(args, path("gateway.log"));
    }
    [[nodiscard]] std::string received() const { return readText(path("sub.txt")); }

    TempFolder folder_{"qrt_gateway_e2e"};
    std::unique_ptr<MqttBroker> broker_;
    std::unique_ptr<ChildProcess> sim_;
    std::unique_ptr<ChildProcess> subscriber_;
    std::unique_ptr<ChildProcess> gateway_;
};

}  // namespace qrt::testing
