// 100,000 textured, Gouraud-shaded, z-tested screen-space triangles a frame at 640 x 480:
// through the Direct3D stand-in's DrawIndexedPrimitive, and the same triangles drawn with
// plain OpenGL calls in the same context, reported as a ratio (stand-in / plain).
#include "bench/ratio_reporter.h"
#include "platform/ddraw/d3d.h"

#include <SDL.h>
#include <GL/glcorearb.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kTriangles = 100000;
constexpr int kPerBatch = 1000; // triangles per call: 3000 vertices, within 16-bit indices

struct Scene {
    std::vector<D3DTLVERTEX> vertices;
    std::vector<WORD> indices; // one batch's indices, the same for every batch
};

const Scene& TheScene() {
    static Scene s = [] {
        Scene scene;
        uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) & 0xFFFF;
        };
        for (int t = 0; t < kTriangles; ++t) {
            float x = static_cast<float>(next() % (kWidth - 24));
            float y = static_cast<float>(next() % (kHeight - 24));
            float z = static_cast<float>(next() % 1000) / 1001.0f;
            float rhw = 1.0f / (1.0f + z * 4.0f);
            for (int k = 0; k < 3; ++k) {
                D3DCOLOR c = 0xFF000000 | (next() << 8) | (next() & 0xFF);
                float dx = k == 1 ? 20.0f : 0.0f, dy = k == 2 ? 20.0f : 0.0f;
                scene.vertices.push_back(
                    {x + dx, y + dy, z, rhw, c, 0xFF000000, dx / 20.0f, dy / 20.0f});
            }
        }
        for (int i = 0; i < kPerBatch * 3; ++i)
            scene.indices.push_back(static_cast<WORD>(i));
        return scene;
    }();
    return s;
}

// ---- The stand-in ----

struct StandIn {
    IDirectDraw4* dd = nullptr;
    IDirect3D3* d3d = nullptr;
    IDirectDrawSurface4 *target = nullptr, *z = nullptr, *texture = nullptr;
    IDirect3DDevice3* device = nullptr;
    bool ok = false;

    StandIn() {
        IDirectDraw* first = nullptr;
        if (DirectDrawCreate(nullptr, &first, nullptr) != DD_OK) return;
        first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd));
        first->Release();
        dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d3d));
        dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = kWidth;
        d.dwHeight = kHeight;
        d.ddsCaps.dwCaps = 0x6040;
        if (dd->CreateSurface(&d, &target, nullptr) != DD_OK) return;
        d.dwFlags |= DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = 0x26000;
        d.ddpfPixelFormat = DDrawZFormat(16);
        if (dd->CreateSurface(&d, &z, nullptr) != DD_OK || target->AddAttachedSurface(z) != DD_OK)
            return;
        d.dwWidth = d.dwHeight = 64;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        d.ddpfPixelFormat = DDrawRgbFormat(16, 0, 5, 6, 5);
        if (dd->CreateSurface(&d, &texture, nullptr) != DD_OK) return;
        DDSURFACEDESC2 l = {};
        l.dwSize = sizeof l;
        texture->Lock(nullptr, &l, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch)[x] =
                    ((x ^ y) & 8) ? 0xFFFF : 0x8410;
        texture->Unlock(nullptr);
        if (d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device, nullptr) != DD_OK) return;
        IDirect3DTexture2* t = nullptr;
        texture->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t));
        device->SetTexture(0, t);
        t->Release();
        device->SetRenderState(D3DRENDERSTATE_ZENABLE, 1);
        device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 1);
        device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
        ok = true;
    }
    ~StandIn() {
        if (device) device->Release();
        if (texture) texture->Release();
        if (z) z->Release();
        if (target) target->Release();
        if (d3d) d3d->Release();
        if (dd) dd->Release();
    }

    void Frame() {
        DDBLTFX fx = {};
        fx.dwSize = sizeof fx;
        fx.dwFillDepth = 0xFFFF;
        z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
        target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        const Scene& s = TheScene();
        device->BeginScene();
        for (int b = 0; b < kTriangles / kPerBatch; ++b)
            device->DrawIndexedPrimitive(
                D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX,
                const_cast<D3DTLVERTEX*>(&s.vertices[static_cast<size_t>(b) * kPerBatch * 3]),
                kPerBatch * 3, const_cast<WORD*>(s.indices.data()), kPerBatch * 3,
                D3DDP_WAIT | D3DDP_DONOTCLIP);
        device->EndScene();
    }
};

