// Turret craft and their bases, fire jets, the firefly light and fireflies.
#include "game/creatures/turrets.h"

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/heat.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/missions/lightobject.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/weapons.h"
#include "shell/errors.h"
#include "shell/gameinit.h"

MV2Object* gMV2FireflyReleased = nullptr;

namespace {

MV2ObjectRef g_fireflySlots[kMV2FireflySlots];
bool g_fireflyReset = true;

TvFrame* AtomicFrame(TpAtomic* atomic) {
    return atomic ? atomic->object.frame : nullptr;
}

MV2TurretCraftExtension* Turret(MV2Object* object) {
    auto* sub = static_cast<MV2SubData*>(object->privateData);
    return sub ? static_cast<MV2TurretCraftExtension*>(sub->extension) : nullptr;
}

intptr_t TurretCreate(MV2Object* object, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2SubmarineHandler(object, 3, p1, p2);
    auto* sub = static_cast<MV2SubData*>(object->privateData);
    if (!result || !sub) return result;
    if (MV2ObjectType* type = object->type) {
        const float inertia = MV2SphereInertia(MV2TypeFloat(type, 2), 0.25f);
        MV2SetTypeFloat(type, 4, inertia);
        MV2SetTypeFloat(type, 5, inertia != 0.0f ? 1.0f / inertia : 0.0f);
        type->words[7] &= ~2u;
    }
    MV2ObjectSendMessage(object, 0, 1, 0);
    auto* e = reinterpret_cast<MV2TurretCraftExtension*>(sub + 1);
    *e = MV2TurretCraftExtension{};
    sub->extension = e;
    e->barrel = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
    if (!e->barrel) return 0;
    for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a; a = MV2GetNextAtomic(object->clump, a))
        if (AtomicFrame(a) == e->barrel) {
            e->barrelAtomic = a;
            break;
        }
    e->home = object->matrix->pos;
    e->barrelRestZ = TvFrameGetMatrix(e->barrel)->pos.z;
    const MV2Point3 at = MV2Point(e->home);
    MV2Object* base = MV2CreateObject(40, at.v, nullptr);
    if (!base) {
        MV2ErrorBox("Could not create turret base");
        return 0;
    }
    MV2ObjectSendMessage(base, 12, 0, reinterpret_cast<intptr_t>(&object));
    MV2SetObjectRef(&e->base, base);
    e->baseFrame = base->clump ? MV2FindFrameByTag(base->clump, 2) : nullptr;
    if (e->baseFrame) {
        TvFrameGetMatrix(e->baseFrame)->pos.y -= 0.5f;
        TvFrameUpdateObjects(e->baseFrame);
    }
    object->aiCategory = 9;
    MV2ObjectSendMessage(object, 21, 10, 0);
    MV2ObjectSendMessage(object, 21, 10, 2);
    e->up = {0.0f, 1.0f, 0.0f};
    e->aim.turretMatrix = TvFrameGetMatrix(e->barrel);
    return result;
}

void TurretUpdate(MV2Object* object, MV2TurretCraftExtension* e) {
    TvMatrix* m = object->matrix;
    MV2RebuildAroundUp(m, e->up);
    if (MV2Object* base = MV2GetObjectRef(&e->base)) {
        TvMatrix* b = base->matrix;
        b->at = m->at;
        MV2RebuildAroundUp(b, e->up);
        MV2SyncObjectFrame(base);
    }
    const bool controlled = object == MV2GetPlayerObject();
    if (controlled && object->clump) MV2SetAllAtomicFlags(object->clump, 1);
    if (e->barrelAtomic) TpAtomicSetFlags(e->barrelAtomic, 5);
    m->pos = e->home;
    if (object->body) object->body->velocity = {};
    if (e->barrel) {
        TvFrameGetMatrix(e->barrel)->pos.z = e->barrelRestZ - e->recoil;
        TvFrameUpdateObjects(e->barrel);
    }
    e->recoil *= 0.9f;
    MV2SyncObjectFrame(object);
    if (!controlled) MV2TurretTrackTarget(object, &e->aim);
}

MV2Object* OwnerOf(MV2Object* other) {
    MV2Object* owner = nullptr;
    if (other) MV2ObjectSendMessage(other, 16, 0, reinterpret_cast<intptr_t>(&owner));
    return owner;
}

