// The attractor, the switch tool and the burst drive.
#include "game/player/attractor.h"

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/intersect.h"
#include "engine/world/world.h"
#include "game/frontend/hud.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "shell/errors.h"
#include "shell/frametimer.h"

namespace {

constexpr int32_t kMaxPulled = 20;
constexpr float kPullRadius = 10.0f;

struct AttractorModule {
    MV2AttractorPullRecord pull;
    int32_t running;
    uintptr_t sound;
};
AttractorModule g_attractor;
TvFreeList* g_attractors = nullptr;
TvFreeList* g_bursts = nullptr;

uint32_t ToolColour() {
    return kMV2HudColour & 0xFFFFFFu;
}

MV2AttractorData* Attractor(MV2Tool* tool) {
    return tool ? reinterpret_cast<MV2AttractorData*>(tool->word) : nullptr;
}

MV2BurstData* Burst(MV2Tool* tool) {
    return tool ? reinterpret_cast<MV2BurstData*>(tool->word) : nullptr;
}

void SetIcon(intptr_t p2, int32_t sprite, uint32_t colour) {
    if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) *icon = {sprite, colour};
}

void StopAttractSound(MV2Object* sub) {
    if (g_attractor.sound && sub) MV2StopObjectSound(sub, MV2ShotSound("ATTRACT"), &g_attractor.sound);
}

void UpdateAttractor(MV2AttractorData* d) {
    MV2Object* sub = MV2GetPlayerSub();
    if (!sub || !sub->matrix) return;
    if (!d->on) {
        g_attractor.pull.mode = 0;
        d->pulled = 0;
        StopAttractSound(sub);
        return;
    }
    const TvV3d centre = sub->matrix->pos;
    g_attractor.pull = {{centre.x, centre.y, centre.z}, 2};
    g_attractor.running = 0;
    if (TpWorld* world = TpWorldGetCurrent()) {
        TpIntersection q{};
        q.type = kTpIntersectSphere;
        q.t.sphere = {centre, kPullRadius};
        TpWorldForAllAtomicIntersections(world, &q, MV2AttractorPull, nullptr);
    }
    d->pulled = g_attractor.running;
    MV2StartObjectSound(sub, MV2ShotSound("ATTRACT"), &g_attractor.sound, 0, 0);
}

} // namespace

TpAtomic* MV2AttractorPull(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    MV2Object* object = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!object || MV2ShotTypeOf(object) != 95) return atomic;
    void* record = nullptr;
    MV2ObjectSendMessage(object, 27, 0, reinterpret_cast<intptr_t>(&record));
    if (record && static_cast<const int32_t*>(record)[3] > 2) return atomic;
    MV2ObjectSendMessage(object, 28, 0, reinterpret_cast<intptr_t>(&g_attractor.pull));
    return ++g_attractor.running >= kMaxPulled ? nullptr : atomic;
}

int32_t MV2AttractorToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    MV2AttractorData* d = Attractor(tool);
    switch (command) {
    case 3: {
        auto* made = static_cast<MV2AttractorData*>(MV2ShotGunDataAlloc(
            &g_attractors, sizeof(MV2AttractorData), "Could not create free list for attractor", nullptr));
        if (!made || !tool) return 0;
        *made = {};
        tool->word = reinterpret_cast<uintptr_t>(made);
        g_attractor.pull.mode = 0;
        return 1;
    }
    case 2:
        if (d) UpdateAttractor(d);
        return 1;
    case 4:
        StopAttractSound(MV2GetPlayerSub());
        if (d) TvFreeListFree(g_attractors, d);
        if (tool) tool->word = 0;
        return 1;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d ? d->pulled : 0;
        return 1;
    case 53:
        if (tool) tool->charges = -1;
        if (d) d->on ^= 1;
        return 1;
    case 57: SetIcon(p2, 22, d && d->on ? 0xFFFF00u : ToolColour()); return 1;
    case 59:
        if (auto* g = reinterpret_cast<MV2ToolGauge*>(p2); g && d) {
            g->on = d->on;
            g->level = (int32_t(float(d->pulled) * 12.75f) & 255) | 256;
        }
        return 1;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}

