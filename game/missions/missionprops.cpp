// Mission props: valve wheel, switches, touch sensors, scraping blocks and the guided missile.
#include "game/missions/missionprops.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "game/effects/bubbles.h"
#include "game/effects/explosions.h"
#include "game/effects/trails.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"

namespace {

// ---- valve ----

void ValveUpdate(MV2Object* object, MV2ValveWheelData* d) {
    if (d->shiny) MV2SetEnvMapTexCoords(d->shiny);
    const float diff = d->target - d->angle;
    if (diff >= 0.0f)
        d->angle += MV2FrameStep() * 0.1f * diff;
    else
        d->angle = 0.0f;
    if (diff <= 1.0f)
        MV2StopNamedSound(object, "DRAGSTONE", &d->sound);
    else
        MV2LoopNamedSound(object, "DRAGSTONE", &d->sound, 5000);
    if (d->wheel && d->wheel->object.frame) {
        const TvV3d y{0, 1, 0};
        MV2RotateMatrixInPlace(TvFrameGetMatrix(d->wheel->object.frame), &y, d->angle, 0);
        TvFrameUpdateObjects(d->wheel->object.frame);
    }
}

void ValveUse(MV2Object* object, MV2ValveWheelData* d) {
    if (int32_t(MV2GameClock() - d->nextTurn) <= 0) return;
    d->target += 45.0f;
    d->nextTurn = MV2GameClock() + 500;
    if (d->target > 360.0f) d->target -= 360.0f;
    MV2RunCallback(d->callback, object, int32_t(d->angle));
}

// ---- switch ----

void SetMedium(MV2Object* object, uint32_t medium) {
    if (!object->type) return;
    uint32_t& w = object->type->words[31];
    w = (w & ~((0x3FFFu << 14) | 0x3FFFu)) | (medium << 14) | medium;
}

float Stroke(int32_t type) {
    if (type == 277 || type == 278) return 5.0f;
    if (type == 287) return 0.2f;
    return 1.0f;
}

void Home(MV2Object* object, MV2SwitchData* d) {
    d->pressed = 1;
    MV2RunCallback(d->callback, object, 1);
    MV2PlayObjectSound(object, 20.0f, "FLOORSWITCH", 5000);
    MV2StopObjectSound(object, d->soundId, &d->sound);
    if (object->body) object->body->velocity = {0, 0, 0};
}

void SwitchSound(MV2Object* object, MV2SwitchData* d, bool on) {
    if (on && d->soundId)
        MV2StartObjectSound(object, d->soundId, &d->sound, 0, 0);
    else if (d->sound)
        MV2StopObjectSound(object, d->soundId, &d->sound);
}

void SwitchBefore(MV2Object* object, MV2SwitchData* d) {
    MV2Body* body = object->body;
    TvMatrix* m = object->matrix;
    if (body && !d->returning && body->velocity.y > 0.0f) body->velocity.y = 0.0f;
    m->right = d->rest.right;
    m->up = d->rest.up;
    m->at = d->rest.at;
    if (body) body->angularVelocity = {0, 0, 0};
    const int32_t type = MV2TypeOf(object);
    if (d->mode == 0) {
        if (d->pressed && !d->returning) {
            m->pos = d->rest.pos;
            m->pos.y -= d->travel;
            if (body) body->velocity = {0, 0, 0};
        }
    } else if (d->pressed) {
        const float stroke = type == 232 ? -0.5f : Stroke(type);
        m->pos = TvV3dAdd(d->rest.pos, TvV3dScale(d->rest.at, stroke));
        if (body) body->velocity = {0, 0, 0};
    }
}

void SwitchAfter(MV2Object* object, MV2SwitchData* d) {
    MV2Body* body = object->body;
    TvMatrix* m = object->matrix;
    const int32_t type = MV2TypeOf(object);
    if (d->mode == 0) {
        if (d->returning) {
            const TvV3d up{0, 0.01f * MV2FrameStep(), 0};
            MV2AddForce(object, &up);
            if (m->pos.y <= d->rest.pos.y) {
                SwitchSound(object, d, true);
            } else {
                d->returning = 0;
                m->pos = d->rest.pos;
                if (body) body->velocity = {0, 0, 0};
                SwitchSound(object, d, false);
            }
        } else if (d->pressed) {
            m->pos = d->rest.pos;
            m->pos.y -= d->travel;
            if (body) body->velocity = {0, 0, 0};
            SwitchSound(object, d, false);
        } else {
            m->pos.x = d->rest.pos.x;
            m->pos.z = d->rest.pos.z;
            if (m->pos.y >= d->rest.pos.y - d->travel)
                SwitchSound(object, d, d->last.y > m->pos.y);
            else
                Home(object, d);
        }
    } else if (d->returning) {
        SwitchSound(object, d, false);
        d->returning = 0;
        m->pos = d->rest.pos;
        if (body) body->velocity = {0, 0, 0};
    } else if (!d->pressed) {
        float s = TvV3dDot(TvV3dSub(m->pos, d->rest.pos), d->rest.at);
        if (type == 232) {
            if (body && TvV3dDot(body->velocity, body->velocity) > 0.01f) {
                body->velocity = {0, 0, 0};
                SwitchSound(object, d, true);
            }
            if (s > 0.0f) s = 0.0f;
            if (s < -0.5f) {
                s = -0.5f;
                Home(object, d);
            }
        } else {
            const TvV3d moved = TvV3dSub(m->pos, d->last);
            SwitchSound(object, d, TvV3dDot(moved, moved) > 0.1f);
            if (s < 0.0f) s = 0.0f;
            if (s > Stroke(type)) {
                s = Stroke(type);
                Home(object, d);
            }
        }
        m->pos = TvV3dAdd(d->rest.pos, TvV3dScale(d->rest.at, s));
    } else {
        m->pos = TvV3dAdd(d->rest.pos, TvV3dScale(d->rest.at, Stroke(type)));
    }
    // A returning floor switch keeps the upward speed its force gave it.
    if (body && !(d->mode == 0 && d->returning)) body->velocity = {0, 0, 0};
    MV2ObjectMoved(object);
    d->last = m->pos;
}

void SwitchCreated(MV2Object* object, MV2SwitchData* d) {
    *d = MV2SwitchData{};
    d->rest = *object->matrix;
    object->typeWord &= ~(1u << 20);
    SetMedium(object, 13);
    d->last = object->matrix->pos;
    const int32_t type = MV2TypeOf(object);
    const int32_t drag = MV2CreatureSound("DRAGSTONE");
    if ((type >= 194 && type <= 201) || type == 304) {
        SetMedium(object, 8);
        d->travel = 0.25f;
    } else if (type >= 203 && type <= 208) {
        SetMedium(object, 8);
        d->travel = 2.5f;
        d->soundId = drag;
    } else if (type == 232) {
        d->mode = 1; // a slider pulled back half a unit along its forward axis
    } else {
        if (type == 277 || type == 278) SetMedium(object, 8);
        d->mode = 1;
        d->soundId = drag;
        if (object->type) object->type->words[7] |= 1u << 12;
        object->flags |= 0x80u;
    }
}

// ---- missile ----

bool NetworkGame() {
    return gMV2GameType == 3 || gMV2GameType == 4;
}

void MissileExplode(MV2Object* object, MV2GuidedMissileData* d, uint32_t kind) {
    MV2Object* launcher = MV2GetObjectRef(&d->launcher);
    MV2SetDamageSource(launcher);
    const bool network = NetworkGame();
    const float damage = launcher && launcher == MV2GetPlayerSub() && !network ? 40.0f : 15.0f;
    const MV2Point3 p = MV2Point(MV2ObjectPosition(object));
    MV2CreateExplosion(p.v, network ? 5.0f : 0.7f, damage, launcher, kind, network ? 159 : 158);
    MV2SetDamageSource(nullptr);
    d->exploded = 1;
}

void MissileFly(MV2Object* object, MV2GuidedMissileData* d) {
    TvMatrix* m = object->matrix;
    const float step = MV2FrameStep();
    const float surface = MV2GetWaterHeight(&m->pos);
    if (surface <= m->pos.y) {
        MV2ApplyGravity(object);
        MV2ApplyGravity(object);
    } else {
        const float top = MV2GetObjectRef(&d->launcher) == MV2GetPlayerObject() &&
                                  d->launcher.object
                              ? 0.1f
                              : 0.033333335f;
        if (d->speed < top) d->speed += step * 0.05f;
        if (d->speed > top) d->speed = top;
        if (d->guided && d->speed > 0.25f * top) {
            const TvV3d line = MV2Unit(TvV3dSub(d->guideEnd, d->guideStart));
            const TvV3d off = TvV3dSub(m->pos, d->guideStart);
            const TvV3d across = TvV3dSub(off, TvV3dScale(line, TvV3dDot(off, line)));
            const TvV3d steer = TvV3dScale(across, -0.1f * MV2FrameSeconds());
            MV2AddForce(object, &steer);
        }
        const TvV3d push = TvV3dScale(m->at, d->speed);
        MV2AddForce(object, &push);
        if (MV2RandomBits(255) < 128) {
            const MV2Point3 p = MV2Point(m->pos);
            const MV2Point3 v = MV2Point(push);
            MV2CreateBubble(p.v, v.v, 0.1f);
        }
        MV2EmitMTrail(uintptr_t(object->handle), object->handle, 0, 1.0f, m);
    }
    const bool inTime = int32_t(MV2GameClock() - d->end) <= 0;
    if (inTime && !MV2IntersectWorldLine(MV2World, &d->previous, &m->pos, nullptr, nullptr)) {
        const MV2ObjectHandle handle = object->handle;
        const float moved = MV2Length(TvV3dSub(m->pos, d->previous));
        object->radius = std::fmax(0.6f * moved, d->minimumRadius);
        if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
            if (MV2World) MV2CollideAtomicWithObjects(object, MV2World, root);
        if (!MV2ObjectHandleAlive(handle)) return;
        if (d->exploded) return;
        MV2IntegrateMotion(object);
        if (d->spinner) {
            const TvV3d z{0, 0, 1};
            TvFrameRotate(d->spinner, &z, step * 40.0f, 1);
        }
        d->previous = m->pos;
        MV2ObjectMoved(object);
        MV2LoopNamedSound(object, "BOLTMOVING", &d->sound, 1000);
    } else {
        MissileExplode(object, d, 0);
    }
}

// Collisions; answers what the handler returns.
intptr_t MissileHit(MV2Object* object, MV2GuidedMissileData* d, int32_t message, intptr_t p1,
                    intptr_t p2) {
    auto* other = reinterpret_cast<MV2Object*>(p2);
    if (d->exploded || !other) return 0;
    if (other == MV2GetObjectRef(&d->launcher) || MV2TypeOf(other) == 9) return 0;
    const int32_t type = MV2TypeOf(other);
    if (message == 14) {
        if (type >= 114 && type <= 118) {
            other->energy = -1.0f;
            return 0;
        }
        if (type == 55) return 0;
        if (other->type && (other->type->words[7] & (1u << 2))) {
            float best = 2.0f;
            if (other->clump)
                for (TpAtomic* a = MV2GetFirstAtomic(other->clump); a;
                     a = MV2GetNextAtomic(other->clump, a)) {
                    float f = 0.0f;
                    if (MV2IntersectAtomicLine(a, &d->previous, &MV2ObjectPosition(object), nullptr,
                                               &f) &&
                        f < best)
                        best = f;
                }
            if (best > 1.0f) return 0;
            TvV3d back = TvV3dSub(d->previous, MV2ObjectPosition(object));
            MV2Normalise(&back);
            MV2ObjectPosition(object) = TvV3dAdd(MV2ObjectPosition(object), TvV3dScale(back, 1.1f));
            MissileExplode(object, d, 3);
            return 0;
        }
    }
    // Put on the other's bounding sphere on the side it came from.
    TvV3d side = TvV3dSub(d->previous, MV2ObjectPosition(other));
    if (MV2Normalise(&side) > 0.0f)
        MV2ObjectPosition(object) = TvV3dAdd(MV2ObjectPosition(other), TvV3dScale(side, other->radius));
    MissileExplode(object, d, 3);
    if (object->clump) MV2SetAllAtomicFlags(object->clump, 3);
    (void)p1;
    return 0;
}

} // namespace