// ---- Plain OpenGL in the stand-in's context ----

#define PLAIN_GL(X)                                                                                \
    X(PFNGLCREATESHADERPROC, glCreateShader)                                                       \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)                                                       \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)                                                     \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                                                     \
    X(PFNGLATTACHSHADERPROC, glAttachShader)                                                       \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)                                                         \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)                                                           \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)                                           \
    X(PFNGLUNIFORM1IPROC, glUniform1i)                                                             \
    X(PFNGLGENTEXTURESPROC, glGenTextures)                                                         \
    X(PFNGLBINDTEXTUREPROC, glBindTexture)                                                         \
    X(PFNGLTEXIMAGE2DPROC, glTexImage2D)                                                           \
    X(PFNGLTEXPARAMETERIPROC, glTexParameteri)                                                     \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                                                 \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                                                 \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)                                       \
    X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays)                                                 \
    X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray)                                                 \
    X(PFNGLGENBUFFERSPROC, glGenBuffers)                                                           \
    X(PFNGLBINDBUFFERPROC, glBindBuffer)                                                           \
    X(PFNGLBUFFERDATAPROC, glBufferData)                                                           \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)                                         \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)                                 \
    X(PFNGLVIEWPORTPROC, glViewport)                                                               \
    X(PFNGLENABLEPROC, glEnable)                                                                   \
    X(PFNGLDISABLEPROC, glDisable)                                                                 \
    X(PFNGLDEPTHFUNCPROC, glDepthFunc)                                                             \
    X(PFNGLDEPTHMASKPROC, glDepthMask)                                                             \
    X(PFNGLCLEARPROC, glClear)                                                                     \
    X(PFNGLCLEARDEPTHPROC, glClearDepth)                                                           \
    X(PFNGLCLEARCOLORPROC, glClearColor)                                                           \
    X(PFNGLDRAWELEMENTSPROC, glDrawElements)                                                       \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                                                     \
    X(PFNGLBINDSAMPLERPROC, glBindSampler)                                                         \
    X(PFNGLFINISHPROC, glFinish)

struct PlainGl {
#define DECLARE(type, name) type name = nullptr;
    PLAIN_GL(DECLARE)
#undef DECLARE
    GLuint program = 0, fbo = 0, vao = 0, vbo = 0, ibo = 0, texture = 0;
    bool ok = false;

    PlainGl() {
#define LOAD(type, name)                                                                           \
    name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#name));                                   \
    if (!name) return;
        PLAIN_GL(LOAD)
#undef LOAD
        const char* vs = R"(#version 330 core
layout(location = 0) in vec4 p;
layout(location = 1) in vec4 c;
layout(location = 2) in vec2 t;
out vec4 vc;
out vec2 vt;
void main() {
    float w = 1.0 / p.w;
    gl_Position = vec4(((p.x + 0.5) / 320.0 - 1.0) * w, ((p.y + 0.5) / 240.0 - 1.0) * w,
                       (p.z * 2.0 - 1.0) * w, w);
    vc = c;
    vt = t;
})";
        const char* fs = R"(#version 330 core
in vec4 vc;
in vec2 vt;
uniform sampler2D tex;
out vec4 o;
void main() { o = texture(tex, vt) * vc; })";
        GLuint v = glCreateShader(GL_VERTEX_SHADER), f = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(v, 1, &vs, nullptr);
        glShaderSource(f, 1, &fs, nullptr);
        glCompileShader(v);
        glCompileShader(f);
        program = glCreateProgram();
        glAttachShader(program, v);
        glAttachShader(program, f);
        glLinkProgram(program);

        GLuint color = 0, depth = 0;
        glGenTextures(1, &color);
        glBindTexture(GL_TEXTURE_2D, color);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        glGenTextures(1, &depth);
        glBindTexture(GL_TEXTURE_2D, depth);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, kWidth, kHeight, 0, GL_DEPTH_COMPONENT,
                     GL_FLOAT, nullptr);
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth, 0);

        std::vector<uint8_t> texels(64 * 64 * 4);
        for (int i = 0; i < 64 * 64; ++i) {
            uint8_t g = (((i % 64) ^ (i / 64)) & 8) ? 255 : 132;
            texels[i * 4] = texels[i * 4 + 1] = texels[i * 4 + 2] = g;
            texels[i * 4 + 3] = 255;
        }
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glGenBuffers(1, &vbo);
        glGenBuffers(1, &ibo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
        const GLsizei stride = sizeof(D3DTLVERTEX);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, nullptr);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<void*>(offsetof(D3DTLVERTEX, color)));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<void*>(offsetof(D3DTLVERTEX, tu)));
        for (GLuint i = 0; i < 3; ++i)
            glEnableVertexAttribArray(i);
        ok = true;
    }

    void Frame() {
        const Scene& s = TheScene();
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glViewport(0, 0, kWidth, kHeight);
        glUseProgram(program);
        glBindVertexArray(vao);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindSampler(0, 0);
        glUniform1i(glGetUniformLocation(program, "tex"), 0);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glClearDepth(1.0);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const GLsizeiptr vbytes = kPerBatch * 3 * sizeof(D3DTLVERTEX);
        const GLsizeiptr ibytes = kPerBatch * 3 * sizeof(WORD);
        for (int b = 0; b < kTriangles / kPerBatch; ++b) {
            glBindBuffer(GL_ARRAY_BUFFER, vbo);
            glBufferData(GL_ARRAY_BUFFER, vbytes,
                         &s.vertices[static_cast<size_t>(b) * kPerBatch * 3], GL_STREAM_DRAW);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, ibytes, s.indices.data(), GL_STREAM_DRAW);
            glDrawElements(GL_TRIANGLES, kPerBatch * 3, GL_UNSIGNED_SHORT, nullptr);
        }
    }
};