// Fire balls along the jet's up axis for each whole unit of the accumulator.
void JetFire(MV2Object* jet, MV2FireJet* d) {
    d->accumulator += MV2FrameSeconds() * 33.333332f;
    const TvMatrix* m = jet->matrix;
    const int32_t left = d->nextSwitch - int32_t(MV2GameClock());
    uint8_t brightness = 255;
    if (left < 1000)
        brightness = uint8_t(255.0f * std::max(float(left) * 0.001f, 0.09803922f));
    float fraction = d->accumulator - std::floor(d->accumulator);
    for (int32_t i = 0; d->accumulator >= 1.0f; ++i, d->accumulator -= 1.0f) {
        TvV3d at = TvV3dAdd(m->pos, TvV3dScale(m->up, fraction * 0.3f - 1.0f + 0.3f * float(i)));
        const float a = float(MV2RandomBits(1023)) * (2.0f / 1023.0f) - 1.0f;
        const float b = float(MV2RandomBits(1023)) * (2.0f / 1023.0f) - 1.0f;
        at = TvV3dAdd(at, TvV3dAdd(TvV3dScale(m->right, 0.1f * a), TvV3dScale(m->at, 0.1f * b)));
        const MV2Point3 p = MV2Point(at), v = MV2Point(TvV3dScale(m->up, 10.0f));
        MV2CreateFireball(p.v, v.v, 1.0f - MV2RandomUnit() * 0.3f, jet, 0.0f, brightness);
    }
}

void JetTouch(MV2Object* jet, MV2Object* player) {
    const MV2Point3 at = MV2Point(player->matrix->pos);
    float offset[3] = {};
    float value = 0.0f;
    if (!MV2FireballHitTest(at.v, 0.9f, jet, offset, &value)) return;
    MV2AddHeat(0.001f);
    MV2DamageObject(jet, player, at.v, MV2FrameSeconds() * 40.0f, 0);
    const float scale = value < -0.55f ? 1.0f : (0.35f - value) * 1.1111112f;
    const TvV3d push = TvV3dScale(jet->matrix->up, -0.05f * scale);
    MV2AddForce(player, &push);
    if (MV2CollisionSoundKind(player) == 2) {
        const TvV3d point = TvV3dAdd(player->matrix->pos, player->matrix->up);
        MV2AddTorque(player, &push, &point);
    }
}

intptr_t JetUpdate(MV2Object* jet, MV2FireJet* d) {
    if (d->onTime < 0) {
        const int32_t v = MV2TakeCreationValue(jet);
        d->onTime = int32_t(float(v) * 0.001f) * 100;
        d->offTime = (v % 1000) * 100;
    }
    MV2Object* player = MV2GetPlayerObject();
    const float reach = jet->matrix->up.y >= 0.71f ? 5.0f : 20.0f;
    if (player && player->matrix && std::fabs(player->matrix->pos.x - jet->matrix->pos.x) < reach) {
        const int32_t sound = MV2CreatureSound("FIREJET");
        const int32_t now = int32_t(MV2GameClock());
        if (now - d->nextSwitch > 0) {
            d->burning = !d->burning;
            d->nextSwitch = now + (d->burning ? d->onTime : d->offTime);
            if (!d->burning && d->sound) MV2StopObjectSound(jet, sound, &d->sound);
        }
        if (d->burning) {
            MV2StartObjectSound(jet, sound, &d->sound, 1000, 0);
            JetFire(jet, d);
            JetTouch(jet, player);
        }
    }
    return MV2ObjectDefaultHandler(jet, 2, 0, 0);
}

MV2Firefly* Firefly(MV2Object* object) {
    return static_cast<MV2Firefly*>(object->privateData);
}

void FireflyGlow(MV2Object* fly, MV2Firefly* d) {
    const float s = MV2FrameSeconds();
    if (d->caught) {
        d->catchTimer -= s;
        if (d->glow < 1.5f) {
            d->glow += s;
            d->spinRate += s * 720.0f;
        }
    } else if (!d->carrying) {
        if (d->glow > 0.2f) {
            d->glow -= s;
            d->spinRate -= s * 720.0f;
        }
    } else if (d->glow < 1.5f) {
        d->glow += 2.0f * s;
        d->spinRate += s * 1440.0f;
    }
    if (d->spinRate > 0.0f) {
        TvMatrix* m = fly->matrix;
        MV2RotateMatrixInPlace(m, &m->up, s * d->spinRate, 1);
    }
}

