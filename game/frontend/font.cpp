#include "game/frontend/font.h"
#include "game/frontend/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/frontend/draw2d.h"
#include "shell/bytes.h"
#include "shell/enginestart.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/resfile.h"

MV2FontPage gMV2FontPages[2] = {{"fp000", "fp000m", nullptr}, {"fp001", "fp001m", nullptr}};

namespace {

// The HUD font's character codes, in table order (the repeats at the end are never reached).
constexpr uint8_t kGlyphCodes[kMV2FontGlyphs] = {
    97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114,
    115, 116, 117, 118, 119, 120, 121, 122, 65,  66,  67,  68,  69,  70,  71,  72,  73,  74,
    75,  76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  48,  49,
    50,  51,  52,  53,  54,  55,  56,  57,  96,  33,  34,  163, 36,  37,  94,  38,  42,  40,
    41,  95,  43,  45,  61,  124, 92,  44,  60,  46,  62,  47,  63,  59,  58,  64,  39,  126,
    35,  91,  123, 93,  125, 165, 167, 169, 174, 176, 177, 191, 192, 193, 194, 195, 196, 197,
    198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213, 214, 215,
    216, 217, 218, 219, 220, 221, 222, 223, 224, 225, 226, 227, 228, 229, 230, 231, 232, 233,
    234, 235, 236, 237, 238, 239, 240, 241, 242, 243, 244, 245, 246, 247, 248, 249, 250, 251,
    252, 253, 254, 255, 99,  67,  99,  100, 71,  103, 73,  83,  115, 140, 156, 138, 154, 159,
    142, 158, 131,
};

// The project's glyph widths (right - left) in the small font; the large adds 2.
int32_t SmallWidth(uint8_t c) {
    if (std::strchr("ijl", c) && c) return 4;
    if (c == 'm' || c == 'w') return 11;
    if (c == 'a') return 8;
    if (c >= 'a' && c <= 'z') return 7;
    if (c == 'I') return 4;
    if (c == 'M' || c == 'W') return 12;
    if (c >= 'A' && c <= 'Z') return 10;
    if (c == '1') return 5;
    if (c >= '0' && c <= '9') return 8;
    if (std::strchr(".,:;'!|`", c) && c) return 3;
    return c >= 128 ? 9 : 7;
}

// The glyphs in code order along rows of the 256-pixel page, 5 pixels apart, the row pitch the
// drawn height (20 small, 22 large); the rectangles are 19 and 22 high.
struct FontTable {
    MV2Glyph glyphs[kMV2FontGlyphs];
};
FontTable BuildFont(bool large) {
    FontTable t = {};
    const int32_t pitch = large ? 22 : 20, height = large ? 22 : 19;
    int32_t x = 0, y = 0;
    for (int32_t i = 0; i < kMV2FontGlyphs; ++i) {
        int32_t w = SmallWidth(kGlyphCodes[i]) + (large ? 2 : 0);
        if (x + w + 2 > 256) x = 0, y += pitch;
        t.glyphs[i] = {kGlyphCodes[i], x, y, x + w, y + height, large ? 1 : 0, large ? 1 : 2};
        x += w + 5;
    }
    return t;
}
const FontTable g_small = BuildFont(false);
const FontTable g_large = BuildFont(true);

constexpr uint32_t kShadowColour = 0x7F000000u;
// Font page coordinates to uv: divided by this.
constexpr float kPageScale = 255.5f;
// The quotients of the whole page coordinates a glyph can reach (a byte plus a byte), so that
// the glyph loop looks them up instead of dividing.
struct PageCoordinates {
    float uv[512];
};
PageCoordinates BuildPageCoordinates() {
    PageCoordinates t = {};
    for (int32_t i = 0; i < 512; ++i) t.uv[i] = float(i) / kPageScale;
    return t;
}
const PageCoordinates g_pageUV = BuildPageCoordinates();

// The glyph loop's count of drawn characters: shared, so that wrapped text can read it.
uint32_t g_drawn = 0;
// The glyph loop's quads of one call, with the font page each is drawn from; reused.
struct GlyphQuad {
    TvIm2DVertex vertices[4];
    int32_t page;
};
std::vector<GlyphQuad> g_glyphQuads;

// The current language's glyph-width table: its entries within chunk 1 and its pages.
struct GlyphSource {
    const uint8_t* table = nullptr;
    uint32_t entries = 0;
    TvTexture** pages = nullptr;
    uint32_t pageCount = 0;
};
GlyphSource Glyphs() {
    GlyphSource s;
    const MV2CurrentLanguage& lang = gMV2MenuResource.language;
    const uint8_t* chunk = gMV2MenuResource.languages;
    if (!lang.glyphTable || !lang.row || !chunk) return s;
    const uint8_t* end = chunk + gMV2MenuResource.dir[MV2_CHUNK_LANGUAGES].size;
    if (lang.glyphTable < chunk || lang.glyphTable > end) return s;
    s.table = lang.glyphTable;
    s.entries = uint32_t((end - lang.glyphTable) / 4);
    s.pages = lang.fontPages;
    s.pageCount = lang.fontPages ? lang.row->numFontPages : 0;
    return s;
}

uint32_t CharacterWidth(const GlyphSource& src, uint16_t u) {
    if (u == kMV2UnitGap) return kMV2GapWidth;
    if (u >= src.entries) return 0;
    return src.table[size_t(u) * 4 + 2];
}

uint32_t LineHeight(const MV2TextDescriptor* d) {
    return (MV2ReadU32(d->text) >> 16) & 0xFF;
}

bool HasText(const MV2TextDescriptor* d) {
    return d && d->text && d->id != 0xFFFFFFFFu;
}

void SetupQuad(TvIm2DVertex* quad, float depth, float rhw) {
    MV2Setup2DVertices(quad, 4);
    if (depth == 0.0f && rhw == 20.0f) return;
    uint32_t fog = MV2FogWord(depth);
    for (int32_t i = 0; i < 4; ++i) quad[i].z = depth, quad[i].recipZ = rhw, quad[i].specular = fog;
}

uint32_t Lighten(uint32_t colour, int32_t quarters) {
    uint32_t out = colour & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        int32_t c = int32_t((colour >> shift) & 0xFF);
        c += (255 - c) * quarters / 4;
        out |= uint32_t(c) << shift;
    }
    return out;
}

