// Pirates: the pirate brain, the pirate submarine, the pin gun and pins, the piranha shoal and
// the drill.
#include "game/creatures/pirates.h"

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "game/creatures/ambient.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/deathsites.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/effects/primitives.h"
#include "game/effects/sfx.h"
#include "game/missions/lightobject.h"
#include "game/missions/missions.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/weapons.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"

namespace {

TvFreeList* g_pirates = nullptr;
// The scan's finding, valid during one scan.
MV2Object* g_found = nullptr;
MV2Object* g_scanner = nullptr;

const TvV3d kAxisZ{0.0f, 0.0f, 1.0f};
uint8_t g_pinColour[3] = {97, 189, 255};

TvFrame* AtomicFrame(TpAtomic* atomic) {
    return atomic ? atomic->object.frame : nullptr;
}

MV2PirateSubExtension* Extension(MV2Object* object) {
    auto* sub = static_cast<MV2SubData*>(object->privateData);
    return sub ? static_cast<MV2PirateSubExtension*>(sub->extension) : nullptr;
}

void Scan(MV2Object* object, MV2PirateData* d, MV2SubAIData* ai) {
    if (ai->passivity >= 2 || ai->depth >= 3) return;
    d->scanTimer -= MV2FrameSeconds();
    if (d->scanTimer >= 0.0f) return;
    d->scanTimer = 10.0f;
    MV2SubAICommand* frame = &ai->frames[ai->depth];
    MV2Object* target = MV2SubAICommandGetTarget(frame);
    bool search = !target;
    if (target) {
        if (frame->code == kMV2SubAIAttack && target != MV2GetPlayerObject()) search = true;
        const bool dies = target->type && (target->type->words[7] & (1u << 20));
        if ((target->flags & 8u) && (dies || target->energy > 0.5f * MV2InitialEnergy(target)))
            search = true;
    }
    if (!search) return;
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    g_found = nullptr;
    g_scanner = object;
    const TvV3d centre = object->matrix->pos;
    MV2ForAllAtomicsInSphere(world, &centre, 30.0f, MV2PirateScan, nullptr);
    MV2Object* found = g_found;
    g_found = g_scanner = nullptr;
    if (!found) return;
    MV2SubAIPushCommand(object);
    MV2SubAISetAttack(object, found, 1);
}

intptr_t RaidTarget(MV2Object* object, MV2SubAIData* ai, intptr_t p2) {
    auto* out = reinterpret_cast<intptr_t*>(p2);
    if (out) *out = 0;
    if (!ai) return 1;
    MV2SubAICommand* frame = &ai->frames[ai->depth];
    if (frame->attack.site == -1) {
        MV2Object* target = MV2SubAICommandGetTarget(frame);
        const TvV3d at = target ? target->matrix->pos : object->matrix->pos;
        frame->attack.site = MV2MiningFindNearestSite(&at, nullptr);
    }
    if (frame->attack.site == -1) return 1;
    MV2Object* part = MV2MiningPickTargetPart(frame->attack.site);
    if (!part) return 1;
    MV2SubAICommandSetTarget(frame, part);
    ai->sightedPosition = part->matrix->pos;
    if (out) *out = 1;
    return 1;
}

// The pin gun's rows: 12 pin gun, 17 and 27 rapid pin guns.
int32_t Row(const MV2WeaponRecord* slot) {
    return slot ? slot->slot : 0;
}

// The first record of the craft's current weapon slot, or null.
MV2WeaponRecord* CurrentWeapon(MV2Object* craft) {
    auto* sub = static_cast<MV2SubData*>(craft->privateData);
    if (!sub) return nullptr;
    for (MV2WeaponRecord* w = sub->weapons.first; w; w = w->next)
        if (w->slot == sub->weapons.currentWeaponSlot) return w;
    return nullptr;
}

MV2PinRecord* Pin(MV2Object* object) {
    return static_cast<MV2PinRecord*>(object->privateData);
}

void PinSetPosition(MV2Object* object, const TvV3d& at) {
    object->matrix->pos = at;
    MV2SyncObjectFrame(object);
}

// The first hit of a pin: its timer, and for a plain pin sparks, a light and the sound.
void PinFirstHit(MV2Object* object, MV2PinRecord* d, MV2Object* struck) {
    d->explodeTime = int32_t(MV2GameClock()) + (d->rapid ? 1000 : 2000);
    if (!d->rapid) {
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        MV2AttachPlasmaSparks(object, root);
        const MV2Point3 at = MV2Point(object->matrix->pos);
        if (MV2Object* light = MV2CreateObject(69, at.v, nullptr)) {
            if (auto* l = static_cast<MV2LightObjectData*>(light->privateData)) {
                l->red = 0.2f;
                l->green = 0.1f;
                l->blue = 0.5f;
            }
            MV2ObjectSendMessage(light, 11, 1, 0);
            MV2SetObjectRef(&d->light, light);
        }
        const char* sound =
            struck && MV2CollisionSoundKind(struck) == 0 ? "HITMETAL2" : "GROUNDCOLLISION";
        MV2PlaySoundAt(&object->matrix->pos, 10.0f, MV2CreatureSound(sound), 0, 1, 0);
    }
    d->stuck = 1;
}

float RandomSpread(float half) {
    return (float(MV2RandomBits(1023)) * (1.0f / 1023.0f) * 2.0f - 1.0f) * half;
}

// A rapid pin's bounce: random spin and a small random push, slowed to a tenth.
void PinBounce(MV2Object* object) {
    if (!object->body) return;
    object->body->angularVelocity = {RandomSpread(0.25f), RandomSpread(0.25f), RandomSpread(0.25f)};
    TvV3d& v = object->body->velocity;
    v = TvV3dAdd(v, {RandomSpread(0.1f), RandomSpread(0.1f), RandomSpread(0.1f)});
    v = TvV3dScale(v, 0.1f);
}

struct PinHit {
    TvV3d from, to;
    float best;
    TpAtomic* atomic;
};

intptr_t PinUpdate(MV2Object* object, MV2PinRecord* d) {
    TvMatrix* m = object->matrix;
    if (!d->rapid)
        if (MV2Object* light = MV2GetObjectRef(&d->light))
            MV2ObjectSendMessage(light, 83, 0, reinterpret_cast<intptr_t>(&m->pos));
    const bool expired = MV2Elapsed(d->explodeTime) > 0;
    const bool inCraft = d->struckAtomic && MV2ObjectHandleAlive(d->struckHandle);
    if (!d->rapid && d->stuck && !inCraft && !expired) return 1;
    if (expired) {
        if (!d->rapid && d->stuck) {
            const MV2Point3 at = MV2Point(m->pos);
            MV2CreateExplosion(at.v, 2.5f, 50.0f, MV2GetObjectRef(&d->owner), 0, 158);
        }
        MV2ObjectSendMessage(object, 4, 1, 0);
        return 1;
    }
    if (!d->rapid && inCraft) {
        const TvMatrix* world = TvFrameGetLTM(AtomicFrame(d->struckAtomic));
        TvV3d at;
        TvV3dTransformPoints(&at, &d->offset, 1, world);
        TvMatrix placed;
        TvMatrixMultiply(&placed, &d->relative, world);
        m->right = placed.right;
        m->up = placed.up;
        m->at = placed.at;
        PinSetPosition(object, at);
        return 1;
    }
    if (m->pos.y > MV2GetWaterHeight(&m->pos)) {
        MV2ApplyGravity(object);
        MV2ApplyGravity(object);
    }
    const float moved = MV2Length(TvV3dSub(m->pos, d->last));
    if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
        TpAtomicGetBoundingSphere(root)->radius = std::min(0.4f * moved, d->modelRadius);
    MV2TriangleHit hit{};
    float fraction = 1.0f;
    TpWorld* world = TpWorldGetCurrent();
    if (world && moved > 0.0f && MV2IntersectWorldLine(world, &d->last, &m->pos, &hit, &fraction)) {
        const TvV3d point = TvV3dAdd(d->last, TvV3dScale(TvV3dSub(m->pos, d->last), fraction));
        PinSetPosition(object, point);
        if (!d->stuck) PinFirstHit(object, d, nullptr);
        if (d->rapid) {
            if (object->body) {
                TvV3d& v = object->body->velocity;
                v = TvV3dSub(v, TvV3dScale(hit.normal, 2.0f * TvV3dDot(v, hit.normal)));
            }
            PinBounce(object);
            const MV2Point3 at = MV2Point(point), n = MV2Point(hit.normal);
            MV2CreateSparks(at.v, n.v, 0);
        } else if (object->body) {
            object->body->velocity = {};
            object->body->angularVelocity = {};
        }
    }
    d->last = m->pos;
    if (!d->rapid && m->pos.y < MV2GetWaterHeight(&m->pos))
        MV2EmitMTrail(reinterpret_cast<uintptr_t>(object), object->handle, 0, 0.3f, m);
    return MV2ObjectDefaultHandler(object, 2, 0, 0);
}

intptr_t PinContact(MV2Object* object, MV2PinRecord* d, MV2Object* other) {
    if (!other) return 0;
    if (other == MV2GetObjectRef(&d->owner) || MV2TypeOf(other) == 292) return 0;
    if (!d->rapid && d->stuck && d->struckAtomic && MV2ObjectHandleAlive(d->struckHandle))
        return 0;
    const TvV3d step = object->body ? TvV3dScale(object->body->velocity, MV2FrameStep()) : TvV3d{};
    PinHit hit{d->last, TvV3dAdd(d->last, step), 2.0f, nullptr};
    if (other->clump)
        TpClumpForAllAtomics(
            other->clump, [](TpAtomic* a, void* r) { return MV2PinHitAtomic(a, r); }, &hit);
    if (!hit.atomic) return 0;
    const TvV3d point = TvV3dAdd(hit.from, TvV3dScale(TvV3dSub(hit.to, hit.from), hit.best));
    PinSetPosition(object, point);
    d->struckAtomic = hit.atomic;
    d->struckHandle = other->handle;
    if (!d->stuck) PinFirstHit(object, d, other);
    const TvMatrix* world = TvFrameGetLTM(AtomicFrame(hit.atomic));
    if (!d->rapid) {
        TvMatrix inverse;
        TvMatrixInvert(&inverse, world);
        TvV3dTransformPoints(&d->offset, &point, 1, &inverse);
        TvMatrixMultiply(&d->relative, object->matrix, &inverse);
        d->struckMatrix = world;
        if (object->body) {
            object->body->velocity = {};
            object->body->angularVelocity = {};
        }
        return 0;
    }
    const TvV3d back = MV2Unit(TvV3dSub(hit.from, hit.to));
    const MV2Point3 at = MV2Point(point), n = MV2Point(back);
    MV2CreateSparks(at.v, n.v, MV2CollisionSoundKind(other));
    PinSetPosition(object, TvV3dAdd(point, TvV3dScale(back, 0.01f)));
    PinBounce(object);
    MV2DamageObject(MV2GetObjectRef(&d->owner), other, at.v, 1.0f, 0);
    return 1;
}

MV2PiranhaRecord* Piranha(MV2Object* object) {
    void* extension = nullptr;
    MV2AmbientCreatureHandler(object, 27, 0, reinterpret_cast<intptr_t>(&extension));
    return static_cast<MV2PiranhaRecord*>(extension);
}

// The object the shoal hunts (not a death site).
bool IsPiranhaTarget(const MV2PiranhaRecord* d, const MV2Object* other) {
    return d->targetPosition && !d->chasingSite && other->handle == d->targetHandle &&
           MV2ObjectHandleAlive(d->targetHandle);
}

void PiranhaSelectKey(MV2Object* object, int32_t key) {
    if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
        if (TpAnimSequenceGeometryGetKey(TpAtomicGetGeometry(root), key))
            TpAnimSequenceAtomicSetCurrentKey(root, key);
}

void PiranhaTrack(MV2Object* object, MV2PiranhaRecord* d) {
    const int32_t now = int32_t(MV2GameClock());
    if (d->chasingSite && now - d->nextSearch > 0) {
        d->chasingSite = 0;
        d->targetPosition = nullptr;
    }
    const TvV3d& pos = object->matrix->pos;
    if (d->targetPosition) {
        const bool site = d->chasingSite != 0;
        if (!site && !MV2ObjectHandleAlive(d->targetHandle)) {
            d->targetPosition = nullptr;
        } else {
            const float range = site ? 30.0f : 20.0f;
            if (MV2Length(TvV3dSub(*d->targetPosition, pos)) < range)
                d->attacking = 1;
            else
                d->targetPosition = nullptr, d->chasingSite = 0;
        }
    } else if (now - d->nextSearch >= 0) {
        MV2Object* player = MV2GetPlayerObject();
        if (player && player->matrix && MV2Length(TvV3dSub(player->matrix->pos, pos)) < 20.0f) {
            d->targetPosition = &player->matrix->pos;
            MV2ObjectSendMessage(player, 17, 0, reinterpret_cast<intptr_t>(&d->targetHandle));
        } else if (const TvV3d* site = MV2FindNearestDeathSite(&pos, 900.0f)) {
            d->site = *site;
            d->targetPosition = &d->site;
            d->chasingSite = 1;
            d->nextSearch = now + 4000;
        } else {
            d->nextSearch = now + 2000;
        }
    }
}

intptr_t PiranhaUpdate(MV2Object* object, MV2PiranhaRecord* d) {
    if (gMV2GameState.current == 12) return MV2AmbientCreatureHandler(object, 2, 0, 0);
    MV2StartObjectSound(object, MV2CreatureSound("PIRANHAS"), &d->sound, uint32_t(-5000), 0);
    d->attacking = 0;
    PiranhaTrack(object, d);
    TvMatrix* m = object->matrix;
    if (d->attacking && d->targetPosition) {
        if (object->clump) MV2AddAnimTime(object->clump, 0.3f * MV2FrameStep());
        d->speed = 0.16f;
        if (object->energy <= 0.0f) d->attacking = 0;
        const TvV3d to = TvV3dSub(*d->targetPosition, m->pos);
        if (d->biting) {
            d->speed = 0.2f;
        } else if (MV2Length(to) < 4.0f) {
            d->biting = 1;
            PiranhaSelectKey(object, 0);
        }
        if (MV2Elapsed(d->biteCooldown) < 0) {
            d->speed = -0.06f;
            d->attacking = 0;
            if (d->sound) MV2StopObjectSound(object, MV2CreatureSound("PIRANHAS"), &d->sound);
        }
        const TvV3d dir = MV2Unit(to);
        MV2RotateMatrixInPlace(m, &m->up, TvV3dDot(m->right, dir) * MV2FrameStep() * 10.0f, 1);
        MV2RotateMatrixInPlace(m, &m->right, TvV3dDot(m->up, dir) * MV2FrameStep() * -4.0f, 1);
        const TvV3d upright{0.0f, 100.0f, 0.0f};
        MV2ApplyUprightForce(object, &upright);
        MV2ObjectDefaultHandler(object, 2, 0, 0);
        if (!MV2ObjectHandleAlive(object->handle)) return 1;
        const float surface = MV2GetWaterHeight(&m->pos);
        if (m->pos.y > surface) m->pos.y = surface;
        const TvV3d push = TvV3dScale(m->at, d->speed);
        MV2AddForce(object, &push);
        MV2SyncObjectFrame(object);
    }
    if (object->clump) MV2AddAnimTime(object->clump, 0.3f * MV2FrameStep());
    if (!d->attacking) return MV2AmbientCreatureHandler(object, 2, 0, 0);
    MV2CheckObjectDestroyed(object);
    return 1;
}

intptr_t PiranhaContact(MV2Object* object, MV2PiranhaRecord* d, MV2Object* other) {
    if (!other) return MV2AmbientCreatureHandler(object, 14, 0, 0);
    const bool target = IsPiranhaTarget(d, other);
    const bool shoal = MV2TypeOf(other) == 173;
    if (!target && !shoal) return MV2AmbientCreatureHandler(object, 14, 0, reinterpret_cast<intptr_t>(other));
    const TvV3d from = TvV3dSub(object->matrix->pos, other->matrix->pos);
    const float reach = object->radius + other->radius;
    const float distance = MV2Length(from);
    const float k = reach > 0.0f && distance < reach ? 1.0f - distance / reach : 0.0f;
    if (target && d->attacking && d->biting) {
        if (k < 0.05f) {
            d->biteCooldown = int32_t(MV2GameClock()) + 2000 + int32_t(MV2RandomBits(511));
            MV2PlaySoundAt(&other->matrix->pos, 5.0f, MV2CreatureSound("GROUNDCOLLISION"), 0, 1, 0);
            MV2PlaySoundAt(&other->matrix->pos, 5.0f, MV2CreatureSound("METALCOLLISION"), 0, 1, 0);
            other->energy -= 1.5f;
            const TvV3d hit = TvV3dScale(from, k * -10.0f);
            MV2AddForce(other, &hit);
            const TvV3d back = TvV3dScale(from, k * 0.8f);
            MV2AddForce(object, &back);
        }
    } else if (target) {
        const TvV3d push = TvV3dScale(from, k * 1.5f);
        MV2AddForce(object, &push);
    } else {
        const TvV3d push = TvV3dScale(from, k * 0.1f);
        MV2AddForce(object, &push);
    }
    return 0;
}

MV2DrillData* Drill(MV2Object* object) {
    return static_cast<MV2DrillData*>(object->privateData);
}

void DrillBreak(MV2Object* object, MV2DrillData* d) {
    TpAtomic* atomic = nullptr;
    if (d->part && object->clump)
        for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a; a = MV2GetNextAtomic(object->clump, a))
            if (AtomicFrame(a) == d->part) {
                atomic = a;
                break;
            }
    if (!atomic) return;
    MV2AttachPlasmaSparks(object, atomic);
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const int32_t vertices = geometry ? TpGeometryGetNumVertices(geometry) : 0;
    TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    const TvV3d* points = target ? TpMorphTargetGetVertices(target) : nullptr;
    if (vertices < 1 || !points) return;
    for (int32_t i = 0; i < 6; ++i) {
        TvV3d at;
        TvV3dTransformPoints(&at, &points[uint32_t(TvRandom()) % uint32_t(vertices)], 1,
                             TvFrameGetLTM(d->part));
        const MV2Point3 p = MV2Point(at);
        MV2CreateExplosion(p.v, 3.0f, 0.0f, nullptr, 0, MV2RandomBits(1) ? 30 : 26);
    }
}

} // namespace

