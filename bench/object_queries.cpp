// Message 2 sent to an object through the send order with a brain installed, against a direct
// call of the object's type handler (aim: 1.5 or less); and the collision-grid sphere query on a
// 2,000-triangle atomic against testing every triangle with the same test (aim: 0.25 or less).
// Both ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "bench/ratio_reporter.h"
#include "engine/world/random.h"
#include "game/objects/clumpdata.h"
#include "game/objects/collision.h"
#include "game/objects/modeltags.h"
#include "game/objects/utilities.h"
#include "engine/core/memory.h"
#include "tests/support/mesh_clump.h"
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

constexpr int kQueries = 256;
TpAtomic* g_tree = nullptr;
TvV3d g_centres[kQueries];
constexpr float kQueryRadius = 1.0f;

void GridSphereQuery(benchmark::State& state) {
    MV2TriangleHit hits[8];
    for (auto _ : state) {
        int32_t sum = 0;
        for (const TvV3d& c : g_centres)
            sum += MV2CollisionTreeSphereQuery(g_tree, &c, kQueryRadius, 8, hits);
        benchmark::DoNotOptimize(sum);
    }
}

void EveryTriangle(benchmark::State& state) {
    const TpGeometry* g = TpAtomicGetGeometry(g_tree);
    TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 0));
    const TpTriangle* t = TpGeometryGetTriangles(g);
    const int32_t n = TpGeometryGetNumTriangles(g);
    MV2TriangleHit hits[8];
    for (auto _ : state) {
        int32_t sum = 0;
        for (const TvV3d& c : g_centres) {
            int32_t found = 0;
            for (int32_t i = 0; i < n; i++) {
                const TvV3d& a = v[t[i].vertex[0]];
                const TvV3d& b = v[t[i].vertex[1]];
                const TvV3d& d = v[t[i].vertex[2]];
                TvV3d normal = TvV3dCross(TvV3dSub(b, a), TvV3dSub(d, a));
                normal = TvV3dScale(normal, 1.0f / std::sqrt(TvV3dDot(normal, normal)));
                if (MV2SphereTouchesTriangle(&c, kQueryRadius, &normal, &a, &b, &d) && found < 8)
                    hits[found++].normal = normal;
            }
            sum += found;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(hits);
    }
}

BENCHMARK(GridSphereQuery);
BENCHMARK(EveryTriangle);

bool Attach() {
    return TpWorldPluginAttach() == 1 && TvRandomPluginAttach() == 1 &&
           TpAtomicCollDataPluginAttach() == 1 && TpAtomicDataPluginAttach() == 1 &&
           TpClumpDataPluginAttach();
}

// A 25 x 40 plane of 2,000 triangles with its grid, read back from a file in a scratch folder.
TpClump* MakeTree() {
    char folder[] = "/tmp/bench_object_queries_XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return nullptr;
    TpClump* clump = MakeMeshClump({PlaneMesh(25, 40, 25.0f, 40.0f, 1)});
    void* block = nullptr;
    if (MV2WriteCollisionFile(clump, ".\\tree.col"))
        block = MV2ReadCollisionFile(".\\tree.col", clump);
    std::remove("tree.col");
    rmdir(folder);
    if (!block) return nullptr;
    g_tree = MV2GetFirstAtomic(clump);
    uint32_t seed = 12345;
    for (TvV3d& c : g_centres)
        c = {GridRandom(seed) * 25.0f, GridRandom(seed) * 40.0f, GridRandom(seed) - 0.5f};
    return clump;
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
    if (!MakeTree()) {
        std::fprintf(stderr, "collision grid not built\n");
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatio("SendThroughBrain", "DirectTypeHandler");
    reporter.PrintRatio("GridSphereQuery", "EveryTriangle");

    MV2DestroyAllObjects();
    TV_ENGINE->worldLibrary = nullptr;
    DestroyGridWorld(grid);
    MV2FreeObjectTypes();
    TvEngineStop();
    TvEngineClose();
    TvEngineTerm();
    return 0;
}
