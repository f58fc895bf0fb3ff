#include "game/objects/waterfalls.h"

#include <cstdio>

#include "engine/core/resources.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "game/missions/missions.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "shell/frametimer.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"

MV2Waterfalls gMV2Waterfalls{};

namespace {

uint32_t Random() {
    return uint32_t(TvRandom());
}

MV2WaterfallTemplate* TemplateOf(int32_t type) {
    return type == 376 ? &gMV2Waterfalls.templates[0]
           : type == 407 ? &gMV2Waterfalls.templates[1]
                         : nullptr;
}

// A model-space point placed by the object's matrix; the height goes on without turning.
TvV3d Place(const TvMatrix* m, const TvV3d& p) {
    const TvV3d& R = m->right;
    const TvV3d& A = m->at;
    const TvV3d& O = m->pos;
    return {O.x + p.x * R.x + p.z * A.x, O.y + p.y + p.x * R.y + p.z * A.y,
            O.z + p.x * R.z + p.z * A.z};
}

bool MakeTemplate(MV2WaterfallTemplate* t, int32_t type, TpGeometry* g) {
    if (!g || TpGeometryGetNumVertices(g) < kMV2WaterfallTemplateVertices) return false;
    const TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 0));
    if (!v) return false;
    if (type == 376) {
        const TvV3d m = TvV3dScale(TvV3dAdd(v[0], v[31]), 0.5f);
        const int32_t ids[4] = {0, 17, 19, 31};
        for (int32_t i = 0; i < 4; i++) {
            const TvV3d& p = v[ids[i]];
            t->path[i] = {m.x + 1.5f * (p.x - m.x), p.y, m.z + 1.5f * (p.z - m.z)};
        }
        const int32_t straight[2] = {5, 36};
        for (int32_t i = 0; i < 2; i++) {
            const TvV3d& p = v[straight[i]];
            t->straight[i] = {1.2f * p.x, p.y, 1.2f * p.z};
        }
    } else {
        const int32_t ids[4] = {0, 15, 17, 32};
        for (int32_t i = 0; i < 4; i++) {
            const TvV3d& p = v[ids[i]];
            t->path[i] = {1.5f * p.x, p.y, 1.5f * p.z};
        }
    }
    t->geometry = g;
    t->valid = 1;
    return true;
}

void PathPoint(const MV2Waterfall* w, float t, TvV3d* out) {
    if (w->hasPath) MV2StripPathPoint(w, t, out);
}

void Create(MV2Object* object) {
    auto* w = static_cast<MV2Waterfall*>(object->privateData);
    if (!w) return;
    w->type = int32_t(object->typeWord & kMV2ObjectTypeMask);
    MV2WaterfallTemplate* t = TemplateOf(w->type);
    TpAtomic* atomic = object->clump ? MV2GetFirstAtomic(object->clump) : nullptr;
    if (t && !t->valid && atomic) MakeTemplate(t, w->type, TpAtomicGetGeometry(atomic));
    w->hasPath = t && t->valid && object->matrix ? 1 : 0;
    if (w->hasPath) {
        for (int32_t i = 0; i < 4; i++)
            w->path[i] = Place(object->matrix, t->path[i]);
        if (w->type == 376)
            for (int32_t i = 0; i < 2; i++)
                w->straight[i] = Place(object->matrix, t->straight[i]);
    }
    for (int32_t i = 0; i < kMV2WaterfallParticles; i++) {
        w->puffs[i] = 0.5f;
        PathPoint(w, gMV2Waterfalls.base[i], &w->particles[i]);
        w->directions[i] = (Random() & 15) > 7 ? -1.0f : 1.0f;
        w->particleTextures[i] = int32_t(Random() & 7);
    }
    for (int32_t k = 0; k < kMV2WaterfallSplashes; k++) {
        w->splashTimers[k] = 999.0f;
        w->splashes[k] = {0, 0, 0};
        w->splashTextures[k] = int32_t(Random() & 7);
    }
    w->soundVariable = 0;
    w->lastUpdate = gMV2FrameTimer.updateCounter;
    if (gMV2Waterfalls.count < kMV2MaxListedWaterfalls)
        gMV2Waterfalls.list[gMV2Waterfalls.count++] = object;
}

