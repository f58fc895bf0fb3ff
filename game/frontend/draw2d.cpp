#include "game/frontend/draw2d.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/core/camera.h"
#include "engine/core/d3d/renderstate.h"
#include "engine/core/engine.h"
#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "platform/winmm/winmm.h"
#include "shell/enginestart.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

MV2Texture2D gMV2Texture2D[kMV2Texture2DRows] = {
    {"radar", "radarm", nullptr, nullptr},       {"hudbits", "hudbitsm", nullptr, nullptr},
    {"icons02", "icons02m", nullptr, nullptr},   {"intbuts", "intbutsm", nullptr, nullptr},
    {"glsbits", "glsbits", nullptr, nullptr},    {"hud", "hudgp1", nullptr, nullptr},
    {"hud2", "hudgp2", nullptr, nullptr},        {"hud3", "hudgp3", nullptr, nullptr},
    {"hud4", "hudprt", nullptr, nullptr},        {"hud5", "hudgp5", nullptr, nullptr},
    {"hud6", "hudsil", nullptr, nullptr},        {"hud7", "hudtnk", nullptr, nullptr},
    {"hud8", "hudturt", nullptr, nullptr},       {"hud9", "hudrov", nullptr, nullptr},
    {"_faces01", nullptr, nullptr, nullptr},     {"_faces02", nullptr, nullptr, nullptr},
    {"_faces03", nullptr, nullptr, nullptr},     {"_faces04", nullptr, nullptr, nullptr},
    {"_faces05", nullptr, nullptr, nullptr},     {"_faces06", nullptr, nullptr, nullptr},
    {"cursors", "cursorsm", nullptr, nullptr},   {"courtm", "courtmm", nullptr, nullptr},
    {"resqicon", nullptr, nullptr, nullptr},     {"mpicon", "mpiconm", nullptr, nullptr},
    {"mpicons", "mpiconsm", nullptr, nullptr},
};

TvCamera* gMV2RenderCamera = nullptr;
MV2TalkingFace gMV2TalkingFace = {-1, 0, 0};