StandIn* g_standIn = nullptr;
PlainGl* g_plain = nullptr;
double g_seconds[2] = {0, 0};

void Finish() {
    static auto finish = reinterpret_cast<PFNGLFINISHPROC>(SDL_GL_GetProcAddress("glFinish"));
    finish();
}

template <class F> void Measure(benchmark::State& state, F frame) {
    for (auto _ : state) {
        frame();
        Finish();
    }
    state.counters["triangles/s"] = benchmark::Counter(static_cast<double>(kTriangles) *
                                                           static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}

void BM_StandInDrawIndexedPrimitive(benchmark::State& state) {
    if (!g_standIn || !g_standIn->ok) {
        state.SkipWithError("no OpenGL 3.3 device");
        return;
    }
    Measure(state, [] { g_standIn->Frame(); });
}

void BM_PlainOpenGl(benchmark::State& state) {
    if (!g_plain || !g_plain->ok) {
        state.SkipWithError("no OpenGL 3.3 context");
        return;
    }
    Measure(state, [] { g_plain->Frame(); });
}

// Both in turn within each iteration, so that a change in the machine's load falls on both
// alike; the ratio printed at the end comes from this one.
void BM_StandInAgainstPlainInTurn(benchmark::State& state) {
    if (!g_standIn || !g_standIn->ok || !g_plain || !g_plain->ok) {
        state.SkipWithError("no OpenGL 3.3 device");
        return;
    }
    MeasureInTurn(
        state, [] { g_standIn->Frame(); }, [] { g_plain->Frame(); }, [] { Finish(); }, "stand-in ms",
        "plain ms", g_seconds);
}

BENCHMARK(BM_StandInDrawIndexedPrimitive)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_PlainOpenGl)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StandInAgainstPlainInTurn)->Unit(benchmark::kMillisecond)->MinTime(4.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    TheScene();
    StandIn standIn;
    g_standIn = &standIn;
    PlainGl* plain = nullptr;
    if (standIn.ok) plain = new PlainGl(); // the stand-in made its context current
    g_plain = plain;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("BM_StandInDrawIndexedPrimitive/min_time:2.000/real_time",
                        "BM_PlainOpenGl/min_time:2.000/real_time");
    if (g_seconds[0] > 0 && g_seconds[1] > 0)
        printf("ratio in turn, stand-in / plain OpenGL: %.2f (%.2f ms / %.2f ms a frame)\n",
               g_seconds[0] / g_seconds[1], g_seconds[0] * 1e3, g_seconds[1] * 1e3);
    benchmark::Shutdown();
    delete plain;
    return 0;
}