void FireflyFollow(MV2Object* fly, MV2Firefly* d) {
    MV2Object* leader = nullptr;
    MV2ObjectSendMessage(fly, 34, 0, reinterpret_cast<intptr_t>(&leader));
    if (!leader || !leader->matrix) return;
    const TvV3d to = TvV3dSub(leader->matrix->pos, fly->matrix->pos);
    const float squared = TvV3dDot(to, to);
    if (leader->typeWord & (1u << 21)) MV2ObjectSendMessage(leader, 12, squared < 1.0f ? 1 : 0, 0);
    MV2Object* player = MV2GetPlayerObject();
    const float range = d->followRange * d->followRange;
    bool follow;
    if (d->followClose) {
        follow = !(player && MV2ObjectDistanceSquared(player, fly) > range);
    } else {
        follow = squared < range && (leader != player || squared > 25.0f);
    }
    if (!follow) return;
    const float distance = std::sqrt(squared);
    const TvV3d force = TvV3dScale(MV2Unit(to), 0.5f * std::min(distance, 0.2f));
    MV2AddForce(fly, &force);
}

void FireflyHelp(MV2Object* fly, MV2Firefly* d) {
    MV2Object* target = MV2GetObjectRef(&d->target);
    if (!d->helping || !target) return;
    const float distance = std::sqrt(float(MV2ObjectDistanceSquared(fly, target)));
    if (distance < 5.0f && !d->carrying) {
        d->carrying = 1;
        d->targetEnergy = 0.25f * MV2InitialEnergy(target);
        MV2PlaySoundAt(&fly->matrix->pos, 10.0f, MV2CreatureSound("FIREFLYCALL"), 0, 1, 0);
        const MV2Point3 at = MV2Point(fly->matrix->pos);
        if (MV2Object* companion = MV2CreateObject(264, at.v, nullptr)) {
            MV2SetObjectRef(&d->companion, companion);
            if (companion->clump) MV2SetAllAtomicFlags(companion->clump, 0);
            const float range = 10.0f;
            MV2ObjectSendMessage(companion, 24, 0, reinterpret_cast<intptr_t>(&range));
            MV2ObjectSendMessage(companion, 12, 0, reinterpret_cast<intptr_t>(MV2FireflyCallback));
            MV2ObjectSendMessage(companion, 63, 0, reinterpret_cast<intptr_t>(target));
        }
    }
    if (!d->carrying) return;
    if (distance >= 10.0f) {
        d->carrying = 0;
        return;
    }
    const float initial = MV2InitialEnergy(target);
    target->energy += MV2FrameSeconds() * 20.0f;
    if (target->energy >= initial) {
        target->energy = initial;
        d->carrying = 0;
    }
    if (MV2Object* companion = MV2GetObjectRef(&d->companion))
        MV2ObjectSendMessage(companion, 83, 0, reinterpret_cast<intptr_t>(&fly->matrix->pos));
}

intptr_t FireflyUpdate(MV2Object* fly, MV2Firefly* d) {
    FireflyGlow(fly, d);
    TvMatrix* m = fly->matrix;
    m->pos = TvV3dSub(m->pos, d->drift);
    if (!MV2GetObjectRef(&d->target)) d->helping = 0;
    FireflyFollow(fly, d);
    const TvV3d upright{0.0f, 1.0f, 0.0f};
    MV2ApplyUprightForce(fly, &upright);
    const float s = MV2FrameSeconds();
    for (int32_t i = 0; i < 3; ++i)
        d->phases[i] += d->phaseRates[i] * s;
    d->drift = TvV3dScale({std::cos(d->phases[0]), std::cos(d->phases[1]), std::cos(d->phases[2])},
                          d->glow);
    m->pos = TvV3dAdd(m->pos, d->drift);
    MV2SyncObjectFrame(fly);
    FireflyHelp(fly, d);
    const float chance = s * (d->caught ? 8.0f : 4.0f);
    if (float(MV2RandomBits(0xFFFF)) / 65535.0f < chance) {
        const MV2Point3 at = MV2Point(m->pos);
        MV2CreateExplosion(at.v, 0.0f, 0.0f, nullptr, 3, 16);
        TvV3d offset;
        MV2RandomDirection(&offset);
        const MV2Point3 b = MV2Point(TvV3dAdd(m->pos, TvV3dScale(offset, 0.2f)));
        MV2CreateBubble(b.v, nullptr, 0.1f);
    }
    MV2Object* companion = MV2GetObjectRef(&d->companion);
    if (companion && companion == gMV2FireflyReleased) {
        MV2ObjectSendMessage(companion, 4, 1, 0);
        MV2ClearObjectRef(&d->companion);
        gMV2FireflyReleased = nullptr;
    }
    MV2StartObjectSound(fly, MV2CreatureSound("FIREFLYMOVE"), &d->sound, 1000, 0);
    return MV2ObjectDefaultHandler(fly, 2, 0, 0);
}