int32_t MV2SwitchToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    if (!tool) return MV2DefaultToolHandler(tool, command, p1, p2);
    switch (command) {
    case 3: tool->word = 0; return 1;
    case 53:
        tool->charges = -1;
        tool->word ^= 1;
        return 1;
    case 57: SetIcon(p2, 20, tool->word ? 0xFFFF00u : ToolColour()); return 1;
    case 59:
        if (auto* g = reinterpret_cast<MV2ToolGauge*>(p2)) g->on = int32_t(tool->word);
        return 1;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}

namespace {

void UpdateBurst(MV2BurstData* d) {
    const uint32_t now = MV2ShotClock();
    MV2Object* owner = d->owner;
    if (d->state == 1 && owner && owner->matrix && owner->body) {
        const TvV3d pos = owner->matrix->pos;
        float depth = 0.0f;
        const float surface = MV2GetWaterDepth(&pos, &depth) ? depth + pos.y : MV2GetWaterHeight(&pos);
        if (surface + 0.5f > pos.y)
            owner->body->velocity = TvV3dAdd(owner->body->velocity,
                                             TvV3dScale(owner->matrix->at, MV2ShotFrameStep() * 0.013f));
    }
    if (d->state != 0 && int32_t(now - d->end) >= 0) {
        if (d->state == 1) {
            d->state = 2;
            d->end = now + 4000;
        } else {
            d->state = 0;
        }
    }
}

} // namespace

int32_t MV2BurstToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    MV2BurstData* d = Burst(tool);
    const uint32_t now = MV2ShotClock();
    switch (command) {
    case 3: {
        if (tool) tool->cooldown = 0;
        auto* made = static_cast<MV2BurstData*>(
            MV2ShotGunDataAlloc(&g_bursts, sizeof(MV2BurstData), "Could not create free list for flare tool",
                                "BurstData data alloc error"));
        if (!g_bursts) return 0;
        if (!made || !tool) return 1;
        *made = {0, 0, reinterpret_cast<MV2Object*>(p2)};
        tool->word = reinterpret_cast<uintptr_t>(made);
        return 1;
    }
    case 4:
        if (d) TvFreeListFree(g_bursts, d);
        if (tool) tool->word = 0;
        return 1;
    case 53:
        if (d && d->state == 0) {
            d->state = 1;
            d->end = now + 2000;
            if (d->owner && d->owner->matrix)
                MV2ShotPlayIdAt(d->owner->matrix->pos, 1.0f, tool->row->sound, 0);
        }
        return 1;
    case 2:
        if (d) UpdateBurst(d);
        return 1;
    case 37:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d && d->state == 1 ? 1 : 0;
        return 1;
    case 57: {
        uint32_t colour = 0xFF000000u | ToolColour();
        const int32_t left = d ? int32_t(d->end - now) : 0;
        if (d && d->state == 1) colour = left < 700 ? 0xFF0000u : 0xFFFF00u;
        else if (d && d->state == 2) colour = 0xFF0000u;
        SetIcon(p2, 61, colour);
        return 1;
    }
    case 59: {
        auto* g = reinterpret_cast<MV2ToolGauge*>(p2);
        if (!d) return MV2DefaultToolHandler(tool, command, p1, p2);
        if (!g) return 1;
        const int32_t left = int32_t(d->end - now);
        if (d->state == 1) g->level = left <= 0 ? 0 : int32_t(float(left) * 0.0005f * 255.0f) & 255;
        else if (d->state == 2)
            g->level = left <= 0 ? 255 : int32_t(float(4000 - left) * 0.00025f * 255.0f) & 255;
        else g->level = 255;
        g->coloured = 1;
        g->colour = 0xFF000000u | ToolColour();
        return 1;
    }
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}
