#include "game/missions/levers.h"

#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/plasma.h"
#include "game/missions/levelobjects.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/tools.h"

namespace {

constexpr int32_t kLever = 178;
constexpr int32_t kSparkLever = 179;
constexpr int32_t kPushSwitch = 180;
constexpr int32_t kMagnetHead = 52;
constexpr uint32_t kShown = 5;
constexpr uint32_t kNoPress = 0x40000; // type flag of craft that cannot press switches

MV2LeverSwitchData* Data(MV2Object* object) {
    return object->matrix ? MV2SizedLevelData<MV2LeverSwitchData>(object) : nullptr;
}

bool Before(uint32_t a, uint32_t b) {
    return int32_t(a - b) < 0;
}

TpAtomic* Atomic(MV2Object* o, uint32_t tag) {
    return o->clump ? MV2FindAtomicByTag(o->clump, tag) : nullptr;
}
TvFrame* Frame(MV2Object* o, uint32_t tag) {
    return o->clump ? MV2FindFrameByTag(o->clump, tag) : nullptr;
}
void Show(MV2Object* o, uint32_t tag, bool shown) {
    if (TpAtomic* a = Atomic(o, tag)) TpAtomicSetFlags(a, shown ? kShown : 0);
}
void Lightable(MV2Object* o, uint32_t tag) {
    if (TpAtomic* a = Atomic(o, tag))
        if (TpGeometry* g = TpAtomicGetGeometry(a)) MV2SetGeometryLightable(g);
}
void FullBright(MV2Object* o, uint32_t tag) {
    if (TpAtomic* a = Atomic(o, tag))
        if (TpGeometry* g = TpAtomicGetGeometry(a)) MV2SetGeometryFullBright(g);
}

void LitLamp(MV2Object* o, uint32_t state) {
    Show(o, 4, state != 0);
    Show(o, 3, state == 0);
}
void UnlitLamp(MV2Object* o, uint32_t state) {
    Show(o, 21, state != 0);
    Show(o, 22, state == 0);
}
void LampsOut(MV2Object* o) {
    for (uint32_t tag : {4u, 3u, 22u, 21u})
        Show(o, tag, false);
}

void Notify(MV2Object* o, MV2LeverSwitchData* d, uint32_t value) {
    if (d->notify) d->notify(o, value);
}

void Sound(MV2Object* o, const char* name) {
    MV2PlaySoundAt(&o->matrix->pos, 1.0f, MV2CreatureSound(name), 0, 0, 1000);
}

void RestoreMatrix(MV2Object* o, const MV2LeverSwitchData* d) {
    o->matrix->right = d->start.right;
    o->matrix->up = d->start.up;
    o->matrix->at = d->start.at;
    o->matrix->pos = d->start.pos;
}

void Create(MV2Object* o, MV2LeverSwitchData* d, int32_t type) {
    *d = MV2LeverSwitchData{};
    if (type != kPushSwitch) {
        d->pullable = 1;
    } else {
        if (TpAtomic* root = o->clump ? MV2FindRootAtomic(o->clump) : nullptr)
            if (TpGeometry* g = TpAtomicGetGeometry(root)) MV2SetGeometryLightable(g);
        FullBright(o, 3);
        Show(o, 3, true);
        FullBright(o, 4);
        Show(o, 4, false);
        Show(o, 21, false);
        Show(o, 22, false);
        for (uint32_t tag : {2u, 5u, 21u, 22u})
            Lightable(o, tag);
        Show(o, 5, false);
        if (TvFrame* button = Frame(o, 2)) d->restZ = TvFrameGetMatrix(button)->pos.z;
        d->active = 1;
    }
    d->start = *o->matrix;
    o->typeWord &= ~kMV2ObjectCollidesWorld;
}

// ---------------------------------------------------------------------------------------------
// Levers

void Grip(MV2Object* o, MV2LeverSwitchData* d, int32_t type, MV2Object* other) {
    if (!other || (other->typeWord & kMV2ObjectTypeMask) != kMagnetHead) return;
    TpAtomic* struck = MV2GetCollisionState()->struck;
    const uint32_t grip = type == kLever ? 3 : 4;
    const bool onGrip = struck && struck == Atomic(o, grip);
    d->active = onGrip ? 1 : 0;
    if (onGrip && type == kLever) {
        d->held = 1;
        Notify(o, d, 0);
    }
}

void LeverUpdate(MV2Object* o, MV2LeverSwitchData* d, int32_t type) {
    if (type == kLever && d->held)
        if (MV2Object* sub = MV2GetPlayerSub()) {
            MV2Object* holding = nullptr;
            MV2SendToolCommand(sub, 0, 34, 0, &holding);
            if (holding != o) {
                d->held = 0;
                Notify(o, d, 2);
            }
        }
    RestoreMatrix(o, d);
    if (!d->active) return;
    const float step = MV2FrameStep();
    if (d->state == 0 && o->body) {
        if (d->pullable && TvV3dDot(o->body->velocity, o->matrix->up) > 0.003f * step) {
            d->state = 1;
            Sound(o, "LEVER1");
        } else {
            o->body->velocity = {0.0f, 0.0f, 0.0f};
        }
    }
    TvFrame* handle = Frame(o, 2);
    if (d->state != 1 || !handle) return;
    const float limit = type == kLever ? -0.8f : -0.98f;
    if (TvV3dDot(TvFrameGetLTM(handle)->at, o->matrix->at) <= limit) return;
    const TvV3d axis{1.0f, 0.0f, 0.0f};
    TvFrameRotate(handle, &axis, 5.0f * step, 1);
    if (TvV3dDot(TvFrameGetLTM(handle)->at, o->matrix->at) > limit) return;
    if (type == kSparkLever) {
        if (TpAtomic* root = o->clump ? MV2FindRootAtomic(o->clump) : nullptr)
            MV2AttachPlasmaSparks(o, root);
        Notify(o, d, d->state);
    } else {
        Notify(o, d, 1);
    }
}

// ---------------------------------------------------------------------------------------------
// Push switch

void SetLive(MV2Object* o, MV2LeverSwitchData* d, intptr_t p1) {
    LampsOut(o);
    d->active = uint32_t(p1);
    Show(o, 2, p1 != 0);
    Show(o, 5, p1 == 0);
    if (p1) {
        LitLamp(o, d->state);
        d->blinkTime = 0;
        d->blinkCounter = 1;
    } else {
        UnlitLamp(o, d->state);
    }
}

void Press(MV2Object* o, MV2LeverSwitchData* d, MV2Object* other) {
    const uint32_t now = MV2GameClock();
    if (!d->active || !other) return;
    if (other->type && (other->type->words[7] & kNoPress)) return;
    if (other != MV2GetPlayerObject()) return;
    if (Before(now, d->rearm)) return;
    if (d->duration && Before(now, d->until)) return;
    TpAtomic* struck = MV2GetCollisionState()->struck;
    if (!struck || (struck != Atomic(o, 2) && struck != Atomic(o, 5))) return;
    d->state = d->state == 0 ? 1 : 0;
    LitLamp(o, d->state);
    Notify(o, d, d->state);
    Sound(o, "PUSHSWITCH");
    d->rearm = now + 1000;
    d->until = now + d->duration;
}

void SwitchUpdate(MV2Object* o, MV2LeverSwitchData* d) {
    const uint32_t now = MV2GameClock();
    if (d->blinkCounter && Before(d->blinkTime, now)) {
        d->blinkCounter++;
        LampsOut(o);
        if (d->blinkCounter & 1) {
            LitLamp(o, d->state);
            if (d->blinkCounter > 5)
                d->blinkCounter = 0;
            else
                d->blinkTime = now + 50 * d->blinkCounter;
        } else {
            UnlitLamp(o, d->state);
            d->blinkTime = now + 50;
        }
    }
    TvFrame* button = Frame(o, 2);
    if (!button) return;
    TvMatrix* m = TvFrameGetMatrix(button);
    const float travel = 0.005f * MV2FrameStep();
    if (d->state) {
        m->pos.z = m->pos.z <= 0.0f ? 0.0f : m->pos.z - travel;
        if (d->duration && Before(d->until, now)) {
            d->state = 0;
            Notify(o, d, 0);
            Show(o, 3, true);
            Show(o, 4, false);
        }
    } else {
        m->pos.z = m->pos.z < d->restZ ? m->pos.z + travel : d->restZ;
    }
    TvFrameUpdateObjects(button);
    if (TvFrame* dead = Frame(o, 5)) {
        TvFrameGetMatrix(dead)->pos = m->pos;
        TvFrameUpdateObjects(dead);
    }
}

intptr_t Default(MV2Object* o, int32_t message, intptr_t p1, intptr_t p2) {
    return MV2ObjectDefaultHandler(o, message, p1, p2) ? 1 : 0;
}

} // namespace

