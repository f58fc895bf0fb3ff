// TvMatrixMultiply against a plain loop of the same arithmetic, and synchronising a hierarchy of
// 10,000 frames against a plain loop over parent-ordered arrays. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench/ratio_reporter.h"
#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "tests/support/accepting_device.h"

namespace {

constexpr int kMatrices = 1024;
constexpr int kFrames = 10000;
constexpr int kFanOut = 8; // children per frame

TvMatrix Sample(int i) {
    TvMatrix m{};
    TvMatrixSetIdentity(&m);
    const TvV3d axis = {1.0f, float(i % 7), 2.0f};
    TvMatrixRotate(&m, &axis, float(i % 360), kTvCombineReplace);
    m.pos = {float(i), 1.0f, -float(i)};
    m.flags = 0; // neither identity nor orthonormal: the full product every time
    return m;
}

struct Operands {
    std::vector<TvMatrix> a, b, out;
    Operands() : out(kMatrices) {
        for (int i = 0; i < kMatrices; ++i) {
            a.push_back(Sample(i));
            b.push_back(Sample(i + 11));
        }
    }
};

Operands& Ops() {
    static Operands ops;
    return ops;
}

// The product a x b, row by row, as a caller would write it by hand.
inline void PlainMultiply(TvMatrix& d, const TvMatrix& a, const TvMatrix& b) {
    auto row = [&b](const TvV3d& v) {
        return TvV3d{v.x * b.right.x + v.y * b.up.x + v.z * b.at.x,
                     v.x * b.right.y + v.y * b.up.y + v.z * b.at.y,
                     v.x * b.right.z + v.y * b.up.z + v.z * b.at.z};
    };
    d.right = row(a.right);
    d.up = row(a.up);
    d.at = row(a.at);
    d.pos = TvV3dAdd(row(a.pos), b.pos);
}

void MatrixMultiply(benchmark::State& state) {
    Operands& o = Ops();
    for (auto _ : state) {
        for (int i = 0; i < kMatrices; ++i)
            TvMatrixMultiply(&o.out[i], &o.a[i], &o.b[i]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kMatrices);
}

void PlainMatrixMultiply(benchmark::State& state) {
    Operands& o = Ops();
    for (auto _ : state) {
        for (int i = 0; i < kMatrices; ++i)
            PlainMultiply(o.out[i], o.a[i], o.b[i]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kMatrices);
}

// Frame i's parent is frame (i - 1) / kFanOut; frame 0 is the root.
int ParentOf(int i) {
    return i == 0 ? -1 : (i - 1) / kFanOut;
}

void FrameSync(benchmark::State& state) {
    std::vector<TvFrame*> frames(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        frames[i] = TvFrameCreate();
        TvMatrixTransform(&frames[i]->modelling, &Ops().a[i % kMatrices], kTvCombineReplace);
        if (i > 0) TvFrameAddChild(frames[ParentOf(i)], frames[i]);
    }
    TvFrameSyncDirty();
    const TvV3d step = {0.001f, 0.0f, 0.0f};
    for (auto _ : state) {
        // Moving the root makes every world matrix stale.
        TvFrameTranslate(frames[0], &step, kTvCombinePostConcat);
        TvFrameSyncDirty();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
    TvFrameDestroyHierarchy(frames[0]);
}

void PlainFrameSync(benchmark::State& state) {
    std::vector<TvMatrix> local(kFrames), world(kFrames);
    std::vector<int> parent(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        local[i] = Ops().a[i % kMatrices];
        parent[i] = ParentOf(i);
    }
    const TvV3d step = {0.001f, 0.0f, 0.0f};
    for (auto _ : state) {
        local[0].pos = TvV3dAdd(local[0].pos, step);
        world[0] = local[0];
        for (int i = 1; i < kFrames; ++i)
            PlainMultiply(world[i], local[i], world[parent[i]]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
}

BENCHMARK(PlainMatrixMultiply);
BENCHMARK(MatrixMultiply);
BENCHMARK(PlainFrameSync)->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameSync)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!AcceptingEngineStart()) {
        std::fprintf(stderr, "engine did not start\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("MatrixMultiply", "PlainMatrixMultiply");
    reporter.PrintRatio("FrameSync", "PlainFrameSync");
    benchmark::Shutdown();
    TvEngineStop();
    TvEngineClose();
    TvEngineTerm();
    return 0;
}