intptr_t FireflyContact(MV2Firefly* d, MV2Object* other) {
    if (!other) return 0;
    switch (MV2TypeOf(other)) {
    case 266:
    case 166: return 0;
    case 67:
        if (d->carrying) return 0;
        return 1;
    case 267:
    case 269:
        if (d->released) return 0;
        if (!d->caught) {
            d->catchTimer = 3.0f;
            d->caught = 1;
        } else if (d->catchTimer <= 0.0f) {
            MV2ObjectSendMessage(other, 63, 0, 0);
            d->caught = 0;
            d->released = 1;
        }
        return 0;
    default: return 1;
    }
}

intptr_t FireflyCreate(MV2Object* fly, MV2Firefly* d, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(fly, 3, p1, p2);
    *d = MV2Firefly{};
    d->followRange = 8.0f;
    d->catchTimer = 3.0f;
    d->ten = 10.0f;
    d->glow = 0.2f;
    for (float& rate : d->phaseRates)
        rate = 1.0f + MV2RandomUnit();
    if ((d->light = TpLightCreate(128))) {
        if (fly->clump) TpLightSetFrame(d->light, fly->clump->frame);
        TpLightSetFlags(d->light, 3);
        TpLightSetRadius(d->light, 8.0f);
        TpLightSetColor(d->light, 0.1f, 0.5f, 1.0f, 1.0f);
        if (TpWorld* world = TpWorldGetCurrent()) TpWorldAddLight(world, d->light);
    }
    return result;
}

void FireflyDestroy(MV2Object* fly, MV2Firefly* d) {
    if (d->light) {
        if (TpWorld* world = TpLightGetWorld(d->light)) TpWorldRemoveLight(world, d->light);
        TpLightSetFrame(d->light, nullptr);
        TpLightDestroy(d->light);
        d->light = nullptr;
    }
    if (d->sound) MV2StopObjectSound(fly, MV2CreatureSound("FIREFLYMOVE"), &d->sound);
}

} // namespace

intptr_t MV2TurretCraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        MV2SubmarineHandler(object, 96, p1, p2);
        if (p2) *reinterpret_cast<intptr_t*>(p2) += intptr_t(sizeof(MV2TurretCraftExtension));
        return 1;
    }
    if (message == 3) return TurretCreate(object, p1, p2);
    MV2TurretCraftExtension* e = Turret(object);
    switch (message) {
    case 2: {
        if (gMV2GameType == 3 || gMV2GameType == 4) object->energy = MV2InitialEnergy(object);
        if (auto* sub = static_cast<MV2SubData*>(object->privateData))
            sub->thrust = std::max(sub->thrust, -0.025f);
        const MV2ObjectHandle handle = object->handle;
        const intptr_t result = MV2SubmarineHandler(object, 2, p1, p2);
        if (e && MV2ObjectHandleAlive(handle)) TurretUpdate(object, e);
        return result;
    }
    case 23:
        if (e) e->recoil = 0.4f;
        return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (e && other && other == MV2GetObjectRef(&e->base)) return 0;
        return OwnerOf(other) != object ? 1 : 0;
    }
    case 4:
        if (e)
            if (MV2Object* base = MV2GetObjectRef(&e->base)) MV2ObjectSendMessage(base, 4, 1, 0);
        break;
    case 27:
    case 28: return MV2BrainWordMessage(e ? &e->brainData : nullptr, message, p2);
    default: break;
    }
    return MV2SubmarineHandler(object, message, p1, p2);
}

