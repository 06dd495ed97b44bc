// Throughput of the receive path: offline decoding of captures, and a live poll
// over a pseudo-terminal fed at and above the 19200-baud line rate.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/clock.h"
#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "link/link.h"
#include "link/qt_serial_port.h"
#include "receive/console_sink.h"
#include "receive/poller.h"
#include "receive/replay.h"
#include "receive/traffic_recorder.h"
#include "support/pty_pair.h"
#include "support/random_bytes.h"
#include "values/value_file.h"

namespace {

using namespace qrt;

class CountingSink final : public receive::LineSink, public receive::MeasurementSink {
  public:
    std::string& beginLine(receive::Pane) override {
        line_.clear();
        return line_;
    }
    void endLine() override { ++lines; }
    void addMeasurements(std::span<const receive::Measurement> measurements) override {
        for (const receive::Measurement& measurement : measurements) {
            ++values;
            sum += measurement.value();
        }
    }
    std::size_t lines = 0;
    std::size_t values = 0;
    double sum = 0;

  private:
    std::string line_;
};

std::vector<std::uint8_t> mixedCapture(std::size_t size) {
    std::vector<std::uint8_t> capture;
    capture.reserve(size + 64);
    std::uint8_t seq = 0;
    while (capture.size() < size) {
        const auto telegram = frames::buildStandardFrame(0x20, 0x60000010, 0x0866, 0x12, seq++, 0);
        const auto reply = frames::buildStandardFrame(0x02, 0x50001234, 754, 65, seq++, 0);
        const auto shortTelegram = frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0);
        capture.insert(capture.end(), telegram.begin(), telegram.end());
        capture.insert(capture.end(), reply.begin(), reply.end());
        capture.insert(capture.end(), shortTelegram.begin(), shortTelegram.end());
    }
    return capture;
}

void replayBenchmark(benchmark::State& state, const std::vector<std::uint8_t>& capture,
                     bool multiplexed, receive::MeasurementSink* values = nullptr) {
    CountingSink sink;
    for (auto _ : state) {
        receive::replayCapture(capture, {.multiplexed = multiplexed}, sink, values);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture.size()));
    state.counters["lines"] =
        static_cast<double>(sink.lines) / static_cast<double>(state.iterations());
}

void BM_ReplayMixed10MB(benchmark::State& state) {
    static const auto capture = mixedCapture(10'000'000);
    replayBenchmark(state, capture, false);
}
BENCHMARK(BM_ReplayMixed10MB)->Unit(benchmark::kMillisecond);

// The same with a consumer of the values: one that only reads them, and one that writes
// them as CSV rows (to /dev/null), as qrt-monitor --values does.
void BM_ReplayMixed10MBReadingValues(benchmark::State& state) {
    static const auto capture = mixedCapture(10'000'000);
    CountingSink sink;
    replayBenchmark(state, capture, false, &sink);
    state.counters["values"] =
        static_cast<double>(sink.values) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReplayMixed10MBReadingValues)->Unit(benchmark::kMillisecond);

void BM_ReplayMixed10MBWritingValuesCsv(benchmark::State& state) {
    static const auto capture = mixedCapture(10'000'000);
    values::ValueFile values(common::OutputFile::create("/dev/null"), values::ValueFormat::Csv);
    replayBenchmark(state, capture, false, &values);
}
BENCHMARK(BM_ReplayMixed10MBWritingValuesCsv)->Unit(benchmark::kMillisecond);

// The lines as qrt-monitor prints them ("D " and "C "), written to /dev/null.
void BM_ReplayMixed10MBToConsole(benchmark::State& state) {
    static const auto capture = mixedCapture(10'000'000);
    common::OutputFile out = common::OutputFile::create("/dev/null");
    receive::ConsoleSink console(out);
    for (auto _ : state) {
        receive::replayCapture(capture, {}, console);
        out.flush();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture.size()));
}
BENCHMARK(BM_ReplayMixed10MBToConsole)->Unit(benchmark::kMillisecond);

// The same while recording every frame and run of noise (qrt-monitor --record's work),
// into a pcapng file in the temporary folder.
void recordingBenchmark(benchmark::State& state, const std::vector<std::uint8_t>& capture) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("qrt_bench_recording_" + std::to_string(::getpid()) + ".pcapng");
    CountingSink sink;
    common::StoppedClock clock;
    for (auto _ : state) {
        auto writer = link::RecordingWriter::create(path, true, "bench");
        auto& file = std::get<link::RecordingWriter>(writer);
        receive::TrafficRecorder recorder(file, clock);
        receive::replayCapture(capture, {.recording = &recorder}, sink);
        recorder.finish();
        file.close();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture.size()));
    state.counters["file MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}

void BM_ReplayMixed10MBRecording(benchmark::State& state) {
    static const auto capture = mixedCapture(10'000'000);
    recordingBenchmark(state, capture);
}
BENCHMARK(BM_ReplayMixed10MBRecording)->Unit(benchmark::kMillisecond);

void BM_ReplayNoise10MBRecording(benchmark::State& state) {
    static const auto capture = qrt::testing::pseudoRandomBytes(10'000'000, 99);
    recordingBenchmark(state, capture);
}
BENCHMARK(BM_ReplayNoise10MBRecording)->Unit(benchmark::kMillisecond);

void BM_ReplayNoise10MB(benchmark::State& state) {
    static const auto capture = qrt::testing::pseudoRandomBytes(10'000'000, 99);
    replayBenchmark(state, capture, false);
}
BENCHMARK(BM_ReplayNoise10MB)->Unit(benchmark::kMillisecond);

void BM_ReplayNoise10MBMultiplexed(benchmark::State& state) {
    static const auto capture = qrt::testing::pseudoRandomBytes(10'000'000, 99);
    replayBenchmark(state, capture, true);
}
BENCHMARK(BM_ReplayNoise10MBMultiplexed)->Unit(benchmark::kMillisecond);

void writeCapture(const std::string& path, std::size_t megabytes) {
    const auto block = mixedCapture(1'000'000);
    std::ofstream out(path, std::ios::binary);
    for (std::size_t written = 0; written < megabytes * 1'000'000; written += block.size()) {
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size()));
    }
}