void MV2SetEnvMapTexCoords(TpAtomic* atomic) {
    TpGeometry* g = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
    if (!g || !gMV2MainCamera || !gMV2MainCamera->object.frame || !atomic->object.frame) return;
    const TvMatrix* camera = TvFrameGetLTM(gMV2MainCamera->object.frame);
    const TvMatrix* own = TvFrameGetLTM(atomic->object.frame);
    auto local = [own](const TvV3d& v) {
        return TvV3d{TvV3dDot(v, own->right), TvV3dDot(v, own->up), TvV3dDot(v, own->at)};
    };
    const TvV3d right = local(camera->right), up = local(camera->up);
    TpMorphTarget* target = TpGeometryGetMorphTarget(g, 0);
    const TvV3d* normals = target ? TpMorphTargetGetNormals(target) : nullptr;
    if (!normals || !TpGeometryGetTexCoords(g)) return;
    TpGeometryLock(g, kTpLockTexCoords);
    TpTexCoords* uv = TpGeometryGetTexCoords(g);
    for (int32_t i = 0; i < TpGeometryGetNumVertices(g); i++) {
        uv[i].u = std::fmin(std::fmax((TvV3dDot(normals[i], right) + 1.0f) * 0.5f, 0.0f), 1.0f);
        uv[i].v = std::fmin(std::fmax((TvV3dDot(normals[i], up) + 1.0f) * 0.5f, 0.0f), 1.0f);
    }
    TpGeometryUnlock(g);
}

