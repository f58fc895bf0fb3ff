// MV2ProcessControls on a section of 57 bindings of 4 items each, against a plain loop over the
// same items held in an array. Reports the ratio of the two times.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/ratio_reporter.h"
#include "engine/core/engine.h"
#include "shell/controls.h"
#include "shell/events.h"

namespace {

constexpr int32_t kSection = 0; // global commands only
constexpr int32_t kItems = 4;

struct PlainItem {
    int32_t code, wanted;
};
PlainItem g_plain[kMV2Actions][kItems];
float g_values[kMV2Actions];

void Setup() {
    static bool done = false;
    if (done) return;
    done = true;
    TvEngineInit(nullptr);
    std::memset(gMV2Controls.enabled, 1, sizeof gMV2Controls.enabled);
    gMV2Controls.disabledCount = 0;
    for (int32_t a = 0; a < kMV2Actions; ++a) {
        // Actions whose handlers act (screen dumps, menus, commands) never hold.
        bool holds = !(a == 14 || a == 40 || a == 41 || a == 50 || (a >= 42 && a <= 47) || a == 52);
        MV2ControlBinding* b = MV2AddBinding(kSection, a, 1.0f);
        for (int32_t i = 0; i < kItems; ++i) {
            int32_t code = 'a' + (a * kItems + i) % 26;
            int32_t wanted = holds ? 1 : 0;
            MV2AddBindingItem(b, code, wanted, 0);
            g_plain[a][i] = {code, wanted};
            MV2KeyPressed(uint32_t(code));
        }
    }
}

void BM_ProcessControls(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        MV2ProcessControls(kSection);
        benchmark::DoNotOptimize(gMV2Controls.actions);
    }
    state.SetItemsProcessed(state.iterations() * kMV2Actions * kItems);
}
BENCHMARK(BM_ProcessControls);

// The same items in an array: each binding holds when every item's state is as wanted.
void BM_PlainLoopBaseline(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        for (int32_t a = 0; a < kMV2Actions; ++a) {
            bool holds = true;
            for (int32_t i = 0; i < kItems && holds; ++i)
                holds = MV2TestKeyState(uint32_t(g_plain[a][i].code), MV2_KEY_HELD) ==
                        g_plain[a][i].wanted;
            g_values[a] = holds ? 1.0f : 0.0f;
        }
        benchmark::DoNotOptimize(g_values);
    }
    state.SetItemsProcessed(state.iterations() * kMV2Actions * kItems);
}
BENCHMARK(BM_PlainLoopBaseline);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("BM_ProcessControls", "BM_PlainLoopBaseline");
    benchmark::Shutdown();
    return 0;
}