namespace {

enum TextureRow : int32_t {
    kRadar = 0, kHudbits = 1, kIcons02 = 2, kIntbuts = 3, kHud = 5, kHud2 = 6, kHud3 = 7,
    kHud4 = 8, kHud5 = 9, kHud6 = 10, kHud7 = 11, kHud8 = 12, kHud9 = 13, kFaces = 14,
    kCursors = 20, kCourtm = 21, kResqicon = 22, kMpicon = 23, kMpicons = 24,
};

// The texture row of each run of sprite rows, in row order.
struct SpriteRun {
    int16_t first, last;
    int8_t texture;
};
constexpr SpriteRun kSpriteRuns[] = {
    {1, 27, kRadar},      {28, 83, kIcons02},   {84, 90, kHudbits},   {91, 91, kHud},
    {92, 108, kHudbits},  {109, 127, kIntbuts}, {128, 129, kRadar},   {130, 134, kHud},
    {135, 139, kHud2},    {140, 143, kHud3},    {144, 144, kHud},     {145, 147, kHud3},
    {148, 152, kHud7},    {153, 157, kHud4},    {158, 166, kHud6},    {167, 169, kHud8},
    {170, 170, kHudbits}, {171, 178, kHud},     {179, 179, kIcons02}, {180, 180, kHudbits},
    {181, 182, kHud4},    {183, 183, kRadar},   {184, 184, kIcons02}, {185, 185, kHudbits},
    {186, 196, kHud9},    {197, 198, kRadar},   {199, 200, kHud9},    {201, 208, kIcons02},
    {209, 292, -1},       {293, 295, kCursors},
    {296, 297, kHudbits}, {298, 298, kIcons02}, {299, 306, kHud5},    {307, 307, kIcons02},
    {308, 308, kCourtm},  {309, 312, kResqicon}, {313, 315, kMpicon}, {316, 319, kMpicons},
};

// The project's sprite layout: each texture's sprites, in row order, fill a grid of square
// cells from the top left of its page: 32 pixels while 64 or fewer share the page, else 16.
// Face rows 209-292 go to the six face pages in turn, four rows at a time.
struct SpriteTable {
    MV2SpriteCell cells[kMV2Sprite2DRows];
    MV2Sprite2D rows[kMV2Sprite2DRows];
};

int32_t RunTexture(int32_t sprite) {
    for (const SpriteRun& r : kSpriteRuns)
        if (sprite >= r.first && sprite <= r.last) {
            if (r.texture >= 0) return r.texture;
            return kFaces + ((sprite - 209) / 4) % 6;
        }
    return -1;
}

SpriteTable BuildSpriteTable() {
    SpriteTable t = {};
    int32_t count[kMV2Texture2DRows] = {};
    int32_t slot[kMV2Sprite2DRows] = {};
    for (int32_t s = 1; s < kMV2Sprite2DRows; ++s) {
        slot[s] = count[RunTexture(s)]++;
    }
    t.cells[0] = {-1, 0, 0, kMV2Texture2DSize, kMV2Texture2DSize};
    t.rows[0] = {0.0f, 0.0f, 1.0f, 1.0f, nullptr};
    for (int32_t s = 1; s < kMV2Sprite2DRows; ++s) {
        int32_t tex = RunTexture(s);
        int32_t cell = count[tex] <= 64 ? 32 : 16;
        int32_t perRow = kMV2Texture2DSize / cell;
        int32_t left = (slot[s] % perRow) * cell, top = (slot[s] / perRow) * cell;
        t.cells[s] = {tex, left, top, left + cell, top + cell};
        const float k = 1.0f / float(kMV2Texture2DSize);
        t.rows[s] = {float(left) * k, float(top) * k, float(left + cell) * k,
                     float(top + cell) * k, &gMV2Texture2D[tex]};
    }
    return t;
}

const SpriteTable g_sprites = BuildSpriteTable();

struct State2D {
    float scaleX = 1.0f, scaleY = 1.0f;
    float clipLeft = 0.0f, clipTop = 0.0f, clipRight = 640.0f, clipBottom = 480.0f;
    uint8_t colour[4] = {255, 255, 255, 255};  // red, green, blue, alpha
    uint8_t colour2[4] = {255, 255, 255, 255}; // the gradient colour
    uint32_t packed = 0xFFFFFFFFu;
    int32_t penX = 0, penY = 0;
    TvIm2DVertex quad[4] = {}; // top-left, bottom-left, top-right, bottom-right
};
State2D g;

uint32_t Pack(const uint8_t c[4]) {
    return uint32_t(c[3]) << 24 | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
}

void SetQuadColour(uint32_t packed) {
    for (TvIm2DVertex& v : g.quad) v.colour = packed;
}

void SetCorners(float x0, float y0, float x1, float y1) {
    g.quad[0].x = x0, g.quad[0].y = y0;
    g.quad[1].x = x0, g.quad[1].y = y1;
    g.quad[2].x = x1, g.quad[2].y = y0;
    g.quad[3].x = x1, g.quad[3].y = y1;
}

void SetUV(float u0, float v0, float u1, float v1) {
    g.quad[0].u = u0, g.quad[0].v = v0;
    g.quad[1].u = u0, g.quad[1].v = v1;
    g.quad[2].u = u1, g.quad[2].v = v0;
    g.quad[3].u = u1, g.quad[3].v = v1;
}

void SetTopBottomColours(uint32_t top, uint32_t bottom) {
    g.quad[0].colour = g.quad[2].colour = top;
    g.quad[1].colour = g.quad[3].colour = bottom;
}

void ApplyGradient(int32_t gradient) {
    if (!gradient) return;
    g.quad[1].colour = g.quad[3].colour = Pack(g.colour2);
}

void DrawQuadDirect(TvRaster* raster) {
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(raster));
    TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, g.quad, 4);
}

// The quad as the triangles (top-left, bottom-left, bottom-right), (bottom-right, top-right,
// top-left) through the clipped path.
void DrawQuadClipped(TvRaster* raster) {
    const TvIm2DVertex a[3] = {g.quad[0], g.quad[1], g.quad[3]};
    const TvIm2DVertex b[3] = {g.quad[3], g.quad[2], g.quad[0]};
    MV2Draw2DTriangleClipped(a, raster);
    MV2Draw2DTriangleClipped(b, raster);
}

bool MapMode() {
    return gMV2GameState.current == 1;
}

void DrawRectQuad() {
    if (MapMode())
        DrawQuadClipped(nullptr);
    else
        DrawQuadDirect(nullptr);
}