intptr_t MV2ValveWheelHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2ValveWheelData));
    auto* d = MV2LevelData<MV2ValveWheelData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: ValveUpdate(object, d); break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2ValveWheelData{};
        if (object->clump) {
            d->shiny = MV2FindAtomicByTag(object->clump, 1);
            d->wheel = MV2FindAtomicByTag(object->clump, 2);
        }
        object->energy = 10.0f;
        return 1;
    case 4: MV2StopNamedSound(object, "DRAGSTONE", &d->sound); break;
    case 12: d->callback = MV2CallbackOf(p2); return 1;
    case 13:
        if (p2) *reinterpret_cast<float*>(p2) = d->angle;
        return 1;
    case 25:
        if (p2 && d->wheel && d->wheel->object.frame)
            *reinterpret_cast<TvV3d*>(p2) = TvFrameGetMatrix(d->wheel->object.frame)->at;
        return 1;
    case 65: ValveUse(object, d); break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2SwitchHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SwitchData));
    auto* d = MV2LevelData<MV2SwitchData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        SwitchBefore(object, d);
        const MV2ObjectHandle handle = object->handle;
        if (!MV2ObjectDefaultHandler(object, 2, p1, p2)) return 0;
        if (MV2ObjectHandleAlive(handle)) SwitchAfter(object, d);
        return 1;
    }
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        SwitchCreated(object, d);
        return 1;
    case 4: SwitchSound(object, d, false); break;
    case 11:
        d->pressed = 0;
        d->returning = 1;
        return 1;
    case 12: d->callback = MV2CallbackOf(p2); return 1;
    case 14:
        if (d->mode == 0 && p2) {
            auto* toucher = reinterpret_cast<MV2Object*>(p2);
            if (toucher != MV2GetPlayerObject() && toucher->aiCategory == 5) return 0;
        }
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2TouchSensorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2TouchSensorData));
    if (message == 75) return 0;
    auto* d = MV2LevelData<MV2TouchSensorData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2TouchSensorData{};
        d->state = 1;
        if (object->type) object->type->words[7] &= ~(1u << 6);
        const float radius = 5.0f;
        MV2ObjectSendMessage(object, 79, 0, intptr_t(&radius));
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 1);
        return 1;
    }
    case 12: d->callback = reinterpret_cast<MV2TouchSensorData::Callback>(p2); return 1;
    case 14: {
        auto* toucher = reinterpret_cast<MV2Object*>(p2);
        if (!toucher) return 0;
        MV2ObjectSendMessage(toucher, 47, 0, intptr_t(object));
        if (d->callback) d->callback(object, toucher);
        return 0;
    }
    case 33: d->state = p1; return 1;
    case 34:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->state;
        return 1;
    case 63:
        d->state = p1;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, uint8_t(p1));
        return 1;
    case 79: {
        if (!p2) return 1;
        d->radius = *reinterpret_cast<const float*>(p2);
        object->radius = d->radius;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        if (root) {
            TpAtomicGetBoundingSphere(root)->radius = d->radius;
            if (TpWorld* world = TpWorldGetCurrent()) {
                // Taken out and put back so that its sectors are found again.
                TpWorldRemoveClump(world, object->clump);
                TpWorldAddClump(world, object->clump);
            }
        }
        return 1;
    }
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2SlidingBlockHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SlidingBlockData));
    auto* d = MV2LevelData<MV2SlidingBlockData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        const MV2ObjectHandle handle = object->handle;
        if (!MV2ObjectDefaultHandler(object, 2, p1, p2)) return 0;
        if (!MV2ObjectHandleAlive(handle)) return 1;
        if (MV2ObjectPosition(object).y == d->last.y)
            MV2StopNamedSound(object, "DRAGSTONE", &d->sound);
        else
            MV2LoopNamedSound(object, "DRAGSTONE", &d->sound);
        d->last = MV2ObjectPosition(object);
        return 1;
    }
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2SlidingBlockData{0, MV2ObjectPosition(object)};
        return 1;
    case 4: MV2StopNamedSound(object, "DRAGSTONE", &d->sound); break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2GuidedMissileHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2GuidedMissileData));
    auto* d = MV2LevelData<MV2GuidedMissileData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        if (d->exploded) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        MissileFly(object, d);
        return 1;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2GuidedMissileData{};
        d->end = MV2GameClock() + 3000;
        d->spinner = object->clump ? MV2FindFrameByTag(object->clump, 101) : nullptr;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        d->minimumRadius = root ? MV2GetBoundingRadius(root) : object->radius;
        d->previous = MV2ObjectPosition(object);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 4: MV2StopNamedSound(object, "BOLTMOVING", &d->sound); break;
    case 12:
        if (p2 && object->body) {
            object->body->velocity = *reinterpret_cast<const TvV3d*>(p2);
            object->body->velocity.y -= 0.01f;
        }
        return 1;
    case 13:
        if (p2) *reinterpret_cast<TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19: return MissileHit(object, d, message, p1, p2);
    case 15: {
        auto* launcher = reinterpret_cast<MV2Object*>(p2);
        MV2SetObjectRef(&d->launcher, launcher);
        if (launcher && p1 == 0) {
            const TvMatrix* m = launcher->matrix;
            d->guided = 1;
            d->guideStart = m->pos;
            d->guideEnd = TvV3dAdd(m->pos, m->at);
        }
        return 1;
    }
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->launcher);
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2MissileSlotHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 10:
        if (p1 == 1) return 0;
        break;
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {12, (97u << 16) | (189u << 8) | 255u};
        return 1;
    case 61:
        if (auto* lock = reinterpret_cast<MV2LockOnState*>(p2)) {
            lock->flags = (lock->flags & ~1u) | 2u;
            lock->range = 300.0f;
            lock->captureSize = 150;
        }
        return 1;
    case 103:
        if (p1 == 0 && p2) *reinterpret_cast<float*>(p2) = 0.1f;
        break;
    default: break;
    }
    return MV2StandardWeaponHandler(weapon, message, p1, p2);
}

void MV2RegisterMissionPropHandlers() {
    MV2SetObjectTypeHandler(54, MV2ValveWheelHandler);
    for (int32_t type = 194; type <= 219; type++)
        if (type != 202) MV2SetObjectTypeHandler(type, MV2SwitchHandler);
    for (int32_t type : {232, 273, 274, 276, 277, 278, 284, 287, 301, 304})
        MV2SetObjectTypeHandler(type, MV2SwitchHandler);
    MV2SetObjectTypeHandler(55, MV2TouchSensorHandler);
    MV2SetObjectTypeHandler(242, MV2TouchSensorHandler);
    MV2SetObjectTypeHandler(153, MV2SlidingBlockHandler);
    MV2SetObjectTypeHandler(380, MV2SlidingBlockHandler);
    MV2SetObjectTypeHandler(9, MV2GuidedMissileHandler);
    MV2SetWeaponRowHandler(0, MV2MissileSlotHandler);
}
