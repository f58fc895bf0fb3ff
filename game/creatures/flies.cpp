// Flies chase the player's craft (type 77) or fly between mission targets, perch near them and
// lay maggots (type 63); maggots crawl at the craft and lunge; the staged animation object plays
// its stages with holds between them.
#include "game/creatures/flies.h"

#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/fireballs.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kMissionFly = 63;
constexpr int32_t kChaserFly = 77;
constexpr int32_t kMaggot = 21;
constexpr int32_t kPiece = 133;
constexpr int32_t kMaxMaggots = 8;
constexpr TvV3d kWorldUp{0.0f, 1.0f, 0.0f};

uint32_t Now() {
    return gMV2FrameTimer.frameClock;
}
bool Before(uint32_t deadline) {
    return int32_t(Now() - deadline) < 0;
}

MV2Object* Controlled() {
    MV2Object* player = MV2GetPlayerObject();
    return player && player->matrix ? player : nullptr;
}

void ShowTag(MV2Object* object, uint32_t tag, uint8_t flags) {
    if (!object->clump) return;
    if (TpAtomic* atomic = MV2FindAtomicByTag(object->clump, tag)) TpAtomicSetFlags(atomic, flags);
}

void Steer(MV2Object* object, const TvV3d& d, float rate) {
    TvMatrix* m = object->matrix;
    MV2RotateMatrixInPlace(m, &kWorldUp, TvV3dDot(m->right, d) * rate * MV2FrameStep(), 2);
}

void Push(MV2Object* object, const TvV3d& force) {
    MV2AddForce(object, &force);
}

// ---------------------------------------------------------------------------------------------
// Flies

MV2MaggotFlyData* Fly(MV2Object* object) {
    return static_cast<MV2MaggotFlyData*>(object->privateData);
}

int32_t LiveMaggots() {
    TpWorld* world = TpWorldGetCurrent();
    int32_t count = 0;
    for (TpClump* c = world ? MV2GetFirstWorldClump(world) : nullptr; c;
         c = MV2GetNextWorldClump(world, c)) {
        if (TpClumpGetCallBack(c) != MV2UpdateClumpObject) continue;
        MV2Object* o = MV2GetClumpObject(c);
        if (o && MV2TypeOf(o) == kMaggot) ++count;
    }
    return count;
}

intptr_t FlyCreate(MV2Object* fly, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(fly, 3, p1, p2)) return 0;
    MV2MaggotFlyData* d = Fly(fly);
    if (!d || !fly->matrix) return 0;
    *d = MV2MaggotFlyData{};
    if (MV2TypeOf(fly) == kMissionFly) {
        MV2SetRootKey(fly, 0);
        if (!MV2InstallRootKeyCallback(fly, MV2MaggotFlyWingCallback)) return 0;
        fly->flags &= ~kMV2ObjectAnimate;
        ShowTag(fly, 1, 0);
        ShowTag(fly, 2, 0);
    }
    d->anchor = fly->matrix->pos;
    d->savedEnergy = fly->energy;
    return 1;
}

// Takes off from a perch towards one of its three targets.
void TakeOff(MV2Object* fly, MV2MaggotFlyData* d) {
    TvMatrix* m = fly->matrix;
    m->up = kWorldUp;
    m->right = MV2Unit(TvV3dCross(m->up, m->at));
    m->at = MV2Unit(TvV3dCross(m->right, m->up));
    d->perched = 0;
    d->current = d->targets[(MV2RandomBits(7)) % 3];
}

