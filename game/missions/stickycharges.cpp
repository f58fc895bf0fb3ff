// Sticky charges, their weapon row and the detonator tool.
#include "game/missions/stickycharges.h"

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/effects/explosions.h"
#include "game/frontend/hud.h"
#include "game/missions/levelobjects.h"
#include "game/missions/lightobject.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kChargeType = 291;
constexpr uint32_t kFuse = 60000;     // ms a charge lives unless set off
constexpr uint32_t kStagger = 150;    // ms between charges set off together
constexpr uint32_t kRecharge = 600;   // ms the detonator rests after the last one
constexpr uint32_t kHudColour = kMV2HudColour & 0xFFFFFFu;

int32_t g_livePlayerCharges = 0;

bool Passed(uint32_t time) {
    return int32_t(MV2GameClock() - time) >= 0;
}

MV2StickyChargeData* Data(MV2Object* charge) {
    return MV2LevelData<MV2StickyChargeData>(charge);
}

MV2Object* Owner(MV2StickyChargeData* d) {
    return MV2RefIs(d->owner, d->owner.object) ? d->owner.object : nullptr;
}

MV2Object* StuckObject(MV2StickyChargeData* d) {
    if (!d->stuckAtomic || !MV2ObjectHandleAlive(d->stuckHandle)) return nullptr;
    return MV2GetClumpObject(TpAtomicGetClump(d->stuckAtomic));
}

void SetBlink(MV2StickyChargeData* d, float value) {
    MV2Object* light = MV2GetObjectRef(&d->light);
    if (auto* l = light ? MV2LevelData<MV2LightObjectData>(light) : nullptr) {
        l->red = value;
        l->green = 0.6f * value;
    }
}

void PlaceLight(MV2Object* charge, MV2StickyChargeData* d) {
    MV2Object* light = MV2GetObjectRef(&d->light);
    if (!light) return;
    MV2ObjectPosition(light) =
        d->lightMount ? TvFrameGetLTM(d->lightMount)->pos : MV2ObjectPosition(charge);
    MV2ObjectMoved(light);
}

void Count(MV2StickyChargeData* d, bool on) {
    if (on == (d->counted != 0)) return;
    d->counted = on;
    g_livePlayerCharges += on ? 1 : -1;
}

TvV3d InSpace(const TvMatrix& m, const TvV3d& v) {
    return {TvV3dDot(v, m.right), TvV3dDot(v, m.up), TvV3dDot(v, m.at)};
}

TvV3d OutOfSpace(const TvMatrix& m, const TvV3d& v) {
    return TvV3dAdd(TvV3dAdd(TvV3dScale(m.right, v.x), TvV3dScale(m.up, v.y)),
                    TvV3dScale(m.at, v.z));
}

TpAtomic* StickCallback(TpAtomic* atomic, void* data) {
    auto* d = static_cast<MV2StickyChargeData*>(data);
    if (d->stuckAtomic || !d->self) return atomic;
    const TvV3d from = d->previous;
    const TvV3d to = MV2ObjectPosition(d->self);
    float t = 0.0f;
    if (!MV2IntersectAtomicLine(atomic, &from, &to, nullptr, &t)) return atomic;
    MV2Object* struck = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!struck || !atomic->object.frame) return atomic;
    const TvMatrix& a = *TvFrameGetLTM(atomic->object.frame);
    const TvMatrix* c = d->self->matrix;
    const TvV3d hit = TvV3dAdd(from, TvV3dScale(TvV3dSub(to, from), t));
    d->stuckAtomic = atomic;
    d->stuckHandle = struck->handle;
    d->offset = InSpace(a, TvV3dSub(hit, a.pos));
    d->relative[0] = InSpace(a, c->right);
    d->relative[1] = InSpace(a, c->up);
    d->relative[2] = InSpace(a, c->at);
    return atomic;
}

struct Detonation {
    MV2Object* user;
    uint32_t* ready;
};

TpClump* DetonateCallback(TpClump* clump, void* data) {
    auto* s = static_cast<Detonation*>(data);
    MV2Object* o = MV2GetClumpObject(clump);
    MV2StickyChargeData* d = o && MV2TypeOf(o) == kChargeType ? Data(o) : nullptr;
    if (d && Owner(d) == s->user) {
        d->fuse = *s->ready;
        d->flags |= kMV2ChargeDetonated;
        *s->ready += kStagger;
    }
    return clump;
}

