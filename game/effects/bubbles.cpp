#include "game/effects/bubbles.h"

#include <cmath>
#include <cstdio>

#include "engine/core/texture.h"
#include "game/effects/effectbase.h"
#include "game/effects/primitives.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectupdate.h"
#include "game/objects/water.h"
#include "shell/gamemain.h"

namespace {

constexpr int32_t kWobble = 64;

struct State {
    MV2Bubble records[kMV2Bubbles];
    MV2Bubble freeHead;
    MV2Bubble activeHead;
    TvTexture* textures[3];
    float scale[kWobble];
    float offset[kWobble];
    bool linked;
};
State g = {};

void Free(MV2Bubble* b) {
    b->packed &= ~0xFFu;
    MV2EffectUnlink(b);
    MV2EffectLinkAfter(&g.freeHead, b);
}

uint32_t Age(const MV2Bubble* b) {
    return (b->packed >> 8) & 0xFFFF;
}

} // namespace

int32_t MV2InitialiseBubbles() {
    char name[16];
    for (int32_t i = 0; i < 3; i++) {
        std::snprintf(name, sizeof name, "bubble%c", 'a' + i);
        if (!g.textures[i]) g.textures[i] = MV2ReadEffectTexture(name, name);
        if (!g.textures[i]) return 0;
    }
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    for (MV2Bubble& b : g.records) {
        b = MV2Bubble{};
        MV2EffectLinkAfter(&g.freeHead, &b);
    }
    for (int32_t i = 0; i < kWobble; i++) {
        const float a = float(i) * 5.625f * 0.017453292f;
        g.scale[i] = 1.0f + 0.1f * std::cos(a);
        g.offset[i] = std::sin(a) + std::cos(a);
    }
    g.linked = true;
    return 1;
}

void MV2ShutdownBubbles() {
    for (TvTexture*& t : g.textures)
        MV2DestroyEffectTexture(t);
}

void MV2ResetBubbles() {
    if (!g.linked) return;
    for (MV2Bubble* b = g.activeHead.next; b != &g.activeHead;) {
        MV2Bubble* next = b->next;
        if (b->packed & 0xFF) Free(b);
        b = next;
    }
}

MV2Bubble* MV2CreateBubble(const float* position, const float* velocity, float size) {
    if (!g.linked || !position || !MV2InViewUpdateFlag) return nullptr;
    const TvV3d at = MV2V3d(position);
    const TvV3d d = TvV3dSub(at, MV2CameraMatrix(gMV2MainCamera)->pos);
    const float far = MV2EffectFar();
    if (TvV3dDot(d, d) > far * far) return nullptr;
    if (MV2GetWaterHeight(&at) < at.y - 0.55f) return nullptr;
    MV2Bubble* b = g.freeHead.next;
    if (b != &g.freeHead) {
        MV2EffectUnlink(b);
        MV2EffectLinkAfter(&g.activeHead, b);
    } else {
        b = nullptr;
        for (MV2Bubble* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!b || Age(a) < Age(b)) b = a;
        if (!b) return nullptr;
    }
    b->velocity = velocity ? MV2V3d(velocity) : TvV3d{0, 0, 0};
    float r = float(MV2EffectRandom() & 0xFFFF) / 65535.0f * size;
    if (!(r >= 0.01f)) r = 0.01f;
    if (r > 0.255f) r = 0.255f;
    const uint32_t stored = uint32_t(int32_t(r * 1000.0f)) & 0xFF;
    b->ceiling = 1.0e9f;
    const uint32_t age = uint32_t(int32_t(float(MV2EffectRandom() & 0xFFFF) * 0.015625f));
    b->flags = ((MV2EffectRandom() & 0xFFFF) / 21845) & 1;
    const uint32_t variant = 1 + MV2EffectRandom() % 3;
    b->packed = stored << 24 | (age & 0xFFFF) << 8 | variant;
    b->position = at;
    return b;
}

void MV2UpdateBubbles() {
    if (!g.linked) return;
    const float step = MV2EffectStep();
    const uint32_t grow = uint32_t(int32_t(MV2EffectSeconds() * 1024.0f));
    const float drag = MV2GetMediumDrag(9);
    for (MV2Bubble* b = g.activeHead.next; b != &g.activeHead;) {
        MV2Bubble* next = b->next;
        const uint32_t age = (Age(b) + grow) & 0xFFFF;
        b->packed = (b->packed & 0xFF0000FFu) | age << 8;
        b->velocity.y += 0.005f * step;
        b->position = TvV3dAdd(b->position, TvV3dScale(b->velocity, step));
        b->velocity = TvV3dScale(b->velocity, drag);
        if (age > 5000) {
            Free(b);
        } else if (MV2GetWaterHeight(&b->position) < b->position.y + 0.55f) {
            if ((MV2EffectRandom() & 15) == 0) MV2AddRipple(&b->position, nullptr);
            Free(b);
        } else if (b->position.y > b->ceiling) {
            Free(b);
        }
        b = next;
    }
}

void MV2DrawBubbles() {
    if (!g.linked) return;
    for (MV2Bubble* b = g.activeHead.next; b != &g.activeHead; b = b->next) {
        const uint32_t variant = b->packed & 0xFF;
        if (variant == 0 || variant > 3) continue;
        const float s = float(b->packed >> 24) * 0.001f;
        const int32_t p = int32_t(float((b->packed >> 8) & 0x3FF) * 0.0625f) & (kWobble - 1);
        const TvV3d axis = (b->flags & 1) ? TvV3d{0, 0, 1} : TvV3d{1, 0, 0};
        const TvV3d centre = TvV3dAdd(b->position, TvV3dScale(axis, g.offset[p] * s));
        MV2DrawSprite(g.textures[variant - 1], &centre, s * g.scale[p],
                      s * g.scale[(p - 32) & (kWobble - 1)], 0.7f);
    }
}

MV2Bubble* MV2FirstBubble() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}

int32_t MV2CountBubbles() {
    int32_t n = 0;
    if (g.linked)
        for (MV2Bubble* b = g.activeHead.next; b != &g.activeHead; b = b->next)
            n++;
    return n;
}
