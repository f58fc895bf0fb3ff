// One frame of play in the first level of the generated sample data, at 640 x 480 on the
// Direct3D stand-in (Mesa's software rasteriser when headless): the game update and the render
// timed apart, and the whole frame against the same frame's calls to the stand-in's device
// replayed straight into it, reported as a ratio (frame / replay). The difference is the game's
// own work; its share of the frame is printed beside the frames a second (run under
// `taskset -c 0,1` with LP_NUM_THREADS=2 for the figure on two cores).
//
// The view is the busiest heading of the player's craft at its start point; when fewer than 100
// objects are in view, the set-up adds props of a sample type in front of the camera until there
// are.
#include "bench/effect_stand_in.h"
#include "bench/game_level.h"
#include "bench/ratio_reporter.h"
#include "engine/core/d3d/device.h"
#include "engine/world/world.h"
#include "game/objects/dynamics.h"
#include "shell/controls.h"
#include "shell/events.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/render.h"
#include "shell/settings.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

// ---- The frame's device calls, recorded on their way to the stand-in ----

enum class Op : uint8_t { Clear, Begin, End, Texture, State, StageState, Draw, DrawIndexed };

struct Call {
    Op op = Op::Begin;
    uint32_t a = 0, b = 0; // state and value, stage and texture, primitive type and format
    IDirect3DTexture2* texture = nullptr;
    D3DRECT rect = {};
    uint32_t vertexAt = 0, vertexCount = 0, indexAt = 0, indexCount = 0;
    uint32_t flags = 0; // draw flags, clear flags, the stage of a stage state
};

Call MakeCall(Op op, uint32_t a = 0, uint32_t b = 0, IDirect3DTexture2* texture = nullptr,
              uint32_t flags = 0) {
    Call c;
    c.op = op;
    c.a = a;
    c.b = b;
    c.texture = texture;
    c.flags = flags;
    return c;
}

struct Recording {
    bool on = false;
    std::vector<Call> calls;
    std::vector<D3DTLVERTEX> vertices;
    std::vector<WORD> indices;
    uint64_t triangles = 0; // counted always, recorded or not
    void Clear() {
        for (const Call& c : calls)
            if (c.op == Op::Texture && c.texture) c.texture->Release();
        calls.clear();
        vertices.clear();
        indices.clear();
    }
};
Recording g_rec;

uint64_t Triangles(D3DPRIMITIVETYPE type, DWORD n) {
    if (type == D3DPT_TRIANGLELIST) return n / 3;
    if ((type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN) && n >= 3) return n - 2;
    return 0;
}

// Passes every call on to the stand-in's device, noting it while recording.
class RecordingDevice final : public IDirect3DDevice3 {
public:
    explicit RecordingDevice(IDirect3DDevice3* real) : real_(real) {}
    IDirect3DDevice3* real_;

    HRESULT QueryInterface(REFIID iid, void** out) override { return real_->QueryInterface(iid, out); }
    ULONG AddRef() override { return real_->AddRef(); }
    ULONG Release() override { return real_->Release(); }
    HRESULT AddViewport(IDirect3DViewport3* v) override { return real_->AddViewport(v); }
    HRESULT SetCurrentViewport(IDirect3DViewport3* v) override { return real_->SetCurrentViewport(v); }
    HRESULT GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) override { return real_->GetCaps(hal, hel); }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, void* context) override {
        return real_->EnumTextureFormats(cb, context);
    }
    HRESULT BeginScene() override {
        Note(MakeCall(Op::Begin));
        return real_->BeginScene();
    }
    HRESULT EndScene() override {
        Note(MakeCall(Op::End));
        return real_->EndScene();
    }
    HRESULT SetTexture(DWORD stage, IDirect3DTexture2* texture) override {
        if (g_rec.on && texture) texture->AddRef(); // kept until the recording is cleared
        Note(MakeCall(Op::Texture, stage, 0, texture));
        return real_->SetTexture(stage, texture);
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        Note(MakeCall(Op::State, state, value));
        return real_->SetRenderState(state, value);
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override {
        Note(MakeCall(Op::StageState, state, value, nullptr, stage));
        return real_->SetTextureStageState(stage, state, value);
    }
    HRESULT SetLightState(D3DLIGHTSTATETYPE state, DWORD value) override {
        return real_->SetLightState(state, value);
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD format, void* v, DWORD n, DWORD flags) override {
        g_rec.triangles += Triangles(type, n);
        if (g_rec.on && v) {
            Call c = MakeCall(Op::Draw, type, format);
            c.vertexAt = uint32_t(g_rec.vertices.size());
            c.vertexCount = n;
            c.flags = flags;
            const auto* tl = static_cast<const D3DTLVERTEX*>(v);
            g_rec.vertices.insert(g_rec.vertices.end(), tl, tl + n);
            g_rec.calls.push_back(c);
        }
        return real_->DrawPrimitive(type, format, v, n, flags);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD format, void* v, DWORD n, WORD* idx,
                                 DWORD ni, DWORD flags) override {
        g_rec.triangles += Triangles(type, ni);
        if (g_rec.on && v && idx) {
            Call c = MakeCall(Op::DrawIndexed, type, format);
            c.vertexAt = uint32_t(g_rec.vertices.size());
            c.vertexCount = n;
            c.indexAt = uint32_t(g_rec.indices.size());
            c.indexCount = ni;
            c.flags = flags;
            const auto* tl = static_cast<const D3DTLVERTEX*>(v);
            g_rec.vertices.insert(g_rec.vertices.end(), tl, tl + n);
            g_rec.indices.insert(g_rec.indices.end(), idx, idx + ni);
            g_rec.calls.push_back(c);
        }
        return real_->DrawIndexedPrimitive(type, format, v, n, idx, ni, flags);
    }

private:
    static void Note(const Call& c) {
        if (g_rec.on) g_rec.calls.push_back(c);
    }
};