void Scroll(MV2Object* object, int32_t type) {
    MV2WaterfallTemplate* t = TemplateOf(type);
    const uint32_t counter = gMV2FrameTimer.updateCounter;
    if (!t || (t->scrolled && t->lastScroll == counter)) return;
    if (MV2Object* player = MV2GetPlayerObject()) {
        gMV2Waterfalls.poolFlag = 1;
        if (player->clump) {
            const TvV3d at = TvFrameGetLTM(MV2GetRootFrame(player->clump))->pos;
            if (MV2GetWaterHeight(&at) == gMV2Water.height) gMV2Waterfalls.poolFlag = 0;
        }
    }
    TpAtomic* atomic = object->clump ? MV2GetFirstAtomic(object->clump) : nullptr;
    TpGeometry* g = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
    if (g && g->texCoords && TpGeometryLock(g, kTpLockTexCoords)) {
        const int32_t n = g->numVertices;
        for (int32_t i = 0; i < n; i++)
            g->texCoords[i].v += gMV2FrameTimer.seconds;
        if (n > 0 && g->texCoords[n - 1].v > 40.0f)
            for (int32_t i = 0; i < n; i++)
                g->texCoords[i].v -= 20.0f;
        TpGeometryUnlock(g);
    }
    t->lastScroll = counter;
    t->scrolled = 1;
}

void Update(MV2Object* object) {
    auto* w = static_cast<MV2Waterfall*>(object->privateData);
    if (!w) return;
    const int32_t type = int32_t(object->typeWord & kMV2ObjectTypeMask);
    Scroll(object, type);
    TpAtomic* atomic = object->clump ? MV2GetFirstAtomic(object->clump) : nullptr;
    if (atomic && atomic->instancedData) {
        TvResourcesFreeResEntry(atomic->instancedData);
        atomic->instancedData = nullptr;
    }
    const float seconds = gMV2FrameTimer.seconds;
    const MV2Waterfalls& m = gMV2Waterfalls;
    for (int32_t i = 0; i < kMV2WaterfallParticles; i++) {
        const float r = float(Random() & 0x3FF);
        w->puffs[i] += 2.0f * (r * 0.0009775171f) * w->directions[i] * seconds;
        if (w->puffs[i] > 1.0f) {
            w->puffs[i] = 1.0f;
            w->directions[i] = -w->directions[i];
        } else if (w->puffs[i] < 0.25f) {
            w->puffs[i] = 0.25f;
            w->particleTextures[i] = int32_t(Random() & 7);
            const float j = float(Random() & 0x3FF);
            PathPoint(w, (j * 0.0019550342f - 1.0f) * m.spread + m.base[i], &w->particles[i]);
            w->directions[i] = -w->directions[i];
        }
    }
    for (int32_t k = 0; k < kMV2WaterfallSplashes; k++) {
        float& timer = w->splashTimers[k];
        timer -= seconds;
        if (timer > 1.0f) {
            if ((Random() & 3) == 1) {
                timer = 1.0f;
                const float r = float(Random() & 0x3FF);
                PathPoint(w, r * 0.0009775171f * 0.8f + 0.1f, &w->splashes[k]);
                w->splashTextures[k] = int32_t(Random() & 7);
            }
        } else if (timer > 0.0f) {
            w->splashes[k].y += seconds;
        } else {
            timer = 999.0f;
        }
    }
    const float r = float(Random() & 0x3FF);
    if (w->hasPath && object->matrix) {
        TvV3d x;
        MV2StripPathPoint(w, r * 0.0009775171f, &x);
        const TvV3d o = object->matrix->pos;
        const TvV3d direction{x.x - o.x, 3.0f, x.z - o.z};
        TvV3d velocity;
        TvV3dNormalize(&velocity, &direction);
        velocity = TvV3dScale(velocity, 2.0f);
        MV2AddDrop(&x, &velocity);
    }
    MV2StartObjectSound(object, kMV2WaterfallSound, &w->soundVariable, 0, 0);
    w->lastUpdate = gMV2FrameTimer.updateCounter;
}

