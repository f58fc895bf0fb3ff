#include "game/frontend/radar.h"

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/matrix.h"
#include "engine/core/raster.h"
#include "engine/world/clump.h"
#include "engine/world/intersect.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/scanner.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "shell/gamemain.h"
#include "shell/resfile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

MV2RadarState gMV2Radar = {};
MV2Target gMV2Target = {kMV2NoTargetType, nullptr, 0, {0, 0}, -1};

namespace {

constexpr float kPi = 3.14159265358979323846f;

float Dot(const TvV3d& a, const TvV3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

TvV3d Sub(const TvV3d& a, const TvV3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// A horizontal frame whose forward is `at` flattened and normalised.
void LevelFrame(TvV3d at, TvV3d* right, TvV3d* up, TvV3d* forward) {
    at.y = 0.0f;
    const float len = std::sqrt(at.x * at.x + at.z * at.z);
    *forward = len > 0.0f ? TvV3d{at.x / len, 0.0f, at.z / len} : TvV3d{0.0f, 0.0f, 1.0f};
    *up = {0.0f, 1.0f, 0.0f};
    *right = {forward->z, 0.0f, -forward->x};
}

// The relative position of a world point in the radar frame: sub - point, z negated for a
// positive range.
TvV3d ToRadar(const TvV3d& point) {
    const MV2RadarState& r = gMV2Radar;
    TvV3d rel = Sub(r.position, point);
    if (r.range > 0.0f) rel.z = -rel.z;
    return {Dot(rel, r.right), Dot(rel, r.up), Dot(rel, r.forward)};
}

uint32_t Rgba(uint32_t word) {
    const uint8_t red = uint8_t(word), green = uint8_t(word >> 8), blue = uint8_t(word >> 16);
    return (word & 0xFF000000u) | uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
}

void TexturedQuad(const float (&xs)[4], const float (&ys)[4], const float* zs, float rhw,
                  int32_t sprite, uint32_t colour, int32_t turn) {
    if (sprite < 0 || sprite >= kMV2Sprite2DRows) return;
    const MV2Sprite2D& s = gMV2Sprite2D[sprite];
    const float us[4] = {s.uLeft, s.uLeft, s.uRight, s.uRight};
    const float vs[4] = {s.vTop, s.vBottom, s.vTop, s.vBottom};
    // Corners in strip order; the texture corners taken `turn` steps round.
    static const int32_t ring[4] = {0, 1, 3, 2};
    TvIm2DVertex v[4];
    for (int32_t i = 0; i < 4; ++i) {
        int32_t pos = 0;
        while (ring[pos] != i) ++pos;
        const int32_t t = ring[(pos + turn) & 3];
        v[i] = {xs[i], ys[i], zs ? zs[i] : 0.0f, rhw, colour, 0, us[t], vs[t]};
    }
    TvRenderStateSet(kTvRenderStateTextureRaster,
                     intptr_t(s.texture ? s.texture->raster : nullptr));
    TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, v, 4);
}

void SpriteCentred(int32_t sprite, float x, float y, float w, float h, uint32_t colour) {
    const float xs[4] = {x - w, x - w, x + w, x + w}, ys[4] = {y - h, y + h, y - h, y + h};
    TexturedQuad(xs, ys, nullptr, 20.0f, sprite, colour, 0);
}

void Dot3(float x, float y, uint32_t colour) {
    MV2Set2DColourARGB(colour);
    MV2Draw2DRect(int32_t(x) - 1, int32_t(y) - 1, int32_t(x) + 2, int32_t(y) + 2, 0);
}

MV2ObjectType* TypeOf(const MV2Object* object) {
    return object ? MV2GetObjectType(MV2HudObjectType(object)) : nullptr;
}

TpAtomic* CollectAtomic(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance, void*) {
    if (distance < 1.0f) {
        TpClump* clump = TpAtomicGetClump(atomic);
        MV2Object* object = clump ? MV2GetClumpObject(clump) : nullptr;
        if (object) MV2RadarConsider(object);
    }
    return atomic;
}

} // namespace

uint32_t MV2RadarBlipColour(int32_t kind, int32_t intensity) {
    const uint32_t i = uint32_t(intensity & 255);
    switch (kind) {
    case 1: return 0xFF000000u | i << 16;
    case 2: return 0xFF000000u | i << 16 | i << 8;
    case 3: return 0xFF000000u | i << 8;
    case 4: return 0xFF000000u | i;
    case 6: return 0xFF000000u | i << 8 | i;
    case 7: return 0xFF000000u | i << 16 | i;
    case 8: return 0xFF000000u | i << 16 | (i / 2) << 8;
    default: return 0xFF000000u | i << 16 | i << 8 | i;
    }
}

int32_t MV2InitialiseRadar() {
    gMV2Radar.above = gMV2Radar.below = gMV2Radar.lockableCount = 0;
    gMV2Radar.mapFocusSet = 0;
    return 1;
}

void MV2RadarStartFrame(MV2Object* sub, float range) {
    MV2RadarState& r = gMV2Radar;
    r.above = r.below = r.lockableCount = 0;
    r.range = range;
    const TvV3d* p = MV2HudObjectPosition(sub);
    r.position = p ? *p : TvV3d{};
    LevelFrame(sub && sub->matrix ? sub->matrix->at : TvV3d{0, 0, 1}, &r.right, &r.up, &r.forward);
}

void MV2RadarConsider(MV2Object* object) {
    MV2RadarState& r = gMV2Radar;
    const TvV3d* p = MV2HudObjectPosition(object);
    if (!p) return;
    MV2ObjectSendMessage(object, 17, 0, 0);
    if (!MV2ObjectHandleAlive(object->handle)) return;
    const TvV3d d = Sub(*p, r.position);
    if (!(Dot(d, d) < r.range * r.range)) return;
    const MV2ObjectType* type = TypeOf(object);
    if (type && (type->words[33] & 0x8000u) && r.lockableCount < kMV2RadarBlips)
        r.lockable[r.lockableCount++] = object;
    if (!(object->flags & 4u)) return;
    if (r.above + r.below >= kMV2RadarBlips) return; // a 257th blip is dropped
    const TvV3d rel = ToRadar(*p);
    const int32_t kind = type ? int32_t(type->words[32] >> 28) : 0;
    MV2RadarBlip& b = p->y >= r.position.y ? r.blips[r.above++]
                                           : r.blips[kMV2RadarBlips - 1 - r.below++];
    b = {rel.x, rel.y, rel.z, object, kind};
}

void MV2RadarFinishFrame() {
    MV2RadarState& r = gMV2Radar;
    auto byZ = [](const MV2RadarBlip& a, const MV2RadarBlip& b) { return a.z < b.z; };
    std::sort(r.blips, r.blips + r.above, byZ);
    std::sort(r.blips + kMV2RadarBlips - r.below, r.blips + kMV2RadarBlips, byZ);
}

void MV2RadarBegin(MV2Object* sub, float range, float tilt, float centreX, float centreY,
                   float scale) {
    MV2RadarStartFrame(sub, range);
    TpWorld* world = TpWorldGetCurrent();
    if (world && sub && sub->matrix) {
        TpIntersection query = {};
        query.type = kTpIntersectSphere;
        query.t.sphere = {gMV2Radar.position, std::fabs(range)};
        TpWorldForAllAtomicIntersections(world, &query, CollectAtomic, nullptr);
    }
    MV2RadarFinishFrame();
    MV2RadarState& r = gMV2Radar;
    r.tilt = tilt, r.scale = scale, r.centreX = centreX, r.centreY = centreY;
    r.tiltCos = std::cos(tilt * kPi / 180.0f);
    r.tiltSin = std::sin(tilt * kPi / 180.0f);
}

bool MV2RadarProject(const TvV3d& p, int32_t style, float* x, float* y) {
    const MV2RadarState& r = gMV2Radar;
    TvV3d q = p;
    if (style != 0) {
        const float k = r.range != 0.0f ? r.scale / r.range : 0.0f;
        q = {q.x * k, q.y * k, q.z * k};
    }
    const TvV3d t = {q.x, q.y * r.tiltCos - q.z * r.tiltSin, q.y * r.tiltSin + q.z * r.tiltCos};
    if (style != 0) {
        *x = r.centreX + t.x, *y = r.centreY + t.y;
        return true;
    }
    const float z = t.z + 3.0f * r.range;
    if (!(z > 0.0f)) return false;
    *x = r.centreX + r.scale * t.x / z;
    *y = r.centreY + r.scale * t.y / z;
    return true;
}

void MV2RadarDrawBackground(int32_t sprite, uint32_t colour, int32_t style) {
    const float range = gMV2Radar.range;
    const TvV3d corners[4] = {{-range, 0, range}, {range, 0, range}, {range, 0, -range},
                              {-range, 0, -range}};
    // Strip order: corners 0, 3, 1, 2.
    static const int32_t order[4] = {0, 3, 1, 2};
    float xs[4], ys[4], zs[4];
    for (int32_t i = 0; i < 4; ++i) {
        if (!MV2RadarProject(corners[order[i]], style, &xs[i], &ys[i])) return;
        zs[i] = style == 0 ? 0.0f : corners[order[i]].z;
    }
    const uint32_t top = MV2GetCurrentLevelId() >> 24;
    const int32_t turn = top == 1 || top == 2 ? 1 : (top == 4 ? 2 : 0);
    TexturedQuad(xs, ys, style == 0 ? nullptr : zs, style == 0 ? 20.0f : 15.0f, sprite, colour,
                 turn);
}

void MV2RadarDrawBlips(int32_t part, int32_t style) {
    const MV2RadarState& r = gMV2Radar;
    const MV2RadarBlip* first = part == 0 ? r.blips : r.blips + kMV2RadarBlips - r.below;
    const int32_t n = part == 0 ? r.above : r.below;
    // The stems go out in one batch, then the dots over them.
    static float dots[kMV2RadarBlips][2];
    static uint32_t dotColours[kMV2RadarBlips], stemColours[kMV2RadarBlips];
    static int32_t stems[kMV2RadarBlips][4];
    int32_t shown = 0, stemCount = 0;
    for (int32_t i = 0; i < n && i < kMV2RadarBlips; ++i) {
        const MV2RadarBlip& b = first[i];
        const uint32_t colour = MV2RadarBlipColour(b.kind, 255);
        TvV3d at = {b.x, style == 2 ? 0.0f : b.y, b.z};
        float x, y;
        if (!MV2RadarProject(at, style, &x, &y)) continue;
        float fx, fy;
        if (style != 2 && MV2RadarProject({b.x, 0.0f, b.z}, style, &fx, &fy)) {
            int32_t* s = stems[stemCount];
            s[0] = int32_t(fx), s[1] = int32_t(fy), s[2] = int32_t(x), s[3] = int32_t(y);
            stemColours[stemCount++] = colour;
        }
        dots[shown][0] = x, dots[shown][1] = y;
        dotColours[shown++] = colour;
    }
    MV2Draw2DLineList(&stems[0][0], stemColours, stemCount);
    for (int32_t i = 0; i < shown; ++i) Dot3(dots[i][0], dots[i][1], dotColours[i]);
}

namespace {

void DrawSign(const TvV3d& world, bool atSubHeight, int32_t i, const MV2HudLayout* layout,
              int32_t style) {
    const MV2RadarState& r = gMV2Radar;
    TvV3d rel = ToRadar(world);
    if (atSubHeight) rel.y = 0.0f;
    int32_t sprite = int32_t(layout->signSprites[i]);
    const float len = std::sqrt(Dot(rel, rel)), range = std::fabs(r.range);
    if (len >= range && len > 0.0f) {
        rel = {rel.x / len * range, rel.y / len * range, rel.z / len * range};
        sprite = int32_t(layout->edgeSprites[i]);
    }
    const float s = float(layout->signSizes[i]);
    const TvV3d corners[4] = {{rel.x - s, rel.y, rel.z - s}, {rel.x - s, rel.y, rel.z + s},
                              {rel.x + s, rel.y, rel.z - s}, {rel.x + s, rel.y, rel.z + s}};
    float xs[4], ys[4];
    for (int32_t c = 0; c < 4; ++c)
        if (!MV2RadarProject(corners[c], style, &xs[c], &ys[c])) return;
    TexturedQuad(xs, ys, nullptr, 20.0f, sprite, Rgba(layout->signColours[i]), 0);
}

} // namespace

void MV2RadarDrawSigns(MV2Object* sub, MV2Object* objective, const MV2HudLayout* layout,
                       int32_t style) {
    (void)sub;
    if (const TvV3d* p = MV2HudObjectPosition(objective)) {
        DrawSign(*p, false, 0, layout, style);
        MV2DrawObjectIndicator(p, MV2HudColour(), 94, 95, 0x100);
    }
    MV2Object* target = MV2GetTarget();
    if (const TvV3d* p = MV2HudObjectPosition(target)) {
        const MV2ObjectType* type = TypeOf(target);
        const int32_t t = MV2HudObjectType(target);
        const bool hidden = type && (type->words[7] & (1u << 11)) &&
                            !(MV2PlayerRevealsHiddenTargets() && (t == 56 || t == 70 || t == 397));
        if (!hidden) {
            DrawSign(*p, false, 1, layout, style);
            float x, y;
            if (MV2DrawObjectIndicator(p, MV2HudColour(), 94, 95, 0x100, target, &x, &y))
                MV2DrawTargetEnergyBar(target, int32_t(x), int32_t(y), MV2HudColour(), 1.0f);
        }
    }
    if (gMV2Radar.mapFocusSet)
        DrawSign({gMV2Radar.mapFocusX, gMV2Radar.position.y, gMV2Radar.mapFocusZ}, true, 2, layout,
                 style);
}

void MV2RadarDrawElement(MV2Object* sub, const MV2HudLayout* layout, const MV2HudElement* e) {
    const int32_t style = e->Int(0);
    float scale, tilt, range;
    const uint32_t words[3] = {e->Word(1), e->Word(2), e->Word(3)};
    std::memcpy(&scale, &words[0], 4);
    std::memcpy(&tilt, &words[1], 4);
    std::memcpy(&range, &words[2], 4);
    MV2RadarBegin(sub, range, tilt, float(e->Int(5)), float(e->Int(6)), scale);
    MV2Object* objective = nullptr;
    MV2HudGetObjective(&objective, nullptr);
    MV2RadarDrawBlips(1, style);
    MV2RadarDrawBackground(e->Int(4), MV2HudColour(), style);
    MV2RadarDrawSigns(sub, objective, layout, style);
    MV2RadarDrawBlips(0, style);
}

void MV2RadarPrepareObjective(MV2Object* sub) {
    MV2RadarState& r = gMV2Radar;
    TvV3d at = sub && sub->matrix ? sub->matrix->at : TvV3d{0, 0, 1};
    at.x = -at.x;
    LevelFrame(at, &r.levelRight, &r.levelUp, &r.levelForward);
}

void MV2RadarDrawLevelSign(MV2Object* sub, int32_t horizon, int32_t sprite, int32_t x, int32_t y,
                           uint32_t colour) {
    if (!sub || !sub->matrix) return;
    const MV2RadarState& r = gMV2Radar;
    const TvV3d& right = sub->matrix->right;
    const TvV3d rr = {Dot(right, r.levelRight), Dot(right, r.levelUp), Dot(right, r.levelForward)};
    MV2SpriteDraw q = {};
    q.sprite = sprite, q.colour0 = q.colour1 = colour, q.scaleX = q.scaleY = 1.0f;
    q.cosine = rr.x, q.sine = rr.y;
    q.x = x, q.y = y;
    if (horizon) {
        const TvV3d& up = sub->matrix->up;
        const float uz = Dot(up, r.levelForward);
        q.x = int32_t(float(x) - rr.y * uz * 50.0f);
        q.y = int32_t(float(y) - rr.x * uz * 50.0f);
    }
    MV2Draw2DSpriteRotated(&q);
}

void MV2RadarDrawHeadingTape(int32_t sprite, int32_t x, int32_t y, uint32_t colour) {
    const TvV3d& f = gMV2Radar.forward;
    float h = f.x >= 1.0f ? 0.0f : (f.x <= -1.0f ? 180.0f : std::acos(f.x) * 180.0f / kPi);
    if (f.z < 0.0f) h = -h;
    h -= 69.0f;
    if (h < 0.0f) h += 360.0f;
    if (sprite < 0 || sprite >= kMV2Sprite2DRows) return;
    const MV2SpriteCell cell = MV2GetSpriteCell(sprite);
    const float w = float(cell.right - cell.left) * 2.0f, ht = float(cell.bottom - cell.top);
    const MV2Sprite2D& s = gMV2Sprite2D[sprite];
    const uint32_t clear = colour & 0x00FFFFFFu;
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(s.texture ? s.texture->raster : nullptr));
    for (int32_t half = 0; half < 2; ++half) {
        const float u0 = (h - 64.0f + 64.0f * float(half)) / 360.0f, u1 = u0 + 64.0f / 360.0f;
        const float x0 = float(x) + w * 0.5f * float(half), x1 = x0 + w * 0.5f;
        const uint32_t c0 = half ? colour : clear, c1 = half ? clear : colour;
        TvIm2DVertex v[4] = {{x0, float(y), 0, 20, c0, 0, u0, s.vTop},
                             {x0, float(y) + ht, 0, 20, c0, 0, u0, s.vBottom},
                             {x1, float(y), 0, 20, c1, 0, u1, s.vTop},
                             {x1, float(y) + ht, 0, 20, c1, 0, u1, s.vBottom}};
        TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, v, 4);
    }
}

