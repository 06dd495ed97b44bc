// qrt-sim: the receiver, the inductive head, the interface box and a set of modules on
// Linux pseudo-terminals, for people without the hardware, the demo and the tests.
#include <poll.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <random>

#include "common/version.h"
#include "link/mux_framing.h"
#include "sim/playback.h"
#include "sim/pty_port.h"
#include "sim/scenario.h"
#include "sim/simulator.h"

namespace {

using namespace qrt::sim;
using SteadyClock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t pullRequested = 0;
volatile std::sig_atomic_t replugRequested = 0;

void onStop(int) {
    stopRequested = 1;
}
void onPull(int) {
    pullRequested = 1;
}
void onReplug(int) {
    replugRequested = 1;
}

constexpr auto kQuietGap = std::chrono::milliseconds(20);
constexpr double kLineRateA = 19200 / 10.0;  // bytes per second at 19200 baud, 8N1
constexpr double kLongestRun = 1e7;          // seconds (about four months)
constexpr int kUsage = 2;

// A number option within [low, high]; nan and infinities are refused by the range.
CLI::Validator within(double low, double high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            double value = 0;
            try {
                std::size_t used = 0;
                value = std::stod(text, &used);
                if (used != text.size()) {
                    return "'" + text + "' is not a number";
                }
            } catch (const std::exception&) {
                return "'" + text + "' is not a number";
            }
            if (!(value >= low && value <= high)) {
                return "'" + text + "' is out of range (" + CLI::detail::to_string(low) + " to " +
                       CLI::detail::to_string(high) + ")";
            }
            return {};
        },
        "NUMBER");
}

struct CommandLine {
    bool mux = false;
    std::string linkA;
    std::string linkB;
    std::string scenario;
    std::vector<std::string> modules;
    std::string crcStart;
    std::string head;
    bool realtime = false;
    double exitAfter = 0;
    double keyEvery = -1;
    std::string firmwareOut;
    double dropReplies = -1;
    double corrupt = 0;
    double noise = 0;
    bool echoFirmware = false;
    std::uint32_t seed = 1;
    double pullAfter = 0;
    double replugAfter = 0;
    std::string replay;
    double speed = 1;
    double replayDelay = 1;
};

void logLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Applies the command line over the scenario file.
bool buildScenario(const CommandLine& cl, Scenario& scenario, std::string& error) {
    if (!cl.scenario.empty() && !loadScenario(cl.scenario, scenario, error)) {
        return false;
    }
    for (const std::string& option : cl.modules) {
        if (!addModuleOption(option, scenario, error)) {
            return false;
        }
    }
    if (scenario.modules.empty()) {
        addModuleOption("5.1234,period=2,telegrams=temp1/temp2/batdig", scenario, error);
    }
    SimOptions& options = scenario.options;
    options.multiplexed = cl.mux;
    if (!cl.crcStart.empty()) {
        const bool hex =
            cl.crcStart.size() <= 4 &&
            cl.crcStart.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        if (!hex) {
            error =
                "--crc-start '" + cl.crcStart + "' is not a hexadecimal number of 1 to 4 digits";
            return false;
        }
        options.crcStart = static_cast<std::uint16_t>(std::stoul(cl.crcStart, nullptr, 16));
    }
    if (!cl.head.empty()) {
        Scenario probe;
        if (!addModuleOption(cl.head, probe, error)) {
            return false;
        }
        options.headModule = probe.modules[0].address;
    }
    if (cl.keyEvery >= 0) {
        options.keyEverySeconds = cl.keyEvery;
    }
    if (cl.dropReplies >= 0) {
        options.dropReplies = cl.dropReplies / 100.0;
    }
    options.echoFirmwareBlocks = options.echoFirmwareBlocks || cl.echoFirmware;
    options.firmwareOut = cl.firmwareOut;
    return true;
}

class Runner {
  public:
    Runner(const CommandLine& cl, const Scenario& scenario, Playback* playback)
        : cl_(cl),
          playback_(playback),
          options_(scenario.options),
          portA_(cl.linkA),
          portB_(cl.linkB),
          random_(cl.seed),
          simulator_(
              scenario.options, scenario.modules,
              [this](int channel, const Bytes& bytes) { send(channel, bytes); }, logLine, cl.seed) {
    }

    bool openPorts(std::string& error) {
        if (!portA_.open(error)) {
            return false;
        }
        if (!options_.multiplexed && !portB_.open(error)) {
            return false;
        }
        if (options_.multiplexed) {
            logLine("multiplexed link (interface A): " + portA_.path());
        } else {
            logLine("interface A (receiver): " + portA_.path());
            logLine("interface B (inductive head): " + portB_.path());
        }
        return true;
    }

