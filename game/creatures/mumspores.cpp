// The silent mum's pods, stream rings, spores, escorts, spore carrier, debris, dust and sac.
#include "game/creatures/mumspores.h"

#include <algorithm>
#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/puppetboss.h"
#include "game/creatures/silentmum.h"
#include "game/effects/effects.h"
#include "game/missions/missionflow.h"
#include "game/missions/scriptevents.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/gamemain.h"

namespace {

int32_t Now() {
    return int32_t(MV2GameClock());
}

// A delay of k x (1 + r), r a fresh random fraction.
int32_t Delay(int32_t k) {
    const float r = float(TvRandom() & 1023) / 1023.0f;
    return int32_t(float(k) * (1.0f + r));
}

float Fraction() {
    return float(TvRandom() & 1023) / 1023.0f;
}

template <typename T> T* DataOf(MV2Object* o) {
    return o && o->privateData ? static_cast<T*>(o->privateData) : nullptr;
}

MV2Object* MakeAt(int32_t type, const TvV3d& at) {
    const MV2Point3 p = MV2Point(at);
    return MV2CreateObject(type, p.v, nullptr);
}

void Send(MV2Object* o, int32_t message, intptr_t p1, const void* p2) {
    if (o) MV2ObjectSendMessage(o, message, p1, reinterpret_cast<intptr_t>(p2));
}

float Speed(const MV2Object* o) {
    return o->body ? MV2Length(o->body->velocity) : 0.0f;
}

float ThrustFor(const MV2Object* o, float speed, float step = 0.03f) {
    return Speed(o) < speed ? step : -step;
}

bool AboveWater(const MV2Object* o) {
    return o->matrix->pos.y > MV2GetWaterHeight(&o->matrix->pos);
}

// The spores' steering: turn toward the direction, stay upright, push along the forward axis.
void Steer(MV2Object* o, TvV3d direction, float thrust) {
    TvMatrix* m = o->matrix;
    const bool above = AboveWater(o);
    if (above && direction.y > 0.0f) direction.y = -direction.y;
    const TvV3d ownUp{0.0f, 1.0f, 0.0f}, ownRight{1.0f, 0.0f, 0.0f};
    MV2RotateMatrixInPlace(m, &ownUp, 10.0f * TvV3dDot(MV2Unit(m->right), direction), 1);
    MV2RotateMatrixInPlace(m, &ownRight, -10.0f * TvV3dDot(MV2Unit(m->up), direction), 1);
    const TvV3d upright{0.0f, 0.5f, 0.0f};
    MV2ApplyUprightForce(o, &upright);
    const TvV3d push = TvV3dScale(MV2Unit(m->at), thrust);
    MV2AddForce(o, &push);
    if (above && o->body) o->body->velocity.y -= 0.01f * MV2FrameStep();
}

// Follows a route's way-points; re-plans to `to` when they run out.
TvV3d FollowRoute(MV2Object* o, MV2Route* route, const TvV3d& to) {
    const TvV3d& at = o->matrix->pos;
    if (!route->current) MV2RoutePlan(route, &at, &to);
    if (!route->current) return MV2Unit(TvV3dSub(to, at));
    TvV3d d = TvV3dSub(route->current->position, at);
    if (MV2Length(d) < 1.0f) {
        if (!MV2RouteNextWayPoint(route)) MV2RoutePlan(route, &at, &to);
        if (route->current) d = TvV3dSub(route->current->position, at);
    }
    return MV2Unit(d);
}

int32_t TypeOf(const MV2Object* o) {
    return o ? MV2TypeOf(o) : -1;
}

// ---- Pods ----

MV2Pod* Pod(MV2Object* o) {
    return DataOf<MV2Pod>(o);
}

void SetPodKey(TpAtomic* root, int32_t key) {
    if (root) TpAnimSequenceAtomicSetCurrentKey(root, key);
}

intptr_t PodCreate(MV2Object* pod, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(pod, 3, p1, p2)) return 0;
    MV2Pod* d = Pod(pod);
    if (!d) return 0;
    *d = MV2Pod{};
    d->idle = 1;
    d->isProtected = 1;
    pod->energy = 50.0f;
    TpAtomic* root = MV2FindRootAtomic(pod->clump);
    TpGeometry* g = root ? TpAtomicGetGeometry(root) : nullptr;
    if (g && TpAnimSequenceGeometryGetCallBack(g) != MV2PodKeyCallback) {
        static const uint16_t kKeys[11][2] = {{0, 1}, {1, 0}, {0, 3}, {3, 4}, {4, 5}, {5, 4},
                                              {4, 3}, {3, 0}, {0, 2}, {2, 2}, {2, 0}};
        if (TpAnimSequenceGeometryCreateKeys(g, 11))
            for (int32_t k = 0; k < 11; ++k)
                TpAnimSequenceGeometrySetKey(g, k, kKeys[k][1], kKeys[k][0], 0.5f);
        TpAnimSequenceGeometrySetCallBack(g, MV2PodKeyCallback);
        if (pod->type) {
            pod->type->words[7] |= kMV2TypeAnimKeys;
            pod->type->words[32] = (pod->type->words[32] & ~0xFF00u) | (11u << 8);
        }
    }
    if (root) {
        SetPodKey(root, 0);
        TpAnimSequenceAtomicSetPosition(root, 0.5f * MV2RandomUnit());
    }
    pod->flags &= ~kMV2ObjectAnimate;
    return 1;
}

