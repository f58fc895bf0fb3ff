// 100,000 immediate-mode 3-D triangles a frame at 640 x 480 through the whole engine path
// (transform, clip, submit through the driver onto the Direct3D stand-in), against the same
// screen triangles drawn directly with the stand-in's DrawIndexedPrimitive, reported as a ratio
// (engine / direct). Then 10,000 textured triangles submitted one call per triangle against one
// call per batch, at batches of 100, 1,000 and 3,000 triangles (per triangle / per batch).
#include "bench/ratio_reporter.h"
#include "engine/core/camera.h"
#include "engine/core/d3d/device.h"
#include "engine/core/engine.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/raster.h"

#include <SDL.h>
#include <GL/glcorearb.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTriangles = 100000;
constexpr int kPerBatch = 1000; // triangles per transform: 3000 vertices
constexpr int kTexturedTriangles = 10000;

// Camera at the origin looking along +z with a 90-degree view: depth z, screen fractions
// (sx, sy) lie at x = (1 - 2 sx) z, y = (1 - 2 sy) z.
TvIm3DVertex At(float sx, float sy, float z, uint32_t rgb) {
    return {{(1.0f - 2.0f * sx) * z, (1.0f - 2.0f * sy) * z, z},
            sx,
            sy,
            uint8_t(rgb >> 16),
            uint8_t(rgb >> 8),
            uint8_t(rgb),
            255};
}

// Small screen-clockwise triangles at random depths; one in fifty crosses a screen edge.
std::vector<TvIm3DVertex> MakeScene() {
    std::vector<TvIm3DVertex> v;
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) & 0xFFFF;
    };
    for (int t = 0; t < kTriangles; ++t) {
        const bool crossing = t % 50 == 0;
        float sx =
            float(next() % 1000) / 1000.0f * (crossing ? 1.1f : 0.94f) - (crossing ? 0.05f : 0.0f);
        float sy = float(next() % 1000) / 1000.0f * 0.94f;
        float z = 2.0f + float(next() % 1000) / 20.0f;
        uint32_t rgb = next() << 8 | (next() & 0xFF);
        v.push_back(At(sx, sy, z, rgb));
        v.push_back(At(sx + 0.03f, sy, z, rgb));
        v.push_back(At(sx, sy + 0.04f, z, rgb));
    }
    return v;
}

struct Engine {
    TvCamera* camera = nullptr;
    TvFrame* frame = nullptr;
    TvRaster* fb = nullptr;
    TvRaster* zb = nullptr;
    TvRaster* texture = nullptr;
    HWND window = nullptr;
    bool ok = false;
    std::vector<TvIm3DVertex> scene = MakeScene();
    // The screen vertices and triangle lists the engine handed the driver, one per call.
    std::vector<std::vector<TvIm2DVertex>> captured;
    std::vector<std::vector<uint16_t>> capturedIndices;

    Engine() {
        TvD3DGetDeviceRecord()->deviceControl = TvDeviceControl;
        if (!TvEngineInit(nullptr) || !TvEngineOpen(&window) || !TvEngineSetVideoMode(1) ||
            !TvEngineStart())
            return;
        camera = TvCameraCreate();
        frame = TvFrameCreate();
        fb = TvRasterCreate(640, 480, 0, kTvRasterTypeCamera);
        zb = TvRasterCreate(640, 480, 0, kTvRasterTypeZBuffer);
        texture = TvRasterCreate(4, 4, 0, kTvRasterTypeTexture | 0x200);
        if (!camera || !frame || !fb || !zb || !texture) return;
        if (uint8_t* texels = TvRasterLock(texture, 1)) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    reinterpret_cast<uint16_t*>(texels + y * texture->stride)[x] =
                        (x + y) & 1 ? 0xFFFF : 0x7BEF;
            TvRasterUnlock(texture);
        }
        TvCameraSetFrame(camera, frame);
        TvCameraSetRaster(camera, fb);
        TvCameraSetZRaster(camera, zb);
        TvCameraSetNearClipPlane(camera, 1.0f);
        TvCameraSetFarClipPlane(camera, 100.0f);
        ok = Capture();
    }
    ~Engine() {
        if (camera) {
            TvObjectHasFrameReleaseFrame(&camera->object);
            TvPluginDeinitObject(&TvCameraRegistry, camera);
        }
        if (frame) TvFrameDestroy(frame);
        if (zb) TvRasterDestroy(zb);
        if (texture) TvRasterDestroy(texture);
        if (fb) TvRasterDestroy(fb);
        TvEngineStop();
        TvEngineClose();
        TvEngineTerm();
    }

    bool Begin() {
        static const TvRGBA black = {0, 0, 0, 255};
        return TvCameraBeginUpdate(camera) && TvCameraClear(camera, &black, 3);
    }

    void EngineFrame() {
        Begin();
        for (int b = 0; b < kTriangles / kPerBatch; ++b) {
            if (TvIm3DTransform(&scene[size_t(b) * kPerBatch * 3], kPerBatch * 3, nullptr, 0)) {
                TvIm3DRenderPrimitive(kTvPrimitiveTriangleList);
                TvIm3DEnd();
            }
        }
        TvCameraEndUpdate(camera);
    }

    // 10,000 textured triangles in batches of perBatch, drawn with one call per triangle or
    // one per batch.
    void TexturedFrame(int perBatch, bool perTriangle) {
        Begin();
        TvRenderStateSet(kTvRenderStateTextureRaster, reinterpret_cast<intptr_t>(texture));
        for (int first = 0; first < kTexturedTriangles; first += perBatch) {
            const int n = std::min(perBatch, kTexturedTriangles - first);
            if (!TvIm3DTransform(&scene[size_t(first) * 3], n * 3, nullptr, kTvIm3DVertexUV))
                continue;
            if (perTriangle) {
                for (int t = 0; t < n; ++t)
                    TvIm3DRenderTriangle(3 * t, 3 * t + 1, 3 * t + 2);
            } else {
                TvIm3DRenderPrimitive(kTvPrimitiveTriangleList);
            }
            TvIm3DEnd();
        }
        TvRenderStateSet(kTvRenderStateTextureRaster, 0);
        TvCameraEndUpdate(camera);
    }

    void DirectFrame() {
        Begin();
        IDirect3DDevice3* device = TvD3DDriver.curTarget->device;
        for (size_t i = 0; i < captured.size(); ++i)
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, captured[i].data(),
                                         DWORD(captured[i].size()), capturedIndices[i].data(),
                                         DWORD(capturedIndices[i].size()),
                                         D3DDP_WAIT | D3DDP_DONOTCLIP);
        TvCameraEndUpdate(camera);
    }

    static Engine* capturing;
    static int32_t (*drawThrough)(int32_t, TvIm2DVertex*, int32_t, uint16_t*, int32_t);
    static int32_t CaptureDraw(int32_t type, TvIm2DVertex* v, int32_t count, uint16_t* idx,
                               int32_t n) {
        capturing->captured.emplace_back(v, v + count);
        capturing->capturedIndices.emplace_back(idx, idx + n);
        return drawThrough(type, v, count, idx, n);
    }

    // One engine frame with the driver's 2-D slot watched: what it draws is the direct path.
    bool Capture() {
        TvDeviceRecord& record = TV_ENGINE->deviceRecord;
        capturing = this;
        drawThrough = record.im2DIndexedPrimitive;
        record.im2DIndexedPrimitive = CaptureDraw;
        EngineFrame();
        record.im2DIndexedPrimitive = drawThrough;
        size_t triangles = 0;
        for (const auto& idx : capturedIndices)
            triangles += idx.size() / 3;
        std::printf("engine frame: %zu draw calls, %zu triangles after clipping\n", captured.size(),
                    triangles);
        return triangles > 0;
    }
};
Engine* Engine::capturing = nullptr;
int32_t (*Engine::drawThrough)(int32_t, TvIm2DVertex*, int32_t, uint16_t*, int32_t) = nullptr;

