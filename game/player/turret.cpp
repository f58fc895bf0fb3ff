// The deployable turret.
#include "game/player/turret.h"

#include <cfloat>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/frontend/radar.h"
#include "game/missions/mining.h"
#include "game/missions/missionflow.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/shots.h"
#include "game/player/weapons.h"

namespace {

constexpr float kRange = 30.0f;
const TvV3d kX{1.0f, 0.0f, 0.0f};
const TvV3d kY{0.0f, 1.0f, 0.0f};

// The target search of one turret.
struct Search {
    MV2Object* searcher;
    MV2Object* best;
    MV2Object* previous;
    float bestDistance;
} g_search;

MV2SubData* Sub(MV2Object* o) {
    return static_cast<MV2SubData*>(o->privateData);
}

float UpY(TvFrame* frame) {
    return TvFrameGetMatrix(frame)->up.y;
}

void Turn(TvFrame* frame, const TvV3d& axis, float degrees, int32_t combine) {
    TvFrameRotate(frame, &axis, degrees, combine);
}

// Replaces the frame's rotation, keeping its position.
void SetRows(TvFrame* frame, const TvV3d& right, const TvV3d& up, const TvV3d& at) {
    TvMatrix* m = TvFrameGetMatrix(frame);
    m->right = right;
    m->up = up;
    m->at = at;
    TvFrameUpdateObjects(frame);
}

void Hold(MV2Object* turret, MV2DeployableTurretData* t) {
    if (!turret->matrix) return;
    *turret->matrix = t->rest;
    MV2ShotSyncFrame(turret);
    if (turret->body) turret->body->velocity = {};
}

int32_t TypeOf(MV2Object* o) {
    return MV2ShotTypeOf(o);
}

intptr_t Create(MV2Object* turret, MV2DeployableTurretData* t) {
    *t = MV2DeployableTurretData{};
    t->state = kMV2TurretFolded;
    t->carried = 1;
    TpClump* clump = turret->clump;
    if (!clump) return 0;
    TvFrame** slots[7] = {&t->fold[0], &t->fold[1], &t->fold[2], &t->spare, &t->gun, &t->barrel, &t->mount};
    const uint32_t tags[7] = {2, 3, 4, 9, 1, 8, 6};
    for (int32_t i = 0; i < 7; ++i) {
        *slots[i] = MV2FindFrameByTag(clump, tags[i]);
        if (!*slots[i]) return 0;
    }
    if (TpAtomic* spare = MV2FindAtomicByTag(clump, 9)) TpAtomicSetFlags(spare, 0);
    Turn(t->fold[2], kY, -45.0f, 2);
    Sub(turret)->brainData = t;
    t->barrelRest = TvFrameGetMatrix(t->barrel)->pos;
    t->recoil = t->barrelRest.z;
    MV2ObjectSendMessage(turret, 21, 10, 0);
    MV2ObjectSendMessage(turret, 21, 10, 1);
    turret->aiCategory = 9;
    for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a))
        if (a->object.frame == t->barrel) {
            t->barrelAtomic = a;
            break;
        }
    // A model without a barrel atomic cannot show its recoil.
    return t->barrelAtomic ? 1 : 0;
}

void Release(MV2Object* turret, MV2DeployableTurretData* t, MV2Object* releaser) {
    if (t->state == kMV2TurretFolded && t->magnets <= 1 && turret->matrix) {
        bool deploy = false;
        const TvV3d& pos = turret->matrix->pos;
        if (t->dropSet) {
            const float dx = pos.x - t->dropX, dz = pos.z - t->dropZ;
            if (dx * dx + dz * dz < 4.0f) {
                t->dropSet = 0;
                deploy = true;
            }
        } else {
            float distance = 0.0f;
            deploy = MV2MiningFindNearestSite(&pos, &distance) >= 0 && distance < 40.0f;
        }
        if (deploy) MV2ObjectSendMessage(turret, 93, 0, reinterpret_cast<intptr_t>(releaser));
        const uint32_t message = deploy ? 960 : 251;
        if (releaser && releaser == MV2GetPlayerSub() && MV2MissionHudMessagesFinished())
            MV2PlayMissionMessage(message);
    }
    if (t->magnets > 0) --t->magnets;
}

