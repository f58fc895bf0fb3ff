#include "game/objects/water.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/image.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/objects/world.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"

MV2WaterState gMV2Water{};

namespace {

uint8_t g_fog[256];

// A fixed pool of records with an active list (newest first) and a free stack; nothing is
// allocated after it is made.
template <typename T, int32_t N> struct Pool {
    T items[N];
    int32_t next[N];
    int32_t prev[N];
    int32_t head = -1;
    int32_t freeTop = 0;
    int32_t freeStack[N];
    int32_t count = 0;
    void Reset() {
        head = -1;
        count = 0;
        for (int32_t i = 0; i < N; i++)
            freeStack[i] = N - 1 - i;
        freeTop = N;
    }
    T* Take() {
        if (freeTop == 0) return nullptr;
        const int32_t i = freeStack[--freeTop];
        next[i] = head;
        prev[i] = -1;
        if (head >= 0) prev[head] = i;
        head = i;
        count++;
        items[i] = T{};
        return &items[i];
    }
    // Frees item i and answers the next one in list order.
    int32_t Free(int32_t i) {
        const int32_t after = next[i];
        if (prev[i] >= 0)
            next[prev[i]] = after;
        else
            head = after;
        if (after >= 0) prev[after] = prev[i];
        freeStack[freeTop++] = i;
        count--;
        return after;
    }
};

struct Ripple {
    TvMatrix orientation;
    float size;
    float life;
};

struct Drop {
    TvV3d position;
    TvV3d velocity;
    float size;
};

struct Splash {
    MV2Object* owner;
    TvV3d position;
    float age; // seconds
    float duration;
};

constexpr int32_t kRipples = 64, kDrops = 64, kSplashes = 16;
constexpr float kSplashDuration = 1.0f;
constexpr float kDropGravity = 0.02f; // per tick
constexpr float kDropSpeed = 0.05f;   // of the velocity per tick

struct RippleState {
    bool ready;
    Pool<Ripple, kRipples> ripples;
    Pool<Drop, kDrops> drops;
    Pool<Splash, kSplashes> splashes;
    TvTexture* ripple;
    TvTexture* splash;
    TpMaterial* drop;
    int32_t surfaceMode;
    float heights[200];
    TvV3d directions[12];
    TvIm3DVertex mesh[37];
};
RippleState* g_ripples = nullptr;

void FrameNames(int32_t i, char* name, char* mask) {
    std::snprintf(name, 8, "WATER%c", char('A' + i));
    std::snprintf(mask, 9, "WATER%cM", char('A' + i));
}

void DestroyWaterTextures() {
    for (TvTexture*& t : gMV2Water.textures) {
        if (t) TvTextureDestroy(t);
        t = nullptr;
    }
}

TvTexture* ReadFrame(int32_t i) {
    char name[8], mask[9];
    FrameNames(i, name, mask);
    const char* level = MV2GetLevelName();
    const std::string saved = TvImageGetPath() ? TvImageGetPath() : "";
    TvTexture* texture = nullptr;
    if (level && *level) {
        const std::string folder = std::string(".\\") + level + "\\";
        TvImageSetPath(folder.c_str());
        texture = TvTextureRead(name, mask);
        TvImageSetPath(saved.c_str());
    }
    if (!texture) texture = TvTextureRead(name, mask);
    return texture;
}

void FillWaves() {
    float a = 0.0f;
    for (int32_t i = 0; i < kMV2WaveSamples; i++) {
        const float value =
            (std::sin(a * 0.5f * 0.017453292f) + std::sin(a * 0.017453292f)) * 0.25f;
        gMV2Water.waves[i] = value;
        gMV2Water.waves[i + kMV2WaveSamples] = value;
        a += i < 512 ? 1.3183594f : 2.1972656f;
    }
}

float ClampTicks() {
    return gMV2FrameTimer.ticks;
}

// The looped surface sound near the water: its slot and channel while it plays, and the point
// it is attached to.
struct SurfaceSound {
    int32_t slot;
    int32_t channel;
    TvV3d at;
};
SurfaceSound g_surface{};

void StopSurfaceSound() {
    if (g_surface.channel) MV2StopSound(g_surface.slot, g_surface.channel);
    g_surface.channel = 0;
}

void UpdateSurfaceSound(const TvV3d* camera) {
    if (!camera || (MV2GetCurrentLevelId() >> 24) == 1) return;
    const float distance = std::fabs(camera->y - gMV2Water.height);
    if (distance >= 10.0f) {
        StopSurfaceSound();
        return;
    }
    if (!g_surface.channel) {
        g_surface.slot = MV2GetSoundSlot(MV2FindSoundByName("WATERSURFACE"));
        if (!g_surface.slot) return;
        g_surface.channel = MV2PlaySound(g_surface.slot, 0, 1);
        if (!g_surface.channel) return;
    }
    g_surface.at = {camera->x, gMV2Water.height, camera->z};
    MV2PlaceSound3D(g_surface.slot, g_surface.channel, &g_surface.at, nullptr, 0,
                    float(int32_t(distance * -1000.0f)));
}

} // namespace