Engine* g_engine = nullptr;
double g_seconds[2] = {0, 0};

void Finish() {
    static auto finish = reinterpret_cast<PFNGLFINISHPROC>(SDL_GL_GetProcAddress("glFinish"));
    if (finish) finish();
}

template <class F> void Measure(benchmark::State& state, F frame) {
    if (!g_engine || !g_engine->ok) {
        state.SkipWithError("engine did not start on the stand-in");
        return;
    }
    for (auto _ : state) {
        frame();
        Finish();
    }
    state.counters["triangles/s"] = benchmark::Counter(
        double(kTriangles) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EngineImmediate3D(benchmark::State& state) {
    Measure(state, [] { g_engine->EngineFrame(); });
}

void BM_StandInDirect(benchmark::State& state) {
    Measure(state, [] { g_engine->DirectFrame(); });
}

// Both in turn within each iteration, so that a change in the machine's load falls on both
// alike; the ratio printed at the end comes from this one.
void BM_EngineAgainstDirectInTurn(benchmark::State& state) {
    if (!g_engine || !g_engine->ok) {
        state.SkipWithError("engine did not start on the stand-in");
        return;
    }
    MeasureInTurn(
        state, [] { g_engine->EngineFrame(); }, [] { g_engine->DirectFrame(); }, [] { Finish(); }, "engine ms",
        "direct ms", g_seconds);
}

// One call per triangle against one call per batch, in turn; the batch size is the argument.
double g_perCall[3][2] = {};
void BM_PerTriangleAgainstPerBatch(benchmark::State& state) {
    if (!g_engine || !g_engine->ok) {
        state.SkipWithError("engine did not start on the stand-in");
        return;
    }
    const int perBatch = int(state.range(0));
    const int slot = perBatch == 100 ? 0 : perBatch == 1000 ? 1 : 2;
    MeasureInTurn(
        state, [perBatch] { g_engine->TexturedFrame(perBatch, true); },
        [perBatch] { g_engine->TexturedFrame(perBatch, false); }, [] { Finish(); },
        "per triangle ms", "per batch ms", g_perCall[slot]);
}

BENCHMARK(BM_PerTriangleAgainstPerBatch)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_EngineImmediate3D)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StandInDirect)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_EngineAgainstDirectInTurn)->Unit(benchmark::kMillisecond)->MinTime(4.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    Engine* engine = new Engine();
    g_engine = engine;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("BM_EngineImmediate3D/min_time:2.000/real_time",
                        "BM_StandInDirect/min_time:2.000/real_time");
    if (g_seconds[0] > 0 && g_seconds[1] > 0)
        std::printf("ratio in turn, engine / direct: %.2f (%.2f ms / %.2f ms a frame)\n",
                    g_seconds[0] / g_seconds[1], g_seconds[0] * 1e3, g_seconds[1] * 1e3);
    const int batches[3] = {100, 1000, 3000};
    for (int i = 0; i < 3; ++i)
        if (g_perCall[i][0] > 0 && g_perCall[i][1] > 0)
            std::printf("batch %d, per triangle / per batch: %.2f (%.2f ms / %.2f ms a frame)\n",
                        batches[i], g_perCall[i][0] / g_perCall[i][1], g_perCall[i][0] * 1e3,
                        g_perCall[i][1] * 1e3);
    benchmark::Shutdown();
    delete engine;
    return 0;
}
