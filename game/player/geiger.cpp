// The geiger counter.
#include "game/player/geiger.h"

#include <cstring>

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/intersect.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/frontend/draw2d.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "shell/errors.h"
#include "shell/sounds.h"

namespace {

struct GeigerModule {
    int32_t soundOn;
    int32_t alertArmed;
    uint32_t lastAlert;
    float sum, forwardSum, missionSum;
};
GeigerModule g_geiger;
TvFreeList* g_records = nullptr;

// Distances come from the sphere query as a fraction of the radius; a source at the centre
// counts as 0.01 units away so that neither sum divides by zero.
float Distance(float fraction) {
    const float d = fraction * kMV2GeigerRadius;
    return d < 0.01f ? 0.01f : d;
}

void Query(const MV2Object* around, TpWorldAtomicIntersectionCallBack callback) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world || !around || !around->matrix) return;
    TpIntersection q{};
    q.type = kTpIntersectSphere;
    q.t.sphere = {around->matrix->pos, kMV2GeigerRadius};
    TpWorldForAllAtomicIntersections(world, &q, callback, nullptr);
}

void Measure(MV2GeigerData* d) {
    g_geiger.sum = g_geiger.forwardSum = 0.0f;
    Query(MV2GetPlayerObject(), MV2GeigerSource);
    d->reading = g_geiger.sum < 1.0f ? g_geiger.sum : 1.0f;
    d->forwardReading = g_geiger.forwardSum < 1.0f ? g_geiger.forwardSum : 1.0f;
}

void Display(MV2GeigerData* d, intptr_t p1, intptr_t p2) {
    d->time += uint32_t(MV2ShotFrameMilliseconds());
    uint32_t colour;
    if (d->reading > 0.001f) {
        if (g_geiger.alertArmed) {
            MV2PlayInterfaceSound(MV2ShotSound("DEPTHWARNING"));
            g_geiger.lastAlert = d->time;
            g_geiger.alertArmed = 0;
        }
        if (d->reading < 1.0f)
            colour = 0xFFFF0000u | (uint32_t(255 - int32_t(d->reading * 255.0f)) & 255) << 8;
        else
            colour = 0xFF000000u | (d->time & 255) << 16;
    } else {
        colour = MV2Get2DColour();
    }
    const int32_t x = p1 ? int32_t(p1 & 0xFFFF) : 598;
    const int32_t y = p1 ? int32_t((p1 >> 16) & 0xFFFF) : 190;
    MV2Draw2DIcon(x, y, int32_t(p2), colour);
    MV2Object* player = MV2GetPlayerObject();
    if (g_geiger.soundOn && player && d->forwardReading > 0.001f && MV2GetCameraMode() == 1) {
        const float draw = float(TvRandom() & 255);
        if (draw < d->forwardReading * 255.0f) MV2ShotPlayAt(player->matrix->pos, 5.0f, "GEIGER", 0);
    }
}

MV2GeigerData* Record(MV2Tool* tool) {
    return tool ? reinterpret_cast<MV2GeigerData*>(tool->word) : nullptr;
}

} // namespace

float MV2GeigerStrength(const MV2Object* object) {
    float s;
    std::memcpy(&s, &object->typeWord68, sizeof s);
    return s;
}

TpAtomic* MV2GeigerSource(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance,
                          void*) {
    MV2Object* object = MV2GetClumpObject(TpAtomicGetClump(atomic));
    MV2Object* player = MV2GetPlayerObject();
    if (!object || !player || !object->matrix) return atomic;
    const float s = MV2GeigerStrength(object);
    if (s == 0.0f) return atomic;
    const float d = Distance(distance);
    const float k = d * 1.1962022f + 1.0f;
    g_geiger.sum += s / (k * k);
    const TvV3d v = MV2ShotUnit(TvV3dSub(object->matrix->pos, player->matrix->pos));
    const float c = TvV3dDot(v, player->matrix->at);
    if (c >= 0.9f) g_geiger.forwardSum += ((c - 0.9f) * 5.0f + 0.5f) * s / d;
    return atomic;
}

TpAtomic* MV2GeigerSourceSum(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance,
                             void*) {
    MV2Object* object = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!object) return atomic;
    const float s = MV2GeigerStrength(object);
    if (s == 0.0f) return atomic;
    const float d = Distance(distance);
    g_geiger.missionSum += s / (d * d);
    return atomic;
}

float MV2ReadGeiger(MV2Object* object) {
    g_geiger.missionSum = 0.0f;
    Query(object, MV2GeigerSourceSum);
    return g_geiger.missionSum;
}

void MV2ArmGeigerAlert(int32_t flag) {
    g_geiger.alertArmed = flag;
}

int32_t MV2GeigerToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    MV2GeigerData* d = Record(tool);
    switch (command) {
    case 3: {
        auto* made = static_cast<MV2GeigerData*>(MV2ShotGunDataAlloc(
            &g_records, sizeof(MV2GeigerData), "Could not create free list for geiger", nullptr, 2));
        if (!made || !tool) return 0;
        *made = {};
        tool->word = reinterpret_cast<uintptr_t>(made);
        if (MV2GetPlayerObject()) g_geiger.soundOn = 1;
        return 1;
    }
    case 4:
        if (d) TvFreeListFree(g_records, d);
        if (tool) tool->word = 0;
        return 1;
    case 53:
        g_geiger.soundOn ^= 1;
        if (tool) tool->charges = -1;
        return 1;
    case 74:
        if (d) Measure(d);
        return 1;
    case 68:
        if (d) Display(d, p1, p2);
        return 1;
    case 59:
        if (auto* g = reinterpret_cast<MV2ToolGauge*>(p2); g && d) {
            g->level = d->reading > 0.001f ? (int32_t(d->forwardReading * 255.0f) & 255) | 256 : 0;
            g->value = int32_t(d->reading * 255.0f);
            g->reading = d->reading;
        }
        return 1;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}

int32_t MV2GeigerSoundOn() {
    return g_geiger.soundOn;
}