void SetupQuad(float depth, float rhw) {
    uint32_t fog = MV2FogWord(depth);
    for (TvIm2DVertex& v : g.quad) v.z = depth, v.recipZ = rhw, v.specular = fog;
}

int32_t DisplayWidth() {
    TvRaster* fb = gMV2MainCamera ? TvCameraGetRaster(gMV2MainCamera) : nullptr;
    return fb ? fb->width : gMV2DisplayRequest.width;
}

int32_t DisplayHeight() {
    TvRaster* fb = gMV2MainCamera ? TvCameraGetRaster(gMV2MainCamera) : nullptr;
    return fb ? fb->height : gMV2DisplayRequest.height;
}

const MV2Sprite2D* Sprite(int32_t index) {
    if (index < 0 || index >= kMV2Sprite2DRows) return nullptr;
    return &g_sprites.rows[index];
}

TvRaster* SpriteRaster(const MV2Sprite2D* s) {
    return s->texture ? s->texture->raster : nullptr;
}

// The sprite's full size in pixels with the request's scale.
bool SpriteSize(const MV2Sprite2D* s, float scaleX, float scaleY, float* w, float* h) {
    TvRaster* r = SpriteRaster(s);
    if (!r) return false;
    *w = float(r->width) * (s->uRight - s->uLeft) * scaleX;
    *h = float(r->height) * (s->vBottom - s->vTop) * scaleY;
    return true;
}

void DrawSpriteBox(float x0, float y0, float x1, float y1, int32_t index, uint32_t colour) {
    SetupQuad(0.0f, 20.0f);
    const MV2Sprite2D* s = Sprite(index);
    if (!s) return;
    SetCorners(x0, y0, x1, y1);
    SetUV(s->uLeft, s->vTop, s->uRight, s->vBottom);
    SetQuadColour(colour);
    DrawQuadDirect(SpriteRaster(s));
}

// Outcodes: 1 above, 2 below, 4 left, 8 right; the line form counts the right and bottom edges
// themselves as outside.
uint32_t Outcode(const TvIm2DVertex& v, float left, float top, float right, float bottom,
                 bool line) {
    uint32_t code = 0;
    if (v.y < top) code |= 1;
    if (line ? v.y >= bottom : v.y > bottom) code |= 2;
    if (v.x < left) code |= 4;
    if (line ? v.x >= right : v.x > right) code |= 8;
    return code;
}

uint8_t Lerp8(uint32_t a, uint32_t b, int shift, float t) {
    float x = float((a >> shift) & 0xFF), y = float((b >> shift) & 0xFF);
    return uint8_t(int32_t(x + (y - x) * t));
}

// A vertex on the edge between an inside and an outside vertex: the edge coordinate exact, the
// rest interpolated from the inside vertex; reciprocal w as the inside vertex's.
TvIm2DVertex Cut(const TvIm2DVertex& in, const TvIm2DVertex& out, float edge, bool vertical) {
    float t = vertical ? (edge - in.x) / (out.x - in.x) : (edge - in.y) / (out.y - in.y);
    TvIm2DVertex v = in;
    if (vertical) {
        v.x = edge;
        v.y = in.y + (out.y - in.y) * t;
    } else {
        v.y = edge;
        v.x = in.x + (out.x - in.x) * t;
    }
    v.u = in.u + (out.u - in.u) * t;
    v.v = in.v + (out.v - in.v) * t;
    v.colour = uint32_t(Lerp8(in.colour, out.colour, 24, t)) << 24 |
               uint32_t(Lerp8(in.colour, out.colour, 16, t)) << 16 |
               uint32_t(Lerp8(in.colour, out.colour, 8, t)) << 8 | Lerp8(in.colour, out.colour, 0, t);
    return v;
}

bool Inside(const TvIm2DVertex& v, uint32_t bit) {
    switch (bit) {
    case 1: return v.y >= g.clipTop;
    case 2: return v.y <= g.clipBottom;
    case 4: return v.x >= g.clipLeft;
    default: return v.x <= g.clipRight;
    }
}

float EdgeOf(uint32_t bit) {
    switch (bit) {
    case 1: return g.clipTop;
    case 2: return g.clipBottom;
    case 4: return g.clipLeft;
    default: return g.clipRight;
    }
}

