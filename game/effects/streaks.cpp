#include "game/effects/streaks.h"

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/world_plugin.h"
#include "game/effects/effectbase.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "shell/gamemain.h"

namespace {

constexpr int32_t kStreaksPerChunk = 120;

struct GlowKind {
    int32_t texture; // 0 PLASMA1, 1 PLASMA2, 2 SPIDSHT
    bool fromRadius; // drag and head size follow the projectile's radius
    float drag;
    uint32_t fadeOn;
    float headSize; // a factor of the radius when fromRadius
    float ratio;
};
// Glow kinds 1..5 of a projectile type; 0 and 6-15 have none.
constexpr GlowKind kGlowKinds[6] = {
    {},
    {0, true, 0.0f, 1, 1.0f, 0.9f},
    {1, false, 0.9f, 0, 0.3f, 0.7f},
    {0, true, 0.5f, 0, 1.2f, 0.9f},
    {1, false, 0.9f, 0, 0.1f, 0.7f},
    {2, false, 0.9f, 0, 0.2f, 0.7f},
};
constexpr const char* kTextureNames[3][2] = {
    {"PLASMA1", "PLASMA1M"}, {"PLASMA2", "PLASMA2M"}, {"SPIDSHT", "SPIDSHTM"}};

struct State {
    TvFreeList* list;
    MV2GlowSlot slots[kMV2GlowSlots];
    TvTexture* textures[3];
};
State g = {};

TvIm3DVertex g_quad[4] = {
    {{0, 0, 0}, 0, 0, 255, 255, 255, 255},
    {{0, 0, 0}, 0, 1, 255, 255, 255, 255},
    {{0, 0, 0}, 1, 1, 255, 255, 255, 255},
    {{0, 0, 0}, 1, 0, 255, 255, 255, 255},
};
// The two triangles of a square, wound toward the camera.
uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

void ReleaseSlots() {
    for (MV2GlowSlot& s : g.slots) {
        if (s.streak && g.list) TvFreeListFree(g.list, s.streak);
        s = MV2GlowSlot{};
    }
}

// Rendered this frame: the object's clump was visited by the last visibility walk.
bool RenderedNow(const MV2Object* object) {
    return object && object->clump && object->clump->renderFrame == TpWorldGetRenderFrame();
}

} // namespace

int32_t MV2InitialiseTrails() {
    ReleaseSlots();
    if (!g.list) g.list = TvFreeListCreate(sizeof(MV2Streak), kStreaksPerChunk);
    if (!g.list) return 0;
    const float origin[3] = {0, 0, 0};
    for (MV2GlowSlot& s : g.slots) {
        s.streak = MV2CreateStreak(origin, nullptr, 1.0f, 0.9f, 0.2f, 0, 0.9f);
        if (!s.streak) return 0;
    }
    for (int32_t i = 0; i < 3; i++) {
        if (!g.textures[i]) g.textures[i] = MV2ReadEffectTexture(kTextureNames[i][0], kTextureNames[i][1]);
        if (!g.textures[i]) return 0;
    }
    return 1;
}

void MV2ShutdownTrails() {
    ReleaseSlots();
    if (g.list) TvFreeListDestroy(g.list);
    g.list = nullptr;
    for (TvTexture*& t : g.textures)
        MV2DestroyEffectTexture(t);
}

void MV2AttachTrail(MV2Object* object) {
    if (!object) return;
    int32_t index = -1;
    for (int32_t i = 0; i < kMV2GlowSlots; i++)
        if (!g.slots[i].active && g.slots[i].streak) {
            index = i;
            break;
        }
    if (index < 0) return;
    MV2GlowSlot& s = g.slots[index];
    s.object = object;
    s.handle = object->handle;
    MV2ObjectSendMessage(object, 17, 0, intptr_t(&s.handle));
    const uint32_t kind = object->type ? (object->type->words[32] >> 24) & 15 : 0;
    if (kind < 1 || kind > 5 || !object->matrix) return;
    const GlowKind& k = kGlowKinds[kind];
    const float r = MV2GetBoundingRadius(MV2FindRootAtomic(object->clump));
    const float drag = k.fromRadius ? (kind == 1 ? 1.0f - 2.0f * r : k.drag) : k.drag;
    const float head = k.fromRadius ? k.headSize * r : k.headSize;
    const float at[3] = {object->matrix->pos.x, object->matrix->pos.y, object->matrix->pos.z};
    MV2InitialiseStreak(s.streak, at, g.textures[k.texture], head, k.ratio, drag, k.fadeOn, 0.99f);
    s.active = 1;
}

