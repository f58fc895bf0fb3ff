// One HUD frame of a full layout (frame sprites, a radar with 256 blips, an energy gauge, the
// depth read-out and the heading tape) through the HUD pass, against the same primitives sent
// straight to the engine's 2-D primitive call, reported as a ratio (HUD / straight; aim: 1.5
// or less). The driver is a stand-in that copies each primitive's vertices into a vertex
// buffer, so that the ratio shows the HUD's own cost.
#include "bench/ratio_reporter.h"
#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/raster.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/hud.h"
#include "game/frontend/radar.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "shell/enginestart.h"
#include "shell/gameinit.h"
#include "tests/support/accepting_device.h"
#include "tests/support/world_grid.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kBlipType = 40;

TvIm2DVertex g_buffer[16384];
size_t g_used = 0;

void Copy(const TvIm2DVertex* v, int32_t n) {
    if (g_used + size_t(n) > std::size(g_buffer)) g_used = 0;
    std::memcpy(g_buffer + g_used, v, sizeof(TvIm2DVertex) * size_t(n));
    g_used += size_t(n);
}
int32_t CopyPrimitive(int32_t, TvIm2DVertex* v, int32_t n) {
    Copy(v, n);
    return 1;
}
int32_t CopyTriangle(TvIm2DVertex* v, int32_t, int32_t a, int32_t b, int32_t c) {
    const TvIm2DVertex t[3] = {v[a], v[b], v[c]};
    Copy(t, 3);
    return 1;
}
int32_t CopyLine(TvIm2DVertex* v, int32_t, int32_t a, int32_t b) {
    const TvIm2DVertex l[2] = {v[a], v[b]};
    Copy(l, 2);
    return 1;
}
int32_t CopyIndexed(int32_t, TvIm2DVertex* v, int32_t n, uint16_t*, int32_t) {
    Copy(v, n);
    return 1;
}
int32_t SetState(int32_t, intptr_t) {
    return 1;
}

// What one HUD frame sent: each call's vertices, replayed as strips.
struct Captured {
    int32_t type;
    std::vector<TvIm2DVertex> vertices;
};
std::vector<Captured> g_captured;

void Put(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
uint32_t Bits(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

// One layout for craft index 0 at 640 in HUD mode 4.
std::vector<uint8_t> Layout() {
    std::vector<std::vector<uint32_t>> elements = {
        {0, 27, 8, 8, 0xC0000000u},
        {0, 28, 600, 8, 0xC0000000u},
        {1, 0, Bits(48.0f), Bits(35.0f), Bits(30.0f), 28, 560, 70},
        {18, 0, 600, 440, 0xFF000000u},
        {17, 29, 256, 8, 0xC0000000u},
    };
    std::vector<uint32_t> gauge = {22, 1, 20, 440, 8, 48u << 24};
    for (uint32_t i = 0; i < 8; ++i) {
        gauge.push_back(6);
        gauge.push_back(0);
        gauge.push_back(uint32_t(-12 * int32_t(i)));
        gauge.push_back(255u << 24);
    }
    elements.push_back(gauge);
    std::vector<uint8_t> body;
    for (const auto& e : elements) {
        Put(body, uint32_t(4 + 4 * e.size()));
        for (uint32_t w : e) Put(body, w);
    }
    std::vector<uint8_t> out;
    Put(out, 1);
    Put(out, uint32_t(88 + body.size()));
    for (uint32_t w : {0u, 4u, 640u, Bits(1.0f), Bits(1.0f), uint32_t(elements.size())}) Put(out, w);
    for (uint32_t w : {94u, 94u, 94u, 95u, 95u, 95u, 4u, 4u, 4u, 0u, 0u, 0xFFFFFFFFu, 0xFFFFFFFFu,
                       0xFFFFFFFFu, 0xFF000000u})
        Put(out, w);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TvMatrix g_subMatrix = {};
MV2Object g_sub = {};
TvRaster g_page = {};

void Frame() {
    MV2RenderHud(&g_sub);
    if (MV2HudBeginDraw(1)) MV2DrawHudOverlay();
}

void Straight() {
    for (const Captured& c : g_captured) {
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(&g_page));
        TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, const_cast<TvIm2DVertex*>(c.vertices.data()),
                              int32_t(c.vertices.size()));
    }
}

void BM_HudFrame(benchmark::State& state) {
    if (gMV2Radar.above + gMV2Radar.below != kMV2RadarBlips) {
        state.SkipWithError("the radar did not show 256 blips");
        return;
    }
    double seconds[2];
    MeasureInTurn(state, [] { Frame(); }, [] { Straight(); }, [] { benchmark::ClobberMemory(); },
                  "hud_ms", "straight_ms", seconds);
}
BENCHMARK(BM_HudFrame)->MinTime(0.5);

bool Attach() {
    return TpWorldPluginAttach() == 1 && TvRandomPluginAttach() == 1 && TpClumpDataPluginAttach();
}

TpClump* SphereClump() {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(clump, frame);
    TpGeometry* geometry = TpGeometryCreate(3, 1, 0);
    const TvSphere sphere{{0, 0, 0}, 0.3f};
    TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0), &sphere);
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, geometry, 0);
    TpGeometryDestroy(geometry);
    TpAtomicSetFrame(atomic, frame);
    TpAtomicSetFlags(atomic, 5);
    TpClumpAddAtomic(clump, atomic);
    return clump;
}

} // namespace