namespace {

TpCollisionTriangle* NearestHit(TpIntersection*, TpWorldSector*, TpCollisionTriangle* triangle,
                                float distance, void* data) {
    float* t = static_cast<float*>(data);
    if (distance < *t) *t = distance;
    return triangle;
}

} // namespace

void MV2RadarDrawReticle(MV2Object* object, const MV2HudLayout* layout) {
    if (!object || !object->matrix) return;
    const TvMatrix& m = *object->matrix;
    float t = 1.0f;
    if (TpWorld* world = TpWorldGetCurrent()) {
        TpIntersection line = {};
        line.type = kTpIntersectLine;
        line.t.line = {m.pos, {m.pos.x + 4 * m.at.x, m.pos.y + 4 * m.at.y, m.pos.z + 4 * m.at.z}};
        TpWorldForAllTriangleIntersections(world, &line, NearestHit, &t);
    }
    const uint8_t alpha = uint8_t(layout->reticleWord >> 24);
    static uint16_t indices[12] = {0, 1, 2, 1, 2, 3, 0, 2, 1, 1, 3, 2};
    for (int32_t i = 0; i < 2; ++i) {
        const uint32_t sprite = layout->reticleSprites[i];
        // Sprite words beyond the table count as none, like 0 and 65535.
        if (sprite == 0 || sprite == 65535 || sprite >= uint32_t(kMV2Sprite2DRows)) continue;
        const float d = std::min(2.0f + 2.0f * float(i), 4.0f * t), s = 0.1f * float(1 << i);
        const TvV3d c = {m.pos.x + d * m.at.x, m.pos.y + d * m.at.y, m.pos.z + d * m.at.z};
        const MV2Sprite2D& sp = gMV2Sprite2D[sprite];
        TvIm3DVertex v[4];
        const float sr[4] = {-s, -s, s, s}, su[4] = {s, -s, s, -s};
        const float us[4] = {sp.uLeft, sp.uLeft, sp.uRight, sp.uRight};
        const float vs[4] = {sp.vTop, sp.vBottom, sp.vTop, sp.vBottom};
        for (int32_t k = 0; k < 4; ++k) {
            v[k].objVertex = {c.x + sr[k] * m.right.x + su[k] * m.up.x,
                              c.y + sr[k] * m.right.y + su[k] * m.up.y,
                              c.z + sr[k] * m.right.z + su[k] * m.up.z};
            v[k].u = us[k], v[k].v = vs[k];
            v[k].red = 97, v[k].green = 189, v[k].blue = 255, v[k].alpha = alpha;
        }
        TvRenderStateSet(kTvRenderStateTextureRaster,
                         intptr_t(sp.texture ? sp.texture->raster : nullptr));
        if (TvIm3DTransform(v, 4, nullptr, kTvIm3DVertexUV)) {
            TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, indices, 12);
            TvIm3DEnd();
        }
    }
}

