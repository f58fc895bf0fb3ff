#include "game/effects/cracks.h"

#include <cmath>
#include <cstring>

#include "engine/core/im2d.h"
#include "game/effects/effectbase.h"
#include "game/frontend/draw2d.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/player/player.h"
#include "platform/crt/crt.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

MV2ScreenCracks gMV2ScreenCracks = {{}, kMV2CrackRoots, 0, kMV2CrackRoots, 0};

namespace {

constexpr MV2CrackRect kRects[2] = {{0.0f, 0.0f, 0.2422f, 0.2422f},
                                    {0.25f, 0.0f, 0.4922f, 0.2422f}};
constexpr float kEdge[2] = {0.25f, 0.75f};
// The 2-D texture row that holds the cracked glass.
constexpr int32_t kGlassTextureRow = 4;

// integer(rand() x n / 32767) of the runtime generator.
int32_t R(int32_t n) {
    return int32_t(float(PlatformRand()) * float(n) / 32767.0f);
}

const MV2CrackRect* PickRect() {
    int32_t i = R(2);
    if (i > 1) i = 1;
    return &kRects[i];
}

void Aim(MV2CrackSegment& s) {
    const float tx = 240.0f + float(R(160)), ty = 200.0f + float(R(80));
    float dx = tx - s.x, dy = ty - s.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length > 0.0f) {
        dx /= length;
        dy /= length;
    }
    s.x += dx * 16.0f;
    s.y += dy * 16.0f;
    s.a = (dx - dy) * 16.0f;
    s.b = (dy + dx) * 16.0f;
}

void Grow() {
    MV2ScreenCracks& c = gMV2ScreenCracks;
    if (c.live <= 0) return; // every crack is full grown
    int32_t k = R(c.live);
    if (k > c.live - 1) k = c.live - 1;
    int32_t slot = -1;
    for (int32_t i = 0; i < kMV2CrackRoots; i++)
        if (c.segments[i].stage < 7 && k-- == 0) {
            slot = i;
            break;
        }
    if (slot < 0) return;
    MV2CrackSegment& root = c.segments[slot];
    root.stage++;
    if (root.stage == 7) c.live--;
    if (root.stage == 1) {
        root.rect = PickRect();
        const float j = float(R(240) - 120);
        const float e = kEdge[slot / 4];
        switch (slot & 3) {
        case 0: root.x = e * 640.0f + j, root.y = 0.0f; break;
        case 1: root.x = e * 640.0f + j, root.y = 480.0f; break;
        case 2: root.x = 0.0f, root.y = e * 480.0f + j; break;
        default: root.x = 640.0f, root.y = e * 480.0f + j; break;
        }
        Aim(root);
        return;
    }
    if (c.count >= kMV2CrackSegments) return; // no segment past the last
    MV2CrackSegment* last = &root;
    while (last->next)
        last = last->next;
    MV2CrackSegment& s = c.segments[c.count];
    s = MV2CrackSegment{};
    s.rect = PickRect();
    s.x = last->x + (last->a + last->b) * 0.5f;
    s.y = last->y + (last->b - last->a) * 0.5f;
    Aim(s);
    last->next = &s;
    c.count++;
}

} // namespace

void MV2ResetScreenCracks() {
    MV2ScreenCracks& c = gMV2ScreenCracks;
    for (int32_t i = 0; i < kMV2CrackRoots; i++)
        c.segments[i] = MV2CrackSegment{};
    c.live = kMV2CrackRoots;
    c.count = kMV2CrackRoots;
    c.steps = 0;
    PlatformSrand(0);
    c.soundTime = 0;
}

void MV2AddScreenCracks(int32_t count) {
    MV2ScreenCracks& c = gMV2ScreenCracks;
    const uint32_t now = MV2EffectClock();
    if (int32_t(c.soundTime - now) < 0) {
        if (MV2Object* player = MV2GetPlayerObject(); player && player->matrix) {
            MV2PlaySoundAt(&player->matrix->pos, 1.0f, MV2EffectSound("HULLCREAK"), 0, 0, 0);
            c.soundTime = now + 1500;
        }
    }
    for (int32_t i = 0; i < count; i++) {
        c.steps++;
        if (c.steps % 2 == 0) continue;
        Grow();
    }
}

void MV2DrawScreenCracks() {
    MV2Object* player = MV2GetPlayerObject();
    TvRaster* raster = MV2Get2DTextureRaster(kGlassTextureRow);
    if (!player || player != MV2GetPlayerSub() || !raster) return;
    if (MV2GetCameraMode() != kMV2CameraCockpit || gMV2GameState.current != 0) return;
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(raster));
    const MV2ScreenCracks& c = gMV2ScreenCracks;
    const int32_t count = c.count < kMV2CrackSegments ? c.count : kMV2CrackSegments;
    for (int32_t i = 0; i < count; i++) {
        const MV2CrackSegment& s = c.segments[i];
        if (!s.rect) continue;
        TvIm2DVertex v[4] = {};
        MV2Setup2DVertices(v, 4);
        const float px[4] = {s.x - s.b, s.x - s.a, s.x + s.a, s.x + s.b};
        const float py[4] = {s.y + s.a, s.y - s.b, s.y + s.b, s.y - s.a};
        const float pu[4] = {s.rect->left, s.rect->left, s.rect->right, s.rect->right};
        const float pv[4] = {s.rect->top, s.rect->bottom, s.rect->top, s.rect->bottom};
        for (int32_t k = 0; k < 4; k++) {
            v[k].x = px[k] * sx;
            v[k].y = py[k] * sy;
            v[k].colour = 0x80FFFFFFu;
            v[k].u = pu[k];
            v[k].v = pv[k];
        }
        TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, v, 4);
    }
}
