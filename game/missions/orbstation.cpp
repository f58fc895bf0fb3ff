// The energy orb station and the turning antenna.
#include "game/missions/orbstation.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "game/effects/primitives.h"
#include "game/missions/lightobject.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "shell/sounds.h"

MV2OrbPool gMV2OrbPool;

namespace {

void ClearPool() {
    MV2OrbPool& pool = gMV2OrbPool;
    for (MV2StationOrb& orb : pool.orbs)
        orb = MV2StationOrb{};
    pool.freeIndex = 0;
    pool.lastUpdate = MV2GameClock() - 1;
}

void PlayVolume(const char* name) {
    const int32_t slot = MV2GetSoundSlot(MV2CreatureSound(name));
    if (!slot) return;
    const int32_t channel = MV2PlaySound(slot, 0, 0);
    if (channel > 0) MV2SetSoundParams(slot, channel, 0, 1.0f, 0.0f);
}

void Free(int32_t i) {
    gMV2OrbPool.orbs[i].live = 0;
    if (i < gMV2OrbPool.freeIndex) gMV2OrbPool.freeIndex = i;
}

void GlowColour(MV2Object* glow, float t) {
    if (!glow) return;
    if (auto* l = MV2LevelData<MV2LightObjectData>(glow)) {
        l->red = 0.6f * t;
        l->green = t;
        l->blue = 0.6f * t;
        if (l->light) TpLightSetColor(l->light, l->red, l->green, l->blue, 1.0f);
    }
}

void UpdateOrbs(MV2Object* target) {
    MV2OrbPool& pool = gMV2OrbPool;
    const uint32_t now = MV2GameClock();
    if (pool.lastUpdate == now) return;
    pool.lastUpdate = now;
    const float step = MV2FrameStep();
    for (int32_t i = 0; i < kMV2StationOrbs; i++) {
        MV2StationOrb& orb = pool.orbs[i];
        if (!orb.live) continue;
        const uint32_t age = now - orb.birth;
        if (int32_t(age) > 6000) {
            Free(i);
            continue;
        }
        orb.position = TvV3dAdd(orb.position, orb.velocity);
        orb.velocity = TvV3dScale(orb.velocity, 0.95f);
        if (age < 1200 || !target) continue;
        const TvV3d to = TvV3dSub(MV2ObjectPosition(target), orb.position);
        if (TvV3dDot(to, to) < 0.1089f) {
            const float initial = MV2InitialEnergy(target);
            target->energy = std::fmin(target->energy + 0.05f * initial, initial);
            Free(i);
            PlayVolume("REGEN2");
            continue;
        }
        TvV3d pull = TvV3dSub(MV2ObjectPosition(target), TvV3dAdd(orb.position, orb.velocity));
        const float d2 = std::fmax(TvV3dDot(pull, pull), 3.0f);
        if (MV2Normalise(&pull) <= 0.0f) continue;
        orb.velocity = TvV3dAdd(orb.velocity, TvV3dScale(pull, (d2 + 1.0f) * step * 0.008f));
    }
}

// The next free record from the free index on; -1 when the pool is full.
int32_t FindFree() {
    MV2OrbPool& pool = gMV2OrbPool;
    for (int32_t n = 0; n < kMV2StationOrbs; n++) {
        const int32_t i = (pool.freeIndex + n) % kMV2StationOrbs;
        if (!pool.orbs[i].live) return i;
    }
    return -1;
}

void Emit(MV2Object* object, MV2OrbStationData* d) {
    d->accumulator += MV2FrameStep() * (2.0f / 3.0f);
    int32_t count = int32_t(d->accumulator);
    d->accumulator -= float(count);
    if (count > 4) count = 4;
    const TvMatrix* m = object->matrix;
    const float r = object->radius;
    for (; count > 0 && d->emitted < kMV2StationOrbs; count--) {
        const int32_t i = FindFree();
        if (i < 0) break; // the pool is full: the emission stops
        MV2StationOrb& orb = gMV2OrbPool.orbs[i];
        const float a = (float(MV2RandomBits(2047)) * 0.00069060776f - 0.707f) * r;
        const float b = (float(MV2RandomBits(2047)) * 0.00069060776f - 0.707f) * r;
        orb.live = 1;
        orb.birth = MV2GameClock();
        orb.position = TvV3dAdd(m->pos, TvV3dAdd(TvV3dScale(m->right, a), TvV3dScale(m->up, b)));
        orb.velocity =
            TvV3dScale(m->up, (float(MV2RandomBits(1023)) / 4096.0f + 0.875f) * 0.3f);
        if (++d->emitted == kMV2StationOrbs) d->fadeEnd = MV2GameClock() + 3000;
        gMV2OrbPool.freeIndex = (i + 1) % kMV2StationOrbs;
    }
    GlowColour(MV2GetObjectRef(&d->glow), float(d->emitted) * 0.05f);
}

void StationUpdate(MV2Object* object, MV2OrbStationData* d) {
    MV2Object* target = MV2GetObjectRef(&d->target);
    if (!target) target = MV2GetPlayerSub();
    UpdateOrbs(target);
    MV2Object* glow = MV2GetObjectRef(&d->glow);
    if (d->emitted >= kMV2StationOrbs) {
        if (d->fadeEnd) {
            const float t = float(int32_t(d->fadeEnd - MV2GameClock())) / 3000.0f;
            if (t < 0.0f || !glow) {
                if (glow) MV2ObjectSendMessage(glow, 11, 0, 0);
                d->fadeEnd = 0;
                MV2RunCallback(d->callback, object, 0);
            } else {
                GlowColour(glow, t);
            }
            return;
        }
        bool within = false;
        if (target) {
            const TvV3d v = TvV3dSub(MV2ObjectPosition(target), MV2ObjectPosition(object));
            within = TvV3dDot(v, v) < d->reach * d->reach;
        }
        if (within && !d->inRange) {
            d->emitted = 0;
            d->accumulator = 0.0f;
            MV2Object* before = MV2GetObjectRef(&gMV2OrbPool.active);
            if (before && before != object) MV2ObjectSendMessage(before, 1, 0, 0);
            MV2SetObjectRef(&gMV2OrbPool.active, object);
            MV2ObjectSendMessage(object, 0, 1, 0);
            if (glow) MV2ObjectSendMessage(glow, 11, 1, 0);
            MV2RunCallback(d->callback, object, 1);
            PlayVolume("REGEN1");
        }
        d->inRange = within;
        return;
    }
    Emit(object, d);
}

} // namespace