intptr_t Create(MV2Object* charge, MV2StickyChargeData* d, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(charge, 3, p1, p2)) return 0;
    *d = MV2StickyChargeData{};
    d->self = charge;
    d->fuse = MV2GameClock() + kFuse;
    TpAtomic* root = charge->clump ? MV2FindRootAtomic(charge->clump) : nullptr;
    d->minimumRadius = root ? MV2GetBoundingRadius(root) : charge->radius;
    d->previous = MV2ObjectPosition(charge);
    MV2ObjectSendMessage(charge, 0, 1, 0);
    const float at[3] = {0.0f, 1.0f, 0.0f};
    MV2Object* light = MV2CreateObject(69, at, nullptr);
    if (!light) return 0;
    MV2SetObjectRef(&d->light, light);
    if (auto* l = MV2LevelData<MV2LightObjectData>(light)) {
        l->red = 0.5f;
        l->green = 0.0f;
        l->blue = 0.0f;
        l->radius = 0.01f;
        l->flags = (l->flags & ~0x7F8u) | 0x804u;
    }
    MV2ObjectSendMessage(light, 11, 1, 0);
    d->lightMount = charge->clump ? MV2FindFrameByTag(charge->clump, 2) : nullptr;
    PlaceLight(charge, d);
    return 1;
}

intptr_t Update(MV2Object* charge, MV2StickyChargeData* d) {
    MV2ObjectMoved(charge);
    if (!Passed(d->fuse) && charge->energy >= 0.0f) {
        if (d->flags & kMV2ChargeStuck) {
            if (StuckObject(d)) MV2FollowStuckAtomic(charge, d);
            const int32_t k = int32_t(d->fuse - MV2GameClock()) / 300;
            SetBlink(d, (k & 1) ? 0.5f : 0.0f);
            PlaceLight(charge, d);
            return 1;
        }
        TvV3d& position = MV2ObjectPosition(charge);
        if (MV2GetWaterHeight(&position) < position.y) {
            MV2ApplyGravity(charge);
            MV2ApplyGravity(charge);
        }
        PlaceLight(charge, d);
        MV2SetSweptRadius(charge, MV2Length(TvV3dSub(position, d->previous)), d->minimumRadius);
        d->previous = position;
        return MV2ObjectDefaultHandler(charge, 2, 0, 0);
    }
    const MV2Point3 at = MV2Point(MV2ObjectPosition(charge));
    if (d->flags & kMV2ChargeDetonated) {
        MV2CreateExplosion(at.v, 2.0f, 20.0f, Owner(d), 5, 154);
        if (MV2Object* stuck = StuckObject(d))
            MV2ObjectSendMessage(stuck, 91, 0, reinterpret_cast<intptr_t>(charge));
    } else {
        MV2CreateExplosion(at.v, 0.3f, 0.0f, nullptr, 0, 16);
    }
    MV2ObjectSendMessage(charge, 4, 0, 0);
    return 1;
}

// Message 14 or 19: sticks to the other object when the charge's last move crossed it.
void Touch(MV2Object* charge, MV2StickyChargeData* d, MV2Object* other) {
    if ((d->flags & kMV2ChargeStuck) || !other || !other->clump || other == Owner(d) ||
        MV2TypeOf(other) == kChargeType)
        return;
    TpClumpForAllAtomics(other->clump, StickCallback, d);
    if (!d->stuckAtomic) return;
    if (charge->body) charge->body->velocity = charge->body->angularVelocity = TvV3d{};
    SetBlink(d, 0.0f);
    d->flags |= kMV2ChargeStuck;
    MV2FollowStuckAtomic(charge, d);
    MV2ObjectSendMessage(other, 90, 0, reinterpret_cast<intptr_t>(charge));
}

// Message 18: lands on the wall it struck, facing into it.
void Land(MV2Object* charge, MV2StickyChargeData* d) {
    if (!(d->flags & kMV2ChargeStuck)) {
        TvMatrix* m = charge->matrix;
        const TvV3d from = TvV3dSub(m->pos, m->at);
        const TvV3d to = TvV3dAdd(m->pos, m->at);
        MV2TriangleHit hit{};
        float t = 0.0f;
        if (MV2World && MV2IntersectWorldLine(MV2World, &from, &to, &hit, &t)) {
            m->pos = TvV3dAdd(from, TvV3dScale(TvV3dSub(to, from), t));
            m->at = TvV3dScale(hit.normal, -1.0f);
            m->up = MV2Unit(TvV3dCross(m->at, m->right));
            m->right = MV2Unit(TvV3dCross(m->up, m->at));
            d->flags |= kMV2ChargeStuck;
            MV2ObjectMoved(charge);
        }
    }
    if (charge->body) charge->body->velocity = charge->body->angularVelocity = TvV3d{};
}

} // namespace