void StateStep(MV2Object* turret, MV2DeployableTurretData* t) {
    switch (t->state) {
    case kMV2TurretDropped: {
        const float c = UpY(t->fold[0]);
        if (c < -0.7f)
            for (TvFrame* f : t->fold)
                Turn(f, kX, c * -5.0f, 1);
        break;
    }
    case kMV2TurretLanded: {
        const float c = UpY(t->mount);
        if (c < 0.95f) {
            Turn(t->mount, kX, 5.0f, 1);
            Turn(t->gun, kX, 2.5f, 1);
        } else {
            SetRows(t->mount, kX, kY, {0.0f, 0.0f, 1.0f});
            SetRows(t->gun, kX, kY, {0.0f, 0.0f, 1.0f});
            t->state = kMV2TurretDeployed;
            MV2ClearTarget();
        }
        Hold(turret, t);
        break;
    }
    case kMV2TurretDeployed: Hold(turret, t); break;
    case kMV2TurretFolding: {
        const float c = UpY(t->fold[0]);
        if (c > -0.999f) {
            for (TvFrame* f : t->fold)
                Turn(f, kX, c * 5.0f, 1);
            Turn(t->mount, kX, c * 20.0f, 1);
            Turn(t->gun, kX, c * 10.0f, 1);
        } else {
            t->state = kMV2TurretFolded;
            SetRows(t->mount, kX, {0.0f, -1.0f, 0.0f}, {0.0f, 0.0f, -1.0f});
            SetRows(t->gun, kX, {0.0f, 0.0f, -1.0f}, kY);
        }
        break;
    }
    default: break;
    }
}

void FindTarget(MV2Object* turret, MV2DeployableTurretData* t) {
    g_search = {turret, nullptr, nullptr, FLT_MAX};
    MV2ForAllAtomicsInSphere(TpWorldGetCurrent(), &turret->matrix->pos, kRange,
                             MV2DeployableTurretSearchCallback, nullptr);
    MV2Object* pick = g_search.best;
    if (pick && TypeOf(pick) == 70 && g_search.previous) pick = g_search.previous;
    g_search = {};
    if (!pick) {
        MV2ClearObjectRef(&t->target);
        return;
    }
    MV2SetObjectRef(&t->target, pick);
    t->giveUp = MV2ShotClock() + 3000;
}

void Guard(MV2Object* turret, MV2DeployableTurretData* t) {
    MV2SubData* s = Sub(turret);
    const uint32_t now = MV2ShotClock();
    MV2Object* target = MV2GetObjectRef(&t->target);
    if (!target || !target->matrix) {
        MV2WeaponsTriggerReleased(&s->weapons);
        if (int32_t(t->nextTest - now) < 0) {
            t->nextTest = now + 100;
            FindTarget(turret, t);
        }
        return;
    }
    TvV3d d = TvV3dSub(target->matrix->pos, turret->matrix->pos);
    if (MV2ShotLength(d) > kRange) {
        MV2ClearObjectRef(&t->target);
        return;
    }
    d = MV2ShotUnit(d);
    if (TypeOf(target) == 70 && int32_t(now - t->giveUp) > 0) {
        MV2ClearObjectRef(&t->target);
        return;
    }
    const TvMatrix* gun = TvFrameGetLTM(t->gun);
    const float across = TvV3dDot(gun->right, d), rise = TvV3dDot(gun->up, d);
    t->gunYaw -= across * MV2ShotFrameStep() * 0.1f;
    s->pitchRate += rise * MV2ShotFrameStep() * 0.01f;
    if (!(across < 0.1f && rise < 0.1f)) return;
    const TvV3d mount = s->mounts[0] ? TvFrameGetLTM(s->mounts[0])->pos : turret->matrix->pos;
    if (int32_t(t->nextTest - now) < 0) {
        t->nextTest = now + 100;
        TvV3d point{}, normal{};
        float distance = 0.0f;
        TpAtomic* atomic = nullptr;
        t->clearLine = MV2TraceLine(TpWorldGetCurrent(), &mount, &target->matrix->pos, &point, &normal,
                                    &distance, &atomic, turret)
                           ? 0
                           : 1;
    }
    if (!t->clearLine) return;
    const TvV3d aim = MV2ShotUnit(TvV3dSub(target->matrix->pos, mount));
    MV2CreationRecord record{};
    record.aim = &aim.x;
    MV2FireWeapon(&s->weapons, turret, &record, nullptr);
}

void PostUpdate(MV2Object* turret, MV2DeployableTurretData* t) {
    if (!MV2ObjectHandleAlive(turret->handle) || !turret->matrix) return;
    if (t->state == kMV2TurretLanded) {
        Hold(turret, t);
        return;
    }
    if (t->state != kMV2TurretDeployed) return;
    MV2SubData* s = Sub(turret);
    const float step = MV2ShotFrameStep();
    // The mount keeps the turret's heading, rebuilt about its own up row.
    TvMatrix* mount = TvFrameGetMatrix(t->mount);
    mount->at = turret->matrix->at;
    mount->right = turret->matrix->right;
    mount->at = MV2ShotUnit(TvV3dCross(mount->right, mount->up));
    mount->right = MV2ShotUnit(TvV3dCross(mount->up, mount->at));
    TvFrameUpdateObjects(t->mount);
    t->gunPitch += (s->pitchRate - t->gunPitch) * 0.4f * step;
    const TvV3d gunPos = TvFrameGetMatrix(t->gun)->pos;
    TvFrameRotate(t->gun, &kX, t->gunPitch * -600.0f, 0);
    t->gunYaw += s->yawRate * 0.4f * step;
    if (t->gunYaw >= 360.0f) t->gunYaw -= 360.0f;
    if (t->gunYaw < 0.0f) t->gunYaw += 360.0f;
    TvFrameRotate(t->gun, &kY, t->gunYaw * -300.0f, 2);
    TvFrameGetMatrix(t->gun)->pos = gunPos;
    TvFrameUpdateObjects(t->gun);
    if (turret->body) turret->body->velocity = {};
    const bool controlled = turret == MV2GetPlayerObject();
    if (controlled)
        if (TpAtomic* root = MV2FindRootAtomic(turret->clump)) TpAtomicSetFlags(root, kTpAtomicCollisionTest);
    if (t->barrelAtomic) TpAtomicSetFlags(t->barrelAtomic, kTpAtomicRender);
    Hold(turret, t);
    TvFrameGetMatrix(t->barrel)->pos.z = t->barrelRest.z - t->recoil;
    TvFrameUpdateObjects(t->barrel);
    t->recoil *= 0.9f;
    if (!controlled) Guard(turret, t);
}

void Land(MV2Object* turret, MV2DeployableTurretData* t) {
    TvMatrix* m = turret->matrix;
    if (!m) return;
    m->up = kY;
    m->at = MV2ShotUnit(TvV3dCross(m->right, m->up));
    m->right = MV2ShotUnit(TvV3dCross(m->up, m->at));
    m->pos.y -= 0.2f;
    MV2ShotSyncFrame(turret);
    t->rest = *m;
    t->state = kMV2TurretLanded;
    t->carried = 0;
}

void PickUp(MV2Object* turret, MV2DeployableTurretData* t) {
    t->state = kMV2TurretFolding;
    t->carried = 1;
    MV2ClearTarget();
    const TvV3d push = kY;
    MV2AddForce(turret, &push);
    if (turret->body) turret->body->angularVelocity = {};
    if (turret->matrix) {
        turret->matrix->right = t->rest.right;
        turret->matrix->up = t->rest.up;
        turret->matrix->at = t->rest.at;
        MV2ShotSyncFrame(turret);
    }
}

void Answer(intptr_t p2, intptr_t v) {
    if (p2) *reinterpret_cast<intptr_t*>(p2) = v;
}

} // namespace

MV2DeployableTurretData* MV2GetTurretData(MV2Object* turret) {
    if (!turret || !turret->type || turret->typeHandler != MV2DeployableTurretHandler || !turret->privateData ||
        turret->type->privateDataSize < sizeof(MV2SubData) + sizeof(MV2DeployableTurretData))
        return nullptr;
    return reinterpret_cast<MV2DeployableTurretData*>(static_cast<MV2SubData*>(turret->privateData) + 1);
}

int32_t MV2DeployableTurretSearchCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance,
                                          void*) {
    MV2Object* o = atomic ? MV2GetClumpObject(TpAtomicGetClump(atomic)) : nullptr;
    if (!o || !g_search.searcher || o->aiCategory != 6) return 1;
    if (MV2IsObjectFriendly(o) == MV2IsObjectFriendly(g_search.searcher)) return 1;
    if (distance < g_search.bestDistance || (g_search.best && TypeOf(g_search.best) == 70)) {
        g_search.previous = g_search.best;
        g_search.bestDistance = distance;
        g_search.best = o;
    }
    return 1;
}

intptr_t MV2DeployableTurretHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        const intptr_t r = MV2SubmarineHandler(object, 96, p1, p2);
        if (r) Answer(p2, (p2 ? *reinterpret_cast<intptr_t*>(p2) : 0) + intptr_t(sizeof(MV2DeployableTurretData)));
        return r ? 1 : 0;
    }
    if (message == 3) {
        if (!MV2SubmarineHandler(object, 3, p1, p2)) return 0;
        MV2DeployableTurretData* t = MV2GetTurretData(object);
        return t ? Create(object, t) : 0;
    }
    MV2DeployableTurretData* t = MV2GetTurretData(object);
    if (!t) return MV2SubmarineHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        if (TpAtomic* spare = MV2FindAtomicByTag(object->clump, 9)) TpAtomicSetFlags(spare, 0);
        if (object->body) object->body->velocity.y -= 0.001f * MV2ShotFrameStep();
        StateStep(object, t);
        if (!MV2SubmarineHandler(object, 2, p1, p2)) return 0;
        PostUpdate(object, t);
        return 1;
    }
    case 13: Answer(p2, t->magnets > 0 ? 1 : 0); return 1;
    case 14: {
        MV2Object* owner = nullptr;
        MV2ObjectSendMessage(reinterpret_cast<MV2Object*>(p2), 16, 0, reinterpret_cast<intptr_t>(&owner));
        return owner == object ? 0 : 1;
    }
    case 18:
        if (t->state == kMV2TurretDropped) Land(object, t);
        return MV2SubmarineHandler(object, message, p1, p2) ? 1 : 0;
    case 23: t->recoil = 0.4f; return 1;
    case 33:
        if (p1) {
            t->dropX = t->dropZ = -5000.0f;
            t->dropSet = 1;
        } else if (p2) {
            const auto* at = reinterpret_cast<const MV2Object*>(p2);
            if (at->matrix) {
                t->dropX = at->matrix->pos.x;
                t->dropZ = at->matrix->pos.z;
                t->dropSet = 1;
            }
        } else {
            t->dropSet = 0;
        }
        return 1;
    case 43: Release(object, t, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 44:
        ++t->magnets;
        return MV2SubmarineHandler(object, message, p1, p2) ? 1 : 0;
    case 45: return t->state == kMV2TurretFolded ? 1 : 0;
    case 59: Answer(p2, t->state != kMV2TurretFolded ? 1 : 0); return 1;
    case 63:
        if (t->state == kMV2TurretDeployed) PickUp(object, t);
        return 1;
    case 75: return t->carried;
    case 93:
        if (t->state == kMV2TurretFolded) {
            t->state = kMV2TurretDropped;
            MV2ObjectSendMessage(object, 0, 1, 0);
        }
        return 1;
    default: return MV2SubmarineHandler(object, message, p1, p2);
    }
}