intptr_t PodUpdate(MV2Object* pod, MV2Pod* d) {
    const float seconds = MV2FrameSeconds();
    if (TpAtomic* root = MV2FindRootAtomic(pod->clump)) TpAnimSequenceAtomicAddTime(root, seconds);
    if (d->nodeMatrix && d->parentMatrix && pod->matrix) {
        const uint32_t flags = pod->matrix->flags;
        TvMatrixMultiply(pod->matrix, d->nodeMatrix, d->parentMatrix);
        pod->matrix->flags = flags & ~kTvMatrixIdentity;
        MV2SyncObjectFrame(pod);
    }
    if (d->closeCountdown > 0.0f) {
        d->closeCountdown -= seconds;
        if (d->closeCountdown <= 0.0f) d->closeRequest = 1;
    }
    if (d->fireRequest && !MV2GetSilentMumState()->flash) {
        d->fireDelay = 0.1f;
        d->fireRequest = 0;
        MV2Object* player = MV2GetPlayerObject();
        const TvV3d at = pod->matrix->pos;
        const TvV3d way = player && player->matrix ? MV2Unit(TvV3dSub(player->matrix->pos, at))
                                                   : MV2Unit(pod->matrix->at);
        d->aim = TvV3dAdd(at, TvV3dScale(way, 50.0f));
    }
    if (d->fireDelay > 0.0f) {
        d->fireDelay -= seconds;
        if (d->fireDelay <= 0.0f) {
            if (!d->beam || !MV2BeamExists(d->beam))
                d->beam = MV2CreateBeam(pod, &d->aim, 0.8f, 4, 0xC46);
            MV2BossSoundAt(pod->matrix->pos, 40.0f, "SILMUMLASER");
        }
    }
    if (d->recovery > 0.0f) {
        d->recovery -= seconds;
        if (d->recovery <= 0.0f && d->isProtected) d->reopenRequest = 1;
    }
    if (TypeOf(pod) == 429 || !d->open) {
        pod->energy = 50.0f;
    } else if (pod->energy <= 0.0f) {
        if (d->isProtected) {
            d->closeRequest = 1;
            d->closeAfterHurt = 1;
            d->recovery = 10.0f;
            pod->energy = 50.0f;
        } else {
            MV2CreateExplosion(&pod->matrix->pos.x, 3.0f, 0.0f, nullptr, 8, 0);
            pod->energy = -0.01f;
        }
    }
    return MV2ObjectDefaultHandler(pod, 2, 0, 0);
}

void ReleaseSpore(MV2Object* pod) {
    MV2Object* spore = MakeAt(353, pod->matrix->pos);
    if (!spore) return;
    const MV2ObjectHandle handle = spore->handle;
    Send(spore, 63, 0, nullptr);
    if (MV2ObjectHandleAlive(handle))
        Send(spore, 33, 0, MV2GetObjectRef(&MV2GetSilentMumState()->centreBeacon));
}

// ---- Spores ----

MV2SmallSpore* Small(MV2Object* o) {
    return TypeOf(o) == 354 ? DataOf<MV2SmallSpore>(o) : nullptr;
}

// A spore's creation: a clear record and route, its first timer 4-8 s ahead, activated, and
// script event 18 raised so that missions can follow it.
template <typename T>
intptr_t CreateSpore(MV2Object* spore, intptr_t p1, intptr_t p2, T* d, int32_t T::*timer) {
    if (!MV2ObjectDefaultHandler(spore, 3, p1, p2) || !d) return 0;
    *d = T{};
    MV2RouteInit(&d->route);
    d->*timer = Now() + Delay(4000);
    MV2ObjectSendMessage(spore, 0, 1, 0);
    MV2NotifyScripts(spore, 18, reinterpret_cast<intptr_t>(spore));
    return 1;
}

struct CarrierSearch {
    MV2Object* spore;
    MV2Object* owner;
    MV2Object* best;
    float bestDistance;
};

void FindCarrier(MV2Object* spore, MV2LargeSpore* d) {
    CarrierSearch s{spore, MV2GetObjectRef(&d->owner), nullptr, 100000.0f};
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o)) {
        if (TypeOf(o) != 330 || o == s.owner || !o->matrix) continue;
        const float distance = float(std::sqrt(MV2ObjectDistanceSquared(o, spore)));
        if (distance < 50.0f && distance < s.bestDistance) {
            s.best = o;
            s.bestDistance = distance;
        }
    }
    const TvV3d& at = spore->matrix->pos;
    if (s.best) {
        MV2SetObjectRef(&d->target, s.best);
        MV2RoutePlan(&d->route, &at, &s.best->matrix->pos);
        return;
    }
    TvV3d way;
    MV2RandomHorizontalDirection(&way);
    TvV3d end = TvV3dAdd(at, TvV3dScale(way, 50.0f * MV2RandomUnit()));
    float depth = 0.0f;
    MV2GetWaterDepth(&end, &depth);
    end.y = MV2GetWaterHeight(&end) - std::max(depth, 0.0f) * MV2RandomUnit();
    MV2RoutePlan(&d->route, &at, &end);
}

