// The firmware transfer: CPU per block send, and the poll every block leaves at over a
// whole 1,024-block image in virtual time.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "firmware/firmware_transfer.h"
#include "link/null_port.h"

namespace {

using namespace qrt;

struct View final : firmware::FirmwareView {
    [[nodiscard]] firmware::FirmwareTarget target() const override {
        return {true, frames::ModuleAddress{8, 77}};
    }
    [[nodiscard]] int speed() const override { return speedValue; }
    void showBlock(std::uint32_t) override { ++blocks; }
    void showBlockCount(std::uint32_t) override {}
    void showProgress(std::uint32_t, std::uint32_t) override {}
    void showStatus(const firmware::FirmwareStatus&) override {}
    int speedValue = 2;
    std::size_t blocks = 0;
};

std::string writeImage() {
    const auto path = (std::filesystem::temp_directory_path() / "qrt_bench_fw.bin").string();
    std::ofstream out(path, std::ios::binary);
    out << "RQW1\r\n" << std::string(128 * 1024, '\x5A');
    return path;
}

void BM_FirmwareTransfer1024Blocks(benchmark::State& state) {
    const std::string path = writeImage();
    std::ostringstream diagnostics;
    link::Link link(std::make_unique<link::NullPort>(), std::make_unique<link::NullPort>(),
                    diagnostics);
    (void)link.OpenPort(link::Port::A, "a", 19200, 0);
    frames::ProtocolSettings protocol;
    common::StoppedClock clock;
    frames::FrameSender sender(link, protocol, clock);
    View view;
    view.speedValue = static_cast<int>(state.range(0));
    firmware::FirmwareTransfer transfer(sender, clock, view);
    std::size_t polls = 0;
    std::size_t misplaced = 0;
    for (auto _ : state) {
        transfer.start(path);
        view.blocks = 0;
        polls = 0;
        misplaced = 0;
        const std::size_t first = view.speedValue == 5 ? 5 : 4;
        while (transfer.running()) {
            const std::size_t before = view.blocks;
            transfer.pace();
            ++polls;
            if (view.blocks != before &&
                polls != first + (view.blocks - 1) * static_cast<std::size_t>(view.speedValue)) {
                ++misplaced;
            }
        }
    }
    state.counters["blocks"] = static_cast<double>(view.blocks);
    state.counters["polls"] = static_cast<double>(polls);
    state.counters["blocks_off_their_poll"] = static_cast<double>(misplaced);
    state.counters["time_per_block"] = benchmark::Counter(
        static_cast<double>(view.blocks) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove(path);
}
BENCHMARK(BM_FirmwareTransfer1024Blocks)->Arg(2)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace
