#include "shared/live_watch.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#include "link/interfaces.h"
#include "shared/exit_status.h"
#include "shared/tool_output.h"

namespace qrt::tools {

namespace {

using namespace std::chrono_literals;

constexpr auto kPollInterval = 500ms;
constexpr auto kSleepSlice = 50ms;  // a signal ends the wait this quickly

volatile std::sig_atomic_t stopSignal = 0;

void requestStop(int number) {
    stopSignal = number;
}

}  // namespace

void stopOnTerminationSignals() {
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
}

bool stopRequested() {
    return stopSignal != 0;
}

void endByStopSignal() {
    if (stopSignal != 0) {
        const int number = stopSignal;
        std::fflush(nullptr);
        std::signal(number, SIG_DFL);
        std::raise(number);
    }
}

LiveEnd pollLive(core::ToolCore& core, const LiveOptions& options) {
    common::Clock& clock = core.clock;
    const auto started = clock.now();
    const auto since = [&clock](std::chrono::steady_clock::time_point at) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - at);
    };
    while (!stopRequested()) {
        const auto pollStarted = clock.now();
        core.poller.poll();
        std::fflush(nullptr);
        if (options.writeOut && !options.writeOut()) {
            return LiveEnd::OutputFailed;
        }
        if (core.link.takeLostDevice()) {
            core.poller.pollRemaining();  // the frames that arrived before the adapter went
            std::fflush(nullptr);
            const bool written = !options.writeOut || options.writeOut();
            return written ? LiveEnd::PortLost : LiveEnd::OutputFailed;
        }
        if (options.done && options.done()) {
            return LiveEnd::Done;
        }
        if (since(started) >= options.duration) {
            return LiveEnd::TimeUp;
        }
        for (auto left = kPollInterval - since(pollStarted); left.count() > 0 && !stopRequested();
             left = kPollInterval - since(pollStarted)) {
            const auto slice = std::min(left, std::chrono::milliseconds(kSleepSlice));
            if (options.wait) {
                options.wait(slice);
            } else if (!core.poller.readAhead()) {
                clock.sleep(slice);
            }
        }
    }
    return LiveEnd::Stopped;
}

int watchPort(core::ToolCore& core, const std::string& portName, const std::string& program,
              ToolOutput& output) {
    link::Link& link = core.link;
    if (const link::PortResult opened =
            link.OpenPort(link::Port::A, link::devicePath(portName), link::kBaudA, link::kNoParity);
        !opened) {
        std::cerr << program << ": cannot open " << portName << ": " << opened.failure << '\n';
        link.ClosePort(link::Port::A);
        return exit_status::kUsage;
    }
    stopOnTerminationSignals();
    const LiveEnd end = pollLive(core, {.writeOut = [&output] { return output.flush(); }});
    core.logFile.flush();
    link.ClosePort(link::Port::A);
    switch (end) {
        case LiveEnd::PortLost:
            std::cerr << program << ": port lost: " << portName << '\n';
            return exit_status::kPortLost;
        case LiveEnd::OutputFailed:
            std::cerr << program << ": " << output.failure() << '\n';
            return exit_status::kUsage;
        default:
            return exit_status::kDone;
    }
}

}  // namespace qrt::tools