void SendEscorts(MV2LargeSpore* d, int32_t message, intptr_t p1, const void* p2) {
    for (int32_t i = 0; i < d->escortCount; ++i)
        Send(MV2GetObjectRef(&d->escorts[i]), message, p1, p2);
}

void CreateEscorts(MV2Object* spore, MV2LargeSpore* d, MV2Object* target) {
    d->escortCount = 0;
    for (int32_t i = 0; i < 6; ++i) {
        MV2Object* e = MakeAt(235, spore->matrix->pos);
        if (!e) continue;
        const MV2ObjectHandle h = e->handle;
        Send(e, 15, 0, spore);
        if (!MV2ObjectHandleAlive(h)) continue;
        Send(e, 33, 0, target);
        MV2SetObjectRef(&d->escorts[d->escortCount++], e);
    }
    if (d->escortCount == 0) return;
    d->savedEnergy = spore->energy;
    spore->energy = 100000000.0f;
}

intptr_t LargeUpdate(MV2Object* spore, MV2LargeSpore* d) {
    if (!MV2ObjectHandleAlive(spore->handle)) return 1;
    MV2StartObjectSound(spore, MV2CreatureSound("LARGESPORES"), &d->sound, 0, 0);
    MV2Object* target = MV2GetObjectRef(&d->target);
    TvV3d direction{1.0f, 0.0f, 0.0f};
    float speed = 0.2f, step = 0.03f;
    const TvV3d at = spore->matrix->pos;
    if (!target || !target->matrix) {
        if (!d->home) {
            d->state = 0;
        } else if (!d->target.object) {
            direction = FollowRoute(spore, &d->route, d->route.end);
        } else {
            MV2ClearObjectRef(&d->target);
            FindCarrier(spore, d);
        }
        Steer(spore, direction, ThrustFor(spore, speed));
        return MV2ObjectDefaultHandler(spore, 2, 0, 0);
    }
    const TvV3d goal = d->state == 4 ? d->attackPoint : target->matrix->pos;
    const float distance = MV2Length(TvV3dSub(goal, at));
    direction = MV2Unit(TvV3dSub(goal, at));
    if (!d->split && !d->home && d->escortCount == 0 && Now() - d->nextEscorts >= 0)
        CreateEscorts(spore, d, target);
    switch (d->state) {
    case 0:
        MV2RoutePlan(&d->route, &at, &target->matrix->pos);
        d->state = 1;
        break;
    case 1:
        if (distance >= 20.0f) direction = FollowRoute(spore, &d->route, target->matrix->pos);
        else d->state = 2;
        break;
    case 2:
        if (distance > 20.0f) {
            d->state = 0;
        } else if (d->home && distance < 0.5f) {
            spore->energy = -1.0f; // absorbed by its carrier
        } else if (distance < 8.0f && !d->home) {
            d->state = 3;
            d->nextMove = Now() + Delay(500);
        }
        break;
    case 3:
        if (Now() - d->nextMove < 0) break;
        if (distance > 16.0f) {
            d->state = 2;
            break;
        }
        {
            TvV3d r;
            MV2RandomDirection(&r);
            d->attackPoint = TvV3dAdd(target->matrix->pos, TvV3dScale(r, 2.0f));
            if (target == MV2GetPlayerObject())
                d->attackPoint = TvV3dAdd(d->attackPoint, TvV3dScale(target->matrix->at, 8.0f));
        }
        d->nextMove = Now() + Delay(500);
        d->state = 4;
        break;
    case 4:
        speed = 0.4f;
        step = 0.1f;
        if (distance < 0.3f || Now() - d->nextMove >= 0) {
            d->state = 3;
            d->nextMove = Now() + Delay(500);
            if (d->escortCount > 0)
                Send(MV2GetObjectRef(&d->escorts[MV2GameClock() % uint32_t(d->escortCount)]), 24,
                     1, nullptr);
        }
        break;
    default: d->state = 0; break;
    }
    Steer(spore, direction, ThrustFor(spore, speed, step));
    return MV2ObjectDefaultHandler(spore, 2, 0, 0);
}

void LargeThreat(MV2Object* spore, MV2LargeSpore* d, MV2Object* attacker) {
    if (!attacker || d->targetLock) return;
    if (attacker != MV2GetObjectRef(&d->target)) {
        MV2SetObjectRef(&d->target, attacker);
        SendEscorts(d, 33, 0, attacker);
    }
    if (d->escortCount > 0) {
        Send(MV2GetObjectRef(&d->escorts[d->escortCount - 1]), 12, 1, nullptr);
        return;
    }
    if (d->split || d->noSplit || spore->energy > MV2InitialEnergy(spore) * 0.5f) return;
    for (int i = 0; i < 2; ++i)
        if (MV2Object* small = MakeAt(354, spore->matrix->pos))
            Send(small, 33, d->targetLock, attacker);
    if (spore->energy > 0.0f) {
        MV2NotifyObjectScript(spore, 13, 0, reinterpret_cast<intptr_t>(attacker));
        MV2NotifyScripts(attacker, 2, 353);
    }
    spore->energy = -1.0f;
    d->split = 1;
}