intptr_t MV2LeverSwitchHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const int32_t type = int32_t(object->typeWord & kMV2ObjectTypeMask);
    const bool lever = type != kPushSwitch;
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2LeverSwitchData));
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (MV2LeverSwitchData* d = Data(object)) Create(object, d, type);
        return 1;
    }
    MV2LeverSwitchData* d = Data(object);
    if (!d) return message == 75 ? 0 : Default(object, message, p1, p2);
    switch (message) {
    case 2: {
        if (lever) {
            LeverUpdate(object, d, type);
        } else {
            SwitchUpdate(object, d);
        }
        const intptr_t result = Default(object, message, p1, p2);
        // A lever never moves, whatever pushes it; the handler keeps its matrix.
        if (lever && result && MV2ObjectHandleAlive(object->handle) && object->matrix)
            RestoreMatrix(object, d);
        return result;
    }
    case 11:
        if (lever)
            d->pullable = uint32_t(p1);
        else
            SetLive(object, d, p1);
        return 1;
    case 12: d->notify = reinterpret_cast<MV2LeverNotify>(p2); break;
    case 19:
        if (lever)
            Grip(object, d, type, reinterpret_cast<MV2Object*>(p2));
        else
            Press(object, d, reinterpret_cast<MV2Object*>(p2));
        break;
    case 24:
        if (!lever) {
            d->duration = uint32_t(p1);
            d->until = MV2GameClock() + uint32_t(p1);
        }
        return 1;
    case 44: return 1;
    case 45:
        if (!lever) return 0;
        if (p2)
            if (TvFrame* grip = Frame(object, type == kLever ? 3 : 4))
                *reinterpret_cast<TvFrame**>(p2) = grip;
        return 1;
    case 63:
        if (!lever && d->active) {
            d->state = uint32_t(p1);
            d->rearm = MV2GameClock() + 2000;
            LitLamp(object, d->state);
        }
        break;
    case 75: return 0;
    default: break;
    }
    return Default(object, message, p1, p2);
}

void MV2RegisterLeverSwitchHandlers() {
    for (int32_t type : {kLever, kSparkLever, kPushSwitch})
        MV2SetObjectTypeHandler(type, MV2LeverSwitchHandler);
}