intptr_t MV2PirateBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2PirateData*>(message == 32 ? nullptr : MV2GetLayeredData(object));
    MV2SubAIData* ai = MV2GetSubAIData(object);
    switch (message) {
    case 2:
        if (d && ai) Scan(object, d, ai);
        break;
    case 4: MV2FreeLayeredData(object, g_pirates, d); break;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        MV2Object* owner = nullptr;
        if (other) MV2ObjectSendMessage(other, 16, 0, reinterpret_cast<intptr_t>(&owner));
        if (owner && MV2TypeOf(owner) == MV2TypeOf(object)) return 0;
        break;
    }
    case 32: {
        auto* data = static_cast<MV2PirateData*>(
            MV2AllocLayeredData(object, &g_pirates, sizeof(MV2PirateData), 10,
                                "Cannot create freelist for pirate"));
        if (!data) return 0;
        data->scanTimer = MV2RandomUnit() * 20.0f;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 82:
        MV2SubAIOrderGoTo(object, MV2FindObjectByScriptID(0x40052), 25.0f);
        return 1;
    case 86: return RaidTarget(object, ai, p2);
    case 89: {
        auto* sub = static_cast<MV2SubData*>(object->privateData);
        const MV2SubDefinition* def = MV2GetSubDefinition(object);
        if (sub && def) {
            sub->maxSpeed = float(p1) * def->maxSpeed * 0.01f;
            sub->acceleration = float(p1) * def->acceleration * 0.01f;
        }
        return 1;
    }
    default: break;
    }
    return MV2SubAIBrain(object, message, p1, p2) ? 1 : 0;
}