intptr_t LargeContact(MV2Object* spore, MV2LargeSpore* d, int32_t message, intptr_t p1,
                      MV2Object* other) {
    if (!other) return 1;
    if (other == MV2GetObjectRef(&d->owner)) return 0;
    if (d->home && other == MV2GetObjectRef(&d->target)) return 0;
    return MV2ObjectDefaultHandler(spore, message, p1, reinterpret_cast<intptr_t>(other));
}

intptr_t SmallUpdate(MV2Object* spore, MV2SmallSpore* d) {
    if (!MV2ObjectHandleAlive(spore->handle)) return 1;
    MV2StartObjectSound(spore, MV2CreatureSound("SMALLSPORE"), &d->sound, 0, 0);
    MV2Object* target = MV2GetObjectRef(&d->target);
    TvV3d direction{1.0f, 0.0f, 0.0f};
    float speed = 0.2f;
    const TvV3d at = spore->matrix->pos;
    if (!target || !target->matrix) {
        d->state = 0;
    } else {
        const TvV3d goal = d->state == 5 || d->state == 7
                               ? target->matrix->pos
                               : TvV3dAdd(target->matrix->pos, TvV3dScale(target->matrix->at, 8.0f));
        const TvV3d to = TvV3dSub(goal, at);
        const float distance = MV2Length(to);
        direction = MV2Unit(to);
        switch (d->state) {
        case 0:
            MV2RoutePlan(&d->route, &at, &goal);
            d->state = 1;
            break;
        case 1:
            if (distance >= 20.0f) direction = FollowRoute(spore, &d->route, goal);
            else d->state = 2;
            break;
        case 2:
            speed = 0.3f;
            if (distance < 2.0f) d->state = 3;
            else if (distance > 20.0f) d->state = 0;
            break;
        case 3: {
            speed = 0.1f;
            const TvV3d up = MV2Unit(spore->matrix->up);
            direction = MV2Unit(TvV3dAdd(TvV3dCross(up, direction),
                                         TvV3dScale(direction, (distance - 2.0f) * 0.5f)));
            if ((TvRandom() & 0x1FF) == 0) {
                d->state = 5;
                d->nextMove = Now() + Delay(2000);
            } else if (distance > 4.0f) {
                d->state = 2;
            }
            break;
        }
        case 5:
            speed = 0.3f;
            if (Now() - d->nextMove >= 0) d->state = 6;
            break;
        case 6:
            speed = 0.3f;
            if (distance < 2.0f) d->state = 3;
            break;
        case 7: {
            if (distance >= 0.5f) break;
            MV2Object* saved = MV2GetObjectRef(&d->savedTarget);
            if (d->savedTarget.object) {
                const MV2SmallSpore* partner = Small(target);
                const intptr_t lock = d->targetLock || (partner && partner->targetLock);
                MV2Object* merged = MakeAt(353, at);
                if (merged && saved) Send(merged, 33, lock, saved);
                spore->energy = -1.0f;
                target->energy = -1.0f;
            }
            break;
        }
        default: d->state = 0; break;
        }
    }
    Steer(spore, direction, ThrustFor(spore, speed));
    if (spore->body && MV2Length(spore->body->velocity) > 0.3f)
        spore->body->velocity = TvV3dScale(MV2Unit(spore->body->velocity), 0.25f);
    return MV2ObjectDefaultHandler(spore, 2, 0, 0);
}

intptr_t SmallContact(MV2Object* spore, MV2SmallSpore* d, int32_t message, intptr_t p1,
                      MV2Object* other) {
    if (!other) return 1;
    MV2Object* target = MV2GetObjectRef(&d->target);
    if (other == target && d->state != 7) {
        const float cost = d->state == 5 ? 5.0f : 2.0f;
        other->energy -= cost;
        if (d->state == 5) d->state = 6;
    }
    MV2SmallSpore* o = Small(other);
    if (o && d->state != 7 && o->state != 7 && Now() - d->mergeReady >= 0 &&
        (TvRandom() & 0x7F) <= 0x3F) {
        d->savedTarget = d->target;
        MV2SetObjectRef(&d->target, other);
        Send(other, 33, o->targetLock, spore);
        Send(other, 12, 7, nullptr);
        d->state = 7;
        return 0;
    }
    return MV2ObjectDefaultHandler(spore, message, p1, reinterpret_cast<intptr_t>(other));
}

// ---- Escorts ----