int32_t DrawBoxed(MV2TextPoint centre, MV2TextPoint size, float depth, float rhw,
                  MV2TextDescriptor* d, uint8_t alignment, int32_t style) {
    if (!HasText(d)) return 0;
    const int32_t left = int32_t(centre.x - size.x / 2), right = int32_t(centre.x + size.x / 2);
    const int32_t top = int32_t(centre.y - size.y / 2), bottom = int32_t(centre.y + size.y / 2);
    float start;
    switch (alignment) {
    case 1: start = float(left); break;
    case 2: start = float(right) - float(d->width); break;
    default: start = centre.x - float(d->width >> 1); break;
    }
    const int32_t height = int32_t(LineHeight(d));
    const int32_t lineTop = top + (bottom - height - top) / 2;
    TvIm2DVertex quad[4] = {};
    MV2SetTextColourStyle(quad, style, nullptr);
    SetupQuad(quad, depth, rhw);
    quad[0].x = std::floor(start);
    quad[0].y = float(lineTop);
    quad[1].y = float(lineTop + height);
    int32_t width = MV2DrawTextGlyphs(quad, d, style, MV2ReadU32(d->text) & 0xFFFF,
                                      d->text + kMV2TextRecordHeadSize);
    MV2AdvanceTextReveal(d);
    return width;
}

// Wrapped text's scratch: the joined units and the line starts, reused between calls.
std::vector<uint16_t> g_joined;
constexpr int32_t kMaxLines = 8;

void AppendText(const MV2TextDescriptor* d) {
    uint32_t counted = MV2ReadU32(d->text) & 0xFFFF;
    const uint8_t* at = d->text + kMV2TextRecordHeadSize;
    while (counted > 0) {
        uint16_t u = MV2ReadU16(at);
        at += 2;
        if (u == kMV2UnitEnd) break;
        if (u == kMV2UnitNone) continue;
        if (u == kMV2UnitParam) {
            g_joined.push_back(u);
            g_joined.push_back(MV2ReadU16(at));
            at += 2;
            continue;
        }
        g_joined.push_back(u);
        counted--;
    }
}

} // namespace

const MV2Glyph* const gMV2SmallFontGlyphs = g_small.glyphs;
const MV2Glyph* const gMV2LargeFontGlyphs = g_large.glyphs;