int32_t MV2PirateScan(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!other || other == g_scanner || !(other->flags & 8u)) return 1;
    g_found = other;
    return other->aiCategory == 6 ? 0 : 1; // a craft ends the search
}

intptr_t MV2PirateSubHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        MV2SubmarineHandler(object, 96, p1, p2);
        if (p2) *reinterpret_cast<intptr_t*>(p2) += intptr_t(sizeof(MV2PirateSubExtension));
        return 1;
    }
    MV2PirateSubExtension* e = Extension(object);
    switch (message) {
    case 3: {
        const intptr_t result = MV2SubmarineHandler(object, 3, p1, p2);
        auto* sub = static_cast<MV2SubData*>(object->privateData);
        if (!result || !sub) return result;
        e = reinterpret_cast<MV2PirateSubExtension*>(sub + 1);
        *e = MV2PirateSubExtension{};
        e->spinner = object->clump ? MV2FindFrameByTag(object->clump, 666) : nullptr;
        sub->extension = e;
        return result;
    }
    case 10:
        if (e) {
            MV2WeaponRecord* current = CurrentWeapon(object);
            e->spinning = current && current->mount == 0 ? 1 : 0;
        }
        break;
    case 26:
    case 64:
        if (e) e->spinning = 0;
        break;
    case 27:
    case 28: return MV2BrainWordMessage(e ? &e->brainData : nullptr, message, p2);
    case 2:
        if (e && e->spinner) {
            const float step = MV2FrameStep();
            bool turn = true;
            if (e->spinning) {
                e->spinSpeed = std::min(e->spinSpeed + 2.0f * step, 32.0f);
            } else if (e->spinSpeed > 0.0f) {
                e->spinSpeed -= 0.4f * step;
                if (e->spinSpeed <= 0.0f) {
                    e->spinSpeed = 0.0f;
                    turn = false;
                }
            }
            if (turn && e->spinSpeed > 0.0f) {
                MV2RotateMatrixInPlace(TvFrameGetMatrix(e->spinner), &kAxisZ, step * e->spinSpeed, 1);
                TvFrameUpdateObjects(e->spinner);
            }
        }
        break;
    default: break;
    }
    return MV2SubmarineHandler(object, message, p1, p2);
}