int32_t MV2LoadFog(const char* name) {
    char path[128];
    std::snprintf(path, sizeof path, ".\\data\\%s.fog", name ? name : "");
    TvFileInterface& f = TV_ENGINE->fileFuncs;
    void* file = f.open(path, "rb");
    if (!file) file = f.open(".\\data\\default.fog", "rb");
    if (!file) {
        MV2ErrorBox("Could not open default.fog file\n");
        return 0;
    }
    uint8_t table[256];
    const size_t got = f.read(table, 1, sizeof table, file);
    f.close(file);
    // A short file keeps the previous table rather than half of one.
    if (got == sizeof table) std::memcpy(g_fog, table, sizeof g_fog);
    return 1;
}

const uint8_t* MV2GetFogTable() {
    return g_fog;
}

void MV2ResetFog() {
    if (!gMV2MainCamera) return;
    if (TvCameraBeginUpdate(gMV2MainCamera)) {
        TvRenderStateSet(kTvRenderStateFogTable, intptr_t(g_fog));
        TvCameraEndUpdate(gMV2MainCamera);
    }
}

void MV2SetWaterHeight(float height) {
    gMV2Water.height = height;
    gMV2Water.targetHeight = height;
}

void MV2SetWaterTargetHeight(float height) {
    gMV2Water.targetHeight = height;
}

float MV2GetWaterHeight(const TvV3d* point) {
    for (const MV2WaterRegion& r : gMV2Water.regions) {
        if (!(point->x > r.min.x && point->x < r.max.x && point->z > r.min.z &&
              point->z < r.max.z && point->y > r.min.y - 50.0f))
            continue;
        if (!MV2ObjectHandleAlive(r.handle) || !r.object->clump) continue;
        TpAtomic* atomic = MV2GetFirstAtomic(r.object->clump);
        if (!atomic) continue;
        const TvV3d top{point->x, 5000.0f, point->z};
        const TvV3d bottom{point->x, point->y - 10.0f, point->z};
        if (MV2IntersectAtomicLine(atomic, &top, &bottom, nullptr, nullptr)) return r.max.y;
    }
    return gMV2Water.height;
}

// The floor of the level's landscape: the lowest point of its world's bounding box.
float MV2GetWorldDepthReference() {
    return MV2World ? TpWorldGetBBox(MV2World)->inf.y : 0.0f;
}

int32_t MV2GetWaterDepth(const TvV3d* point, float* depth) {
    *depth = MV2GetWaterHeight(point) - point->y;
    return 1;
}

void MV2SetUpWaterRegions() {
    gMV2Water.regions.clear();
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    for (TpClump* c = MV2GetFirstWorldClump(world); c; c = MV2GetNextWorldClump(world, c)) {
        MV2Object* o = MV2GetClumpObject(c);
        const int32_t type = o ? int32_t(o->typeWord & kMV2ObjectTypeMask) : 0;
        if (type < 160 || type > 164 || o->clump != c) continue;
        MV2WaterRegion r{{-10000.0f, -10000.0f, -10000.0f}, {10000.0f, 10000.0f, 10000.0f}, 0, o};
        MV2ObjectSendMessage(o, 17, 0, intptr_t(&r.handle));
        TpAtomic* atomic = MV2FindRootAtomic(o->clump);
        TpGeometry* g = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
        if (g) {
            const TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 0));
            for (int32_t i = 0; i < TpGeometryGetNumVertices(g); i++) {
                r.max = {std::max(r.max.x, v[i].x), std::max(r.max.y, v[i].y),
                         std::max(r.max.z, v[i].z)};
                r.min = {std::min(r.min.x, v[i].x), std::min(r.min.y, v[i].y),
                         std::min(r.min.z, v[i].z)};
            }
        }
        const TvV3d at = TvFrameGetLTM(MV2GetRootFrame(o->clump))->pos;
        r.max = TvV3dAdd(r.max, at);
        r.min = TvV3dAdd(r.min, at);
        gMV2Water.regions.push_back(r);
    }
}