void MV2SetTextColourStyle(TvIm2DVertex* quad, int32_t style, const TvIm2DVertex* source) {
    uint32_t top, bottom;
    switch (style) {
    case 0: top = 0xFF313D99u, bottom = 0xFFADABF3u; break;
    case 1: top = 0xFFCEC266u, bottom = 0xFF52540Cu; break;
    case 2: top = bottom = 0xFFFFFFFFu; break;
    case 5:
    case 7: top = bottom = 0xFFFFFF00u; break;
    case 6: top = bottom = 0xFFFF0000u; break;
    case 8: top = bottom = MV2Get2DColour(); break;
    case 9:
        for (int32_t i = 0; i < 4; ++i) quad[i].colour = source ? source[i].colour : 0xFFFFFFFFu;
        return;
    case 11:
        for (int32_t i = 0; i < 4; ++i) quad[i].colour &= 0xFF000000u;
        return;
    default: top = bottom = MV2HudColour(); break;
    }
    quad[0].colour = quad[2].colour = top;
    quad[1].colour = quad[3].colour = bottom;
}

void MV2AdvanceTextReveal(MV2TextDescriptor* d) {
    d->revealClock += int32_t(MV2GetFrameMilliseconds());
    if (d->revealClock < 26) return;
    do {
        if (d->revealCount != -1) d->revealCount++;
        if (d->fadeFront != -1) d->fadeFront++;
        d->revealClock -= 25;
    } while (d->revealClock > 25);
}

int32_t MV2DrawTextGlyphs(TvIm2DVertex* quad, MV2TextDescriptor* d, int32_t, uint32_t count,
                          const uint8_t* characters) {
    const GlyphSource src = Glyphs();
    TvRenderStateSet(kTvRenderStateTextureFilter, 1);
    const float start = quad[0].x, top = quad[0].y, bottom = quad[1].y;
    quad[0].y = quad[2].y = top;
    quad[1].y = quad[3].y = bottom;
    const TvIm2DVertex styled[4] = {quad[0], quad[1], quad[2], quad[3]};
    // The glyph bottom's v: the line height is a whole number of pixels unless the caller
    // placed the line at fractions, and then it is divided per glyph.
    const float height = bottom - top;
    const bool wholeHeight = height >= 0.0f && height <= 255.0f && float(int32_t(height)) == height;
    const int32_t heightPixels = wholeHeight ? int32_t(height) : 0;

    // First the quads of the glyphs, then the primitives: a quad written just before the
    // driver copies it would stall the copy's wide loads on the stores still in flight.
    if (g_glyphQuads.size() < count) g_glyphQuads.resize(count);
    GlyphQuad* out = g_glyphQuads.data();
    uint32_t drawn = 0, quads = 0;
    const uint32_t reveal = uint32_t(d->revealCount), fadeFront = uint32_t(d->fadeFront);
    const uint8_t* at = characters;
    bool complete = true;
    float pen = start;
    while (count > 0) {
        if (drawn == reveal) {
            complete = false;
            break;
        }
        uint16_t u = MV2ReadU16(at);
        at += 2;
        if (u == kMV2UnitEnd) break;
        if (u == kMV2UnitNone) continue;
        if (u == kMV2UnitParam) {
            at += 2;
            continue;
        }
        count--;
        if (u == kMV2UnitGap) {
            pen += float(kMV2GapWidth);
            drawn++;
            continue;
        }
        // Codes beyond the glyph table and pages beyond the language's count draw nothing.
        if (u >= src.entries) continue;
        const uint8_t* glyph = src.table + size_t(u) * 4;
        if (glyph[3] >= src.pageCount || !src.pages[glyph[3]]) continue;
        GlyphQuad& g = out[quads++];
        TvIm2DVertex* q = g.vertices;
        std::memcpy(q, styled, sizeof styled);
        g.page = glyph[3];
        const uint32_t fade = fadeFront - drawn;
        if (fade <= 3)
            for (int32_t i = 0; i < 4; ++i) q[i].colour = Lighten(q[i].colour, 4 - int32_t(fade));
        const float w = float(glyph[2]);
        const float u0 = g_pageUV.uv[glyph[0]], v0 = g_pageUV.uv[glyph[1]];
        const float u1 = g_pageUV.uv[glyph[0] + glyph[2]];
        const float v1 = wholeHeight ? g_pageUV.uv[glyph[1] + heightPixels]
                                     : (float(glyph[1]) + height) / kPageScale;
        q[0].x = q[1].x = pen;
        q[2].x = q[3].x = pen + w;
        q[0].u = q[1].u = u0, q[2].u = q[3].u = u1;
        q[0].v = q[2].v = v0, q[1].v = q[3].v = v1;
        pen += w;
        drawn++;
    }

    // The page's raster is set when the page changes; nothing else here sets it.
    int32_t lastPage = -1;
    for (uint32_t k = 0; k < quads; ++k) {
        if (out[k].page != lastPage) {
            lastPage = out[k].page;
            TvRenderStateSet(kTvRenderStateTextureRaster,
                             intptr_t(TvTextureGetRaster(src.pages[lastPage])));
        }
        TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, out[k].vertices, 4);
    }
    // The caller's quad ends as the last glyph's, in its own colours, at the line's start.
    if (quads > 0) {
        for (int32_t i = 0; i < 4; ++i) {
            quad[i].x = out[quads - 1].vertices[i].x;
            quad[i].u = out[quads - 1].vertices[i].u;
            quad[i].v = out[quads - 1].vertices[i].v;
        }
    }
    if (!complete)
        MV2Draw2DRect(int32_t(pen), int32_t(top), int32_t(pen) + 10, int32_t(top) + 20, 0);
    g_drawn = drawn;
    if (complete) d->revealCount = -1;
    TvRenderStateSet(kTvRenderStateTextureFilter, 0);
    quad[0].x = start;
    quad[0].y = top;
    quad[1].y = bottom;
    return int32_t(pen - start);
}