struct Tri {
    TvIm2DVertex v[3];
};
// Four edges can make at most 16 triangles of one.
constexpr int32_t kMaxClipTriangles = 16;

void DrawTriangle(TvIm2DVertex* v, TvRaster* raster) {
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(raster));
    TvIm2DRenderTriangle(v, 3, 0, 1, 2);
}

// Clips a line to the clip rectangle (bottom at `bottomLimit`); false when none of it is left.
bool ClipLine(TvIm2DVertex (&line)[2], float bottomLimit) {
    if (line[1].x < line[0].x) std::swap(line[0], line[1]);
    const float l = g.clipLeft, t = g.clipTop, r = g.clipRight, b = bottomLimit;
    uint32_t c0 = Outcode(line[0], l, t, r, b, true), c1 = Outcode(line[1], l, t, r, b, true);
    if (c0 & c1) return false;
    if (!(c0 | c1)) return true; // wholly inside: nothing to cut
    for (uint32_t bit : {1u, 2u, 4u, 8u}) {
        bool vertical = bit >= 4;
        float edge = bit == 1 ? t : bit == 2 ? b : bit == 4 ? l : r;
        if ((c0 & bit) && !(c1 & bit))
            line[0] = Cut(line[1], line[0], edge, vertical);
        else if ((c1 & bit) && !(c0 & bit))
            line[1] = Cut(line[0], line[1], edge, vertical);
        c0 = Outcode(line[0], l, t, r, b, true);
        c1 = Outcode(line[1], l, t, r, b, true);
        if (c0 & c1) return false;
    }
    return true;
}

void LineDraw(TvIm2DVertex (&line)[2], float bottomLimit) {
    if (!ClipLine(line, bottomLimit)) return;
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    TvIm2DRenderLine(line, 2, 0, 1);
}

void LineFromPen(float x0, float y0, float x1, float y1, float bottomLimit) {
    TvIm2DVertex line[2] = {g.quad[0], g.quad[1]};
    line[0].x = x0, line[0].y = y0;
    line[1].x = x1, line[1].y = y1;
    LineDraw(line, bottomLimit);
}

// The sprite through the direct path, or the clipped one off the main camera or in map mode.
void DrawSpriteQuad(TvRaster* raster) {
    if (MV2Is2DMainCamera() && !MapMode())
        DrawQuadDirect(raster);
    else
        DrawQuadClipped(raster);
}

// The ring table: (sine, cosine) from -90 to +270 degrees by 5.
struct Ring {
    float s[73], c[73];
};
const Ring g_ring = [] {
    Ring r = {};
    for (int32_t i = 0; i < 73; ++i) {
        double a = double(-90 + 5 * (i % 72)) * std::numbers::pi / 180.0;
        r.s[i] = float(std::sin(a));
        r.c[i] = float(std::cos(a));
    }
    return r;
}();

// The sub-rectangle of a sprite between the request's fractions: its uv.
void PartUV(const MV2Sprite2D* s, const MV2SpriteDraw* q) {
    float du = s->uRight - s->uLeft, dv = s->vBottom - s->vTop;
    SetUV(s->uLeft + du * q->left, s->vTop + dv * q->top, s->uLeft + du * q->right,
          s->vTop + dv * q->bottom);
}

// The request's sprite and full size for the partial forms; null when nothing is drawn.
const MV2Sprite2D* PartSprite(const MV2SpriteDraw* q, float* w, float* h) {
    SetupQuad(0.0f, 20.0f);
    const MV2Sprite2D* s = Sprite(q->sprite);
    if (!s || !(q->right > q->left) || !(q->bottom > q->top)) return nullptr;
    return SpriteSize(s, q->scaleX, q->scaleY, w, h) ? s : nullptr;
}

} // namespace

const MV2Sprite2D* const gMV2Sprite2D = g_sprites.rows;

MV2SpriteCell MV2GetSpriteCell(int32_t sprite) {
    if (sprite < 0 || sprite >= kMV2Sprite2DRows) return {-1, 0, 0, 0, 0};
    return g_sprites.cells[sprite];
}