int32_t MV2InitialiseWater() {
    FillWaves();
    MV2ResetWater();
    DestroyWaterTextures();
    for (int32_t i = 0; i < kMV2WaterFrames; i++) {
        TvTexture* t = ReadFrame(i);
        if (!t) {
            DestroyWaterTextures();
            return 0;
        }
        TvTextureSetFilterMode(t, 4);
        gMV2Water.textures[i] = t;
    }
    gMV2Water.material = TpMaterialCreate();
    if (!gMV2Water.material) {
        DestroyWaterTextures();
        return 0;
    }
    TpMaterialSetTexture(gMV2Water.material, gMV2Water.textures[0]);
    gMV2Water.frame = 0;
    gMV2Water.accumulator = 0.0f;
    return 1;
}

void MV2ResetWater() {
    StopSurfaceSound();
    if (gMV2Water.material) TpMaterialDestroy(gMV2Water.material);
    gMV2Water.material = nullptr;
    DestroyWaterTextures();
}

void MV2UpdateWater(const TvV3d* cameraPosition) {
    MV2WaterState& w = gMV2Water;
    const float step = ClampTicks();
    w.accumulator += step;
    if (w.accumulator >= 3.0f) {
        w.accumulator -= 3.0f;
        w.frame = w.frame == kMV2WaterFrames - 1 ? 0 : w.frame + 1;
        if (w.material && w.textures[w.frame])
            TpMaterialSetTexture(w.material, w.textures[w.frame]);
    }
    const float difference = w.targetHeight - w.height;
    if (difference > 0.04f)
        w.height += 0.04f * step;
    else if (difference < -0.04f)
        w.height -= 0.04f * step;
    else
        w.height += difference * step * 0.01f;
    UpdateSurfaceSound(cameraPosition);
}

void MV2DrawWaterSurface() {
    MV2DrawWaterSurfaceForCamera(gMV2MainCamera);
}

void MV2DrawWaterSurfaceForCamera(TvCamera* camera) {
    if (!camera || !camera->object.frame || !gMV2Water.textures[gMV2Water.frame]) return;
    const TvMatrix* m = TvFrameGetLTM(camera->object.frame);
    const float w = camera->viewWindow.x, h = camera->viewWindow.y, f = camera->farPlane;
    const float level = gMV2Water.height, cy = m->pos.y;
    bool crosses = false;
    const float corners[4][2] = {{w, h}, {-w, h}, {w, -h}, {-w, -h}};
    for (const auto& c : corners) {
        const float y = c[0] * f * m->right.y + c[1] * f * m->up.y + cy + m->at.y * f;
        if ((y - level) * (cy - level) < 0.0f) crosses = true;
    }
    if (!crosses) return;
    TvRenderStateSet(kTvRenderStateTextureRaster,
                     intptr_t(TvTextureGetRaster(gMV2Water.textures[gMV2Water.frame])));
    const TvV3d up{0, 1, 0};
    TvV3d right;
    const TvV3d cross = TvV3dCross(m->at, up);
    TvV3dNormalize(&right, &cross);
    const TvV3d forward = TvV3dCross(right, up);
    const bool above = cy > level;
    TvIm3DVertex v[20];
    float minU = 1e30f, minV = 1e30f;
    for (int32_t i = 0; i < 20; i++) {
        float x = (i & 1) ? 1.5f * f : -1.5f * f;
        if (!above) x = -x; // the strip faces the camera on either side of the surface
        const float z = float((i - 10) / 2) * f * 0.3f;
        TvV3d p = TvV3dAdd(m->pos, TvV3dAdd(TvV3dScale(right, x), TvV3dScale(forward, z)));
        p.y = level;
        v[i].objVertex = p;
        v[i].u = p.x / 8.0f;
        v[i].v = p.z / 8.0f;
        minU = std::min(minU, v[i].u);
        minV = std::min(minV, v[i].v);
        v[i].red = v[i].green = v[i].blue = v[i].alpha = 255;
    }
    const float du = std::trunc(minU), dv = std::trunc(minV);
    for (TvIm3DVertex& x : v) {
        x.u -= du;
        x.v -= dv;
    }
    if (TvIm3DTransform(v, 20, nullptr, kTvIm3DVertexUV)) {
        TvIm3DRenderPrimitive(4);
        TvIm3DEnd();
    }
}