int32_t MV2DrawText(MV2TextPoint centre, MV2TextPoint size, MV2TextDescriptor* d,
                    uint8_t alignment, int32_t style) {
    return DrawBoxed(centre, size, 0.0f, 20.0f, d, alignment, style);
}

int32_t MV2DrawTextAtDepth(MV2TextPoint centre, MV2TextPoint size, float depth, float rhw,
                           MV2TextDescriptor* d, uint8_t alignment, int32_t style) {
    return DrawBoxed(centre, size, depth, rhw, d, alignment, style);
}

int32_t MV2DrawTextShadowed(MV2TextPoint centre, MV2TextPoint size, MV2TextDescriptor* d,
                            uint8_t alignment, int32_t style, int32_t shadow) {
    if (shadow) {
        const uint32_t saved = MV2Get2DColour();
        MV2Set2DColourARGB(kShadowColour);
        MV2DrawText({centre.x + 2, centre.y + 2}, size, d, alignment, style);
        MV2Set2DColourARGB(saved);
    }
    return MV2DrawTextAtDepth(centre, size, 0.03f, 30.0f, d, alignment, style);
}

int32_t MV2DrawTextWrapped(int32_t x, int32_t y, int32_t halfWidth, MV2TextDescriptor* const* list,
                           uint32_t flags, int32_t style) {
    return MV2DrawTextWrappedAtDepth(x, y, halfWidth, 0.0f, 20, list, flags, style);
}