intptr_t EscortUpdate(MV2Object* escort, MV2SporeEscort* d) {
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    if (!owner || !owner->matrix) {
        escort->energy = -1.0f;
        return MV2ObjectDefaultHandler(escort, 2, 0, 0);
    }
    MV2Object* target = MV2GetObjectRef(&d->target);
    const TvV3d at = escort->matrix->pos;
    TvV3d wanted{};
    switch (d->state) {
    case 1: {
        const TvV3d to = TvV3dSub(owner->matrix->pos, at);
        wanted = MV2Unit(to);
        if (Now() - d->time >= 0 || MV2Length(to) < 0.3f) escort->energy = -1.0f;
        break;
    }
    case 5:
        if (!target) d->state = 6;
        wanted = MV2Unit(TvV3dSub(d->chargePoint, at));
        if (Now() - d->time >= 0) d->state = 6;
        break;
    case 6:
        if (!target || !target->matrix) {
            d->state = 3;
            break;
        }
        wanted = MV2Unit(TvV3dSub(target->matrix->pos, at));
        if (MV2Length(TvV3dSub(target->matrix->pos, at)) < 1.0f) d->state = 3;
        break;
    default: {
        const TvV3d to = TvV3dSub(owner->matrix->pos, at);
        const float distance = MV2Length(to);
        const TvV3d unit = MV2Unit(to);
        const TvV3d v = escort->body ? escort->body->velocity : TvV3d{};
        wanted = MV2Unit(TvV3dAdd(TvV3dCross(TvV3dCross(v, unit), unit),
                                  TvV3dScale(unit, (distance - 1.0f) * 0.5f)));
        break;
    }
    }
    const TvV3d velocity = escort->body ? MV2Unit(escort->body->velocity) : TvV3d{};
    const TvV3d push = TvV3dScale(MV2Unit(TvV3dAdd(velocity, wanted)), ThrustFor(escort, 0.25f));
    MV2AddForce(escort, &push);
    if (gMV2MainCamera && gMV2MainCamera->object.frame) {
        TvMatrix m = *TvFrameGetLTM(gMV2MainCamera->object.frame);
        m.pos = at;
        const TvV3d ownAt{0.0f, 0.0f, 1.0f};
        TvMatrixRotate(&m, &ownAt, 360.0f * MV2RandomUnit(), 1);
        m.pos = at;
        const uint32_t flags = escort->matrix->flags;
        *escort->matrix = m;
        escort->matrix->flags = flags & ~kTvMatrixIdentity;
        MV2SyncObjectFrame(escort);
    }
    if (escort->body && MV2Length(escort->body->velocity) > 0.25f)
        escort->body->velocity = TvV3dScale(MV2Unit(escort->body->velocity), 0.25f);
    escort->radius = std::max(d->radius, 0.6f * MV2Length(TvV3dSub(at, d->start)));
    if (TpAtomic* root = MV2FindRootAtomic(escort->clump)) root->interpolator.flags |= 2;
    return MV2ObjectDefaultHandler(escort, 2, 0, 0);
}

intptr_t EscortContact(MV2Object* escort, MV2SporeEscort* d, int32_t message, intptr_t p1,
                       MV2Object* other) {
    if (!other) return 1;
    if (other == MV2GetObjectRef(&d->owner)) return 0;
    if (other == MV2GetObjectRef(&d->target)) {
        other->energy -= d->state == 5 ? 5.0f : 2.0f;
        if (d->state == 5) d->state = 6;
    }
    return MV2ObjectDefaultHandler(escort, message, p1, reinterpret_cast<intptr_t>(other));
}

// ---- Debris and dust ----

TvV3d RandomSpread(float scale) {
    TvV3d v{float(TvRandom() & 2047) / 1024.0f - 1.0f, float(TvRandom() & 2047) / 1024.0f - 1.0f,
            float(TvRandom() & 2047) / 1024.0f - 1.0f};
    v = MV2Unit(v);
    v.x *= (1.0f + Fraction()) * scale;
    v.y *= (1.0f + Fraction()) * scale;
    v.z *= (1.0f + Fraction()) * scale;
    return v;
}

bool SporeBit(const MV2Object* o) {
    const int32_t t = TypeOf(o);
    return t >= 356 && t <= 360;
}

intptr_t DebrisCreate(MV2Object* o, intptr_t p1, intptr_t p2, float scale) {
    if (!MV2ObjectDefaultHandler(o, 3, p1, p2)) return 0;
    MV2SporeDebris* d = DataOf<MV2SporeDebris>(o);
    if (!d || !o->matrix) return 0;
    *d = MV2SporeDebris{};
    d->expiry = Now() + 10000;
    d->radius = o->radius;
    d->start = o->matrix->pos;
    if (const MV2CreationRecord* r = MV2GetCreationRecord(); r && r->owner)
        MV2SetObjectRef(&d->spawner, r->owner);
    if (o->body) {
        o->body->velocity = RandomSpread(scale);
        if (TypeOf(o) != 360)
            o->body->angularVelocity = {(MV2RandomUnit() - 0.5f) * 0.5f,
                                        (MV2RandomUnit() - 0.5f) * 0.5f,
                                        (MV2RandomUnit() - 0.5f) * 0.5f};
    }
    MV2ObjectSendMessage(o, 0, 1, 0);
    return 1;
}

void Release(int32_t count, int32_t type, const TvV3d& at, int32_t category = -1) {
    for (int32_t i = 0; i < count; ++i)
        if (MV2Object* o = MakeAt(type, at); o && category >= 0) o->aiCategory = category;
}

} // namespace

// ---- Pods ----

