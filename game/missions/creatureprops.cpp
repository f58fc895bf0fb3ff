// Creature props, lures and beacons.
#include "game/missions/creatureprops.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/creatures/ambient.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/submarines.h"
#include "game/effects/bubbles.h"
#include "game/missions/lightobject.h"
#include "game/objects/clumpdata.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

uint32_t Now() {
    return MV2GameClock();
}

bool Passed(uint32_t time) {
    return int32_t(Now() - time) > 0;
}

void ShowTag(MV2Object* object, uint32_t tag, uint8_t flags) {
    if (TpAtomic* a = object->clump ? MV2FindAtomicByTag(object->clump, tag) : nullptr)
        TpAtomicSetFlags(a, flags);
}

// ---- tongue ----

void Retreat(MV2Object* tongue, MV2BurrowTongueData* d) {
    if (d->state != 0 && d->state != 3) {
        d->state = 3;
        MV2SetRootKey(tongue, 30);
    }
    d->next = Now() + 10000;
}

void TongueUpdate(MV2Object* object, MV2BurrowTongueData* d) {
    const float step = MV2FrameStep();
    float amount = 0.0f;
    MV2Object* craft = MV2GetPlayerObject();
    switch (d->state) {
    case 1:
        if (craft) {
            const TvV3d v = TvV3dSub(MV2ObjectPosition(craft), d->tip);
            if (TvV3dDot(v, v) < 0.25f) {
                craft->energy -= 0.5f * step;
                const TvV3d push = TvV3dScale(object->matrix->up, 0.1f);
                MV2AddForce(craft, &push);
                MV2PlayObjectSound(craft, 1.0f, "GROUNDCOLLISION", 2000);
                MV2PlayObjectSound(craft, 1.0f, "METALCOLLISION", 2000);
            }
        }
        amount = step * MV2TypeAnimRate(object);
        break;
    case 2:
        if (Passed(d->next) && craft) {
            const TvV3d v = TvV3dSub(MV2ObjectPosition(craft), d->tip);
            if (TvV3dDot(v, v) > 2.25f) {
                d->state = 3;
                MV2SetRootKey(object, 30);
            }
        }
        amount = step * MV2TypeAnimRate(object) * 0.3f;
        break;
    case 3: amount = step * MV2TypeAnimRate(object); break;
    default: break;
    }
    if (amount != 0.0f && object->clump) MV2AddAnimTime(object->clump, amount);
}

// ---- lure ----

struct FishPull {
    int32_t type; // 75, 95, or 0 for the beacon's pick
    const TvV3d* target;
    int32_t count;
    bool pull;
};

int32_t LureCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* f = static_cast<FishPull*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o) return 1;
    const int32_t type = MV2TypeOf(o);
    const bool fish = f->type ? type == f->type
                              : (type == 75 || type == 95) &&
                                    o->typeHandler == MV2AmbientCreatureHandler;
    if (!fish) return 1;
    f->count++;
    if (f->pull) MV2ObjectSendMessage(o, 28, 0, intptr_t(f->target));
    return 1;
}

int32_t CountFish(MV2Object* object, MV2LureData* d, bool pull) {
    FishPull f{0, &d->target, 0, pull};
    MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), 20.0f, LureCallback, &f);
    return f.count;
}