int32_t MV2DrawTextWrappedAtDepth(int32_t x, int32_t y, int32_t halfWidth, float depth, int32_t rhw,
                                  MV2TextDescriptor* const* list, uint32_t flags, int32_t style) {
    if (!list || !HasText(list[0])) return 0;
    MV2TextDescriptor* first = list[0];
    const GlyphSource src = Glyphs();
    g_joined.clear();
    for (MV2TextDescriptor* const* d = list; *d; ++d)
        if (HasText(*d)) AppendText(*d);
    g_joined.push_back(kMV2UnitEnd);
    const int32_t lineHeight = int32_t(LineHeight(first));
    const int32_t savedReveal = first->revealCount, savedFade = first->fadeFront;
    const uint32_t limit = uint32_t(2 * std::abs(halfWidth));

    // Breaking: a line ends at its last gap that still fits once it grows too wide. Each line
    // also gets what its drawing needs: where its first unit after the leading gaps is, and the
    // width and count of the units from there to its end.
    struct Line {
        size_t at;
        uint32_t width, count;
    };
    Line line[kMaxLines];
    int32_t lines = 0;
    {
        uint32_t width = 0;
        size_t candidate = SIZE_MAX;
        Line current = {0, 0, 0}, atCandidate = {};
        bool leading = true;
        for (size_t i = 0; i < g_joined.size(); ++i) {
            uint16_t u = g_joined[i];
            if (u == kMV2UnitParam) {
                leading = false;
                ++i;
                continue;
            }
            const bool end = u == kMV2UnitEnd;
            if (u == kMV2UnitGap || end) {
                if (width <= limit) {
                    candidate = i;
                    atCandidate = current;
                } else if (candidate != SIZE_MAX && lines < kMaxLines - 1) {
                    g_joined[candidate] = kMV2UnitEnd;
                    line[lines++] = atCandidate;
                    i = candidate;
                    width = 0;
                    candidate = SIZE_MAX;
                    current = {i + 1, 0, 0};
                    leading = true;
                    continue;
                }
                if (end) {
                    line[lines++] = current;
                    break;
                }
            }
            const uint32_t w = CharacterWidth(src, u);
            width += w;
            if (leading && u == kMV2UnitGap) {
                current.at = i + 1;
                continue;
            }
            leading = false;
            current.width += w;
            current.count++;
        }
    }

    const float blockTop = halfWidth < 0 ? float(y) : float(y - (lines - 1) * lineHeight);
    float lineTop = blockTop;
    int32_t height = 0;
    uint32_t drawnSoFar = 0;
    for (int32_t l = 0; l < lines; ++l) {
        const size_t at = line[l].at;
        const uint32_t width = line[l].width, count = line[l].count;
        if (count == 0) continue;
        if (!(flags & 0x200) && first->revealCount != kMV2TextRevealFinished) {
            float startX;
            switch (flags & 255) {
            case 1: startX = float(x - std::abs(halfWidth)); break;
            case 2: startX = float(x + std::abs(halfWidth)) - float(width); break;
            default: startX = float(x) - float(width >> 1); break;
            }
            TvIm2DVertex quad[4] = {};
            MV2SetTextColourStyle(quad, style, nullptr);
            SetupQuad(quad, depth, float(rhw));
            quad[0].x = std::floor(startX);
            quad[0].y = lineTop;
            quad[1].y = lineTop + float(lineHeight);
            MV2DrawTextGlyphs(quad, first, style, count,
                              reinterpret_cast<const uint8_t*>(g_joined.data() + at));
            drawnSoFar += g_drawn;
            first->revealCount = first->revealCount == -1
                                     ? int32_t(uint32_t(savedReveal) - drawnSoFar)
                                     : kMV2TextRevealFinished;
            first->fadeFront = int32_t(uint32_t(first->fadeFront) - g_drawn);
        }
        lineTop += float(lineHeight);
        height += lineHeight;
    }
    first->revealCount = savedReveal;
    first->fadeFront = savedFade;
    MV2AdvanceTextReveal(first);
    return height;
}

const uint8_t* MV2TextRecordEnd(const MV2TextDescriptor* d) {
    if (!d || !d->text) return nullptr;
    uint32_t counted = MV2ReadU32(d->text) & 0xFFFF;
    const uint8_t* at = d->text + kMV2TextRecordHeadSize;
    while (counted > 0) {
        uint16_t u = MV2ReadU16(at);
        at += 2;
        if (u == kMV2UnitParam)
            at += 2;
        else if (u != kMV2UnitEnd && u != kMV2UnitNone)
            counted--;
    }
    const uint8_t* base = gMV2MenuResource.languages;
    if (!base || at < base) base = d->text;
    return base + ((size_t(at - base) + 3) & ~size_t(3));
}

int32_t MV2FontFindGlyph(const MV2Glyph* table, int32_t character) {
    for (int32_t i = 0; i < kMV2FontGlyphs; ++i)
        if (table[i].code == character) return i;
    return -1;
}

int32_t MV2FontGetTextWidth(const char* text, int32_t large) {
    const MV2Glyph* table = large ? gMV2LargeFontGlyphs : gMV2SmallFontGlyphs;
    int32_t width = 0;
    for (const char* c = text; c && *c; ++c) {
        if (*c == ' ') {
            width += 5;
            continue;
        }
        int32_t i = MV2FontFindGlyph(table, uint8_t(*c));
        if (i >= 0) width += table[i].right - table[i].left + 2;
    }
    return width;
}

void MV2FontReleasePages() {
    for (MV2FontPage& p : gMV2FontPages) {
        if (p.texture) TvTextureDestroy(p.texture);
        p.texture = nullptr;
    }
}

