// Reading a 64 MiB memory stream of chunks with TvStreamRead against memcpy of the same bytes.
// Prints the ratio of the two times for each chunk size after the run.
#include <benchmark/benchmark.h>

#include "bench/ratio_reporter.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/stream.h"
#include "tests/support/accepting_device.h"

namespace {

constexpr size_t kTotal = size_t(64) << 20;

// 64 MiB of chunks, each a 12-byte header and `body` bytes.
const std::vector<uint8_t>& Chunks(uint32_t body) {
    static std::map<uint32_t, std::vector<uint8_t>> cache;
    std::vector<uint8_t>& data = cache[body];
    if (data.empty()) {
        data.resize(kTotal);
        size_t chunk = kTvChunkHeaderSize + body;
        for (size_t at = 0; at + chunk <= kTotal; at += chunk) {
            uint32_t header[3] = {TV_ID_STRUCT, body, kTvChunkVersion};
            std::memcpy(&data[at], header, sizeof(header));
            std::memset(&data[at + sizeof(header)], int(at & 0xFF), body);
        }
    }
    return data;
}

std::vector<uint8_t>& Destination() {
    static std::vector<uint8_t> out(kTotal);
    return out;
}

void StreamRead(benchmark::State& state) {
    const uint32_t body = uint32_t(state.range(0));
    const std::vector<uint8_t>& data = Chunks(body);
    uint8_t* out = Destination().data();
    const size_t chunks = kTotal / (kTvChunkHeaderSize + body);
    for (auto _ : state) {
        TvMemory memory = {const_cast<uint8_t*>(data.data()), data.size()};
        TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
        uint8_t* at = out;
        for (size_t i = 0; i < chunks; i++) {
            uint32_t length;
            if (!TvStreamReadChunkHeader(s, nullptr, &length, nullptr)) break;
            at += TvStreamRead(s, at, length);
        }
        TvStreamClose(s, nullptr);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTotal));
}

void Memcpy(benchmark::State& state) {
    const uint32_t body = uint32_t(state.range(0));
    const std::vector<uint8_t>& data = Chunks(body);
    uint8_t* out = Destination().data();
    const size_t chunk = kTvChunkHeaderSize + body;
    const size_t chunks = kTotal / chunk;
    for (auto _ : state) {
        uint8_t* at = out;
        for (size_t i = 0; i < chunks; i++) {
            uint32_t header[3];
            std::memcpy(header, &data[i * chunk], sizeof(header));
            std::memcpy(at, &data[i * chunk + sizeof(header)], body);
            at += body;
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTotal));
}

BENCHMARK(Memcpy)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamRead)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!AcceptingEngineStart()) {
        std::fprintf(stderr, "engine did not start\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* body : {"4096", "65536", "1048576"})
        reporter.PrintRatio(std::string("StreamRead/") + body, std::string("Memcpy/") + body);
    benchmark::Shutdown();
    TvEngineStop();
    TvEngineClose();
    TvEngineTerm();
    return 0;
}