bool MV2HudProject(const TvV3d& world, float* x, float* y) {
    const TvMatrix* view = MV2HudViewMatrix();
    const TvV3d& w = world;
    const TvV3d p = {w.x * view->right.x + w.y * view->up.x + w.z * view->at.x + view->pos.x,
                     w.x * view->right.y + w.y * view->up.y + w.z * view->at.y + view->pos.y,
                     w.x * view->right.z + w.y * view->up.z + w.z * view->at.z + view->pos.z};
    if (!(p.z > 0.0f)) return false;
    TvV2d window = {0.55f, 0.55f};
    if (gMV2MainCamera) window = gMV2MainCamera->viewWindow;
    const float hw = float(MV2HudScreenWidth()) * 0.5f, hh = float(MV2HudScreenHeight()) * 0.5f;
    *x = hw + hw * p.x / (p.z * window.x);
    *y = hh - hh * p.y / (p.z * window.y);
    return true;
}

namespace {

TvV3d CameraPosition() {
    const TvMatrix* view = MV2HudViewMatrix();
    // The view is the inverse of an orthonormal frame: the camera sits at -R^T pos.
    const TvV3d& t = view->pos;
    return {-(view->right.x * t.x + view->right.y * t.y + view->right.z * t.z),
            -(view->up.x * t.x + view->up.y * t.y + view->up.z * t.z),
            -(view->at.x * t.x + view->at.y * t.y + view->at.z * t.z)};
}

// The name label of a lock-on candidate, fetched again only when its text id changes.
MV2TextDescriptor g_label = {};

void DrawLabel(MV2Object* object, float x, float y, uint32_t colour) {
    const int32_t type = MV2HudObjectType(object);
    uint32_t id = 213;
    if (MV2HudTypeInSet(0, type)) {
        const MV2ObjectType* record = TypeOf(object);
        id = MV2HudTypeInSet(1, type) ? 1237u : (record ? record->words[28] : 213u);
    } else {
        const float t = float(gMV2Hud.scanTime);
        MV2SpriteDraw q = {};
        q.x = int32_t(x), q.y = int32_t(y), q.sprite = 94, q.colour0 = q.colour1 = colour;
        q.scaleX = q.scaleY = t * 0.0005f;
        const float a = (2000.0f - t) * 0.1f * kPi / 180.0f;
        q.cosine = std::cos(a), q.sine = std::sin(a);
        MV2Draw2DSpriteRotated(&q);
    }
    if (g_label.id != id || !g_label.text) {
        g_label = {};
        g_label.id = id;
        MV2GetText(&g_label);
    }
    MV2Set2DColourARGB(colour);
    MV2DrawText({x, y + 40.0f}, {160.0f, 20.0f}, &g_label, 0, 8);
}

} // namespace