class RecordingViewport final : public IDirect3DViewport3 {
public:
    explicit RecordingViewport(IDirect3DViewport3* real) : real_(real) {}
    IDirect3DViewport3* real_;

    HRESULT QueryInterface(REFIID iid, void** out) override { return real_->QueryInterface(iid, out); }
    ULONG AddRef() override { return real_->AddRef(); }
    ULONG Release() override { return real_->Release(); }
    HRESULT SetViewport2(D3DVIEWPORT2* v) override { return real_->SetViewport2(v); }
    HRESULT SetBackground(D3DMATERIALHANDLE m) override { return real_->SetBackground(m); }
    HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags) override {
        if (g_rec.on && count == 1 && rects) {
            Call c = MakeCall(Op::Clear, flags);
            c.rect = rects[0];
            g_rec.calls.push_back(c);
        }
        return real_->Clear(count, rects, flags);
    }
};

// The render targets the cameras draw through (the start-up one in full-screen mode, else each
// camera's own), their device and viewport put behind the recording ones while the bench runs.
struct Interception {
    struct Swap {
        TvD3DRenderTarget* target;
        RecordingDevice* device;
        RecordingViewport* viewport;
    };
    std::vector<Swap> swaps;
    IDirect3DDevice3* device = nullptr; // the stand-in's that the main camera draws with
    IDirect3DViewport3* viewport = nullptr;

    void Install() {
        TvD3DRenderTarget* main =
            TvD3DDriver.fullScreen ? &TvD3DDriver.startTarget : TvD3DGetCameraTarget(gMV2MainCamera);
        if (main) {
            device = main->device;
            viewport = main->viewport;
        }
        for (TvD3DRenderTarget* t : {&TvD3DDriver.startTarget, TvD3DGetCameraTarget(gMV2MainCamera),
                                     TvD3DGetCameraTarget(gMV2SubCamera)}) {
            if (!t || !t->device || !t->viewport) continue;
            Swap s{t, new RecordingDevice(t->device), new RecordingViewport(t->viewport)};
            t->device = s.device;
            t->viewport = s.viewport;
            swaps.push_back(s);
        }
    }
    void Remove() {
        for (const Swap& s : swaps) {
            if (s.target->device == s.device) s.target->device = s.device->real_;
            if (s.target->viewport == s.viewport) s.target->viewport = s.viewport->real_;
            delete s.device;
            delete s.viewport;
        }
        swaps.clear();
    }
};
Interception g_hook;

// The recorded frame sent straight to the stand-in: the same calls, the same vertices, then
// the same presentation.
void Replay() {
    IDirect3DDevice3* d = g_hook.device;
    IDirect3DViewport3* v = g_hook.viewport;
    for (Call& c : g_rec.calls) {
        switch (c.op) {
        case Op::Clear: v->Clear(1, &c.rect, c.a); break;
        case Op::Begin: d->BeginScene(); break;
        case Op::End: d->EndScene(); break;
        case Op::Texture: d->SetTexture(c.a, c.texture); break;
        case Op::State: d->SetRenderState(D3DRENDERSTATETYPE(c.a), c.b); break;
        case Op::StageState:
            d->SetTextureStageState(c.flags, D3DTEXTURESTAGESTATETYPE(c.a), c.b);
            break;
        case Op::Draw:
            d->DrawPrimitive(D3DPRIMITIVETYPE(c.a), c.b, &g_rec.vertices[c.vertexAt], c.vertexCount,
                             c.flags);
            break;
        case Op::DrawIndexed:
            d->DrawIndexedPrimitive(D3DPRIMITIVETYPE(c.a), c.b, &g_rec.vertices[c.vertexAt],
                                    c.vertexCount, &g_rec.indices[c.indexAt], c.indexCount,
                                    c.flags);
            break;
        }
    }
    if (TvD3DDriver.primary) TvD3DDriver.primary->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC);
}

// ---- The game's frame, as the in-game pass runs it ----

constexpr uint32_t kFrameMs = 33;

// The player's craft held where the busiest view was found: left alone it sinks out of the
// view over the run, and later frames would draw less and less.
TvMatrix g_held = {};
bool g_holding = false;

