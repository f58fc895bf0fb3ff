// Opening names in a 10,000-entry pack through the file interface, against a plain hash map
// lookup of the same names. Report the ratio of the two times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "shell/pack.h"
// The benchmarks link the game alone, so the pack writer of the tests is compiled in here.
#include "tests/support/pack_writer.cpp"

namespace {

constexpr int kEntries = 10000;

std::string EntryName(int i) {
    char name[48];
    std::snprintf(name, sizeof name, "Folder%02d\\File%05d.Dat", i % 37, (i * 7919) % kEntries);
    return name;
}

struct Fixture {
    std::vector<std::string> names; // as the game asks for them
    std::unordered_map<std::string, int> map;
    MV2PackFile* pack = nullptr;

    Fixture() {
        TvEngineInit(nullptr);
        std::vector<PackWriterEntry> entries;
        for (int i = 0; i < kEntries; i++) {
            entries.push_back({EntryName(i), "x"});
            names.push_back(".\\bench\\" + EntryName(i));
            map.emplace(names.back(), i);
        }
        std::vector<uint8_t> bytes = BuildPack(entries);
        std::string path = (std::filesystem::temp_directory_path() /
                            ("marovant-bench-" + std::to_string(getpid()) + ".pak"))
                               .string();
        FILE* out = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        pack = MV2MountPackFile(path.c_str(), ".\\bench");
        std::filesystem::remove(path); // the open handle keeps the data
    }
};

Fixture& Get() {
    static Fixture fixture;
    return fixture;
}

void BM_PackOpen(benchmark::State& state) {
    Fixture& fx = Get();
    if (!fx.pack) {
        state.SkipWithError("pack did not mount");
        return;
    }
    TvFileInterface& f = *TvEngineGetFileInterface();
    for (auto _ : state) {
        for (const std::string& name : fx.names) {
            void* h = f.open(name.c_str(), "rb");
            if (!h) {
                state.SkipWithError("a stored name was not found");
                return;
            }
            benchmark::DoNotOptimize(h);
            f.close(h);
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_PackOpen);

void BM_HashMapBaseline(benchmark::State& state) {
    Fixture& fx = Get();
    for (auto _ : state) {
        for (const std::string& name : fx.names) {
            auto it = fx.map.find(name);
            benchmark::DoNotOptimize(it);
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_HashMapBaseline);

} // namespace

BENCHMARK_MAIN();