int32_t MV2DrawObjectIndicator(const TvV3d* position, uint32_t colour, int32_t sprite,
                               int32_t secondSprite, uint32_t flags, MV2Object* object, float* outX,
                               float* outY) {
    if (!position) return 0;
    const TvV3d cam = CameraPosition();
    const TvV3d d = Sub(*position, cam);
    const int32_t distance = int32_t(std::sqrt(Dot(d, d)) * 10.0f);
    const float cx = float(MV2HudScreenWidth()) * 0.5f, cy = float(MV2HudScreenHeight()) * 0.5f;
    const float radius = 200.0f * float(MV2HudScreenHeight()) / 480.0f;
    float x, y;
    if (MV2HudProject(*position, &x, &y) &&
        (x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius) {
        SpriteCentred(sprite, x, y, 16.0f, 16.0f, colour);
        if (flags & 0x100) MV2HudDrawNumber(distance, int32_t(x), int32_t(y) + 20, colour, 0);
        if ((flags & 0x400) && object) DrawLabel(object, x, y, colour);
        if (outX) *outX = x;
        if (outY) *outY = y;
        return 1;
    }
    if (flags & 0x800) return 0;
    const TvMatrix* view = MV2HudViewMatrix();
    // The direction in camera space without its forward part.
    float dx = d.x * view->right.x + d.y * view->up.x + d.z * view->at.x;
    float dy = d.x * view->right.y + d.y * view->up.y + d.z * view->at.y;
    const float len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0.0f)) return 0;
    dx /= len, dy /= len;
    const float ex = cx + dx * radius, ey = cy - dy * radius;
    MV2SpriteDraw q = {};
    q.x = int32_t(ex), q.y = int32_t(ey), q.sprite = secondSprite, q.colour0 = q.colour1 = colour;
    q.scaleX = q.scaleY = 1.0f, q.cosine = dx, q.sine = -dy;
    MV2Draw2DSpriteRotated(&q);
    if (flags & 0x100)
        MV2HudDrawNumber(distance, int32_t(ex + dx * 20.0f), int32_t(ey - dy * 20.0f), colour, 0);
    return 0;
}

