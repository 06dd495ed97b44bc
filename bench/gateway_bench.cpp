// The gateway's costs, measured on the real programs with a real mosquitto: a backlog of
// 5 million values (about a day of a large installation) drained to the broker, and a
// line full of 100 modules' telegrams decoded and published (or queued while the broker
// is away). QRT_BENCH_SECONDS sets how long the line runs (default 60).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gateway/value_queue.h"
#include "support/child_process.h"
#include "support/mqtt_broker.h"
#include "support/process_memory.h"

namespace {

using namespace qrt;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// A folder of its own under the temporary folder, removed afterwards.
struct BenchFolder {
    std::string path;
    BenchFolder() {
        path = (std::filesystem::temp_directory_path() /
                ("qrt_gateway_bench_" + std::to_string(::getpid())))
                   .string();
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~BenchFolder() { std::filesystem::remove_all(path); }
    [[nodiscard]] std::string file(const char* name) const { return path + "/" + name; }
};

void fillQueue(const std::string& folder, std::int64_t count) {
    auto opened = gateway::ValueQueue::open(folder, 4ULL << 30);
    gateway::ValueQueue& queue = *std::get<std::unique_ptr<gateway::ValueQueue>>(opened);
    std::vector<receive::Measurement> batch(10'000);
    for (std::int64_t added = 0; added < count;) {
        for (receive::Measurement& m : batch) {
            m = {.time = {1'765'000'000'000 + added * 10, 3600},
                 .source = {.module = {6, static_cast<std::uint32_t>(added % 100)}},
                 .channel = "Temp1",
                 .raw = static_cast<std::int32_t>(2000 + added % 500),
                 .scale = 0.01,
                 .unit = receive::Unit::Celsius};
            ++added;
        }
        queue.add(batch);
        queue.commit();
    }
}

std::vector<std::string> gatewayArguments(const BenchFolder& folder, const std::string& broker) {
    return {QRT_GATEWAY_PATH, "--port-a", folder.file("a"), "--queue",  folder.file("queue"),
            "--broker",       broker,     "--prefix",       "qrt/bench"};
}

void BM_GatewayBacklogDrain(benchmark::State& state) {
    const std::int64_t values = state.range(0);
    for (auto _ : state) {
        BenchFolder folder;
        const auto fillStart = Clock::now();
        fillQueue(folder.file("queue"), values);
        const double fillSeconds = std::chrono::duration<double>(Clock::now() - fillStart).count();

        testing::MqttBroker broker(folder.path);
        testing::ChildProcess sim({QRT_SIM_PATH, "--link-a", folder.file("a"), "--link-b",
                                   folder.file("b"), "--module", "5.1,period=0"},
                                  folder.file("sim.log"));
        testing::waitForText(folder.file("sim.log"), "module ");
        const auto started = Clock::now();
        testing::ChildProcess gateway(gatewayArguments(folder, broker.url()),
                                      folder.file("gateway.log"));
        const std::string pid = std::to_string(gateway.pid());
        long highestRss = 0;
        while (testing::readText(folder.file("gateway.log")).find("queue drained") ==
               std::string::npos) {
            highestRss = std::max(highestRss, testing::statusKilobytes("VmRSS:", pid));
            std::this_thread::sleep_for(100ms);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        state.SetIterationTime(seconds);
        state.counters["values_per_s"] = static_cast<double>(values) / seconds;
        state.counters["fill_values_per_s"] = static_cast<double>(values) / fillSeconds;
        state.counters["rss_MB"] = static_cast<double>(highestRss) / 1e3;
        state.counters["peak_MB"] =
            static_cast<double>(testing::statusKilobytes("VmHWM:", pid)) / 1e3;
    }
}
BENCHMARK(BM_GatewayBacklogDrain)
    ->Arg(5'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

/// 100 modules filling the receiver's line (19200 baud); the gateway's processor share
/// and its memory at the first and the last minute. Argument 1: the broker away, so
/// every value stays in the queue.
void BM_GatewayLineRate100Modules(benchmark::State& state) {
    const bool brokerAway = state.range(0) != 0;
    const char* configured = std::getenv("QRT_BENCH_SECONDS");
    const double duration = configured != nullptr ? std::atof(configured) : 60.0;
    for (auto _ : state) {
        BenchFolder folder;
        testing::MqttBroker broker(folder.path);
        if (brokerAway) {
            broker.kill();
        }
        std::vector<std::string> simArgs{QRT_SIM_PATH,     "--realtime", "--link-a",
                                         folder.file("a"), "--link-b",   folder.file("b")};
        for (int serial = 1; serial <= 100; ++serial) {
            simArgs.insert(
                simArgs.end(),
                {"--module", "6." + std::to_string(serial) +
                                 ",period=0.5,swing=2,telegrams=temp1/temp2/batdig/count1"});
        }
        testing::ChildProcess sim(simArgs, folder.file("sim.log"));
        testing::waitForText(folder.file("sim.log"), "module 6.100");
        testing::ChildProcess gateway(gatewayArguments(folder, broker.url()),
                                      folder.file("gateway.log"));
        const std::string pid = std::to_string(gateway.pid());
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(duration, 60.0)));
        const auto telegrams = [&] {
            const std::string log = testing::readText(folder.file("sim.log"));
            return static_cast<double>(std::count(log.begin(), log.end(), '\n'));
        };
        const long firstMinuteRss = testing::statusKilobytes("VmRSS:", pid);
        const double cpuBefore = testing::cpuSeconds(pid);
        const double telegramsBefore = telegrams();
        const auto measured = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(duration));
        const double seconds = std::chrono::duration<double>(Clock::now() - measured).count();
        const double cpu = testing::cpuSeconds(pid) - cpuBefore;
        state.SetIterationTime(seconds);
        state.counters["cpu_percent"] = 100.0 * cpu / seconds;
        state.counters["rss_first_MB"] = static_cast<double>(firstMinuteRss) / 1e3;
        state.counters["rss_last_MB"] =
            static_cast<double>(testing::statusKilobytes("VmRSS:", pid)) / 1e3;
        state.counters["telegrams_per_s"] = (telegrams() - telegramsBefore) / seconds;
    }
}
BENCHMARK(BM_GatewayLineRate100Modules)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