int32_t MV2PodNextKey(MV2Object* pod, MV2Pod* d, int32_t finished) {
    switch (finished) {
    case 1:
    case 7:
    case 10:
        d->open = 0;
        d->closeRequest = 0;
        if (d->closeAfterHurt) {
            d->closeAfterHurt = 0;
            return 8;
        }
        if (d->openRequest) {
            d->openRequest = 0;
            d->idle = 0;
            d->open = 1;
            const TvV3d at = pod && pod->matrix ? pod->matrix->pos : TvV3d{};
            if (!d->flashRequest) {
                MV2BossSoundAt(at, 40.0f, "SILMUMVULVAOPEN");
            } else {
                if (pod && pod->matrix) MV2SilentMumStartFlash(*pod->matrix);
                d->fireRequest = 1;
                d->flashRequest = 0;
                MV2BossSoundAt(at, 40.0f, "SILMUMCHARGE");
            }
            return 2;
        }
        d->idle = 1;
        return kMV2PodNextKey[finished];
    case 5:
        if (d->sporesToRelease > 0) {
            if (pod && pod->matrix) ReleaseSpore(pod);
            if (--d->sporesToRelease == 0) d->closeRequest = 1;
        }
        if (d->closeRequest) {
            if (d->beam) MV2RemoveBeam(d->beam);
            d->beam = 0;
            if (pod && pod->matrix) MV2BossSoundAt(pod->matrix->pos, 40.0f, "SILMUMVULVACLOSE");
            return 6;
        }
        return kMV2PodNextKey[finished];
    case 9:
        if (d->reopenRequest) {
            d->reopenRequest = 0;
            return 10;
        }
        return 9;
    default: return finished >= 0 && finished < 11 ? kMV2PodNextKey[finished] : 0;
    }
}

float MV2PodKeyCallback(TpAtomic* atomic, float position) {
    const int32_t key = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    MV2Object* pod = MV2AtomicObject(atomic);
    MV2Pod* d = Pod(pod);
    MV2Pod scratch{};
    return MV2StepAnimKey(atomic, position, MV2PodNextKey(pod, d ? d : &scratch, key));
}