intptr_t FlyUpdate(MV2Object* fly, MV2MaggotFlyData* d) {
    const bool mission = MV2TypeOf(fly) == kMissionFly;
    TvMatrix* m = fly->matrix;
    if (mission && !d->triggered) {
        m->pos = d->anchor;
        fly->energy = d->savedEnergy;
        const intptr_t result = MV2ObjectDefaultHandler(fly, 2, 0, 0);
        m->pos = d->anchor;
        MV2SyncObjectFrame(fly);
        return result;
    }
    d->savedEnergy = fly->energy;
    const int32_t sound = MV2CreatureSound("FLY");
    if (mission && d->perched) {
        if (Before(d->backOffUntil)) {
            m->pos = d->anchor;
            MV2SyncObjectFrame(fly);
            MV2StopObjectSound(fly, sound, &d->sound);
            return MV2ObjectDefaultHandler(fly, 2, 0, 0);
        }
        TakeOff(fly, d);
    }
    MV2StartObjectSound(fly, sound, &d->sound, 0, 0);
    const float step = MV2FrameStep();
    const float radius = MV2TypeRadius(fly) * (mission ? 1.0f : 3.0f);
    MV2TriangleHit hit{};
    TpWorld* world = TpWorldGetCurrent();
    if (world && MV2GetFacingTrianglesInSphere(world, &m->pos, radius, 1, &hit) > 0) {
        const TvV3d n = hit.normal;
        Steer(fly, n, 10.0f);
        Push(fly, TvV3dScale(n, 0.04f * step));
    } else {
        if (!mission) {
            if (MV2Object* player = Controlled())
                MV2SetObjectRef(&d->current, player);
            else
                MV2ClearObjectRef(&d->current);
        }
        // A dead or missing target leaves the fly hovering.
        if (MV2Object* target = MV2GetObjectRef(&d->current); target && target->matrix) {
            TvV3d dir = MV2Unit(TvV3dSub(target->matrix->pos, m->pos));
            if (!mission && Before(d->backOffUntil)) dir = TvV3dScale(dir, -1.0f);
            Steer(fly, dir, 10.0f);
            Push(fly, TvV3dScale(dir, (mission ? 0.12f : 0.04f) * step));
        }
    }
    Push(fly, TvV3dScale(m->at, (mission ? 0.1f : 0.03f) * step));
    MV2SyncObjectFrame(fly);
    if (mission && fly->clump) MV2AddAnimTime(fly->clump, 0.6f * step);
    return MV2ObjectDefaultHandler(fly, 2, 0, 0);
}

void Perch(MV2Object* fly, MV2MaggotFlyData* d) {
    const TvV3d* normal = MV2GetContactNormal();
    MV2Object* target = MV2GetObjectRef(&d->current);
    if (!normal || !target || !target->matrix) return;
    const TvV3d n = *normal;
    TvMatrix* m = fly->matrix;
    const TvV3d to = TvV3dSub(target->matrix->pos, m->pos);
    if (TvV3dDot(n, kWorldUp) >= 0.6f || TvV3dDot(to, to) >= 25.0f) return;
    d->backOffUntil = Now() + 5000;
    ShowTag(fly, 1, 0);
    ShowTag(fly, 2, 0);
    d->anchor = m->pos;
    d->perched = 1;
    m->up = n;
    m->right = MV2Unit(TvV3dCross(m->up, m->at));
    m->at = MV2Unit(TvV3dCross(m->right, m->up));
    MV2SyncObjectFrame(fly);
    if (LiveMaggots() < kMaxMaggots) {
        const TvV3d& p = target->matrix->pos;
        const float at[3] = {p.x, p.y, p.z};
        MV2CreateObject(kMaggot, at, nullptr);
    }
}

void Burst(MV2Object* fly) {
    const TvV3d p = fly->matrix->pos;
    const float at[3] = {p.x, p.y, p.z};
    for (int32_t i = 0; i < 5; i++) {
        MV2Object* piece = MV2CreateObject(kPiece, at, nullptr);
        if (!piece || !piece->body) continue;
        MV2RandomDirection(&piece->body->velocity);
    }
    MV2CreateFlak(&p, fly->radius, 2000, 2);
}

