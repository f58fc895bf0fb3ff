// One effect pass over full pools (10 explosions with rings, 80 bubbles, 80 fireballs, 40 flak
// bursts, 25 sparks, 120 coronas) on the Direct3D stand-in, against the same number of
// triangles drawn pre-built in one immediate-mode batch; reported as a ratio (pass / batch).
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
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
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
    std::vector<MV2CoronaLight> lights = std::vector<MV2CoronaLight>(120);
    std::vector<TvIm3DVertex> batch;
    int32_t triangles = 0;

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
        gMV2FarClip.distance = 30.0f;
        gMV2FarClip.inverse = 1.0f / 30.0f;
        gMV2FrameTimer.ticks = 1.0f;
        MV2SetWaterHeight(1000.0f);
        TvTextureSetReadCallBack(EffectBenchTexture);
        if (!MV2InitialiseObjects() || !MV2InitialiseSFX() || !MV2InitialiseExplosions() ||
            !MV2InitialiseBubbles() || !MV2InitialiseFireballs() || !MV2InitialiseSparks() ||
            !MV2InitialiseGravel())
            return;
        MV2ObjectType* carrier = MV2GetObjectType(kMV2CarrierType);
        carrier->model = EffectBenchDot();
        carrier->words[7] = kMV2TypeModelLoaded;
        Fill();
        ok = Capture();
    }
    ~Bench() {
        MV2DestroyAllObjects();
        TvEngineStop();
        TvEngineClose();
        TvEngineTerm();
    }

    // Every pool full, in view of the camera.
    void Fill() {
        MV2InViewUpdateFlag = 1;
        for (int32_t i = 0; i < kMV2Explosions; i++) {
            const float at[3] = {float(i % 5) - 2.0f, float(i / 5) - 0.5f, 12.0f};
            MV2CreateExplosion(at, 1.0f, 0.0f, nullptr, uint32_t(i), 1);
        }
        for (int32_t i = 0; i < kMV2Bubbles; i++) {
            const float at[3] = {float(i % 10) * 0.4f - 2.0f, float(i / 10) * 0.4f - 1.5f, 8.0f};
            MV2CreateBubble(at, nullptr, 0.1f);
        }
        for (int32_t i = 0; i < kMV2Fireballs; i++) {
            const float at[3] = {float(i % 10) * 0.4f - 2.0f, float(i / 10) * 0.4f - 1.5f, 9.0f};
            MV2CreateFireball(at, nullptr, 0.3f, nullptr, 0.0f, 200);
        }
        for (int32_t i = 0; i < kMV2FlakBursts; i++) {
            const float at[3] = {float(i % 8) - 4.0f, float(i / 8) - 2.0f, 14.0f};
            MV2CreateFlak(at, 0.5f, 100000, kMV2FlakCopyPoint | kMV2FlakKeep);
        }
        const float up[3] = {0, 0, -1};
        for (int32_t i = 0; i < kMV2Sparks; i++) {
            const float at[3] = {float(i % 5) - 2.0f, float(i / 5) - 2.0f, 10.0f};
            MV2CreateSparks(at, up, 0);
        }
        MV2InViewUpdateFlag = 0;
        for (size_t i = 0; i < lights.size(); i++)
            lights[i] = {1.0f, 0.8f, 0.5f, 0.3f, 1.0f, 0x1004};
    }

    bool Begin() {
        static const TvRGBA black = {0, 0, 0, 255};
        return TvCameraBeginUpdate(camera) && TvCameraClear(camera, &black, 3);
    }

    void PassFrame() {
        Begin();
        for (size_t i = 0; i < lights.size(); i++) {
            const TvV3d at{float(i % 12) * 0.5f - 3.0f, float(i / 12) * 0.5f - 2.5f, 11.0f};
            MV2QueueCorona(&lights[i], &at);
        }
        MV2RenderEffects(camera);
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

    static Bench* counting;
    static int32_t (*drawThrough)(int32_t, TvIm2DVertex*, int32_t, uint16_t*, int32_t);
    static int32_t Count(int32_t type, TvIm2DVertex* v, int32_t count, uint16_t* idx, int32_t n) {
        counting->triangles += type == kTvPrimitiveTriangleList ? n / 3 : n - 2;
        return drawThrough(type, v, count, idx, n);
    }

    // One pass with the driver's 2-D slot watched counts the triangles it draws; the batch gets
    // as many small camera-facing triangles at the same depths.
    bool Capture() {
        TvDeviceRecord& record = TV_ENGINE->deviceRecord;
        counting = this;
        drawThrough = record.im2DIndexedPrimitive;
        record.im2DIndexedPrimitive = Count;
        PassFrame();
        record.im2DIndexedPrimitive = drawThrough;
        for (int32_t t = 0; t < triangles; t++) {
            const float x = float(t % 40) * 0.15f - 3.0f, y = float(t / 40 % 30) * 0.15f - 2.0f;
            const float z = 8.0f + float(t % 7);
            batch.push_back({{x, y, z}, 0, 0, 200, 200, 200, 255});
            batch.push_back({{x + 0.1f, y, z}, 1, 0, 200, 200, 200, 255});
            batch.push_back({{x, y + 0.1f, z}, 0, 1, 200, 200, 200, 255});
        }
        std::printf("effect pass: %d triangles drawn\n", triangles);
        return triangles > 0;
    }
};
Bench* Bench::counting = nullptr;
int32_t (*Bench::drawThrough)(int32_t, TvIm2DVertex*, int32_t, uint16_t*, int32_t) = nullptr;

Bench* g_bench = nullptr;
double g_seconds[2] = {0, 0};

void BM_EffectPassAgainstOneBatch(benchmark::State& state) {
    if (!g_bench || !g_bench->ok) {
        state.SkipWithError("the effect pools could not be filled on the stand-in");
        return;
    }
    MeasureInTurn(
        state, [] { g_bench->PassFrame(); }, [] { g_bench->BatchFrame(); }, EffectBenchFinish,
        "pass ms", "batch ms", g_seconds);
}
BENCHMARK(BM_EffectPassAgainstOneBatch)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    Bench* bench = new Bench();
    g_bench = bench;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    EffectBenchPrintRatio("effect pass", g_seconds);
    benchmark::Shutdown();
    delete bench;
    return 0;
}
