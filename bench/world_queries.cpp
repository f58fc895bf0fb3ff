// Sphere and line queries against the atomics of worlds of 500, 2,000 and 8,000 atomics, each
// against testing every atomic's world bounding sphere in turn (the cost of a query without
// the sector tree), in the same run. Prints the ratios at the end; they should stay below 1
// from 2,000 atomics up and must not grow with the count.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "engine/world/intersect.h"
#include "tests/support/accepting_device.h"
#include "tests/support/world_grid.h"

namespace {

constexpr int kQueries = 64;
constexpr float kSphereRadius = 8.0f;
const TvV3d kLineStep{25.0f, 0.0f, 15.0f};

struct Setup {
    GridWorld grid;
    std::vector<TvSphere> spheres;
    std::vector<TpLine> lines;
};

std::vector<std::pair<int, Setup*>> made;

Setup& WorldOf(int count) {
    for (auto& [n, s] : made)
        if (n == count) return *s;
    auto* s = new Setup{MakeGridWorld(count), {}, {}};
    uint32_t state = 777;
    for (int i = 0; i < kQueries; i++) {
        const float x = GridRandom(state) * (s->grid.side - 30),
                    z = GridRandom(state) * (s->grid.side - 20);
        s->spheres.push_back({{x + 10, 5, z + 10}, kSphereRadius});
        s->lines.push_back({{x, 5, z}, {x + kLineStep.x, 5, z + kLineStep.z}});
    }
    made.push_back({count, s});
    return *s;
}

int g_hits = 0;
TpAtomic* CountHit(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    g_hits++;
    return atomic;
}

bool SphereHits(const TvSphere& q, const TvSphere& s) {
    const TvV3d d = TvV3dSub(s.center, q.center);
    const float reach = q.radius + s.radius;
    return TvV3dDot(d, d) < reach * reach;
}

bool LineHits(const TpLine& line, const TvSphere& s) {
    TvV3d dir = TvV3dSub(line.end, line.start);
    const float length = TvV3dNormalize(&dir, &dir);
    const TvV3d v = TvV3dSub(s.center, line.start);
    const float proj = TvV3dDot(v, dir), v2 = TvV3dDot(v, v), r2 = s.radius * s.radius;
    if (v2 < r2) return true;
    return proj >= 0 && proj <= length && r2 - (v2 - proj * proj) >= 0;
}

void Put(TpIntersection& in, const TvSphere& q) {
    in.type = kTpIntersectSphere;
    in.t.sphere = q;
}
void Put(TpIntersection& in, const TpLine& q) {
    in.type = kTpIntersectLine;
    in.t.line = q;
}

// The queries of a world through its sector tree, against every atomic tested in turn.
template <typename Q>
void Queries(benchmark::State& state, std::vector<Q> Setup::*queries,
             bool (*hits)(const Q&, const TvSphere&)) {
    Setup& s = WorldOf(int(state.range(0)));
    double seconds[2];
    MeasureInTurn(
        state,
        [&] {
            for (const Q& q : s.*queries) {
                TpIntersection in{};
                Put(in, q);
                TpWorldForAllAtomicIntersections(s.grid.world, &in, CountHit, nullptr);
            }
        },
        [&] {
            for (const Q& q : s.*queries)
                for (TpAtomic* a : s.grid.atomics)
                    g_hits += hits(q, *TpAtomicGetWorldBoundingSphere(a));
        },
        [] { benchmark::DoNotOptimize(g_hits); }, "tree ms", "every atomic ms", seconds);
}

void SphereQueries(benchmark::State& state) {
    Queries(state, &Setup::spheres, SphereHits);
}
void LineQueries(benchmark::State& state) {
    Queries(state, &Setup::lines, LineHits);
}

BENCHMARK(SphereQueries)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMicrosecond);
BENCHMARK(LineQueries)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMicrosecond);

bool Attach() {
    return TpWorldPluginAttach() == 1;
}

} // namespace

int main(int argc, char** argv) {
    if (!AcceptingEngineStart(Attach)) {
        std::fprintf(stderr, "engine did not start\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (auto& [n, s] : made) {
        DestroyGridWorld(s->grid);
        delete s;
    }
    TvEngineStop();
    TvEngineClose();
    TvEngineTerm();
    return 0;
}