void MV2ResetOrbPool() {
    gMV2OrbPool.resetPending = 1;
    gMV2OrbPool.liveStations = 0;
    MV2ClearObjectRef(&gMV2OrbPool.active);
}

void MV2DrawStationOrbs(TvTexture* texture) {
    if (gMV2OrbPool.liveStations <= 0 || !texture) return;
    const uint32_t now = MV2GameClock();
    for (const MV2StationOrb& orb : gMV2OrbPool.orbs) {
        if (!orb.live) continue;
        const float left = float(6000 - int32_t(now - orb.birth)) / 6000.0f;
        if (left <= 0.0f) continue;
        const float size = (3073.0f + float(MV2RandomBits(1023))) / 4096.0f * 0.5f * left;
        MV2DrawSpriteFogged(texture, &orb.position, size);
    }
}

intptr_t MV2OrbStationHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2OrbStationData));
    auto* d = MV2LevelData<MV2OrbStationData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: StationUpdate(object, d); break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (gMV2OrbPool.resetPending) {
            ClearPool();
            gMV2OrbPool.resetPending = 0;
        }
        *d = MV2OrbStationData{};
        const float r = object->radius;
        const TvV3d at = TvV3dAdd(MV2ObjectPosition(object), TvV3dScale(object->matrix->up, r * 0.25f));
        const MV2Point3 p = MV2Point(at);
        if (MV2Object* glow = MV2CreateObject(69, p.v, nullptr)) {
            if (auto* l = MV2LevelData<MV2LightObjectData>(glow)) {
                l->radius = 3.0f * r;
                l->glowSize = 0.707f * r;
                l->flags |= 0x804u;
            }
            MV2ObjectSendMessage(glow, 11, 0, 0);
            MV2SetObjectRef(&d->glow, glow);
        }
        d->emitted = kMV2StationOrbs; // no emission until a target comes within reach
        d->reach = r;
        gMV2OrbPool.liveStations++;
        return 1;
    }
    case 4:
        if (MV2Object* glow = MV2GetObjectRef(&d->glow)) MV2ObjectSendMessage(glow, 4, 0, 0);
        if (--gMV2OrbPool.liveStations <= 0) {
            gMV2OrbPool.liveStations = 0;
            ClearPool();
        }
        break;
    case 12: d->callback = MV2CallbackOf(p2); return 1;
    case 24:
        if (p2) d->reach = *reinterpret_cast<const float*>(p2);
        return 1;
    case 63:
        if (p2) MV2SetObjectRef(&d->target, reinterpret_cast<MV2Object*>(p2));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2AntennaHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2AntennaData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2AntennaData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        if (d->frame) {
            const TvV3d up{0, 1, 0};
            TvFrameRotate(d->frame, &up, MV2FrameStep(), 1);
        }
        MV2LoopNamedSound(object, "COMMS", &d->sound);
        if (object->energy < 0.0f) object->energy = 0.0f;
        break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2AntennaData{};
        d->frame = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        d->stored = 1.0f;
        object->aiCategory = 9;
        return 1;
    case 4: MV2StopNamedSound(object, "COMMS", &d->sound); break;
    case 12:
        if (p2) d->stored = *reinterpret_cast<const float*>(p2);
        return 1;
    case 13:
        if (p2) *reinterpret_cast<float*>(p2) = d->stored;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterOrbStationHandlers() {
    MV2SetObjectTypeHandler(264, MV2OrbStationHandler);
    MV2SetObjectTypeHandler(14, MV2AntennaHandler);
}