void MV2DrawTargetEnergyBar(MV2Object* object, int32_t x, int32_t y, uint32_t colour, float scale) {
    const float f = MV2HudEnergyFraction(object);
    MV2SpriteDraw q = {};
    q.x = x, q.y = y - 24, q.sprite = 297, q.scaleX = q.scaleY = scale;
    q.left = 0.0f, q.right = 1.0f, q.top = 0.0f, q.bottom = 1.0f, q.mode = 0;
    q.colour0 = q.colour1 = (colour & 0x00FFFFFFu) | 0x80000000u;
    MV2Draw2DSpriteBar(&q);
    q.right = f;
    q.colour0 = q.colour1 = f <= 0.25f ? 0xFFFF0000u : (f <= 0.5f ? 0xFFFFFF00u : colour);
    MV2Draw2DSpriteBar(&q);
}

MV2Object* MV2WeaponLockOnIndicators(MV2Object* sub, const MV2WeaponLock* weapon,
                                     MV2LockOnCandidate* best) {
    *best = {nullptr, 0.0f, 0.0f, 0.0f};
    const MV2RadarState& r = gMV2Radar;
    const float cx = float(MV2HudScreenWidth()) * 0.5f, cy = float(MV2HudScreenHeight()) * 0.5f;
    const TvV3d* from = MV2HudObjectPosition(sub);
    for (int32_t i = 0; i < kMV2RadarBlips; ++i) {
        if (i >= r.above && i < kMV2RadarBlips - r.below) continue;
        MV2Object* object = r.blips[i].object;
        const TvV3d* p = MV2HudObjectPosition(object);
        if (!p || !(object->flags & 16u)) continue;
        const bool current = object == weapon->current;
        float x, y;
        if (!MV2DrawObjectIndicator(p, MV2HudColour(), current ? 1 : 94, 95, 0x300, object, &x, &y))
            continue;
        const float sd = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        const TvV3d d = from ? Sub(*p, *from) : TvV3d{};
        const bool near = std::sqrt(Dot(d, d)) < weapon->range;
        if (current) best->x = x, best->y = y;
        if (sd < weapon->screenRadius * weapon->screenRadius && near &&
            (!best->object || sd < best->distanceSquared))
            *best = {object, x, y, sd};
    }
    return best->object;
}

