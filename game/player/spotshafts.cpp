// Spotlight shafts: a pool of records on a free and an active ring, and their drawing as a fan
// of eight vertices whose brightness falls as the camera looks along the light.
#include "game/player/spotshafts.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "game/effects/effectbase.h"
#include "game/objects/objects.h"

namespace {

struct ShaftVertex {
    float across, along, intensity;
};
constexpr ShaftVertex kShape[8] = {
    {-0.03f, 0.0f, 0.0f}, {-0.01f, 0.0f, 1.0f}, {0.01f, 0.0f, 1.0f}, {0.03f, 0.0f, 0.0f},
    {0.0f, 0.1f, 1.0f},   {0.0f, 1.0f, 0.0f},   {-0.4f, 0.9f, 0.0f}, {0.4f, 0.9f, 0.0f},
};
uint16_t g_indices[21] = {0, 6, 1, 1, 6, 5, 1, 5, 4, 4, 2, 1, 2, 4, 5, 2, 5, 7, 3, 2, 7};

MV2LightShaft g_pool[kMV2LightShafts];
MV2LightShaft g_free;   // ring heads
MV2LightShaft g_active;
bool g_ready = false;
TvIm3DVertex g_vertices[8];

void Unlink(MV2LightShaft* s) {
    s->prev->next = s->next;
    s->next->prev = s->prev;
}

void PushFront(MV2LightShaft* head, MV2LightShaft* s) {
    s->next = head->next;
    s->prev = head;
    head->next->prev = s;
    head->next = s;
}

void Ready() {
    if (g_ready) return;
    g_free.next = g_free.prev = &g_free;
    g_active.next = g_active.prev = &g_active;
    for (MV2LightShaft& s : g_pool)
        PushFront(&g_free, &s);
    g_ready = true;
}

TvV3d Unit(const TvV3d& v) {
    const float l = std::sqrt(TvV3dDot(v, v));
    return l > 0.0f ? TvV3dScale(v, 1.0f / l) : v;
}

} // namespace

void MV2AddLightShaft(TvFrame* frame, const float* length, uint32_t handle) {
    Ready();
    MV2LightShaft* s = g_free.next;
    if (s == &g_free) return;
    Unlink(s);
    s->frame = frame;
    s->length = length;
    s->handle = handle;
    PushFront(&g_active, s);
}

void MV2RemoveLightShaft(uint32_t handle) {
    Ready();
    for (MV2LightShaft* s = g_active.next; s != &g_active; s = s->next) {
        if (s->handle != handle) continue;
        Unlink(s);
        PushFront(&g_free, s);
        return;
    }
}

int32_t MV2CountLightShafts() {
    Ready();
    int32_t n = 0;
    for (const MV2LightShaft* s = g_active.next; s != &g_active; s = s->next)
        ++n;
    return n;
}

void MV2DrawLightShafts(TvCamera* camera) {
    Ready();
    const TvMatrix* view = camera ? MV2CameraMatrix(camera) : nullptr;
    if (!view || g_active.next == &g_active) return;
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    for (MV2LightShaft* s = g_active.next; s != &g_active;) {
        MV2LightShaft* next = s->next;
        if (!MV2ObjectHandleAlive(s->handle) || !s->frame) {
            Unlink(s);
            PushFront(&g_free, s);
            s = next;
            continue;
        }
        const TvMatrix* m = TvFrameGetLTM(s->frame);
        const float c = std::fabs(TvV3dDot(view->at, m->at));
        const float alpha = (0.9f - c) * 0.75f;
        const float length = s->length ? *s->length : 0.0f;
        if (alpha > 0.0f) {
            const TvV3d side = Unit(TvV3dCross(TvV3dSub(m->pos, view->pos), m->at));
            for (int32_t i = 0; i < 8; ++i) {
                TvIm3DVertex& v = g_vertices[i];
                v.objVertex = TvV3dAdd(m->pos, TvV3dAdd(TvV3dScale(side, kShape[i].across * length),
                                                         TvV3dScale(m->at, kShape[i].along * length)));
                v.u = v.v = 0.0f;
                v.red = v.green = v.blue = uint8_t(alpha * kShape[i].intensity * 255.0f);
                v.alpha = 255;
            }
            if (TvIm3DTransform(g_vertices, 8, nullptr, 0)) {
                TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_indices, 21);
                TvIm3DEnd();
            }
        }
        s = next;
    }
}