/// Runs qrt-monitor with `arguments` and the capture, standard output to /dev/null;
/// returns its peak memory in kilobytes.
long runMonitor(std::vector<std::string> arguments, const std::string& capture) {
    arguments.insert(arguments.begin(), QRT_MONITOR_PATH);
    arguments.push_back(capture);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execv(QRT_MONITOR_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    return usage.ru_maxrss;
}

// qrt-monitor on the 10 MB mixed capture, start-up included: the lines alone (argument
// 0), and the lines with the values as CSV to /dev/null (1).
void BM_MonitorMixed10MB(benchmark::State& state) {
    const std::string path = "/tmp/qrt_bench_mixed_" + std::to_string(::getpid()) + ".bin";
    writeCapture(path, 10);
    const std::vector<std::string> arguments =
        state.range(0) == 0 ? std::vector<std::string>{}
                            : std::vector<std::string>{"--values", "/dev/null"};
    for (auto _ : state) {
        runMonitor(arguments, path);
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(state.iterations() * 10'000'000);
}
BENCHMARK(BM_MonitorMixed10MB)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Peak memory of qrt-monitor decoding a capture file of the argument's size in MB:
// the capture is streamed, so it stays flat whatever the size.
void BM_MonitorPeakMemory(benchmark::State& state) {
    const auto megabytes = static_cast<std::size_t>(state.range(0));
    const std::string path = "/tmp/qrt_bench_capture_" + std::to_string(::getpid()) + ".bin";
    writeCapture(path, megabytes);
    long peakKilobytes = 0;
    for (auto _ : state) {
        peakKilobytes = runMonitor({}, path);
    }
    std::filesystem::remove(path);
    state.counters["peak_RSS_MB"] = static_cast<double>(peakKilobytes) / 1024.0;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(megabytes * 1'000'000));
}
BENCHMARK(BM_MonitorPeakMemory)
    ->Arg(300)
    ->Arg(1000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// A real port over a pseudo-terminal, as the window polls it.
struct LivePoller {
    LivePoller()
        : link(std::make_unique<link::QtSerialPort>(), std::make_unique<link::QtSerialPort>(),
               diagnostics),
          poller(link, protocol, clock, archive) {  // the live budget of 250 ms
        (void)link.OpenPort(link::Port::A, pty.slavePath(), 19200, 0);
    }
    testing::PtyPair pty;
    std::ostringstream diagnostics;
    link::Link link;
    frames::ProtocolSettings protocol;
    common::SystemClock clock;
    CountingSink sink;
    receive::ArchiveStore archive;
    receive::Poller poller;
    common::Attachment attached = poller.attach({.lines = &sink});
};

// 50 standard frames waiting in the port, worked off in one poll.
void BM_LivePollBurstOf50Frames(benchmark::State& state) {
    LivePoller live;
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < 50; ++i) {
        const auto f =
            frames::buildStandardFrame(0x02, 0x50001234, 754, 65, static_cast<std::uint8_t>(i), 0);
        burst.insert(burst.end(), f.begin(), f.end());
    }
    for (auto _ : state) {
        state.PauseTiming();
        live.sink.lines = 0;
        live.pty.send(burst);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state.ResumeTiming();
        live.poller.poll();
        if (live.sink.lines != 100) {
            state.SkipWithError("burst not worked off in one poll");
        }
    }
}
BENCHMARK(BM_LivePollBurstOf50Frames)->Unit(benchmark::kMillisecond)->Iterations(20);

// A sustained stream at the line rate (174 standard frames a second) for 10 s: every
// frame decoded, and the longest poll reported.
void BM_LiveLineRateStream(benchmark::State& state) {
    for (auto _ : state) {
        LivePoller live;
        constexpr int kFrames = 1740;
        std::atomic<bool> done{false};
        std::thread writer([&] {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kFrames; ++i) {
                const auto f = frames::buildStandardFrame(0x02, 0x50001234, 754, 65,
                                                          static_cast<std::uint8_t>(i), 0);
                live.pty.send({f.begin(), f.end()});
                std::this_thread::sleep_until(start + std::chrono::microseconds(5747 * (i + 1)));
            }
            done = true;
        });
        double longest = 0;
        while (!done || live.sink.lines < 2 * kFrames) {
            const auto t0 = std::chrono::steady_clock::now();
            live.poller.poll();
            const auto took =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                    .count();
            longest = std::max(longest, took);
            if (done && took < 60) {
                break;
            }
            std::this_thread::sleep_until(t0 + std::chrono::milliseconds(500));
        }
        writer.join();
        live.poller.poll();
        state.counters["frames_lost"] = kFrames - static_cast<double>(live.sink.lines) / 2;
        state.counters["longest_poll_ms"] = longest;
    }
}
BENCHMARK(BM_LiveLineRateStream)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