    int run() {
        const auto started = SteadyClock::now();
        if (playback_ != nullptr) {
            playback_->start(started + std::chrono::duration_cast<SteadyClock::duration>(
                                           std::chrono::duration<double>(cl_.replayDelay)),
                             cl_.speed);
        }
        auto lastFlush = started;
        auto lastNoise = started;
        double budget = 0;
        while (stopRequested == 0) {
            const auto now = SteadyClock::now();
            const double elapsed = std::chrono::duration<double>(now - started).count();
            if (cl_.exitAfter > 0 && elapsed >= cl_.exitAfter) {
                break;
            }
            handlePlugRequests(elapsed);
            // While paced output is waiting, wake often so it leaves evenly, as from a UART.
            waitForInput(cl_.realtime && portA_.queued() > 0 ? 1 : 5);
            const auto wallNow =
                std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
            readInput(portA_, true, wallNow);
            readInput(portB_, false, wallNow);
            if (playback_ != nullptr) {
                play();
            } else {
                if (lastInput_ && SteadyClock::now() - *lastInput_ >= kQuietGap) {
                    lastInput_.reset();
                    simulator_.quiet(wallNow);
                }
                simulator_.tick(SteadyClock::now());
            }
            injectNoise(lastNoise);
            // At the line rate the receiver cannot send faster than 1,920 bytes a second.
            const auto flushNow = SteadyClock::now();
            budget += std::chrono::duration<double>(flushNow - lastFlush).count() * kLineRateA;
            lastFlush = flushNow;
            if (cl_.realtime) {
                budget = std::min(budget, kLineRateA * 0.05);
                budget -= static_cast<double>(portA_.flush(static_cast<std::size_t>(budget)));
            } else {
                portA_.flush(1 << 20);
            }
        }
        logLine("simulator stopped");
        return 0;
    }

  private:
    // Sends the recorded bytes that are due, as the receiver would.
    void play() {
        const bool wasFinished = playback_->finished();
        playback_->sendDue(SteadyClock::now(), [this](const Bytes& bytes) { send(0, bytes); });
        if (!wasFinished && playback_->finished()) {
            logLine("replay finished");
        }
    }

    void send(int channel, const Bytes& bytes) {
        Bytes out = bytes;
        if (options_.multiplexed) {
            out = qrt::link::wrapMuxFrame(static_cast<std::uint8_t>(channel), bytes);
            if (channel == 0) {
                // A receiver frame ends with DLE, the signal level and the background level.
                out.back() = options_.signalByte;
                out.push_back(options_.backgroundByte);
            }
        } else if (channel != 0) {
            return;
        }
        if (cl_.corrupt > 0) {
            std::uniform_real_distribution<double> chance(0.0, 100.0);
            std::uniform_int_distribution<int> flip(1, 255);
            for (std::uint8_t& byte : out) {
                if (chance(random_) < cl_.corrupt) {
                    byte = static_cast<std::uint8_t>(byte ^ flip(random_));
                }
            }
        }
        portA_.queue(out);
    }

    void injectNoise(SteadyClock::time_point& last) {
        const auto now = SteadyClock::now();
        if (cl_.noise <= 0 || now - last < std::chrono::milliseconds(100)) {
            return;
        }
        const auto count =
            static_cast<std::size_t>(cl_.noise * std::chrono::duration<double>(now - last).count());
        last = now;
        Bytes noise(count);
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : noise) {
            b = static_cast<std::uint8_t>(byte(random_));
        }
        portA_.queue(noise);
    }

    void waitForInput(int milliseconds) {
        std::vector<pollfd> fds;
        for (const PtyPort* port : {&portA_, &portB_}) {
            if (port->isOpen()) {
                fds.push_back({port->fd(), POLLIN, 0});
            }
        }
        ::poll(fds.data(), fds.size(), milliseconds);
    }

    void readInput(PtyPort& port, bool interfaceA, std::chrono::sys_seconds now) {
        const Bytes bytes = port.read();
        if (bytes.empty()) {
            return;
        }
        lastInput_ = SteadyClock::now();
        if (playback_ != nullptr) {
            return;  // a replay answers nothing
        }
        if (options_.multiplexed) {
            simulator_.receiveMux(bytes, now);
        } else if (interfaceA) {
            simulator_.receiveA(bytes, now);
        } else {
            simulator_.receiveB(bytes, now);
        }
    }

    void handlePlugRequests(double elapsed) {
        if (cl_.pullAfter > 0 && elapsed >= cl_.pullAfter && !pulledOnce_) {
            pulledOnce_ = true;
            pullRequested = 1;
        }
        if (cl_.replugAfter > 0 && elapsed >= cl_.replugAfter && !repluggedOnce_ && pulledOnce_) {
            repluggedOnce_ = true;
            replugRequested = 1;
        }
        if (pullRequested != 0) {
            pullRequested = 0;
            portA_.pull();
            portB_.pull();
            logLine("ports closed (adapter pulled)");
        }
        if (replugRequested != 0) {
            replugRequested = 0;
            std::string error;
            if (!portA_.isOpen() && openPorts(error)) {
                logLine("ports back");
            } else if (!error.empty()) {
                logLine(error);
            }
        }
    }

    const CommandLine& cl_;
    Playback* playback_;
    SimOptions options_;
    PtyPort portA_;
    PtyPort portB_;
    std::mt19937 random_;
    Simulator simulator_;
    std::optional<SteadyClock::time_point> lastInput_;
    bool pulledOnce_ = false;
    bool repluggedOnce_ = false;
};

}  // namespace