intptr_t MV2SilentMumLaserHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2Pod));
    if (message == 3) return PodCreate(object, p1, p2);
    MV2Pod* d = Pod(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return PodUpdate(object, d);
    case 4:
        if (d->beam) MV2RemoveBeam(d->beam);
        d->beam = 0;
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        d->nodeMatrix = reinterpret_cast<const TvMatrix*>(p1);
        d->parentMatrix = reinterpret_cast<const TvMatrix*>(p2);
        return 1;
    case 63:
        d->isProtected = 0;
        if (d->dead) object->energy = 0.0f;
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SilentMumSpinnerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(float));
    auto* rate = DataOf<float>(object);
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (rate) *rate = 1.0f;
        return 1;
    case 2:
        if (rate && object->matrix) {
            TvMatrix* m = object->matrix;
            m->right = TvV3dScale(MV2Unit(m->right), *rate);
            m->up = TvV3dScale(MV2Unit(m->up), *rate);
            m->at = TvV3dScale(MV2Unit(m->at), *rate);
            m->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
            MV2SyncObjectFrame(object);
        }
        return 1;
    case 63:
        if (object->clump) MV2SetAllAtomicFlags(object->clump, p1 ? 4 : 0);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2LargeSporeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2LargeSpore));
    MV2LargeSpore* d = DataOf<MV2LargeSpore>(object);
    if (message == 3) return CreateSpore(object, p1, p2, d, &MV2LargeSpore::nextEscorts);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    auto* other = reinterpret_cast<MV2Object*>(p2);
    switch (message) {
    case 2: return LargeUpdate(object, d);
    case 4:
        MV2RouteClear(&d->route);
        MV2StopObjectSound(object, MV2CreatureSound("LARGESPORES"), &d->sound);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        if (!p1) return 1;
        for (int32_t i = 0; i < d->escortCount; ++i) {
            if (d->escorts[i].object != other) continue;
            d->escorts[i] = d->escorts[--d->escortCount];
            d->escorts[d->escortCount] = MV2ObjectRef{};
            break;
        }
        if (d->escortCount == 0) {
            d->state = 0;
            d->nextEscorts = Now() + Delay(4000);
            object->energy = d->savedEnergy;
        }
        return 1;
    case 14:
    case 19: return LargeContact(object, d, message, p1, other);
    case 15: {
        if (!other) return 1;
        MV2SetObjectRef(&d->owner, other);
        MV2WeaponRecord* w = MV2GetCurrentWeapon(other);
        if (!d->targetLock && w && w->slot == 20) {
            d->home = 1;
            d->state = 1;
            FindCarrier(object, d);
        }
        return 1;
    }
    case 18: return MV2ObjectDefaultHandler(object, message, p1, p2);
    case 33:
        d->targetLock = int32_t(p1);
        d->home = 0;
        if (other && other->matrix) {
            MV2SetObjectRef(&d->target, other);
            MV2RoutePlan(&d->route, &object->matrix->pos, &other->matrix->pos);
        } else {
            MV2ClearObjectRef(&d->target);
        }
        d->state = 1;
        return 1;
    case 34: return reinterpret_cast<intptr_t>(MV2GetObjectRef(&d->target));
    case 63:
        d->noSplit = 1;
        d->nextEscorts = Now();
        return 1;
    case 65: LargeThreat(object, d, MV2GetPlayerObject()); return 1;
    case 76:
        if (other && other->aiCategory == 6 && TypeOf(other) != 330) LargeThreat(object, d, other);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SmallSporeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SmallSpore));
    MV2SmallSpore* d = DataOf<MV2SmallSpore>(object);
    if (message == 3) return CreateSpore(object, p1, p2, d, &MV2SmallSpore::mergeReady);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    auto* other = reinterpret_cast<MV2Object*>(p2);
    switch (message) {
    case 2: return SmallUpdate(object, d);
    case 4:
        MV2RouteClear(&d->route);
        MV2StopObjectSound(object, MV2CreatureSound("SMALLSPORE"), &d->sound);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12: d->state = int32_t(p1); return 1;
    case 14:
    case 19: return SmallContact(object, d, message, p1, other);
    case 33:
        d->targetLock = int32_t(p1);
        if (other) MV2SetObjectRef(&d->target, other);
        else MV2ClearObjectRef(&d->target);
        return 1;
    case 34: return reinterpret_cast<intptr_t>(MV2GetObjectRef(&d->target));
    case 65:
        if (!d->targetLock)
            if (MV2Object* player = MV2GetPlayerObject()) MV2SetObjectRef(&d->target, player);
        return 1;
    case 76:
        if (!d->targetLock && other && other->aiCategory == 6 && TypeOf(other) != 330)
            MV2SetObjectRef(&d->target, other);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SporeEscortHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SporeEscort));
    MV2SporeEscort* d = DataOf<MV2SporeEscort>(object);
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2) || !d) return 0;
        *d = MV2SporeEscort{};
        d->state = 3;
        d->radius = MV2GetBoundingRadius(MV2FindRootAtomic(object->clump));
        d->start = object->matrix ? object->matrix->pos : TvV3d{};
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    auto* other = reinterpret_cast<MV2Object*>(p2);
    switch (message) {
    case 2: return EscortUpdate(object, d);
    case 4:
        Send(MV2GetObjectRef(&d->owner), 12, 1, object);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        if (p1 && !d->stateSet) {
            d->stateSet = 1;
            d->state = int32_t(p1);
            d->time = Now() + Delay(500);
        }
        return 1;
    case 14:
    case 19: return EscortContact(object, d, message, p1, other);
    case 15:
        if (other) MV2SetObjectRef(&d->owner, other);
        return 1;
    case 16:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = reinterpret_cast<intptr_t>(MV2GetObjectRef(&d->owner));
        return 1;
    case 24: {
        MV2Object* target = MV2GetObjectRef(&d->target);
        if (!p1 || d->launched || !target || !target->matrix) return 1;
        d->launched = 1;
        d->state = 5;
        d->time = Now() + Delay(2000);
        d->chargePoint = target->matrix->pos;
        return 1;
    }
    case 33:
        if (other) MV2SetObjectRef(&d->target, other);
        return 1;
    case 34: return reinterpret_cast<intptr_t>(MV2GetObjectRef(&d->target));
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SporeCarrierHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        MV2SubmarineHandler(object, 96, p1, p2);
        return MV2AnswerSize(p2, sizeof(MV2SporeCarrier));
    }
    auto* d = object->type && object->type->privateDataSize >= sizeof(MV2SporeCarrier)
                  ? DataOf<MV2SporeCarrier>(object)
                  : nullptr;
    if (!d || !object->matrix) return MV2SubmarineHandler(object, message, p1, p2);
    if (message == 3) {
        const intptr_t r = MV2SubmarineHandler(object, 3, p1, p2);
        d->state = 0;
        d->burstTime = 0;
        return r;
    }
    if (message == 12) {
        d->state = int32_t(p1);
        if (d->state == 1) d->held = *object->matrix;
        if (d->state == 2) d->burstTime = Now() + Delay(3000);
        return 1;
    }
    if (message != 2) return MV2SubmarineHandler(object, message, p1, p2);
    if (d->state == 1) {
        const uint32_t flags = object->matrix->flags;
        *object->matrix = d->held;
        object->matrix->flags = flags;
        if (object->body) object->body->velocity = TvV3d{};
        MV2SyncObjectFrame(object);
    } else if (d->state == 2) {
        if (Now() - d->burstTime >= 0) {
            const TvV3d at = object->matrix->pos;
            TvV3d velocity = object->body ? object->body->velocity : TvV3d{};
            Release(15, 360, at);
            for (int32_t i = 0; i < 12; ++i) {
                MV2Object* piece = MakeAt(356 + (i & 3), at);
                if (!piece) continue;
                piece->aiCategory = 10;
                Send(piece, 12, 0, &velocity);
            }
            MV2CreateExplosion(&at.x, 5.0f, 1000.0f, nullptr, 8, 0);
            MV2BossSoundAt(at, 30.0f, "JELLYMUMDIE");
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
    } else if (object->energy < 0.1f * MV2InitialEnergy(object)) {
        intptr_t given = 0;
        MV2SubmarineHandler(object, 46, 20, reinterpret_cast<intptr_t>(&given));
        if (given) {
            MV2ObjectSendMessage(object, 10, 0, 0);
            if (MV2ObjectHandleAlive(object->handle)) MV2ObjectSendMessage(object, 22, 20, 0);
        }
    }
    return MV2SubmarineHandler(object, 2, p1, p2);
}