int32_t MV2Create2DTextures() {
    for (MV2Texture2D& row : gMV2Texture2D) {
        if (!row.name) continue;
        row.texture = TvTextureRead(row.name, row.maskName);
        if (!row.texture) return 0;
        row.raster = TvTextureGetRaster(row.texture);
    }
    return 1;
}

void MV2Destroy2DTextures() {
    for (MV2Texture2D& row : gMV2Texture2D) {
        if (row.texture) TvTextureDestroy(row.texture);
        row.texture = nullptr;
        row.raster = nullptr;
    }
}

TvRaster* MV2Get2DTextureRaster(int32_t row) {
    return row >= 0 && row < kMV2Texture2DRows ? gMV2Texture2D[row].raster : nullptr;
}

void MV2Set2DScreenScale(int32_t width, int32_t height) {
    g.scaleX = float(width) * 0.0015625f;
    g.scaleY = float(height) * 0.0020833334f;
}

void MV2GetScreenScale(float* x, float* y) {
    *x = g.scaleX;
    *y = g.scaleY;
}

void MV2Set2DClipRect(const MV2Rect2D* rect) {
    if (rect) {
        g.clipLeft = float(rect->left) * g.scaleX;
        g.clipTop = float(rect->top) * g.scaleY;
        g.clipRight = float(rect->right) * g.scaleX;
        g.clipBottom = float(rect->bottom) * g.scaleY;
        return;
    }
    g.clipLeft = g.clipTop = 0.0f;
    g.clipRight = float(DisplayWidth());
    g.clipBottom = float(DisplayHeight());
}

void MV2Get2DClipRect(MV2Rect2D* out) {
    out->left = int32_t(g.clipLeft / g.scaleX);
    out->top = int32_t(g.clipTop / g.scaleY);
    out->right = int32_t(g.clipRight / g.scaleX);
    out->bottom = int32_t(g.clipBottom / g.scaleY);
}

void MV2Set2DColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    g.colour[0] = red, g.colour[1] = green, g.colour[2] = blue, g.colour[3] = alpha;
    g.packed = Pack(g.colour);
    SetQuadColour(g.packed);
}

void MV2Set2DColourARGB(uint32_t colour) {
    MV2Set2DColour(uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour), uint8_t(colour >> 24));
}

uint32_t MV2Get2DColour() {
    return g.packed;
}

void MV2Set2DSecondColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    g.colour2[0] = red, g.colour2[1] = green, g.colour2[2] = blue, g.colour2[3] = alpha;
}

void MV2Move2DPen(int32_t x, int32_t y) {
    g.penX = x;
    g.penY = y;
}

uint32_t MV2FogWord(float depth) {
    if (depth < TvD3DFogStart) return TvD3DFogTable[0];
    if (depth > TvD3DFogEnd) return TvD3DFogTable[255];
    int32_t i = int32_t((depth - TvD3DFogStart) * TvD3DFogScale);
    return TvD3DFogTable[std::clamp(i, 0, 255)];
}

void MV2Setup2DVertices(TvIm2DVertex* vertices, int32_t count) {
    uint32_t fog = MV2FogWord(0.0f);
    for (int32_t i = 0; i < count; ++i) {
        vertices[i].z = 0.0f;
        vertices[i].recipZ = 20.0f;
        vertices[i].specular = fog;
    }
}

bool MV2Is2DMainCamera() {
    return !gMV2RenderCamera || gMV2RenderCamera == gMV2MainCamera;
}