intptr_t FlyMessage(MV2Object* fly, MV2MaggotFlyData* d, int32_t message, intptr_t p1,
                    intptr_t p2) {
    const bool mission = MV2TypeOf(fly) == kMissionFly;
    switch (message) {
    case 2: return FlyUpdate(fly, d);
    case 4:
        MV2StopObjectSound(fly, MV2CreatureSound("FLY"), &d->sound);
        if (d->deathCallback) d->deathCallback(fly, 1);
        if (mission && fly->matrix) Burst(fly);
        break;
    case 11: d->triggered = 1; break;
    case 12: d->deathCallback = reinterpret_cast<MV2ObjectCallback>(p2); break;
    case 14:
        if (MV2Object* player = Controlled(); player && reinterpret_cast<MV2Object*>(p2) == player) {
            d->backOffUntil = Now() + 5000;
            player->energy -= 10.0f;
        }
        break;
    case 18:
        if (mission && !d->perched) Perch(fly, d);
        break;
    case 65:
        if (mission && d->triggered && !d->perched && int32_t(d->nextDrop - Now()) < 0) {
            d->nextDrop = Now() + 1000;
            const TvV3d& p = fly->matrix->pos;
            const float at[3] = {p.x, p.y, p.z};
            MV2CreateObject(kPiece, at, nullptr);
        }
        break;
    case 75: return mission && d->perched ? 0 : 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(fly, message, p1, p2);
}

// ---------------------------------------------------------------------------------------------
// Maggots

bool Grounded(const MV2MaggotData* d) {
    return d->lastGroundFrame + 2 > gMV2FrameTimer.updateCounter && d->lastGroundFrame != 0;
}

intptr_t MaggotUpdate(MV2Object* maggot, MV2MaggotData* d) {
    for (int32_t i = 0; i < 4; i++)
        MV2ApplyGravity(maggot);
    const MV2ObjectHandle handle = maggot->handle;
    const intptr_t result = MV2ObjectDefaultHandler(maggot, 2, 0, 0);
    MV2Object* player = Controlled();
    if (MV2ObjectHandleAlive(handle) && Grounded(d) && player && maggot->matrix) {
        TvV3d dir = MV2Unit(TvV3dSub(player->matrix->pos, maggot->matrix->pos));
        if (Before(d->backOffUntil)) dir = TvV3dScale(dir, -1.0f);
        Steer(maggot, dir, 10.0f);
        Push(maggot, TvV3dScale(dir, 0.025f));
        MV2SyncObjectFrame(maggot);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Staged animation

intptr_t StagedUpdate(MV2Object* object, MV2StagedAnimData* d) {
    if (!Before(d->holdUntil)) {
        const int32_t key = MV2GetRootKey(object);
        if (key == 4 && d->stage == 0) {
            d->stage = 1;
            d->holdUntil = Now() + 5000;
        } else if (key == 7 && d->stage == 1) {
            d->holdUntil = Now() + 5000;
            if (d->stageCallback) d->stageCallback(object, 1);
            d->stage = 2;
        } else if (key == 13) {
            MV2ObjectSendMessage(object, 4, 1, 0);
            return 1;
        }
        if (object->clump && !Before(d->holdUntil))
            MV2AddAnimTime(object->clump, 0.1f * MV2FrameStep());
    }
    return MV2ObjectDefaultHandler(object, 2, 0, 0);
}

} // namespace

int32_t MV2FlyWingNextKey(int32_t k, int32_t* show) {
    *show = 0;
    if (k == 2) {
        *show = 2;
        return 3;
    }
    if (k == 3) {
        *show = 1;
        return 2;
    }
    return k >= 0 && k + 1 < 10 ? k + 1 : -1;
}

float MV2MaggotFlyWingCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    int32_t show = 0;
    const int32_t next = MV2FlyWingNextKey(k, &show);
    if (MV2Object* fly = MV2AtomicObject(atomic); fly && show) {
        ShowTag(fly, show == 1 ? 2 : 1, 0);
        ShowTag(fly, uint32_t(show), 4);
    }
    return MV2StepAnimKey(atomic, position, next, true);
}

int32_t MV2MaggotNextKey(int32_t k) {
    if (k == 3 || k == 9) return 0;
    return k >= 0 && k < 9 ? k + 1 : -1;
}

float MV2MaggotKeyCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    int32_t next = MV2MaggotNextKey(k);
    MV2Object* maggot = MV2AtomicObject(atomic);
    auto* d = maggot ? static_cast<MV2MaggotData*>(maggot->privateData) : nullptr;
    if (k == 3 && d && maggot->matrix) {
        MV2Object* player = Controlled();
        const bool grounded = Grounded(d);
        bool lunged = false;
        if (!Before(d->backOffUntil) && grounded && player) {
            const TvV3d to = TvV3dSub(player->matrix->pos, maggot->matrix->pos);
            const float length = MV2Length(to);
            if (length < 5.0f && length > 0.0f &&
                TvV3dDot(maggot->matrix->at, to) / length > 0.8f) {
                Push(maggot, TvV3dScale(to, 0.18f / length));
                MV2PlaySoundAt(&maggot->matrix->pos, 1.0f, MV2CreatureSound("MAGGOTATTACK"), 0, 0,
                               1000);
                next = 4;
                lunged = true;
            }
        }
        if (!lunged && grounded) Push(maggot, TvV3dScale(maggot->matrix->at, 0.08f));
    }
    return MV2StepAnimKey(atomic, position, next, true);
}