void Unlist(MV2Object* object) {
    MV2Waterfalls& m = gMV2Waterfalls;
    for (int32_t i = 0; i < m.count; i++) {
        if (m.list[i] != object) continue;
        for (int32_t j = i + 1; j < m.count; j++)
            m.list[j - 1] = m.list[j];
        m.list[--m.count] = nullptr;
        return;
    }
}

} // namespace

int32_t MV2InitialiseWaterfalls() {
    MV2Waterfalls& m = gMV2Waterfalls;
    for (int32_t i = 0; i < 8; i++) {
        if (m.spray[i]) continue;
        char name[24];
        std::snprintf(name, sizeof name, "CLOUD%dM", i + 1);
        m.spray[i] = TvTextureRead(name, name);
        if (!m.spray[i]) return 0;
        TvTextureSetFilterMode(m.spray[i], 4);
    }
    m.count = 0;
    for (MV2Object*& o : m.list)
        o = nullptr;
    for (int32_t i = 0; i < kMV2WaterfallParticles; i++)
        m.base[i] = float(i + 1) * 0.09090909f;
    m.spread = 0.045454547f;
    m.poolFlag = 0;
    return 1;
}

void MV2ShutdownWaterfalls() {
    for (TvTexture*& t : gMV2Waterfalls.spray) {
        if (t) TvTextureDestroy(t);
        t = nullptr;
    }
    gMV2Waterfalls.count = 0;
}

intptr_t MV2WaterfallHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2:
        Update(object);
        break;
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (!result) return 0;
        Create(object);
        return 1;
    }
    case 4:
        if (auto* w = static_cast<MV2Waterfall*>(object->privateData))
            MV2StopObjectSound(object, kMV2WaterfallSound, &w->soundVariable);
        Unlist(object);
        break;
    case 96:
        if (p2) *reinterpret_cast<uint32_t*>(p2) = uint32_t(sizeof(MV2Waterfall));
        return 1;
    default:
        break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2) ? 1 : 0;
}

void MV2RegisterWaterfallHandlers() {
    MV2SetObjectTypeHandler(376, MV2WaterfallHandler);
    MV2SetObjectTypeHandler(407, MV2WaterfallHandler);
}

void MV2DrawWaterfallSpray() {
    const intptr_t source = MV2BeginAdditiveGlow();
    const uint32_t counter = gMV2FrameTimer.updateCounter;
    for (int32_t i = 0; i < gMV2Waterfalls.count; i++) {
        MV2Object* object = gMV2Waterfalls.list[i];
        auto* w = object ? static_cast<const MV2Waterfall*>(object->privateData) : nullptr;
        if (!w || !w->hasPath || w->lastUpdate != counter) continue;
        const float s = w->type == 407 ? 3.0f : 1.0f;
        for (int32_t k = 0; k < kMV2WaterfallParticles; k++)
            MV2DrawSprite(gMV2Waterfalls.spray[w->particleTextures[k] & 7], &w->particles[k],
                          1.5f * s, s * w->puffs[k], w->puffs[k]);
        for (int32_t k = 0; k < kMV2WaterfallSplashes; k++) {
            const float t = w->splashTimers[k];
            if (!(t <= 1.0f)) continue;
            MV2DrawSprite(gMV2Waterfalls.spray[w->splashTextures[k] & 7], &w->splashes[k],
                          (1.5f - t) * s, (1.5f - t) * s, t);
        }
    }
    TvRenderStateSet(kTvRenderStateSrcBlend, source);
    TvRenderStateSet(kTvRenderStateDestBlend, 6);
}