void MV2Draw2DTriangleClipped(const TvIm2DVertex* vertices, TvRaster* raster) {
    Tri tris[kMaxClipTriangles];
    for (int32_t i = 0; i < 3; ++i) {
        tris[0].v[i] = vertices[i];
        tris[0].v[i].x *= g.scaleX;
        tris[0].v[i].y *= g.scaleY;
    }
    const float l = g.clipLeft, t = g.clipTop, r = g.clipRight, b = g.clipBottom;
    uint32_t codes[3];
    for (int32_t i = 0; i < 3; ++i) codes[i] = Outcode(tris[0].v[i], l, t, r, b, false);
    if (codes[0] & codes[1] & codes[2]) return;
    if (!(codes[0] | codes[1] | codes[2])) {
        DrawTriangle(tris[0].v, raster);
        return;
    }
    int32_t count = 1;
    for (uint32_t bit : {1u, 2u, 4u, 8u}) {
        Tri next[kMaxClipTriangles];
        int32_t made = 0;
        const bool vertical = bit >= 4;
        const float edge = EdgeOf(bit);
        for (int32_t k = 0; k < count; ++k) {
            const TvIm2DVertex* v = tris[k].v;
            // The polygon of the triangle's inside part: at most four vertices.
            TvIm2DVertex poly[4];
            int32_t n = 0;
            for (int32_t i = 0; i < 3; ++i) {
                const TvIm2DVertex& a = v[i];
                const TvIm2DVertex& c = v[(i + 1) % 3];
                bool ain = Inside(a, bit), cin = Inside(c, bit);
                if (ain) poly[n++] = a;
                if (ain != cin) poly[n++] = ain ? Cut(a, c, edge, vertical) : Cut(c, a, edge, vertical);
            }
            for (int32_t i = 1; i + 1 < n && made < kMaxClipTriangles; ++i)
                next[made++] = {{poly[0], poly[i], poly[i + 1]}};
        }
        std::copy(next, next + made, tris);
        count = made;
    }
    for (int32_t k = 0; k < count; ++k) DrawTriangle(tris[k].v, raster);
}

void MV2Draw2DRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t gradient) {
    MV2Draw2DRectAtDepth(x0, y0, x1, y1, 0.0f, 20.0f, gradient);
}

void MV2Draw2DRectAtDepth(int32_t x0, int32_t y0, int32_t x1, int32_t y1, float depth, float rhw,
                          int32_t gradient) {
    SetupQuad(depth, rhw);
    SetQuadColour(g.packed);
    SetCorners(float(x0), float(y0), float(x1), float(y1));
    ApplyGradient(gradient);
    DrawRectQuad();
}

void MV2Draw2DScreenShade() {
    MV2Set2DColour(0, 0, 0, 128);
    MV2Draw2DRect(0, 0, DisplayWidth(), DisplayHeight(), 0);
}

void MV2Draw2DScreenFill(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    MV2Set2DColour(red, green, blue, alpha);
    MV2Draw2DRectAtDepth(0, 0, DisplayWidth(), DisplayHeight(), 0.09f, 11.0f, 0);
}

void MV2Draw2DPoint(int32_t x, int32_t y) {
    float px = float(x) * g.scaleX, py = float(y) * g.scaleY;
    if (!(px >= g.clipLeft && px < g.clipRight && py >= g.clipTop && py < g.clipBottom)) return;
    int32_t ix = int32_t(px), iy = int32_t(py);
    MV2Draw2DRect(ix - 1, iy - 1, ix + 1, iy + 1, 0);
}

void MV2Draw2DRectOutline(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    SetupQuad(0.0f, 20.0f);
    SetCorners(float(x0) * g.scaleX, float(y0) * g.scaleY, float(x1) * g.scaleX,
               float(y1) * g.scaleY);
    static uint16_t outline[5] = {0, 2, 3, 1, 0};
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    TvIm2DRenderIndexedPrimitive(kTvPrimitivePolyLine, g.quad, 4, outline, 5);
}

void MV2Draw2DRing(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t thickness,
                   int32_t gradient) {
    const float cx = float(x0 + x1) * 0.5f, cy = float(y0 + y1) * 0.5f;
    const float ax = std::fabs(float(x1 - x0) * 0.5f), ay = std::fabs(float(y1 - y0) * 0.5f);
    const float ix = std::max(0.0f, ax - float(thickness)), iy = std::max(0.0f, ay - float(thickness));
    SetupQuad(0.0f, 20.0f);
    SetQuadColour(g.packed);
    ApplyGradient(gradient);
    for (int32_t i = 0; i < 72; ++i) {
        const float c0 = g_ring.c[i], s0 = g_ring.s[i], c1 = g_ring.c[i + 1], s1 = g_ring.s[i + 1];
        g.quad[0].x = cx + c0 * ax, g.quad[0].y = cy + s0 * ay;
        g.quad[1].x = cx + c0 * ix, g.quad[1].y = cy + s0 * iy;
        g.quad[2].x = cx + c1 * ax, g.quad[2].y = cy + s1 * ay;
        g.quad[3].x = cx + c1 * ix, g.quad[3].y = cy + s1 * iy;
        DrawRectQuad();
    }
}