void Hold() {
    MV2Object* sub = MV2GetPlayerSub();
    if (!g_holding || !sub || !sub->clump) return;
    if (sub->body) sub->body->velocity = sub->body->angularVelocity = TvV3d{0, 0, 0};
    TvFrame* frame = MV2GetRootFrame(sub->clump);
    *TvFrameGetMatrix(frame) = g_held;
    TvFrameUpdateObjects(frame);
}

// The landscape's sectors drawn, counted on their way to the world's own sector callback: the
// view must hold the landscape, not only objects.
TpWorldSectorRenderCallBack g_sectorRender = nullptr;
uint64_t g_sectors = 0;
TpWorldSector* CountingSectorRender(TpWorldSector* sector) {
    ++g_sectors;
    return g_sectorRender ? g_sectorRender(sector) : sector;
}

void Update() {
    Hold();
    PlatformAdvanceClock(kFrameMs);
    MV2UpdateFrameTimer(0);
    MV2PumpMessages();
    MV2ProcessControls(gMV2GameState.current);
    MV2UpdateGameFrame();
}

void Render() {
    MV2RenderGameFrame();
    EffectBenchFinish();
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

bool g_ready = false;
uint64_t g_recordedTriangles = 0;
double g_seconds[5] = {0, 0, 0, 0, 0}; // update, render, replay per frame; triangles and
                                       // landscape sectors per frame

// Update, render and replay in turn within each iteration, so that a change in the machine's
// load falls on all alike.
void BM_GameFrameAgainstReplay(benchmark::State& state) {
    if (!g_ready) {
        state.SkipWithError("the first level could not be started on the stand-in");
        return;
    }
    double t[3] = {0, 0, 0};
    const uint64_t trianglesBefore = g_rec.triangles, sectorsBefore = g_sectors;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        Update();
        t[0] += Seconds(start);
        start = std::chrono::steady_clock::now();
        Render();
        t[1] += Seconds(start);
        start = std::chrono::steady_clock::now();
        Replay();
        EffectBenchFinish();
        t[2] += Seconds(start);
    }
    const double n = double(state.iterations());
    for (int i = 0; i < 3; ++i)
        g_seconds[i] = t[i] / n;
    g_seconds[3] = double(g_rec.triangles - trianglesBefore) / n;
    g_seconds[4] = double(g_sectors - sectorsBefore) / n;
    state.counters["update_ms"] = g_seconds[0] * 1e3;
    state.counters["render_ms"] = g_seconds[1] * 1e3;
    state.counters["replay_ms"] = g_seconds[2] * 1e3;
    state.counters["ratio"] = (t[0] + t[1]) / t[2];
}
BENCHMARK(BM_GameFrameAgainstReplay)->Unit(benchmark::kMillisecond)->MinTime(5.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    GameBench game;
    if (game.Start() && game.BusiestView(100)) {
        if (MV2Object* sub = MV2GetPlayerSub(); sub && sub->clump) {
            g_held = *TvFrameGetMatrix(MV2GetRootFrame(sub->clump));
            g_holding = true;
        }
        g_hook.Install();
        if (MV2World) {
            g_sectorRender = TpWorldGetSectorRenderCallBack(MV2World);
            TpWorldSetSectorRenderCallBack(MV2World, CountingSectorRender);
        }
        // One frame recorded: the replay's calls.
        Update();
        const uint64_t before = g_rec.triangles;
        g_rec.on = true;
        Render();
        g_rec.on = false;
        g_recordedTriangles = g_rec.triangles - before;
        g_ready = !g_rec.calls.empty() && g_hook.device && g_sectors > 0;
        std::printf("recorded frame: %zu device calls, %zu vertices, %llu triangles, %llu "
                    "landscape sectors (%s; caustics %d and %d)\n",
                    g_rec.calls.size(), g_rec.vertices.size(),
                    static_cast<unsigned long long>(g_recordedTriangles),
                    static_cast<unsigned long long>(g_sectors),
                    TvD3DDriver.fullScreen ? "full screen" : "windowed", gMV2Settings.worldCaustics,
                    gMV2Settings.atomicCaustics);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (g_seconds[2] > 0) {
        const double frame = g_seconds[0] + g_seconds[1];
        std::printf("game frame: update %.3f ms, render %.3f ms, %.1f frames a second; replay of "
                    "the recorded frame %.3f ms\n",
                    g_seconds[0] * 1e3, g_seconds[1] * 1e3, 1.0 / frame, g_seconds[2] * 1e3);
        std::printf("ratio frame / replay: %.2f (the game's own work %.0f%% of the frame; %.0f "
                    "triangles a frame measured)\n",
                    frame / g_seconds[2], 100.0 * (frame - g_seconds[2]) / frame, g_seconds[3]);
        std::printf("landscape sectors drawn a frame: %.1f\n", g_seconds[4]);
    }
    benchmark::Shutdown();
    if (MV2World && g_sectorRender) TpWorldSetSectorRenderCallBack(MV2World, g_sectorRender);
    g_rec.Clear();
    g_hook.Remove();
    game.Stop();
    return 0;
}