void MV2UpdateTrails() {
    for (MV2GlowSlot& s : g.slots) {
        if (!s.active) continue;
        if (!MV2ObjectHandleAlive(s.handle)) {
            s.active = 0;
            continue;
        }
        if (!RenderedNow(s.object) || !s.object->matrix) continue;
        const TvV3d& p = s.object->matrix->pos;
        const float head[3] = {p.x, p.y, p.z};
        if (MV2UpdateStreak(s.streak, head)) s.active = 0;
    }
}

void MV2DrawTrails() {
    for (MV2GlowSlot& s : g.slots)
        if (s.active && MV2ObjectHandleAlive(s.handle) && RenderedNow(s.object))
            MV2DrawStreak(s.streak);
}

MV2Streak* MV2CreateStreak(const float* position, TvTexture* texture, float headSize, float ratio,
                           float drag, uint32_t fadeOn, float fadeFactor) {
    if (!g.list || !position) return nullptr;
    auto* streak = static_cast<MV2Streak*>(TvFreeListAlloc(g.list));
    if (streak)
        MV2InitialiseStreak(streak, position, texture, headSize, ratio, drag, fadeOn, fadeFactor);
    return streak;
}

void MV2InitialiseStreak(MV2Streak* streak, const float* position, TvTexture* texture,
                         float headSize, float ratio, float drag, uint32_t fadeOn, float fadeFactor) {
    if (!streak || !position) return;
    *streak = MV2Streak{};
    streak->fadeOn = fadeOn;
    streak->fadeFactor = fadeFactor;
    streak->intensity = 1.0f;
    streak->texture = texture;
    streak->medium = MV2FindDragMedium(drag);
    float size = headSize;
    for (MV2StreakPoint& p : streak->points) {
        p.size = size;
        p.position = MV2V3d(position);
        size *= ratio;
    }
}

int32_t MV2UpdateStreak(MV2Streak* streak, const float* head) {
    if (!streak || !head) return 1;
    MV2StreakPoint* p = streak->points;
    p[0].position = MV2V3d(head);
    int32_t finished = 0;
    if (streak->fadeOn) {
        streak->intensity *= streak->fadeFactor;
        if (streak->intensity < 0.005f) finished = 1;
    }
    float k = MV2GetMediumDrag(streak->medium);
    if (k > 1.0f) k = 1.0f;
    for (int32_t i = 1; i < 3; i++)
        p[i].position = TvV3dAdd(p[i].position,
                                 TvV3dScale(TvV3dSub(p[i - 1].position, p[i].position), k));
    return finished;
}

void MV2DrawStreak(MV2Streak* streak) {
    if (!streak) return;
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(streak->texture)));
    const TvMatrix* camera = MV2CameraMatrix(gMV2MainCamera);
    for (const MV2StreakPoint& p : streak->points) {
        const TvV3d r = TvV3dScale(camera->right, p.size), u = TvV3dScale(camera->up, p.size);
        g_quad[0].objVertex = TvV3dSub(TvV3dSub(p.position, r), u);
        g_quad[1].objVertex = TvV3dSub(TvV3dAdd(p.position, r), u);
        g_quad[2].objVertex = TvV3dAdd(TvV3dAdd(p.position, r), u);
        g_quad[3].objVertex = TvV3dAdd(TvV3dSub(p.position, r), u);
        if (!TvIm3DTransform(g_quad, 1, nullptr, 0)) continue;
        const float depth = MV2CameraDepth(gMV2EffectCamera, g_quad[0].objVertex);
        TvIm3DEnd();
        float grey = (1.0f - depth * MV2EffectInverseFar()) * 255.0f;
        if (streak->fadeOn) grey *= streak->intensity;
        const uint8_t level = MV2WrapByte(grey);
        for (TvIm3DVertex& v : g_quad) {
            v.red = v.green = v.blue = level;
            v.alpha = 255;
        }
        if (!TvIm3DTransform(g_quad, 4, nullptr, kTvIm3DVertexUV)) continue;
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, kQuadIndices, 6);
        TvIm3DEnd();
    }
}

const MV2GlowSlot* MV2GetGlowSlot(int32_t index) {
    return index >= 0 && index < kMV2GlowSlots ? &g.slots[index] : nullptr;
}