void MV2Draw2DLineTo(int32_t x, int32_t y) {
    LineFromPen(float(g.penX), float(g.penY), float(x), float(y), g.clipBottom);
    MV2Move2DPen(x, y);
}

void MV2Draw2DLineList(const int32_t* xy, const uint32_t* colours, int32_t count) {
    constexpr int32_t kBatch = 512; // vertices
    static TvIm2DVertex batch[kBatch];
    int32_t used = 0;
    auto flush = [&used] {
        if (!used) return;
        TvRenderStateSet(kTvRenderStateTextureRaster, 0);
        TvIm2DRenderPrimitive(kTvPrimitiveLineList, batch, used);
        used = 0;
    };
    for (int32_t i = 0; i < count; ++i) {
        const int32_t* p = xy + 4 * i;
        MV2Set2DColourARGB(colours[i]);
        TvIm2DVertex line[2] = {g.quad[0], g.quad[1]};
        line[0].x = float(p[0]), line[0].y = float(p[1]);
        line[1].x = float(p[2]), line[1].y = float(p[3]);
        MV2Move2DPen(p[2], p[3]);
        if (!ClipLine(line, g.clipBottom)) continue;
        batch[used++] = line[0];
        batch[used++] = line[1];
        if (used == kBatch) flush();
    }
    flush();
}

void MV2Draw2DLineToScaled(int32_t x, int32_t y) {
    LineFromPen(float(g.penX) * g.scaleX, float(g.penY) * g.scaleY, float(x) * g.scaleX,
                float(y) * g.scaleY, g.clipBottom - 1.0f);
    MV2Move2DPen(x, y);
}

void MV2Draw2DIcon(int32_t x, int32_t y, int32_t sprite, uint32_t colour) {
    DrawSpriteBox(float(x), float(y), float(x + 32), float(y + 32), sprite, colour);
}

void MV2Draw2DSpriteSmall(int32_t x, int32_t y, int32_t sprite, uint32_t colour) {
    DrawSpriteBox(float(x), float(y), float(x + 16), float(y + 16), sprite, colour);
}

void MV2Draw2DSpriteSized(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sprite,
                          uint32_t colour) {
    DrawSpriteBox(float(x), float(y), float(x + width), float(y + height), sprite, colour);
}

void MV2Draw2DSprite(const MV2SpriteDraw* q) {
    SetupQuad(0.0f, 20.0f);
    const MV2Sprite2D* s = Sprite(q->sprite);
    float w, h;
    if (!s || !SpriteSize(s, q->scaleX, q->scaleY, &w, &h)) return;
    SetCorners(float(q->x), float(q->y), float(q->x) + w, float(q->y) + h);
    SetUV(s->uLeft, s->vTop, s->uRight, s->vBottom);
    SetTopBottomColours(q->colour0, q->colour1);
    DrawSpriteQuad(SpriteRaster(s));
}

void MV2Draw2DSpritePart(const MV2SpriteDraw* q) {
    float w, h;
    const MV2Sprite2D* s = PartSprite(q, &w, &h);
    if (!s) return;
    const float x = float(q->x), y = float(q->y);
    SetCorners(x + w * q->left, y + h * q->top, x + w * q->right, y + h * q->bottom);
    PartUV(s, q);
    SetTopBottomColours(q->colour0, q->colour1);
    DrawQuadDirect(SpriteRaster(s));
}

void MV2Draw2DSpriteBar(const MV2SpriteDraw* q) {
    float w, h;
    const MV2Sprite2D* s = PartSprite(q, &w, &h);
    if (!s) return;
    const float pw = w * (q->right - q->left), ph = h * (q->bottom - q->top);
    const float x = float(q->x), y0 = float(q->y) - ph * 0.5f, y1 = float(q->y) + ph * 0.5f;
    switch (q->mode) {
    case 0: SetCorners(x - pw * 0.5f, y0, x + pw * 0.5f, y1); break;
    case 1: SetCorners(x - pw, y0, x, y1); break;
    case 2: SetCorners(x, y0, x + pw, y1); break;
    default: break; // the previous quad's corners stay
    }
    PartUV(s, q);
    g.quad[0].colour = g.quad[1].colour = q->colour0;
    g.quad[2].colour = g.quad[3].colour = q->colour1;
    DrawQuadDirect(SpriteRaster(s));
}