intptr_t MV2MaggotFlyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2MaggotFlyData));
    if (message == 3) return FlyCreate(object, p1, p2);
    MV2MaggotFlyData* d = Fly(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    return FlyMessage(object, d, message, p1, p2);
}

intptr_t MV2MaggotHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2MaggotData));
    auto* d = static_cast<MV2MaggotData*>(object->privateData);
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        d = static_cast<MV2MaggotData*>(object->privateData);
        if (!d) return 0;
        *d = MV2MaggotData{};
        MV2SetRootKey(object, 0);
        return MV2InstallRootKeyCallback(object, MV2MaggotKeyCallback);
    }
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return MaggotUpdate(object, d);
    case 14:
        if (MV2Object* player = Controlled(); player && reinterpret_cast<MV2Object*>(p2) == player) {
            d->backOffUntil = Now() + 5000;
            if (MV2GetRootKey(object) > 3) player->energy -= 10.0f;
        }
        break;
    case 18: d->lastGroundFrame = gMV2FrameTimer.updateCounter; break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2StagedAnimHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2StagedAnimData));
    auto* d = static_cast<MV2StagedAnimData*>(object->privateData);
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        d = static_cast<MV2StagedAnimData*>(object->privateData);
        if (!d) return 0;
        *d = MV2StagedAnimData{Now() + 10000, nullptr, 0};
        object->flags &= ~kMV2ObjectAnimate;
        MV2SetRootKey(object, 0);
        return 1;
    }
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message == 2) return StagedUpdate(object, d);
    if (message == 12) d->stageCallback = reinterpret_cast<MV2ObjectCallback>(p2);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2SetFlyTargets(MV2Object* fly, MV2Object* a, MV2Object* b, MV2Object* c, int32_t current) {
    if (!fly || (MV2TypeOf(fly) != kMissionFly && MV2TypeOf(fly) != kChaserFly)) return;
    MV2MaggotFlyData* d = Fly(fly);
    if (!d) return;
    MV2Object* targets[3] = {a, b, c};
    for (int32_t i = 0; i < 3; i++)
        if (targets[i])
            MV2SetObjectRef(&d->targets[i], targets[i]);
        else
            MV2ClearObjectRef(&d->targets[i]);
    if (current >= 0 && current < 3)
        d->current = d->targets[current];
    else
        MV2ClearObjectRef(&d->current);
}

void MV2RegisterFlyHandlers() {
    MV2SetObjectTypeHandler(kMissionFly, MV2MaggotFlyHandler);
    MV2SetObjectTypeHandler(kChaserFly, MV2MaggotFlyHandler);
    MV2SetObjectTypeHandler(kMaggot, MV2MaggotHandler);
    MV2SetObjectTypeHandler(132, MV2StagedAnimHandler);
}