void MV2DrawLeadIndicator(MV2Object* object, uint32_t colour, int32_t sprite, int32_t secondSprite,
                          uint32_t flags) {
    const TvV3d* p = MV2HudObjectPosition(object);
    if (!p) return;
    float x, y;
    if (MV2DrawObjectIndicator(p, colour, sprite, secondSprite, flags, object, &x, &y))
        MV2Move2DPen(int32_t(x), int32_t(y));
    MV2Object* player = MV2GetPlayerObject();
    const TvV3d* from = MV2HudObjectPosition(player);
    const float speed = player ? float(MV2ObjectSendMessage(player, 103, 0, 0)) : 0.0f;
    TvV3d predicted = *p;
    // Without a projectile speed the sign sits on the object.
    if (from && speed > 0.0f && object->body) {
        const TvV3d d = Sub(*p, *from);
        const float k = std::sqrt(Dot(d, d)) / (speed * 30.0f);
        const TvV3d v = Sub(*p, object->previousPosition);
        predicted = {p->x + v.x * k, p->y + v.y * k, p->z + v.z * k};
    }
    const uint32_t alpha = (((colour >> 24) | 1) + 1) / 2;
    MV2DrawObjectIndicator(&predicted, (colour & 0x00FFFFFFu) | alpha << 24, sprite, secondSprite,
                           flags & ~0x600u);
}