void LureUpdate(MV2Object* object, MV2LureData* d) {
    if (MV2Object* light = MV2GetObjectRef(&d->light))
        if (d->part) {
            MV2ObjectPosition(light) = TvFrameGetLTM(d->part)->pos;
            MV2ObjectMoved(light);
        }
    MV2ObjectPosition(object) = d->anchor;
    MV2ObjectMoved(object);
    if (!Passed(d->next)) return;
    const TvMatrix* m = object->matrix;
    d->target = TvV3dAdd(
        m->pos, TvV3dAdd(TvV3dScale(m->up, 4.0f + float(MV2RandomBits(3))),
                         TvV3dAdd(TvV3dScale(m->right, float(MV2RandomBits(7)) - 3.5f),
                                  TvV3dScale(m->at, float(MV2RandomBits(7)) - 3.5f))));
    const int32_t type = MV2TypeOf(object);
    if (type == 76) {
        MV2LoopNamedSound(object, "ATTRACT", &d->sound);
        d->next = Now() + 2000;
        object->energy = MV2LurePull(CountFish(object, d, true)) * MV2InitialEnergy(object);
        return;
    }
    d->next = Now() + 20000;
    FishPull f{type == 22 ? 75 : 95, &d->target, 0, true};
    MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), type == 22 ? 6.0f : 8.0f,
                             LureCallback, &f);
}

// ---- dragonfly ----

int32_t DragonflyTargetCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || o->aiCategory != 6) return 1;
    *static_cast<MV2Object**>(data) = o;
    return 0;
}

void DragonflySound(MV2Object* object, MV2DragonflyData* d, const char* name) {
    const int32_t id = MV2CreatureSound(name);
    if (d->sound && d->soundId != id) MV2StopObjectSound(object, d->soundId, &d->sound);
    d->soundId = id;
    MV2LoopNamedSound(object, name, &d->sound);
}

void DragonflyUpdate(MV2Object* object, MV2DragonflyData* d) {
    const float step = MV2FrameStep();
    TvMatrix* m = object->matrix;
    if (object->clump) MV2AddAnimTime(object->clump, step * 1.5f);
    const float surface = MV2GetWaterHeight(&m->pos);
    const float homeHeight = surface + 2.0f;
    if (int32_t(Now() - d->next) >= 0) {
        if (d->state == 0) {
            if (d->sound) MV2StopNamedSound(object, "DRAGONFLY", &d->sound);
            d->state = 1;
            d->next = Now() + 1000;
            d->dash = 0.0f;
        } else {
            if (d->sound) MV2StopNamedSound(object, "DRAGONFLYATTACK", &d->sound);
            d->state = 0;
            d->next = Now() + 500;
            MV2ClearObjectRef(&d->target);
            const TvV3d fromHome = TvV3dSub(m->pos, d->home);
            if (TvV3dDot(fromHome, fromHome) < 100.0f) {
                MV2Object* found = nullptr;
                MV2ForAllAtomicsInSphere(MV2World, &m->pos, 8.0f, DragonflyTargetCallback, &found);
                if (found) {
                    MV2SetObjectRef(&d->target, found);
                } else {
                    TvV3d h{MV2RandomUnit(), 0.0f, MV2RandomUnit()};
                    MV2Normalise(&h);
                    d->wander = TvV3dAdd(d->home, TvV3dScale(h, 10.0f));
                }
            } else {
                d->wander = d->home;
            }
        }
    }
    MV2Object* target = MV2GetObjectRef(&d->target);
    if (d->target.object && !target) {
        d->state = 1;
        d->next = 0;
        MV2ClearObjectRef(&d->target);
        return;
    }
    TvV3d to = TvV3dSub(target ? MV2ObjectPosition(target) : d->wander, m->pos);
    const float length = MV2Normalise(&to);
    const TvV3d right = m->right, at = m->at;
    MV2RotateMatrixInPlace(m, &right, step * m->at.y * 10.0f, 2);
    MV2RotateMatrixInPlace(m, &at, step * m->right.y * -5.0f, 2);
    const TvV3d up = m->up;
    MV2RotateMatrixInPlace(m, &up, TvV3dDot(m->right, to) * step * 5.0f, 2);
    MV2Body* body = object->body;
    if (d->state == 0) {
        if (body && m->pos.y < homeHeight && body->velocity.y < 0.03f) body->velocity.y = 0.03f;
        DragonflySound(object, d, "DRAGONFLY");
    } else {
        const TvV3d r = m->right;
        MV2RotateMatrixInPlace(m, &r, TvV3dDot(m->up, to) * step * -16.0f, 2);
        d->dash = std::fmin(d->dash + 0.5f * step, 0.3f);
        if (body) body->velocity = TvV3dScale(m->at, 0.3f);
        if (m->pos.y < surface) {
            m->pos.y = surface;
            d->next = 0;
        } else if (length >= 0.5f) {
            DragonflySound(object, d, "DRAGONFLYATTACK");
        } else {
            d->next = 0;
        }
    }
    MV2ObjectMoved(object);
}

} // namespace