intptr_t MV2SporeDebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SporeDebris));
    if (message == 3) return DebrisCreate(object, p1, p2, 0.4f);
    MV2SporeDebris* d = DataOf<MV2SporeDebris>(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    auto* other = reinterpret_cast<MV2Object*>(p2);
    switch (message) {
    case 2: {
        if (Now() - d->expiry >= 0) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        if (AboveWater(object)) {
            MV2ApplyGravity(object);
            MV2ApplyGravity(object);
        } else {
            MV2EmitMTrail(reinterpret_cast<uintptr_t>(object), object->handle, 0, 1.0f,
                          object->matrix);
        }
        object->radius =
            std::max(d->radius, 0.6f * MV2Length(TvV3dSub(object->matrix->pos, d->start)));
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    case 4: Release(5, 360, object->matrix->pos); return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        if (p2 && object->body)
            object->body->velocity =
                TvV3dAdd(*reinterpret_cast<const TvV3d*>(p2), object->body->velocity);
        return 1;
    case 14:
    case 19:
        if (!other || other == MV2GetObjectRef(&d->spawner) || SporeBit(other)) return 0;
        MV2DamageObject(object, other, nullptr, 30.0f, 1);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SporeDustHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SporeDebris));
    if (message == 3) return DebrisCreate(object, p1, p2, 0.2f);
    MV2SporeDebris* d = DataOf<MV2SporeDebris>(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    auto* other = reinterpret_cast<MV2Object*>(p2);
    switch (message) {
    case 2:
        if (d->ended || Now() - d->expiry >= 0) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    case 14:
    case 19:
        if (!other || SporeBit(other)) return 0;
        MV2DamageObject(object, other, nullptr, 2.0f, 1);
        d->ended = 1;
        return 1;
    case 18: d->ended = 1; return 0;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SporeSacHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        object->energy = 30.0f;
        return 1;
    case 2:
        if (object->energy <= 0.0f && object->energy != -0.01f && object->matrix) {
            const TvMatrix& m = *object->matrix;
            const TvV3d at = MV2Unit(m.at);
            for (int32_t i = 0; i < 6; ++i) {
                TvV3d r;
                MV2RandomDirection(&r);
                TvV3d side = TvV3dSub(r, TvV3dScale(at, TvV3dDot(r, at)));
                if (MV2Normalise(&side) < 1e-6f) side = MV2Unit(m.right);
                MakeAt(118, TvV3dAdd(TvV3dAdd(m.pos, TvV3dScale(at, 4.0f)), TvV3dScale(side, 5.0f)));
            }
            object->energy = -0.01f;
        }
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SporeWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                               intptr_t p2) {
    if (message == 57) {
        if (p2)
            *reinterpret_cast<MV2WeaponIcon*>(p2) = {weapon && weapon->slot == 20 ? 0x53 : 0x52, kMV2BossHudColour};
        return 1;
    }
    if (message == 10) {
        if (p1 == 1) return 1;
        if (weapon && weapon->slot == 20) {
            const auto* record = reinterpret_cast<const MV2CreationRecord*>(p2);
            MV2Object* owner = record && record->owner ? record->owner : weapon->owner;
            if (owner) MV2ObjectSendMessage(owner, 12, 2, 0);
            return 1;
        }
    }
    return MV2StandardWeaponHandler(weapon, message, p1, p2);
}

void MV2DrawSporeGlow(MV2Object* object) {
    if (!object || !object->matrix) return;
    const int32_t type = MV2TypeOf(object);
    const float size = type == 353 ? 0.4f : type == 354 ? 0.2f : 0.1f;
    MV2DrawSpriteFogged(gMV2CoronaTexture, &object->matrix->pos, size);
}

void MV2RegisterSporeHandlers() {
    MV2SetObjectTypeHandler(428, MV2SilentMumLaserHandler);
    MV2SetObjectTypeHandler(429, MV2SilentMumLaserHandler);
    MV2SetObjectTypeHandler(432, MV2SilentMumSpinnerHandler);
    MV2SetObjectTypeHandler(353, MV2LargeSporeHandler);
    MV2SetObjectTypeHandler(354, MV2SmallSporeHandler);
    MV2SetObjectTypeHandler(235, MV2SporeEscortHandler);
    MV2SetObjectTypeHandler(330, MV2SporeCarrierHandler);
    for (int32_t t = 356; t <= 359; ++t)
        MV2SetObjectTypeHandler(t, MV2SporeDebrisHandler);
    MV2SetObjectTypeHandler(360, MV2SporeDustHandler);
    MV2SetObjectTypeHandler(239, MV2SporeSacHandler);
    MV2SetWeaponRowHandler(19, MV2SporeWeaponHandler);
    MV2SetWeaponRowHandler(20, MV2SporeWeaponHandler);
}
