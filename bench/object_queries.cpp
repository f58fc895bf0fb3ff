// Message 2 sent to an object through the send order with a brain installed, against a direct
// call of the object's type handler, in the same run. Prints the ratio at the end (aim: 1.5 or
// less).
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/ratio_reporter.h"
#include "engine/world/random.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "tests/support/accepting_device.h"
#include "tests/support/world_grid.h"

namespace {

constexpr int kSends = 1000;
constexpr int32_t kType = 5;
MV2Object* g_object = nullptr;

// A brain that handles nothing itself and forwards to the type handler.
intptr_t ForwardingBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    return object->typeHandler(object, message, p1, p2);
}

void SendThroughBrain(benchmark::State& state) {
    for (auto _ : state) {
        intptr_t sum = 0;
        for (int i = 0; i < kSends; i++)
            sum += MV2ObjectSendMessage(g_object, 2, 0, 0);
        benchmark::DoNotOptimize(sum);
    }
}

void DirectTypeHandler(benchmark::State& state) {
    MV2ObjectHandler handler = g_object->typeHandler;
    benchmark::DoNotOptimize(handler);
    for (auto _ : state) {
        intptr_t sum = 0;
        for (int i = 0; i < kSends; i++)
            sum += handler(g_object, 2, 0, 0);
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(SendThroughBrain);
BENCHMARK(DirectTypeHandler);

bool Attach() {
    return TpWorldPluginAttach() == 1 && TvRandomPluginAttach() == 1 && TpClumpDataPluginAttach();
}

} // namespace

int main(int argc, char** argv) {
    if (!AcceptingEngineStart(Attach) || !MV2InitialiseObjects()) {
        std::fprintf(stderr, "engine did not start\n");
        return 1;
    }
    GridWorld grid = MakeGridWorld(0);
    TV_ENGINE->worldLibrary = grid.world;
    MV2ObjectType* type = MV2GetObjectType(kType);
    type->model = TpClumpCreate();
    TpClumpSetFrame(type->model, TvFrameCreate());
    type->words[7] = kMV2TypeModelLoaded;
    g_object = MV2CreateObject(kType, nullptr, nullptr);
    if (!g_object) {
        std::fprintf(stderr, "object not created\n");
        return 1;
    }
    MV2ObjectSendMessage(g_object, 29, 0, reinterpret_cast<intptr_t>(ForwardingBrain));

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatio("SendThroughBrain", "DirectTypeHandler");

    MV2DestroyAllObjects();
    TV_ENGINE->worldLibrary = nullptr;
    DestroyGridWorld(grid);
    MV2FreeObjectTypes();
    TvEngineStop();
    TvEngineClose();
    TvEngineTerm();
    return 0;
}