float MV2LurePull(int32_t count) {
    return std::fmin(std::fmax(float(count) * 0.05f, 0.001f), 1.0f);
}

float MV2BurrowTongueAnimCallback(TpAtomic* atomic, float position) {
    MV2Object* tongue = MV2AtomicObject(atomic);
    auto* d = tongue ? MV2LevelData<MV2BurrowTongueData>(tongue) : nullptr;
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    if (!d) return MV2StepAnimKey(atomic, position, k + 1);
    switch (k) {
    case 19:
        d->state = 2;
        d->next = Now() + 2000;
        return MV2StepAnimKey(atomic, position, 20);
    case 29: return MV2StepAnimKey(atomic, position, 21);
    case 44:
        d->state = 0;
        if (tongue->clump) MV2SetAllAtomicFlags(tongue->clump, 0);
        if (int32_t(d->next - Now()) < 0) d->next = Now() + 1000;
        return 0.0f;
    default: return MV2StepAnimKey(atomic, position, k + 1);
    }
}

float MV2DragonflyWingCallback(TpAtomic* atomic, float position) {
    MV2Object* fly = MV2AtomicObject(atomic);
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    if (fly) {
        if (k == 0) ShowTag(fly, 2, 4);
        if (k == 1) {
            ShowTag(fly, 1, 4);
            ShowTag(fly, 2, 0);
        }
        if (k == 2) ShowTag(fly, 1, 0);
    }
    return MV2StepAnimKey(atomic, position, k >= 2 ? 0 : k + 1);
}

float MV2MembraneAnimCallback(TpAtomic* atomic, float position) {
    MV2Object* membrane = MV2AtomicObject(atomic);
    auto* d = membrane ? MV2LevelData<MV2MembraneData>(membrane) : nullptr;
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    if (!d) return MV2StepAnimKey(atomic, position, k + 1);
    if (d->dissolveOrdered && !d->dissolving) {
        d->dissolving = 1;
        TpAtomicSetFlags(atomic, 4);
        return MV2StepAnimKey(atomic, position, 7);
    }
    if (d->struckHard && !d->bouncing && !d->dissolving) {
        d->struckHard = 0;
        d->bouncing = 1;
        MV2PlayObjectSound(membrane, 5.0f, "MEMBRANEBOUNCE", 0);
        return MV2StepAnimKey(atomic, position, 0);
    }
    if (k == 6) {
        d->bouncing = 0;
        return MV2StepAnimKey(atomic, position, 6);
    }
    if (k == 9) {
        d->finished = 1;
        return MV2StepAnimKey(atomic, position, 9);
    }
    return MV2StepAnimKey(atomic, position, k + 1);
}