intptr_t MV2PinGunHandler(MV2WeaponRecord* slot, int32_t message, intptr_t p1, intptr_t p2) {
    const int32_t row = Row(slot);
    if (message == 57) {
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2))
            *icon = {row == 17 ? 298 : row == 27 ? 33 : 32,
                     uint32_t(g_pinColour[0]) << 16 | uint32_t(g_pinColour[1]) << 8 |
                         g_pinColour[2]};
        return 0;
    }
    if (message == 10 && p1 != 1) {
        if (row != 12) return 0;
        const auto* record = reinterpret_cast<const MV2CreationRecord*>(p2);
        if (!record || !record->matrix) return 0;
        const TvMatrix* m = record->matrix;
        MV2Object* shooter = record->owner;
        const TvV3d offsets[4] = {TvV3dScale(m->up, 0.1f), TvV3dScale(m->up, -0.1f),
                                  TvV3dScale(m->right, 0.1f), TvV3dScale(m->right, -0.1f)};
        for (const TvV3d& o : offsets) {
            const MV2Point3 at = MV2Point(TvV3dAdd(m->pos, o));
            MV2Object* pin = MV2CreateObject(292, at.v, record);
            if (!pin) continue;
            pin->aiCategory = 10;
            MV2ObjectSendMessage(pin, 12, 0,
                                 reinterpret_cast<intptr_t>(shooter ? shooter->body : nullptr));
            MV2ObjectSendMessage(pin, 15, 1, reinterpret_cast<intptr_t>(shooter));
        }
        return 0;
    }
    return MV2StandardWeaponHandler(slot, message, p1, p2);
}

