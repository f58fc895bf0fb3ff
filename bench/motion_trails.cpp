// Motion trails: one update and one draw of 96 trails holding the whole pool of 1,500 points
// on the Direct3D stand-in, against the same number of triangles drawn pre-built in one
// immediate-mode batch; reported as a ratio (trails / batch).
#include "bench/effect_stand_in.h"
#include "bench/ratio_reporter.h"
#include "engine/core/camera.h"
#include "engine/core/d3d/device.h"
#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "engine/world/world_plugin.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/sky.h"
#include "game/objects/water.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"

#include <SDL.h>
#include <GL/glcorearb.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

struct Bench {
    TvCamera* camera = nullptr;
    TvFrame* frame = nullptr;
    TvRaster* fb = nullptr;
    TvRaster* zb = nullptr;
    HWND window = nullptr;
    bool ok = false;
    std::vector<TvIm3DVertex> batch;

    Bench() {
        TvD3DGetDeviceRecord()->deviceControl = TvDeviceControl;
        if (!TvEngineInit(nullptr) || !EffectBenchAttach() || !TvEngineOpen(&window) ||
            !TvEngineSetVideoMode(1) || !TvEngineStart())
            return;
        camera = TvCameraCreate();
        frame = TvFrameCreate();
        fb = TvRasterCreate(640, 480, 0, kTvRasterTypeCamera);
        zb = TvRasterCreate(640, 480, 0, kTvRasterTypeZBuffer);
        if (!camera || !frame || !fb || !zb) return;
        TvCameraSetFrame(camera, frame);
        TvCameraSetRaster(camera, fb);
        TvCameraSetZRaster(camera, zb);
        TvCameraSetNearClipPlane(camera, 0.1f);
        TvCameraSetFarClipPlane(camera, 30.0f);
        TvMatrix* m = TvFrameGetMatrix(frame);
        m->right = {1, 0, 0}; // up x at, as the game's cameras have it
        m->up = {0, 1, 0};
        m->at = {0, 0, 1};
        m->pos = {0, 0, 0};
        TvFrameUpdateObjects(frame);
        gMV2MainCamera = camera;
        gMV2EffectCamera = camera;
        gMV2FarClip.distance = 30.0f;
        gMV2FarClip.inverse = 1.0f / 30.0f;
        MV2SetWaterHeight(1000.0f);
        TvTextureSetReadCallBack(EffectBenchTexture);
        if (!MV2InitialiseObjects() || !MV2InitialiseMTrails()) return;
        MV2ObjectType* owner = MV2GetObjectType(kMV2CarrierType);
        owner->model = EffectBenchDot();
        owner->words[7] = kMV2TypeModelLoaded;
        Fill();
        ok = Capture();
        gMV2FrameTimer.ticks = 0.0f; // the points stay: every frame draws the same pool
    }
    ~Bench() {
        MV2ShutdownMTrails();
        MV2DestroyAllObjects();
        TvEngineStop();
        TvEngineClose();
        TvEngineTerm();
    }

    // 96 trails across the view, each 16 points long, until the point pool is used up.
    void Fill() {
        gMV2FrameTimer.ticks = 1.0f;
        for (int32_t i = 0; i < kMV2MTrails; i++) {
            const float at[3] = {0, 0, 0};
            MV2Object* o = MV2CreateObject(kMV2CarrierType, at, nullptr);
            if (!o) return;
            TvMatrix m = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                          {float(i % 12) * 0.5f - 3.0f, float(i / 12) * 0.5f - 2.0f, 6.0f}, 3, 0};
            MV2EmitMTrail(uintptr_t(o), o->handle, 0, 1.0f, &m);
            for (int32_t step = 0; step < 16; step++) {
                m.pos.z += 0.5f;
                MV2EmitMTrail(uintptr_t(o), o->handle, 0, 1.0f, &m);
            }
        }
    }

    bool Begin() {
        static const TvRGBA black = {0, 0, 0, 255};
        return TvCameraBeginUpdate(camera) && TvCameraClear(camera, &black, 3);
    }

    void TrailFrame() {
        Begin();
        MV2UpdateMTrails();
        MV2DrawMTrails(camera);
        TvCameraEndUpdate(camera);
    }

    void BatchFrame() {
        Begin();
        TvRenderStateSet(kTvRenderStateTextureRaster, 0);
        if (TvIm3DTransform(batch.data(), int32_t(batch.size()), nullptr, kTvIm3DVertexUV)) {
            TvIm3DRenderPrimitive(kTvPrimitiveTriangleList);
            TvIm3DEnd();
        }
        TvCameraEndUpdate(camera);
    }

    static int32_t triangles;
    static int32_t (*drawThrough)(int32_t, TvIm2DVertex*, int32_t, uint16_t*, int32_t);
    static int32_t Count(int32_t type, TvIm2DVertex* v, int32_t count, uint16_t* idx, int32_t n) {
        triangles += type == kTvPrimitiveTriangleList ? n / 3 : n - 2;
        return drawThrough(type, v, count, idx, n);
    }

    // The batch: the trails' own triangles, laid out as the draw lays them. One trail frame
    // with the driver's 2-D slot watched counts the triangles that reach the screen.
    bool Capture() {
        TvDeviceRecord& record = TV_ENGINE->deviceRecord;
        drawThrough = record.im2DIndexedPrimitive;
        record.im2DIndexedPrimitive = Count;
        TrailFrame();
        record.im2DIndexedPrimitive = drawThrough;
        std::printf("motion trails: %d triangles drawn\n", triangles);
        const int32_t points = MV2LiveMTrailPoints();
        for (MV2MTrail* t = MV2FirstMTrail(); t; t = MV2NextMTrail(t))
            for (MV2MTrailPoint* p = t->newest; p; p = p->trailNext) {
                batch.push_back({p->tip, 0, 1, 192, 192, 192, 255});
                batch.push_back({p->left, 0.5f, 0, 192, 192, 192, 255});
                batch.push_back({p->right, 1, 1, 192, 192, 192, 255});
            }
        std::printf("motion trails: %d points in the pool\n", points);
        return points > 0 && triangles > 0;
    }
};

int32_t Bench::triangles = 0;
int32_t (*Bench::drawThrough)(int32_t, TvIm2DVertex*, int32_t, uint16_t*, int32_t) = nullptr;

Bench* g_bench = nullptr;
double g_seconds[2] = {0, 0};

void BM_MotionTrailsAgainstOneBatch(benchmark::State& state) {
    if (!g_bench || !g_bench->ok) {
        state.SkipWithError("the motion trails could not be filled on the stand-in");
        return;
    }
    MeasureInTurn(
        state, [] { g_bench->TrailFrame(); }, [] { g_bench->BatchFrame(); }, EffectBenchFinish,
        "trails ms", "batch ms", g_seconds);
}
BENCHMARK(BM_MotionTrailsAgainstOneBatch)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    Bench* bench = new Bench();
    g_bench = bench;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    EffectBenchPrintRatio("motion trails", g_seconds);
    benchmark::Shutdown();
    delete bench;
    return 0;
}