// Ripples, drops and splashes.

int32_t MV2InitialiseRipples() {
    MV2ShutdownRipples();
    g_ripples = new RippleState{};
    RippleState& s = *g_ripples;
    s.ripples.Reset();
    s.drops.Reset();
    s.splashes.Reset();
    s.ripple = TvTextureRead("RIPPLE", "");
    s.splash = TvTextureRead("NWSPLASH", "");
    TvTexture* drop = TvTextureRead("DROP", "");
    s.drop = TpMaterialCreate();
    if (s.drop && drop) TpMaterialSetTexture(s.drop, drop);
    if (drop) TvTextureDestroy(drop); // the material keeps its reference
    for (TvTexture* t : {s.ripple, s.splash})
        if (t) TvTextureSetFilterMode(t, 4);
    const float base = std::sin(0.7853982f);
    for (int32_t i = 0; i < 200; i++)
        s.heights[i] =
            i < 100 ? 0.1f * (std::sin(0.7853982f + 0.015707964f * float(i)) - base) / (1 - base)
                    : 0.0f;
    for (int32_t i = 0; i < 12; i++) {
        const TvV3d d{std::sin(float(i) * 0.5235988f), 0.0f, std::cos(float(i) * 0.5235988f)};
        TvV3dNormalize(&s.directions[i], &d);
    }
    for (int32_t i = 0; i < 37; i++) {
        TvIm3DVertex& v = s.mesh[i];
        v.u = (i & 1) ? 1.0f : 0.0f;
        v.v = i == 0 ? 1.0f : i <= 12 ? 0.75f : i <= 24 ? 0.5f : 0.0f;
    }
    return s.ripple && s.splash && s.drop ? 1 : 0;
}

void MV2ShutdownRipples() {
    if (!g_ripples) return;
    if (g_ripples->ripple) TvTextureDestroy(g_ripples->ripple);
    if (g_ripples->splash) TvTextureDestroy(g_ripples->splash);
    if (g_ripples->drop) TpMaterialDestroy(g_ripples->drop);
    delete g_ripples;
    g_ripples = nullptr;
}

void MV2SetRippleSurfaceMode(int32_t on) {
    if (g_ripples) g_ripples->surfaceMode = on;
}

int32_t MV2CountRipples() {
    return g_ripples ? g_ripples->ripples.count : 0;
}
int32_t MV2CountDrops() {
    return g_ripples ? g_ripples->drops.count : 0;
}
int32_t MV2CountSplashes() {
    return g_ripples ? g_ripples->splashes.count : 0;
}

void MV2AddDrop(const TvV3d* position, const TvV3d* velocity) {
    if (!g_ripples) return;
    Drop* d = g_ripples->drops.Take();
    if (!d) return;
    d->position = *position;
    if (velocity) {
        d->velocity = *velocity;
    } else {
        const float r1 = MV2RandomUnit(), r2 = MV2RandomUnit(), r3 = MV2RandomUnit();
        d->velocity = {r1 - 0.5f, r2 + 1.0f, r3 - 0.5f};
    }
    d->size = 0.01f;
}

float MV2AddRipple(const TvV3d* position, const TvV3d* direction) {
    if (!g_ripples) return 0.0f;
    Ripple* r = g_ripples->ripples.Take();
    if (!r) return 0.0f;
    TvMatrixSetIdentity(&r->orientation);
    r->orientation.flags = 0x20003;
    r->orientation.pos = *position;
    r->size = 0.05f;
    r->life = 1.0f;
    if (!direction) return 0.7f;
    const TvV3d flat{direction->x, 0.0f, direction->z};
    const float length = TvV3dLength(&flat);
    if (length <= 0.01f) {
        r->orientation.at = {1, 0, 0};
    } else {
        TvV3dNormalize(&r->orientation.at, &flat);
        r->orientation.pos.x += (MV2RandomUnit() - 0.5f) * 0.5f;
        r->orientation.pos.z += (MV2RandomUnit() - 0.5f) * 0.5f;
        MV2AddDrop(position, nullptr);
    }
    r->orientation.right = TvV3dCross(r->orientation.up, r->orientation.at);
    return length <= 0.01f ? 0.7f : 0.7f / (length * 50.0f + 1.0f);
}