int32_t MV2FontDrawText(const char* text, int32_t x, int32_t y, uint32_t colour, int32_t large) {
    static constexpr int32_t kSaved[6] = {7, 4, 6, 5, 10, 12};
    intptr_t saved[6] = {};
    for (int32_t i = 0; i < 6; ++i) TvRenderStateGet(kSaved[i], &saved[i]);
    MV2FontPage& page = gMV2FontPages[large ? 1 : 0];
    // Textures exist only while the engine is open.
    if (!page.texture && TvEngineGetOpenCount() > 0)
        page.texture = TvTextureRead(page.name, page.maskName);
    for (int32_t state : {7, 16, 4, 6, 10}) TvRenderStateSet(state, 1);
    TvRenderStateSet(5, 2);
    TvRenderStateSet(12, 0);
    TvRenderStateSet(8, 5);
    TvRenderStateSet(1, intptr_t(page.texture ? TvTextureGetRaster(page.texture) : nullptr));
    const MV2Glyph* table = large ? gMV2LargeFontGlyphs : gMV2SmallFontGlyphs;
    const int32_t h = large ? 22 : 20;
    const int32_t maxX = gMV2DisplayRequest.width - 1, maxY = gMV2DisplayRequest.height - 1;
    TvIm2DVertex quad[4] = {};
    MV2Setup2DVertices(quad, 4);
    for (TvIm2DVertex& v : quad) v.recipZ = 30.0f, v.colour = colour;
    int32_t pen = 0;
    for (const char* c = text; c && *c; ++c) {
        if (*c == ' ') {
            pen += 5;
            continue;
        }
        int32_t i = MV2FontFindGlyph(table, uint8_t(*c));
        if (i < 0) continue;
        const MV2Glyph& g = table[i];
        const int32_t w = g.right - g.left + 2;
        const int32_t x0 = x + pen, y0 = y, x1 = x + pen + w, y1 = y + h;
        pen += w;
        if (x0 < 0 || y0 < 0 || x1 > maxX || y1 > maxY) continue;
        quad[0].x = quad[1].x = float(x0), quad[2].x = quad[3].x = float(x1);
        quad[0].y = quad[2].y = float(y0), quad[1].y = quad[3].y = float(y1);
        quad[0].u = quad[1].u = float(g.left) / 255.5f;
        quad[2].u = quad[3].u = float(g.right + 2) / 255.5f;
        quad[0].v = quad[2].v = float(g.top) / 255.5f;
        quad[1].v = quad[3].v = float(g.top + h) / 255.5f;
        TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, quad, 4);
    }
    for (int32_t i = 0; i < 6; ++i) TvRenderStateSet(kSaved[i], saved[i]);
    TvRenderStateSet(1, 0);
    return pen;
}

namespace {

void AnchorOffset(const char* text, int32_t large, int32_t anchor, int32_t* x, int32_t* y) {
    if (anchor < 0 || anchor > 8) return;
    const int32_t row = anchor / 3, column = anchor % 3;
    const int32_t h = large ? 22 : 20;
    if (row == 1) *y -= h / 2;
    if (row == 2) *y -= h;
    if (column == 0) return;
    const int32_t width = MV2FontGetTextWidth(text, large);
    *x -= column == 1 ? width / 2 : width;
}

} // namespace

void MV2FontDrawTextAnchored(const char* text, int32_t x, int32_t y, uint32_t colour,
                             int32_t large, int32_t anchor) {
    AnchorOffset(text, large, anchor, &x, &y);
    MV2FontDrawText(text, x, y, colour, large);
}

int32_t MV2FontDrawTextShadowed(const char* text, int32_t x, int32_t y, uint32_t colour,
                                int32_t large, int32_t shadow) {
    if (shadow) MV2FontDrawText(text, x + 2, y + 2, kShadowColour, large);
    return MV2FontDrawText(text, x, y, colour, large) + (shadow ? 2 : 0);
}

int32_t MV2FontDrawTextAnchoredShadowed(const char* text, int32_t x, int32_t y, uint32_t colour,
                                        int32_t large, int32_t anchor, int32_t shadow) {
    AnchorOffset(text, large, anchor, &x, &y);
    return MV2FontDrawTextShadowed(text, x, y, colour, large, shadow);
}