// The simulator's options, each checked as it is read.
void addOptions(CLI::App& app, CommandLine& cl) {
    app.add_flag("--mux", cl.mux, "Multiplexed link: one port through the interface box");
    app.add_option("--link-a", cl.linkA, "Symlink to interface A (or the multiplexed link)");
    app.add_option("--link-b", cl.linkB, "Symlink to interface B");
    app.add_option("--scenario", cl.scenario, "Scenario file ([sim] and [module TYPE.SERIAL])");
    app.add_option("--module", cl.modules, "A module: TYPE.SERIAL[,key=value...] (repeatable)");
    app.add_option("--crc-start", cl.crcStart, "CRC start value of the 11-byte frames (hex)");
    app.add_option("--head", cl.head, "Module lying on the inductive head (TYPE.SERIAL)");
    app.add_flag("--realtime", cl.realtime, "Pace output at the line rate (19200 baud)");
    app.add_option("--exit-after", cl.exitAfter, "Stop after this many seconds")
        ->check(within(0, kLongestRun));
    app.add_option("--key-every", cl.keyEvery, "Toggle the box's key every N seconds (mux)")
        ->check(within(0, 86400));
    app.add_option("--firmware-out", cl.firmwareOut,
                   "Write a module's received firmware image here at each status request");
    app.add_option("--drop-replies", cl.dropReplies, "Percentage of module transmissions lost")
        ->check(within(0, 100));
    app.add_option("--corrupt", cl.corrupt, "Percentage of bytes to interface A corrupted")
        ->check(within(0, 100));
    app.add_option("--noise", cl.noise,
                   "Random bytes per second injected on interface A, up to the line's 1920")
        ->check(within(0, kLineRateA));
    app.add_flag("--echo-firmware", cl.echoFirmware, "Echo firmware block headers and blocks");
    app.add_option("--seed", cl.seed, "Seed of the fault injection");
    app.add_option("--pull-after", cl.pullAfter, "Close the ports after N seconds (pulled adapter)")
        ->check(within(0, kLongestRun));
    app.add_option("--replug-after", cl.replugAfter, "Open them again after N seconds")
        ->check(within(0, kLongestRun));
    auto* replay = app.add_option("--replay", cl.replay,
                                  "Send what a recording's interface A received, with its "
                                  "recorded spacing, and answer nothing");
    app.add_option("--speed", cl.speed, "Replay this many times faster (default 1)")
        ->check(within(0.001, 1000))
        ->needs(replay);
    app.add_option("--replay-delay", cl.replayDelay,
                   "Seconds from the ports' opening to the first record (default 1)")
        ->check(within(0, 3600))
        ->needs(replay);
    app.set_version_flag("--version", qrt::common::kVersionText);
}

// The recording to replay, when one is named: loaded whole before anything is sent.
qrt::common::Result<std::optional<Playback>> loadPlayback(const std::string& path) {
    if (path.empty()) {
        return std::optional<Playback>();
    }
    auto loaded = Playback::load(path);
    if (const auto* failure = qrt::common::failureOf(loaded)) {
        return *failure;
    }
    return std::optional(std::get<Playback>(std::move(loaded)));
}

int main(int argc, char** argv) {
    CLI::App app{
        "Simulates the receiver, the inductive head, the interface box and a set of "
        "transponder modules on pseudo-terminals. Prints the port paths, then a line "
        "for everything the tool sends (\"A<\", \"B<\", \"box<\") and every "
        "transmission (\"A>\")."};
    app.footer(moduleKeysHelp() +
               "Signals: SIGUSR1 closes the ports as a pulled adapter, SIGUSR2 opens them again.");
    CommandLine cl;
    addOptions(app, cl);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kUsage;  // help and version exit with 0
    }

    Scenario scenario;
    std::string error;
    if (!buildScenario(cl, scenario, error)) {
        std::cerr << "qrt-sim: " << error << '\n';
        return kUsage;
    }
    std::signal(SIGINT, onStop);
    std::signal(SIGTERM, onStop);
    std::signal(SIGUSR1, onPull);
    std::signal(SIGUSR2, onReplug);
    std::signal(SIGPIPE, SIG_IGN);
    auto loaded = loadPlayback(cl.replay);
    if (const auto* failure = qrt::common::failureOf(loaded)) {
        std::cerr << "qrt-sim: " << failure->reason << '\n';
        return kUsage;
    }
    std::optional<Playback>& playback = std::get<std::optional<Playback>>(loaded);
    Runner runner(cl, scenario, playback ? &*playback : nullptr);
    if (!runner.openPorts(error)) {
        std::cerr << "qrt-sim: " << error << '\n';
        return 1;
    }
    if (playback) {
        logLine("replay of " + std::to_string(playback->records()) + " records from " + cl.replay);
        return runner.run();
    }
    for (const auto& module : scenario.modules) {
        logLine("module " + module.address.text() +
                (module.authKey ? " (authenticated commands)" : "") +
                (module.archive.rows > 0 ? " (archive)" : ""));
    }
    return runner.run();
}
