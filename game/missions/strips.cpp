#include "game/missions/strips.h"

#include "engine/core/im2d.h"
#include "engine/core/vector.h"
#include "game/effects/effectbase.h"
#include "game/effects/primitives.h"
#include "game/objects/waterfalls.h"
#include "shell/frametimer.h"

namespace {

TvV3d Lerp(const TvV3d& a, const TvV3d& b, float f) {
    return TvV3dAdd(a, TvV3dScale(TvV3dSub(b, a), f));
}

TvTexture* Spray(int32_t index) {
    const int32_t n = int32_t(sizeof gMV2Waterfalls.spray / sizeof gMV2Waterfalls.spray[0]);
    return index >= 0 && index < n ? gMV2Waterfalls.spray[index] : nullptr;
}

void DrawStrip(const MV2Waterfall* w) {
    const float scale = w->type == 407 ? 3.0f : 1.0f;
    for (int32_t k = 0; k < kMV2WaterfallParticles; ++k) {
        const float v = w->puffs[k];
        MV2DrawSprite(Spray(w->particleTextures[k]), &w->particles[k], 1.5f * scale, scale * v, v);
    }
    for (int32_t k = 0; k < kMV2WaterfallSplashes; ++k) {
        const float v = w->splashTimers[k];
        if (v > 1.0f) continue;
        const float s = (1.5f - v) * scale;
        MV2DrawSprite(Spray(w->splashTextures[k]), &w->splashes[k], s, s, v);
    }
}

} // namespace

void MV2StripPathPoint(const MV2Waterfall* w, float t, TvV3d* out) {
    if (!w || !out) return;
    if (gMV2Waterfalls.poolFlag && w->type == 376)
        *out = Lerp(w->straight[0], w->straight[1], t);
    else if (t < 0.25f)
        *out = Lerp(w->path[0], w->path[1], 4.0f * t);
    else if (t > 0.75f)
        *out = Lerp(w->path[2], w->path[3], 4.0f * (t - 0.75f));
    else
        *out = Lerp(w->path[1], w->path[2], 2.0f * (t - 0.25f));
}

int32_t MV2DrawStripSprites() {
    const intptr_t source = MV2BeginAdditiveGlow();
    const MV2Waterfalls& m = gMV2Waterfalls;
    for (int32_t i = 0; i < m.count && i < kMV2MaxListedWaterfalls; ++i) {
        const MV2Object* o = m.list[i];
        const auto* w = o ? static_cast<const MV2Waterfall*>(o->privateData) : nullptr;
        if (w && w->lastUpdate == gMV2FrameTimer.updateCounter) DrawStrip(w);
    }
    return MV2EndAdditiveGlow(source) ? 1 : 0;
}