int32_t MV2GetLivePlayerCharges() {
    return g_livePlayerCharges;
}

void MV2ResetStickyCharges() {
    g_livePlayerCharges = 0;
}

void MV2FollowStuckAtomic(MV2Object* charge, MV2StickyChargeData* d) {
    if (!d->stuckAtomic || !d->stuckAtomic->object.frame) return;
    const TvMatrix& a = *TvFrameGetLTM(d->stuckAtomic->object.frame);
    TvMatrix* m = charge->matrix;
    m->right = OutOfSpace(a, d->relative[0]);
    m->up = OutOfSpace(a, d->relative[1]);
    m->at = OutOfSpace(a, d->relative[2]);
    m->pos = TvV3dAdd(a.pos, OutOfSpace(a, d->offset));
    MV2ObjectMoved(charge);
}

intptr_t MV2StickyChargeWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                      intptr_t p2) {
    if (message == 10 && p1 == 1) return 0;
    if (message == 57) {
        if (auto* icon = reinterpret_cast<MV2WeaponIcon*>(p2)) *icon = {78, kHudColour};
        return 0;
    }
    return MV2StandardWeaponHandler(weapon, message, p1, p2);
}

int32_t MV2DetonatorToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2) {
    if (!tool) return MV2DefaultToolHandler(tool, message, p1, p2);
    const uint32_t ready = uint32_t(tool->word);
    switch (message) {
    case 3: tool->word = MV2GameClock() - 1u; return 1;
    case 53: {
        if (g_livePlayerCharges == 0 && MV2GetPlayerSub()) return 1;
        // The shared submarine handler hands no use record; its tools act for the player's sub.
        const auto* use = reinterpret_cast<const MV2ToolUseRecord*>(p2);
        MV2Object* user = use ? use->user : MV2GetPlayerSub();
        if (!user || !Passed(ready)) return 1;
        uint32_t next = MV2GameClock() + kStagger;
        Detonation s{user, &next};
        if (TpWorld* world = MV2World ? MV2World : TpWorldGetCurrent())
            TpWorldForAllClumps(world, DetonateCallback, &s);
        tool->word = next + kRecharge;
        return 1;
    }
    case 57:
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) {
            icon->sprite = 75;
            icon->colour = !Passed(ready)              ? 0xFF0000u
                           : g_livePlayerCharges == 0 ? kHudColour
                                                      : 0xFFFF00u;
        }
        return 1;
    default: return MV2DefaultToolHandler(tool, message, p1, p2);
    }
}

intptr_t MV2StickyChargeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2StickyChargeData));
    if (message == 80) return 1;
    MV2StickyChargeData* d = Data(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: return Create(object, d, p1, p2);
    case 2: return Update(object, d);
    case 4:
        if (MV2Object* stuck = StuckObject(d))
            MV2ObjectSendMessage(stuck, 92, 0, reinterpret_cast<intptr_t>(object));
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 0, 0);
        Count(d, false);
        break;
    case 12:
        if (object->body) {
            const TvV3d given = p2 ? *reinterpret_cast<const TvV3d*>(p2) : TvV3d{};
            object->body->velocity = TvV3dAdd(given, TvV3dScale(object->matrix->at, 0.2f));
        }
        return 1;
    case 13:
        if (p2) *reinterpret_cast<const TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19: Touch(object, d, reinterpret_cast<MV2Object*>(p2)); return 0;
    case 15: {
        auto* owner = reinterpret_cast<MV2Object*>(p2);
        Count(d, false);
        if (owner)
            MV2SetObjectRef(&d->owner, owner);
        else
            MV2ClearObjectRef(&d->owner);
        if (owner && owner == MV2GetPlayerSub()) Count(d, true);
        return 1;
    }
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = Owner(d);
        return 1;
    case 18: Land(object, d); return 0;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterStickyChargeHandlers() {
    MV2SetObjectTypeHandler(kChargeType, MV2StickyChargeHandler);
    MV2SetWeaponRowHandler(23, MV2StickyChargeWeaponHandler);
    MV2SetToolRowHandler(13, MV2DetonatorToolHandler);
}