intptr_t MV2PinHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2PinRecord));
    MV2PinRecord* d = Pin(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return PinUpdate(object, d);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2PinRecord{};
        d->self = object;
        d->explodeTime = int32_t(MV2GameClock()) + 10000;
        d->modelRadius = MV2GetBoundingRadius(object->clump ? MV2FindRootAtomic(object->clump) : nullptr);
        d->last = object->matrix->pos;
        object->typeWord &= ~kMV2ObjectCollidesWorld;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 4:
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 1, 0);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12: {
        const auto* launcher = reinterpret_cast<const MV2Body*>(p2);
        if (!object->body) return 1;
        TvV3d v = TvV3dScale(object->matrix->at, 2.0f);
        if (launcher) v = TvV3dAdd(v, launcher->velocity);
        object->body->velocity = v;
        if (gMV2GameType != 3 && gMV2GameType != 4) {
            TvV3d& p = object->matrix->pos;
            const float* vs[3] = {&v.x, &v.y, &v.z};
            float* ps[3] = {&p.x, &p.y, &p.z};
            for (int32_t i = 0; i < 3; ++i)
                *ps[i] += (float(MV2RandomBits(1023)) * (1.0f / 1023.0f) - 0.5f) * *vs[i] +
                          float(MV2RandomBits(1023)) * (1.0f / 20480.0f) - 0.025f;
            d->last = p;
            MV2SyncObjectFrame(object);
        }
        return 1;
    }
    case 13:
        if (p2) *reinterpret_cast<const TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19: return PinContact(object, d, reinterpret_cast<MV2Object*>(p2));
    case 15: {
        auto* owner = reinterpret_cast<MV2Object*>(p2);
        if (owner) {
            MV2SetObjectRef(&d->owner, owner);
            MV2WeaponRecord* current = CurrentWeapon(owner);
            d->rapid = current && current->slot != 12 ? 1 : 0;
        }
        return 1;
    }
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->owner);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