intptr_t MV2TurretBaseHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2TurretBase));
    auto* d = static_cast<MV2TurretBase*>(object->privateData);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2TurretBase{};
        if (object->type) object->type->words[7] |= 1u << 4;
        object->aiCategory = 9;
        return result;
    }
    case 12:
        if (p2)
            if (MV2Object* owner = *reinterpret_cast<MV2Object**>(p2)) MV2SetObjectRef(&d->owner, owner);
        return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        MV2Object* owner = MV2GetObjectRef(&d->owner);
        if (other && other == owner) return 0;
        return OwnerOf(other) != owner ? 1 : 0;
    }
    case 37:
        if (p1 == 0) {
            MV2Object* owner = MV2GetObjectRef(&d->owner);
            const float initial = owner ? MV2InitialEnergy(owner) : 0.0f;
            if (p2) *reinterpret_cast<float*>(p2) = initial > 0.0f ? owner->energy / initial : 0.0f;
            return 1;
        }
        break;
    case 62:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->owner);
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2FireJetHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2FireJet));
    auto* d = static_cast<MV2FireJet*>(object->privateData);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return JetUpdate(object, d);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2FireJet{};
        d->onTime = d->offTime = -1;
        d->nextSwitch = int32_t(MV2GameClock());
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        return result;
    }
    case 4:
        if (d->sound) MV2StopObjectSound(object, MV2CreatureSound("FIREJET"), &d->sound);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2FireflyLightHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2FireflyLight));
    auto* d = static_cast<MV2FireflyLight*>(object->privateData);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2FireflyLight{};
        d->slot = -1;
        if (g_fireflyReset) MV2ResetFireflies();
        g_fireflyReset = false;
        for (int32_t i = 0; i < kMV2FireflySlots; ++i)
            if (!MV2GetObjectRef(&g_fireflySlots[i])) {
                MV2SetObjectRef(&g_fireflySlots[i], object);
                d->slot = i;
                break;
            }
        const MV2Point3 at = MV2Point(object->matrix->pos);
        if (MV2Object* light = MV2CreateObject(69, at.v, nullptr)) {
            if (auto* l = static_cast<MV2LightObjectData*>(light->privateData))
                l->red = l->green = l->blue = 1.0f;
            MV2SetObjectRef(&d->light, light);
        }
        return result;
    }
    case 2:
        if (!d->armed) {
            d->armed = 1;
            break;
        }
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 11, 1, 0);
        MV2ObjectSendMessage(object, 4, 1, 0); // and its light with it

        return 1;
    case 4:
        if (d->slot >= 0 && d->slot < kMV2FireflySlots) MV2ClearObjectRef(&g_fireflySlots[d->slot]);
        d->slot = -1;
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 1, 0);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RenderFireflies() {
    for (MV2ObjectRef& slot : g_fireflySlots) {
        MV2Object* o = MV2GetObjectRef(&slot);
        if (!o || !o->clump) continue;
        MV2SetAllAtomicFlags(o->clump, 4);
        TpClumpRender(o->clump);
        MV2SetAllAtomicFlags(o->clump, 0);
    }
}

intptr_t MV2FireflyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2Firefly));
    MV2Firefly* d = Firefly(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return FireflyUpdate(object, d);
    case 3: return FireflyCreate(object, d, p1, p2);
    case 4: FireflyDestroy(object, d); break;
    case 14: return FireflyContact(d, reinterpret_cast<MV2Object*>(p2));
    case 33:
        if (auto* leader = reinterpret_cast<MV2Object*>(p2))
            MV2SetObjectRef(&d->leader, leader);
        else
            MV2ClearObjectRef(&d->leader);
        d->followClose = p1 != 0 ? 1 : 0;
        d->released = 0;
        return 1;
    case 34:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->leader);
        return 1;
    case 63:
        d->helping = 1;
        if (auto* target = reinterpret_cast<MV2Object*>(p2)) MV2SetObjectRef(&d->target, target);
        return 1;
    case 79:
        if (p2) d->followRange = *reinterpret_cast<const float*>(p2);
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

// The companions' stages need no answer from the firefly.
void MV2FireflyCallback(MV2Object*, int32_t) {}

void MV2ResetFireflies() {
    for (MV2ObjectRef& slot : g_fireflySlots)
        MV2ClearObjectRef(&slot);
    g_fireflyReset = true;
}

void MV2RegisterTurretHandlers() {
    MV2SetObjectTypeHandler(15, MV2TurretCraftHandler);
    MV2SetObjectTypeHandler(40, MV2TurretBaseHandler);
    MV2SetObjectTypeHandler(295, MV2FireJetHandler);
    MV2SetObjectTypeHandler(331, MV2FireflyLightHandler);
    MV2SetObjectTypeHandler(270, MV2FireflyHandler);
}