intptr_t MV2BurrowHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2BurrowData));
    auto* d = MV2LevelData<MV2BurrowData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2BurrowData{};
        const int32_t type = MV2TypeOf(object);
        if (type != 122 && type != 123) return 1;
        d->part1 = object->clump ? MV2FindFrameByTag(object->clump, 1) : nullptr;
        d->part2 = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        if (!d->part1 || !d->part2) return 0;
        const TvV3d p1w = TvFrameGetLTM(d->part1)->pos, p2w = TvFrameGetLTM(d->part2)->pos;
        const MV2Point3 at = MV2Point(p2w);
        MV2Object* tongue = MV2CreateObject(124, at.v, nullptr);
        if (!tongue) return 0;
        MV2SetObjectRef(&d->tongue, tongue);
        const TvV3d u = MV2Unit(TvV3dSub(p1w, p2w));
        TvMatrix* m = tongue->matrix;
        m->at = {0, 0, 1};
        TvV3d up = TvV3dCross(m->at, m->right);
        if (MV2Normalise(&up) > 0.0f) {
            m->up = up;
            m->right = TvV3dCross(up, m->at);
        }
        m->pos = TvV3dAdd(m->pos, TvV3dScale(u, 0.6f));
        MV2ObjectMoved(tongue);
        const TvV3d tip = TvV3dAdd(p1w, TvV3dScale(u, 0.6f));
        MV2ObjectSendMessage(tongue, 12, 0, intptr_t(&tip));
        return 1;
    }
    case 4:
    case 14:
    case 78:
        if (MV2Object* tongue = MV2GetObjectRef(&d->tongue))
            MV2ObjectSendMessage(tongue, message, p1, message == 4 ? 0 : p2);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2BurrowTongueHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2BurrowTongueData));
    auto* d = MV2LevelData<MV2BurrowTongueData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: TongueUpdate(object, d); break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2BurrowTongueData{};
        if (object->type) d->value8 = object->type->words[8];
        object->flags &= ~kMV2ObjectAnimate; // the update advances the animation itself
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        MV2InstallRootKeyCallback(object, MV2BurrowTongueAnimCallback);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 12:
        if (p2) d->tip = *reinterpret_cast<const TvV3d*>(p2);
        return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (other && other->type && (other->type->words[7] & (1u << 18))) Retreat(object, d);
        return 1;
    }
    case 78: Retreat(object, d); return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2LureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2LureData));
    if (message == 75) return 0;
    auto* d = MV2LevelData<MV2LureData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    const int32_t type = MV2TypeOf(object);
    switch (message) {
    case 2: LureUpdate(object, d); break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2LureData{};
        d->anchor = MV2ObjectPosition(object);
        d->next = Now();
        d->target = d->anchor;
        d->kind = type == 76 ? 3 : 1;
        if (type == 76) {
            d->part = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
            if (!d->part) return 0;
            const MV2Point3 at = MV2Point(d->anchor);
            MV2Object* light = MV2CreateObject(69, at.v, nullptr);
            if (!light) return 0;
            if (auto* l = MV2LevelData<MV2LightObjectData>(light)) {
                l->red = 1.0f;
                l->green = 0.0f;
                l->blue = 0.0f;
                l->radius = 0.2f;
                l->blinkPeriod = 1000;
                l->glowSize = 0.2f;
                l->flags = (l->flags & ~(0xFFu << 3)) | 0x804u;
            }
            MV2SetObjectRef(&d->light, light);
            MV2SetRootKey(object, 0, 0.0f);
            object->flags &= ~kMV2ObjectAnimate;
            MV2ObjectSendMessage(light, 11, 1, 0);
        }
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 4:
        if (type == 76) {
            MV2StopNamedSound(object, "ATTRACT", &d->sound);
            if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 0, 0);
        }
        break;
    case 13:
        if (p2) *reinterpret_cast<float*>(p2) = MV2LurePull(CountFish(object, d, type == 76));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2DragonflyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2DragonflyData));
    auto* d = MV2LevelData<MV2DragonflyData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: DragonflyUpdate(object, d); break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2DragonflyData{};
        TvV3d& p = MV2ObjectPosition(object);
        p.y = MV2GetWaterHeight(&p) + 2.0f;
        d->state = 1;
        d->home = p;
        if (!MV2InstallRootKeyCallback(object, MV2DragonflyWingCallback)) return 0;
        ShowTag(object, 2, 0);
        ShowTag(object, 1, 0);
        object->flags &= ~kMV2ObjectAnimate;
        MV2SetRootKey(object, 0);
        MV2ObjectMoved(object);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 4:
        if (d->sound) MV2StopNamedSound(object, d->state ? "DRAGONFLYATTACK" : "DRAGONFLY", &d->sound);
        break;
    case 19: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (d->state == 1 && other && other->aiCategory == 6) {
            MV2PlayObjectSound(object, 5.0f, "GROUNDCOLLISION", 0);
            MV2PlayObjectSound(other, 5.0f, "METALCOLLISION", 0);
            other->energy -= 15.0f;
            const TvV3d push = TvV3dScale(object->matrix->at, 2.0f);
            MV2AddForce(other, &push);
        }
        break;
    }
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2MembraneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2MembraneData));
    auto* d = MV2LevelData<MV2MembraneData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        if (d->finished) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2MembraneData{};
        if (!MV2InstallRootKeyCallback(object, MV2MembraneAnimCallback)) return 0;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 19:
        if (p1 > 1000 || p1 < -1000) d->struckHard = 1;
        break;
    case 63:
        if (!d->dissolving && !d->dissolveOrdered) {
            d->dissolveOrdered = 1;
            MV2PlayObjectSound(object, 5.0f, "MEMBRANEDISSOLVE", 0);
        }
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2CommsBeaconHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    static uintptr_t sound; // one beacon per level
    switch (message) {
    case 2:
        if (object->energy < 0.0f) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        MV2LoopNamedSound(object, "COMMS", &sound);
        break;
    case 4: MV2StopNamedSound(object, "COMMS", &sound); break;
    case 70: return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2BubbleCraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    static uint32_t toggleAt; // one craft per level: the third trail's alternate periods
    static uint32_t toggle;
    if (message == 8) return 1;
    if (message == 2 && object->privateData) {
        const float step = MV2FrameStep();
        object->energy -= 0.01f * step;
        const float* words = static_cast<const float*>(object->privateData);
        const TvMatrix* m = object->matrix;
        if (words[0] > 0.0f) {
            const TvV3d force = TvV3dScale(m->at, words[0] * 10.0f);
            MV2AddForce(object, &force);
        }
        const TvV3d torque = TvV3dScale(m->at, words[4]);
        const TvV3d point = TvV3dAdd(m->pos, m->right);
        MV2AddTorque(object, &torque, &point);
        if (object->clump) MV2AddAnimTime(object->clump, step * 0.4f);
        if (Passed(toggleAt)) {
            toggleAt = Now() + 4000;
            toggle ^= 1u;
        }
        // Draws of 0..255 give the trails an even rate.
        for (uint32_t tag : {101u, 102u, 103u}) {
            const uint32_t limit = tag == 103 ? (toggle ? 64u : 0u) : 32u;
            if (MV2RandomBits(255) >= limit) continue;
            if (TvFrame* f = object->clump ? MV2FindFrameByTag(object->clump, tag) : nullptr) {
                const MV2Point3 p = MV2Point(TvFrameGetLTM(f)->pos);
                MV2CreateBubble(p.v, nullptr, 0.1f);
            }
        }
    }
    return MV2SubmarineHandler(object, message, p1, p2);
}

void MV2RegisterCreaturePropHandlers() {
    for (int32_t type : {120, 121, 122, 123})
        MV2SetObjectTypeHandler(type, MV2BurrowHandler);
    MV2SetObjectTypeHandler(124, MV2BurrowTongueHandler);
    for (int32_t type : {22, 25, 76})
        MV2SetObjectTypeHandler(type, MV2LureHandler);
    MV2SetObjectTypeHandler(174, MV2DragonflyHandler);
    MV2SetObjectTypeHandler(267, MV2MembraneHandler);
    MV2SetObjectTypeHandler(269, MV2MembraneHandler);
    MV2SetObjectTypeHandler(82, MV2CommsBeaconHandler);
    MV2SetObjectTypeHandler(142, MV2BubbleCraftHandler);
}
