// Throughput of the CRC-16 and of the multiplexed splitter.
#include <benchmark/benchmark.h>

#include <vector>

#include "frames/crc16.h"
#include "link/mux_framing.h"
#include "support/random_bytes.h"

namespace {

void BM_Crc16(benchmark::State& state) {
    const auto bytes = qrt::testing::pseudoRandomBytes(static_cast<std::size_t>(state.range(0)), 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qrt::frames::crc16(bytes, 0));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc16)->Arg(11)->Arg(128)->Arg(65536);

// A stream of wrapped receiver frames with level bytes, split in 128-byte reads.
void BM_MuxSplit(benchmark::State& state) {
    std::vector<std::uint8_t> stream;
    const auto payload = qrt::testing::pseudoRandomBytes(11 * 1000, 1);
    for (std::size_t at = 0; at < payload.size(); at += 11) {
        const auto frame = qrt::link::wrapMuxFrame(0, std::span(payload).subspan(at, 11));
        stream.insert(stream.end(), frame.begin(), frame.end() - 1);
        stream.push_back(0xC0);
        stream.push_back(0x40);
    }
    qrt::link::MuxReceiver mux;
    qrt::link::ReceiveRing ring0;
    qrt::link::ReceiveRing ring1;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += 128) {
            mux.split(std::span(stream).subspan(at, std::min<std::size_t>(128, stream.size() - at)),
                      ring0, ring1);
            ring0.clear();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_MuxSplit);

}  // namespace
