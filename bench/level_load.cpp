// The load of the first level of the generated sample data (from the second level, as a level
// gate leaves it), against reading the files that load reads into memory in the same run: each
// file the load opened through the engine's file interface, opened again and read in one call
// for as many bytes as the load took from it. Reported as a ratio (load / read).
#include "bench/game_level.h"
#include "bench/ratio_reporter.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "game/objects/levels.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// ---- The files a load reads, noted at the engine's file interface ----

struct FileRead {
    std::string name;
    size_t bytes = 0;
};

struct FileLog {
    bool on = false;
    TvFileInterface saved = {};
    std::vector<FileRead> files;
    std::vector<std::pair<void*, size_t>> open; // handle, index into files
};
FileLog g_log;

void* LoggedOpen(const char* name, const char* mode) {
    void* handle = g_log.saved.open(name, mode);
    if (g_log.on && handle && name && mode && mode[0] == 'r') {
        g_log.open.push_back({handle, g_log.files.size()});
        g_log.files.push_back({name, 0});
    }
    return handle;
}

size_t LoggedRead(void* buffer, size_t size, size_t count, void* handle) {
    const size_t got = g_log.saved.read(buffer, size, count, handle);
    if (g_log.on)
        for (const auto& [h, index] : g_log.open)
            if (h == handle) g_log.files[index].bytes += got * size;
    return got;
}

int32_t LoggedClose(void* handle) {
    for (size_t i = 0; i < g_log.open.size(); ++i)
        if (g_log.open[i].first == handle) {
            g_log.open[i] = g_log.open.back();
            g_log.open.pop_back();
            break;
        }
    return g_log.saved.close(handle);
}

void InstallLog() {
    TvFileInterface* files = TvEngineGetFileInterface();
    g_log.saved = *files;
    files->open = LoggedOpen;
    files->read = LoggedRead;
    files->close = LoggedClose;
}

void RemoveLog() {
    TvFileInterface* files = TvEngineGetFileInterface();
    files->open = g_log.saved.open;
    files->read = g_log.saved.read;
    files->close = g_log.saved.close;
}

// ---- The two timed steps ----

uint32_t g_first = 0, g_second = 0; // the first level and the one loaded before it
std::vector<uint8_t> g_buffer;
size_t g_readBytes = 0;

// The files of the load read again into memory, through the same file interface.
bool ReadFiles() {
    TvFileInterface* files = TvEngineGetFileInterface();
    size_t total = 0;
    for (const FileRead& f : g_log.files) {
        void* handle = files->open(f.name.c_str(), "rb");
        if (!handle) return false;
        total += files->read(g_buffer.data(), 1, f.bytes, handle);
        files->close(handle);
    }
    benchmark::DoNotOptimize(total);
    g_readBytes = total;
    return true;
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

bool g_ready = false;
double g_seconds[2] = {0, 0};

// Load and read in turn within each iteration; the second level's load before each is not
// timed.
void BM_LevelLoadAgainstReadingItsFiles(benchmark::State& state) {
    if (!g_ready) {
        state.SkipWithError("the first level could not be loaded from the sample data");
        return;
    }
    double t[2] = {0, 0};
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        ok = MV2LoadLevel(g_second, 1) && ok;
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        ok = MV2LoadLevel(g_first, 1) && ok;
        t[0] += Seconds(start);
        start = std::chrono::steady_clock::now();
        ok = ReadFiles() && ok;
        t[1] += Seconds(start);
    }
    if (!ok) state.SkipWithError("a load or a read failed");
    const double n = double(state.iterations());
    g_seconds[0] = t[0] / n;
    g_seconds[1] = t[1] / n;
    state.counters["load_ms"] = g_seconds[0] * 1e3;
    state.counters["read_ms"] = g_seconds[1] * 1e3;
    state.counters["ratio"] = t[0] / t[1];
}
BENCHMARK(BM_LevelLoadAgainstReadingItsFiles)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    GameBench game;
    if (game.Start()) {
        g_first = MV2GetCurrentLevelId();
        g_second = g_first ^ 0x01000000u; // the sample's second level
        InstallLog();
        // One load noted: the files it reads and how much of each.
        if (MV2LoadLevel(g_second, 1)) {
            g_log.on = true;
            g_ready = MV2LoadLevel(g_first, 1) != 0;
            g_log.on = false;
        }
        size_t bytes = 0, most = 0;
        for (const FileRead& f : g_log.files) {
            bytes += f.bytes;
            most = std::max(most, f.bytes);
        }
        g_buffer.resize(most + 1);
        g_ready = g_ready && !g_log.files.empty() && ReadFiles();
        std::printf("level load: %zu files opened, %zu bytes read\n", g_log.files.size(), bytes);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (g_seconds[1] > 0)
        std::printf("ratio level load / reading its files: %.2f (%.3f ms / %.3f ms)\n",
                    g_seconds[0] / g_seconds[1], g_seconds[0] * 1e3, g_seconds[1] * 1e3);
    benchmark::Shutdown();
    RemoveLog();
    game.Stop();
    return 0;
}
