// A page of 1,000 glyphs word-wrapped through the text drawer, against the same glyph quads sent
// straight to the engine's 2-D primitive call, reported as a ratio (wrapped / straight). The
// driver is a stand-in that copies each primitive's vertices into a vertex buffer, as the
// Direct3D driver's batching does, so that the ratio shows the text layer's own cost.
#include "bench/ratio_reporter.h"
#include "engine/core/engine.h"
#include "engine/core/im2d.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "shell/resfile.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kGlyphs = 1000;
constexpr size_t kGlyphOffset = 4096;

TvIm2DVertex g_buffer[8192];
size_t g_used = 0;

int32_t CopyPrimitive(int32_t, TvIm2DVertex* v, int32_t n) {
    if (g_used + size_t(n) > std::size(g_buffer)) g_used = 0;
    std::memcpy(g_buffer + g_used, v, sizeof(TvIm2DVertex) * size_t(n));
    g_used += size_t(n);
    return 1;
}
int32_t SetState(int32_t, intptr_t) {
    return 1;
}

struct Page {
    std::vector<uint8_t> chunk = std::vector<uint8_t>(kGlyphOffset + 128 * 4, 0);
    MV2Language row = {};
    TvRaster raster = {};
    TvTexture texture = {};
    TvTexture* pages[1] = {&texture};
    MV2TextDescriptor text = {};
    std::vector<TvIm2DVertex> quads; // the same glyphs as straight quads
    int camera = 0;

    Page() {
        for (int c = 0; c < 128; ++c) {
            uint8_t* g = &chunk[kGlyphOffset + size_t(c) * 4];
            g[0] = uint8_t((c % 16) * 16), g[1] = uint8_t((c / 16) * 16), g[2] = 9, g[3] = 0;
        }
        // Words of 2 to 9 letters with a gap after each, 1,000 glyphs in all.
        std::vector<uint16_t> units;
        int glyphs = 0;
        for (int w = 0; glyphs < kGlyphs; ++w) {
            for (int i = 0; i < 2 + w % 8 && glyphs < kGlyphs; ++i, ++glyphs)
                units.push_back(uint16_t('a' + (w + i) % 26));
            if (glyphs < kGlyphs) units.push_back(0xFFFE);
        }
        uint32_t head = uint32_t(units.size()) | 20u << 16;
        std::memcpy(&chunk[0], &head, 4);
        std::memcpy(&chunk[8], units.data(), units.size() * 2);
        row.numFontPages = 1;
        raster.width = raster.height = 256;
        texture.raster = &raster;
        gMV2MenuResource.languages = chunk.data();
        gMV2MenuResource.dir[MV2_CHUNK_LANGUAGES].size = uint32_t(chunk.size());
        gMV2MenuResource.language.glyphTable = chunk.data() + kGlyphOffset;
        gMV2MenuResource.language.row = &row;
        gMV2MenuResource.language.fontPages = pages;
        text.text = chunk.data();
        text.id = 1;
        text.revealCount = -1;
        text.fadeFront = -1;
        TV_ENGINE->deviceRecord.im2DPrimitive = CopyPrimitive;
        TV_ENGINE->deviceRecord.renderStateSet = SetState;
        TV_ENGINE->curCamera = reinterpret_cast<TvCamera*>(&camera);
        // The straight quads: what the drawer sends, captured once.
        TV_ENGINE->deviceRecord.im2DPrimitive = [](int32_t, TvIm2DVertex* v, int32_t n) {
            Captured().insert(Captured().end(), v, v + n);
            return int32_t(1);
        };
        Draw();
        quads = Captured();
        TV_ENGINE->deviceRecord.im2DPrimitive = CopyPrimitive;
    }
    static std::vector<TvIm2DVertex>& Captured() {
        static std::vector<TvIm2DVertex> v;
        return v;
    }
    int32_t Draw() {
        MV2TextDescriptor* list[] = {&text, nullptr};
        return MV2DrawTextWrapped(320, 20, -300, list, 1, 2);
    }
    void Straight() {
        for (size_t i = 0; i < quads.size(); i += 4) {
            TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(&raster));
            TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, &quads[i], 4);
        }
    }
};

RatioReporter* g_reporter = nullptr;

void BM_WrappedPage(benchmark::State& state) {
    static Page page;
    if (page.quads.size() != size_t(kGlyphs) * 4) {
        state.SkipWithError("the page did not draw every glyph");
        return;
    }
    double seconds[2];
    MeasureInTurn(
        state, [] { benchmark::DoNotOptimize(page.Draw()); }, [] { page.Straight(); },
        [] { benchmark::ClobberMemory(); }, "wrapped_ms", "straight_ms", seconds);
}
BENCHMARK(BM_WrappedPage)->MinTime(0.5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    g_reporter = &reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