void MV2AddObjectSplash(MV2Object* object, const TvV3d* position) {
    if (!g_ripples) return;
    auto& pool = g_ripples->splashes;
    for (int32_t i = pool.head; i >= 0; i = pool.next[i]) {
        const Splash& s = pool.items[i];
        if (s.owner != object || s.age >= 0.25f) continue;
        const TvV3d d = TvV3dSub(s.position, *position);
        if (TvV3dDot(d, d) <= 1.0f) return;
    }
    MV2PlaySoundAt(position, 30.0f, 8, 0, 0, 0);
    MV2AddDrop(position, nullptr);
    Splash* s = pool.Take();
    if (!s) return;
    s->owner = object;
    s->position = *position;
    s->duration = kSplashDuration;
}

void MV2UpdateRipples() {
    if (!g_ripples) return;
    RippleState& st = *g_ripples;
    const float ticks = gMV2FrameTimer.ticks, seconds = gMV2FrameTimer.seconds;
    for (int32_t i = st.ripples.head; i >= 0;) {
        Ripple& r = st.ripples.items[i];
        r.life -= 0.5f * seconds;
        r.size += 0.5f * seconds;
        i = r.life < 0.0f ? st.ripples.Free(i) : st.ripples.next[i];
    }
    for (int32_t i = st.drops.head; i >= 0;) {
        Drop& d = st.drops.items[i];
        d.position = TvV3dAdd(d.position, TvV3dScale(d.velocity, kDropSpeed * ticks));
        d.velocity.y -= kDropGravity * ticks;
        float depth;
        MV2GetWaterDepth(&d.position, &depth);
        if (d.velocity.y < 0.0f && depth >= 0.0f) {
            const TvV3d at = d.position;
            i = st.drops.Free(i);
            MV2AddRipple(&at, nullptr);
        } else {
            i = st.drops.next[i];
        }
    }
    for (int32_t i = st.splashes.head; i >= 0;) {
        Splash& s = st.splashes.items[i];
        s.age += seconds;
        if (s.age >= s.duration) {
            i = st.splashes.Free(i);
            continue;
        }
        if (!st.surfaceMode) s.position.y = MV2GetWaterHeight(&s.position);
        i = st.splashes.next[i];
    }
}