int main(int argc, char** argv) {
    if (!AcceptingEngineStart(Attach) || !MV2InitialiseObjects()) {
        std::fprintf(stderr, "engine did not start\n");
        return 1;
    }
    GridWorld grid = MakeGridWorld(16);
    TV_ENGINE->worldLibrary = grid.world;
    MV2ObjectType* type = MV2GetObjectType(kBlipType);
    type->model = SphereClump();
    type->words[7] = kMV2TypeModelLoaded | 1u << 9;
    type->words[32] = 3u << 28;
    for (int i = 0; i < 300; ++i) {
        const float p[3] = {10.0f + float(i % 20), 2.0f + float(i % 7), 10.0f + float(i / 20)};
        if (!MV2CreateObject(kBlipType, p, nullptr)) {
            std::fprintf(stderr, "object not created\n");
            return 1;
        }
    }
    TvFrameSyncDirty();
    g_subMatrix.at = {0, 0, 1};
    g_subMatrix.pos = {20.0f, 5.0f, 20.0f};
    g_sub.matrix = &g_subMatrix;
    g_sub.type = type;
    g_sub.energy = 50.0f;
    MV2SetTypeFloat(type, 1, 100.0f);
    gMV2GameType = 2;
    gMV2DisplayRequest.width = 640;
    gMV2DisplayRequest.height = 480;
    MV2Set2DScreenScale(640, 480);
    MV2Rect2D whole = {0, 0, 640, 480};
    MV2Set2DClipRect(&whole);
    g_page.width = g_page.height = kMV2Texture2DSize;
    for (MV2Texture2D& row : gMV2Texture2D) row.raster = &g_page;
    const std::vector<uint8_t> layout = Layout();
    uint8_t* data = static_cast<uint8_t*>(TvMalloc(layout.size()));
    std::memcpy(data, layout.data(), layout.size());
    MV2HudSetLayoutData(data, uint32_t(layout.size()));

    static int camera = 0; // a stand-in current camera: render states need one
    TV_ENGINE->curCamera = reinterpret_cast<TvCamera*>(&camera);
    TvDeviceRecord& d = TV_ENGINE->deviceRecord;
    d.renderStateSet = SetState;
    d.im2DPrimitive = [](int32_t type, TvIm2DVertex* v, int32_t n) {
        g_captured.push_back({type, {v, v + n}});
        return int32_t(1);
    };
    d.im2DTriangle = [](TvIm2DVertex* v, int32_t, int32_t a, int32_t b, int32_t c) {
        g_captured.push_back({3, {v[a], v[b], v[c]}});
        return int32_t(1);
    };
    d.im2DLine = [](TvIm2DVertex* v, int32_t, int32_t a, int32_t b) {
        g_captured.push_back({1, {v[a], v[b]}});
        return int32_t(1);
    };
    d.im2DIndexedPrimitive = [](int32_t type, TvIm2DVertex* v, int32_t n, uint16_t*, int32_t) {
        g_captured.push_back({type, {v, v + n}});
        return int32_t(1);
    };
    Frame();
    std::fprintf(stderr, "one frame: %zu primitives, %d blips\n", g_captured.size(),
                 gMV2Radar.above + gMV2Radar.below);
    d.im2DPrimitive = CopyPrimitive;
    d.im2DTriangle = CopyTriangle;
    d.im2DLine = CopyLine;
    d.im2DIndexedPrimitive = CopyIndexed;

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    MV2HudSetLayoutData(nullptr, 0);
    MV2DestroyAllObjects();
    return 0;
}