TpAtomic* MV2PinHitAtomic(TpAtomic* atomic, void* record) {
    auto* hit = static_cast<PinHit*>(record);
    int32_t triangle = 0;
    float fraction = 0.0f;
    if (MV2IntersectAtomicLine(atomic, &hit->from, &hit->to, &triangle, &fraction) &&
        fraction < hit->best) {
        hit->best = fraction;
        hit->atomic = atomic;
    }
    return atomic;
}

void MV2DrawPinGlow(MV2Object* object) {
    MV2PinRecord* d = object ? Pin(object) : nullptr;
    if (d && d->rapid && gMV2CoronaTexture)
        MV2DrawSpriteFogged(gMV2CoronaTexture, &object->matrix->pos, 0.05f);
}

intptr_t MV2PiranhaHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        MV2AmbientCreatureHandler(object, 96, p1, p2);
        if (p2) *reinterpret_cast<intptr_t*>(p2) += intptr_t(sizeof(MV2PiranhaRecord));
        return 1;
    }
    if (message == 3) {
        const intptr_t result = MV2AmbientCreatureHandler(object, 3, p1, p2);
        auto* shared = static_cast<MV2AmbientCreature*>(object->privateData);
        if (!result || !shared) return result;
        auto* d = reinterpret_cast<MV2PiranhaRecord*>(shared + 1);
        *d = MV2PiranhaRecord{};
        object->aiCategory = 7;
        MV2AmbientCreatureHandler(object, 28, 0, reinterpret_cast<intptr_t>(d));
        if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr) {
            if (TpGeometry* geometry = TpAtomicGetGeometry(root))
                TpAnimSequenceGeometrySetCallBack(geometry, MV2PiranhaAnimCallback);
            PiranhaSelectKey(object, 0);
        }
        object->flags &= ~kMV2ObjectAnimate;
        return result;
    }
    MV2PiranhaRecord* d = Piranha(object);
    if (!d) return MV2AmbientCreatureHandler(object, message, p1, p2);
    switch (message) {
    case 2: return PiranhaUpdate(object, d);
    case 14: return PiranhaContact(object, d, reinterpret_cast<MV2Object*>(p2));
    case 4:
        if (d->sound) MV2StopObjectSound(object, MV2CreatureSound("PIRANHAS"), &d->sound);
        MV2AmbientCreatureHandler(object, 28, 0, 0);
        return MV2AmbientCreatureHandler(object, 4, p1, p2);
    default: return MV2AmbientCreatureHandler(object, message, p1, p2);
    }
}