void MV2DrawRipples(TvCamera* camera) {
    if (!g_ripples || !camera || !camera->object.frame) return;
    RippleState& st = *g_ripples;
    const TvV3d eye = TvFrameGetLTM(camera->object.frame)->pos;
    if (st.ripples.head >= 0 && st.ripple)
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(TvTextureGetRaster(st.ripple)));
    float lift = 0.0f;
    for (int32_t i = st.ripples.head; i >= 0; i = st.ripples.next[i]) {
        const Ripple& r = st.ripples.items[i];
        const TvV3d p = r.orientation.pos, a = r.orientation.at, rt = r.orientation.right;
        const float s = r.size;
        TvV3d q = p;
        float depth;
        if (!st.surfaceMode) {
            MV2GetWaterDepth(&q, &depth);
            q.y += depth;
        }
        const TvSphere sphere{q, s};
        if (TvCameraFrustumTestSphere(camera, &sphere) == kTvSphereOutside) continue;
        const bool above = eye.y > q.y;
        const TvV3d corners[4] = {TvV3dAdd(p, TvV3dScale(TvV3dSub(a, rt), s)),
                                  TvV3dAdd(p, TvV3dScale(TvV3dAdd(a, rt), s)),
                                  TvV3dSub(p, TvV3dScale(TvV3dAdd(a, rt), s)),
                                  TvV3dAdd(p, TvV3dScale(TvV3dSub(rt, a), s))};
        const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
        const uint8_t grey = uint8_t(std::clamp(r.life, 0.0f, 1.0f) * 255.0f);
        TvIm3DVertex v[4];
        for (int32_t c = 0; c < 4; c++) {
            v[c].objVertex = corners[c];
            if (!st.surfaceMode) v[c].objVertex.y = MV2GetWaterHeight(&corners[c]);
            v[c].objVertex.y += above ? lift : -lift;
            v[c].u = uv[c][0];
            v[c].v = uv[c][1];
            v[c].red = v[c].green = v[c].blue = grey;
            v[c].alpha = 255;
        }
        if (TvIm3DTransform(v, 4, nullptr, kTvIm3DVertexUV)) {
            // Each side's pair is wound to face the camera under the pipeline's back-face test.
            if (!above) {
                TvIm3DRenderTriangle(0, 1, 2);
                TvIm3DRenderTriangle(2, 1, 3);
            } else {
                TvIm3DRenderTriangle(0, 2, 1);
                TvIm3DRenderTriangle(2, 3, 1);
            }
            TvIm3DEnd();
            lift += 0.002f;
        }
    }
    TvTexture* drop = st.drop ? st.drop->texture : nullptr;
    for (int32_t i = st.drops.head; i >= 0; i = st.drops.next[i]) {
        const Drop& d = st.drops.items[i];
        MV2DrawSprite(drop, &d.position, d.size, d.size, 1.0f);
    }
    for (int32_t i = st.splashes.head; i >= 0; i = st.splashes.next[i]) {
        const Splash& sp = st.splashes.items[i];
        const float a = sp.age, dur = sp.duration;
        const uint8_t grey = uint8_t(255 - int32_t(a * 255.0f / dur));
        const int32_t n = std::min(int32_t(a / dur * 200.0f), 199);
        TvIm3DVertex* m = st.mesh;
        const TvV3d c = sp.position;
        m[0].objVertex = c;
        for (int32_t k = 0; k < 12; k++) {
            const TvV3d d = st.directions[k];
            m[25 + k].objVertex = {c.x + a * d.x, c.y + dur * st.heights[n], c.z + a * d.z};
            m[13 + k].objVertex = {c.x + a / 2 * d.x, c.y + dur * st.heights[n / 2],
                                   c.z + a / 2 * d.z};
            m[1 + k].objVertex = {c.x + a / 4 * d.x, c.y, c.z + a / 4 * d.z};
        }
        for (int32_t k = 0; k < 37; k++) {
            m[k].red = m[k].green = m[k].blue = grey;
            m[k].alpha = 255;
        }
        if (st.splash)
            TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(TvTextureGetRaster(st.splash)));
        if (!TvIm3DTransform(m, 37, nullptr, kTvIm3DVertexUV)) continue;
        for (int32_t s = 0; s < 2; s++) {
            uint16_t strip[26], swapped[26];
            for (int32_t j = 0; j <= 12; j++) {
                const int32_t jj = j % 12;
                strip[2 * j] = uint16_t(12 * s + jj + 1);
                strip[2 * j + 1] = uint16_t(12 * s + jj + 13);
                swapped[2 * j] = strip[2 * j + 1];
                swapped[2 * j + 1] = strip[2 * j];
            }
            TvIm3DRenderIndexedPrimitive(4, strip, 26);
            TvIm3DRenderIndexedPrimitive(4, swapped, 26);
        }
        TvIm3DEnd();
    }
}

// Object types.

intptr_t MV2WaterSurfaceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message == 3 && result && object->clump && gMV2Water.material) {
        TpAtomic* atomic = MV2FindRootAtomic(object->clump);
        TpGeometry* g = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
        if (g && TpGeometryLock(g, kTpLockPolygons)) {
            TpMaterialListDeinitialise(&g->materials);
            TpMaterialListInitialise(&g->materials);
            TpMaterialListAppendMaterial(&g->materials, gMV2Water.material);
            for (int32_t i = 0; i < g->numTriangles; i++)
                g->triangles[i].material = 0;
            TpGeometryUnlock(g);
        }
    }
    if (message == 2 && object->clump) {
        if (TpWorld* world = TpClumpGetWorld(object->clump)) TpWorldRemoveClump(world, object->clump);
    }
    return result;
}

intptr_t MV2SinkingDebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    // The time at which the object goes away is kept in the handler's first object word.
    intptr_t& end = object->words[0];
    switch (message) {
    case 2: {
        if (object->clump && object->body) {
            const TvV3d at = TvFrameGetLTM(MV2GetRootFrame(object->clump))->pos;
            if (at.y > MV2GetWaterHeight(&at))
                for (int32_t i = 0; i < 6; i++)
                    MV2ApplyGravity(object);
        }
        if (int32_t(gMV2DayClock.gameClock - uint32_t(end)) > 0) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 0;
        }
        break;
    }
    case 18:
    case 19:
        object->energy = -1.0f;
        return 1;
    case 96:
        return 0;
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (result) end = intptr_t(gMV2DayClock.gameClock + 40000u);
        return result;
    }
    default:
        break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterWaterHandlers() {
    for (int32_t t = 160; t <= 164; t++)
        MV2SetObjectTypeHandler(t, MV2WaterSurfaceHandler);
    for (int32_t t : {240, 288, 289, 290, 322, 325, 326, 327, 384, 385, 387})
        MV2SetObjectTypeHandler(t, MV2SinkingDebrisHandler);
}