void MV2Draw2DSpriteSweep(const MV2SpriteDraw* q) {
    const MV2Sprite2D* s = Sprite(q->sprite);
    const float f = q->sweep;
    float W, H;
    if (!s || !(f > 0.0f) || !SpriteSize(s, 1.0f, 1.0f, &W, &H)) return;
    const float x = float(q->x), y = float(q->y);
    static TvIm2DVertex tri[15];
    int32_t n = 0;
    auto put = [&](float px, float py) {
        TvIm2DVertex& v = tri[n++];
        v = {};
        v.x = px, v.y = py;
        v.colour = q->colour0;
        v.u = s->uLeft + (s->uRight - s->uLeft) * ((px - x) / W);
        v.v = s->vTop + (s->vBottom - s->vTop) * ((py - y) / H);
    };
    const float cx = x + W * 0.5f, cy = y + H * 0.5f;
    const double deg = std::numbers::pi / 180.0;
    float t = f < 0.25f ? float(std::tan(double(f) * 180.0 * deg)) : 1.0f;
    put(cx, cy), put(x + W * 0.5f * (1 + t), y + H), put(x + W * 0.5f * (1 - t), y + H);
    if (f >= 0.25f) {
        t = f < 0.75f ? float(std::tan((double(f) * 180.0 - 90.0) * deg)) : 1.0f;
        put(cx, cy), put(x + W, y + H * 0.5f * (1 - t)), put(x + W, y + H);
        put(cx, cy), put(x, y + H * 0.5f * (1 - t)), put(x, y + H);
    }
    if (f >= 0.75f) {
        t = float(std::tan((180.0 - double(f) * 180.0) * deg));
        put(cx, cy), put(x + W * 0.5f * (1 + t), y), put(x + W, y);
        put(cx, cy), put(x + W * 0.5f * (1 - t), y), put(x, y);
    }
    MV2Setup2DVertices(tri, n);
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(SpriteRaster(s)));
    TvIm2DRenderPrimitive(kTvPrimitiveTriangleList, tri, n);
}

void MV2Draw2DSpriteRotated(const MV2SpriteDraw* q) {
    SetupQuad(0.0f, 20.0f);
    const MV2Sprite2D* s = Sprite(q->sprite);
    float w, h;
    if (!s || !SpriteSize(s, q->scaleX, q->scaleY, &w, &h)) return;
    const float hw = w * 0.5f, hh = h * 0.5f, c = q->cosine, sn = q->sine;
    const float dx[4] = {-hw, -hw, hw, hw}, dy[4] = {-hh, hh, -hh, hh};
    for (int32_t i = 0; i < 4; ++i) {
        g.quad[i].x = float(q->x) + dx[i] * c + dy[i] * sn;
        g.quad[i].y = float(q->y) - dx[i] * sn + dy[i] * c;
        g.quad[i].colour = q->colour0;
    }
    SetUV(s->uLeft, s->vTop, s->uRight, s->vBottom);
    DrawSpriteQuad(SpriteRaster(s));
}

void MV2Draw2DImage(const MV2ImageDraw* image) {
    SetupQuad(0.0f, 20.0f);
    SetCorners(image->xLeft, image->yTop, image->xRight, image->yBottom);
    SetUV(image->uLeft, image->vTop, image->uRight, image->vBottom);
    SetTopBottomColours(image->topColour, image->bottomColour);
    DrawQuadDirect(image->raster);
}

int32_t MV2DrawBackgroundRaster(TvRaster* raster) {
    TvRenderStateSet(kTvRenderStateDeferral, 0);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    MV2Set2DClipRect(nullptr);
    if (!raster) return 1;
    TvRaster* fb = gMV2MainCamera ? TvCameraGetRaster(gMV2MainCamera) : nullptr;
    if (!fb || !TvRasterPushContext(fb)) return 0;
    TvRGBA black = {0, 0, 0, 0};
    TvRasterClear(int32_t(TvRGBAToPixel(&black, uint32_t(fb->format) << 8)));
    TvRect whole = {0, 0, fb->width, fb->height};
    TvRasterRenderScaled(raster, &whole);
    TvRasterPopContext();
    return 1;
}

void MV2ResetTalkingFace() {
    gMV2TalkingFace = {-1, 0, timeGetTime()};
}