void MV2DrawScreenIndicator(const TvV3d* position, TvCamera* camera, int32_t style, uint32_t colour) {
    if (!position || !camera) return;
    TvFrame* frame = TvObjectGetFrame(camera);
    if (!frame) return;
    TvMatrix inverse;
    TvMatrixInvert(&inverse, TvFrameGetLTM(frame));
    const TvV3d& w = *position;
    const TvV3d p = {w.x * inverse.right.x + w.y * inverse.up.x + w.z * inverse.at.x + inverse.pos.x,
                     w.x * inverse.right.y + w.y * inverse.up.y + w.z * inverse.at.y + inverse.pos.y,
                     w.x * inverse.right.z + w.y * inverse.up.z + w.z * inverse.at.z + inverse.pos.z};
    if (!(p.z > 0.0f)) return;
    TvRaster* raster = TvCameraGetRaster(camera);
    const float hw = raster ? float(raster->width) * 0.5f : 320.0f;
    const float hh = raster ? float(raster->height) * 0.5f : 240.0f;
    const float x = hw + hw * p.x / (p.z * camera->viewWindow.x);
    const float y = hh - hh * p.y / (p.z * camera->viewWindow.y);
    MV2Rect2D view = {0, 0, int32_t(hw * 2), int32_t(hh * 2)};
    MV2Set2DClipRect(&view);
    const int32_t sprite = style == 1 ? 94 : (style == 2 ? 296 : -1);
    if (sprite < 0) {
        MV2Draw2DSpriteSized(int32_t(x) - 16, int32_t(y) - 16, 32, 32, 94, colour);
    } else {
        MV2SpriteDraw q = {};
        q.x = int32_t(x), q.y = int32_t(y), q.sprite = sprite, q.colour0 = q.colour1 = colour;
        q.scaleX = q.scaleY = 1.0f, q.cosine = 1.0f;
        MV2Draw2DSpriteRotated(&q);
    }
    MV2Rect2D whole = {0, 0, MV2HudScreenWidth(), MV2HudScreenHeight()};
    MV2Set2DClipRect(&whole);
}