int32_t MV2PiranhaNextKey(int32_t finished, uint32_t* biting) {
    if (finished == 9) return *biting ? 10 : 0;
    if (finished == 19) {
        *biting = 0;
        return 0;
    }
    return finished + 1 > 29 ? 0 : finished + 1;
}

float MV2PiranhaAnimCallback(TpAtomic* atomic, float position) {
    const int32_t key = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const TpAnimKey* finished = TpAnimSequenceGeometryGetKey(geometry, key);
    if (!finished) return 0.0f;
    MV2Object* object = MV2GetClumpObject(TpAtomicGetClump(atomic));
    MV2PiranhaRecord* d = object ? Piranha(object) : nullptr;
    uint32_t biting = d ? d->biting : 0;
    const int32_t next = MV2PiranhaNextKey(key, &biting);
    if (d) d->biting = biting;
    if (TpAnimSequenceGeometryGetKey(geometry, next)) TpAnimSequenceAtomicSetCurrentKey(atomic, next);
    return position - finished->duration;
}

intptr_t MV2DrillHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2DrillData));
    if (message == 80) return 1;
    MV2DrillData* d = Drill(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        d->offset += d->direction * d->speedFactor * MV2FrameStep() * 0.1f;
        if (d->offset < 0.0f) {
            d->direction = -d->direction;
            d->offset = 0.0f;
            MV2PlaySoundAt(&object->matrix->pos, object->radius, MV2CreatureSound("DRILL"), 1000, 0, 0);
        } else if (d->offset > 2.0f) {
            d->direction = -d->direction;
            d->offset = 2.0f;
        }
        if (d->part) {
            TvFrameGetMatrix(d->part)->pos.y = d->baseHeight + d->offset;
            TvFrameUpdateObjects(d->part);
        }
        if (object->energy == -0.01f) DrillBreak(object, d);
        if (object->energy < 0.0f) object->energy = 0.0f;
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2DrillData{};
        d->part = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        d->baseHeight = d->part ? TvFrameGetMatrix(d->part)->pos.y : 0.0f;
        d->direction = 1.0f;
        d->speedFactor = 1.0f;
        object->aiCategory = 9;
        return result;
    }
    case 12:
        if (p2) d->speedFactor = *reinterpret_cast<const float*>(p2);
        return 1;
    case 13:
        if (p2) *reinterpret_cast<float*>(p2) = d->speedFactor;
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2RegisterPirateHandlers() {
    MV2SetObjectTypeHandler(397, MV2PirateSubHandler);
    MV2SetObjectTypeHandler(292, MV2PinHandler);
    MV2SetObjectTypeHandler(173, MV2PiranhaHandler);
    MV2SetObjectTypeHandler(13, MV2DrillHandler);
    for (int32_t row : {12, 17, 27})
        MV2SetWeaponRowHandler(row, MV2PinGunHandler);
}

void MV2ShutdownPirates() {
    if (g_pirates) TvFreeListDestroy(g_pirates);
    g_pirates = nullptr;
}