void MV2RadarSetMapFocus(float x, float z) {
    gMV2Radar.mapFocusX = x, gMV2Radar.mapFocusZ = z, gMV2Radar.mapFocusSet = 1;
}

int32_t MV2RadarGetMapFocus(float* x, float* z) {
    if (x) *x = gMV2Radar.mapFocusX;
    if (z) *z = gMV2Radar.mapFocusZ;
    return gMV2Radar.mapFocusSet;
}

void MV2DrawMapCursor(int32_t x, int32_t y) {
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2Get2DTextureRaster(0)));
    MV2Set2DColourARGB(MV2HudColour());
    MV2Draw2DRect(x - 8, y - 33, x + 8, y + 33, 0);
}

void MV2ResetTarget() {
    gMV2Target = {kMV2NoTargetType, nullptr, 0, {0, 0}, -1};
}

void MV2ClearTarget() {
    gMV2Target.type = kMV2NoTargetType;
    gMV2Target.object = nullptr;
}

MV2Object* MV2GetTarget() {
    if (gMV2Target.object && !MV2ObjectHandleAlive(gMV2Target.handle)) gMV2Target.object = nullptr;
    return gMV2Target.object;
}

void MV2UpdateTarget() {
    if (!gMV2Target.object || !MV2ObjectHandleAlive(gMV2Target.handle)) {
        gMV2Target.type = kMV2NoTargetType;
        gMV2Target.object = nullptr;
    }
    MV2Object* selected = MV2GetSelectedObject();
    const MV2ObjectType* type = TypeOf(selected);
    if (!selected || !type || !(type->words[33] & 0x4000u) || type->words[28] == 0xFFFFFFFFu) return;
    if (gMV2Target.object == selected) return;
    gMV2Target.type = uint32_t(MV2HudObjectType(selected));
    gMV2Target.object = selected;
    gMV2Target.handle = selected->handle;
}

int32_t MV2GetRadarContacts(MV2Object* const** entries) {
    *entries = gMV2Radar.lockable;
    return gMV2Radar.lockableCount;
}

int32_t MV2PlaceTargetIndicator(const TvV3d* position, int32_t width, int32_t height) {
    float x, y;
    if (!position || !MV2HudProject(*position, &x, &y)) return 0;
    if (!(x >= 0.0f && y >= 0.0f && x < float(MV2HudScreenWidth()) && y < float(MV2HudScreenHeight())))
        return 0;
    MV2Draw2DSpriteSized(int32_t(x) - width / 2, int32_t(y) - height / 2, width, height, 94,
                         MV2HudColour());
    return 1;
}
