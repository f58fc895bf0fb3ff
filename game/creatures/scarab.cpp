// The scarab arena: scarab, stone balls, arena flies, falling prizes and the dust the scarab
// raises.
#include "game/creatures/scarab.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/effects.h"
#include "game/effects/primitives.h"
#include "game/effects/sfx.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "shell/gameinit.h"
#include "shell/sounds.h"

namespace {

constexpr int32_t kScarabType = 388;
constexpr int32_t kBallType = 386;
constexpr int32_t kFlyType = 375;
constexpr int32_t kBoltType = 2;
constexpr uint32_t kEmitterTag = 300;
constexpr TvV3d kWorldUp{0.0f, 1.0f, 0.0f};

constexpr uint32_t kOpensWindow = kMV2ScarabKeyOpensWindow;
constexpr uint32_t kArms = kMV2ScarabKeyArms;
constexpr uint32_t kStamps = kMV2ScarabKeyStamps;

struct DustPuff {
    uint32_t expiry; // game ms
    TvV3d position;
    float rise;
};

struct ScarabModule {
    TvV3d laserTarget;
    uintptr_t laserSound;
    uintptr_t dustSound;
    int32_t dustActive;
    int32_t laserWindow;
    DustPuff dust[kMV2ScarabDustPuffs];
};

ScarabModule g_scarab;

uint32_t Now() {
    return MV2GameClock();
}
bool Passed(uint32_t deadline) {
    return int32_t(Now() - deadline) >= 0;
}
MV2Object* Player() {
    MV2Object* player = MV2GetPlayerObject();
    return player && player->matrix ? player : nullptr;
}
void Sound(const TvV3d& at, float radius, const char* name, int32_t b) {
    MV2PlaySoundAt(&at, radius, MV2CreatureSound(name), 0, 1, b);
}
void Turn(TvMatrix* m, float degrees) {
    MV2RotateMatrixInPlace(m, &m->up, degrees, 1);
}
void AnimStep(MV2Object* object, float amount) {
    if (object->clump) MV2AddAnimTime(object->clump, amount);
}
bool TagPosition(MV2Object* object, uint32_t tag, TvV3d* out) {
    TvFrame* frame = object->clump ? MV2FindFrameByTag(object->clump, tag) : nullptr;
    if (!frame) return false;
    *out = TvFrameGetLTM(frame)->pos;
    return true;
}
void ShowTag(MV2Object* object, uint32_t tag, uint8_t flags) {
    if (!object->clump) return;
    if (TpAtomic* atomic = MV2FindAtomicByTag(object->clump, tag)) TpAtomicSetFlags(atomic, flags);
}
float RiseSpeed() {
    return float(MV2RandomBits(15)) * 0.006666667f;
}

void AddDust(const TvV3d& at, uint32_t life, float rise) {
    const uint32_t now = Now();
    for (DustPuff& puff : g_scarab.dust)
        if (int32_t(now - puff.expiry) >= 0) {
            puff = {now + life, at, rise};
            return;
        }
}

void StopLaser() {
    if (MV2Object* player = Player())
        MV2StopObjectSound(player, MV2CreatureSound("LASER"), &g_scarab.laserSound);
}

MV2ScarabData* Scarab(MV2Object* object) {
    return static_cast<MV2ScarabData*>(object->privateData);
}

void RemoveBeam(MV2ScarabData* d) {
    if (d->beam) MV2RemoveBeam(d->beam);
    d->beam = 0;
}

// Lays the scarab on the ground at its home; a missed probe leaves the orientation alone.
void AlignToGround(MV2Object* scarab, MV2ScarabData* d) {
    d->aligning = 1;
    TvMatrix* m = scarab->matrix;
    m->pos = d->home;
    TpWorld* world = TpWorldGetCurrent();
    TvV3d hits[4];
    const float sides[4][2] = {{3, 3}, {-3, 3}, {3, -3}, {-3, -3}}; // front-right, front-left, ...
    bool all = world != nullptr;
    for (int32_t i = 0; i < 4 && all; i++) {
        const TvV3d start = TvV3dAdd(TvV3dAdd(TvV3dAdd(m->pos, TvV3dScale(m->up, 10.0f)),
                                               TvV3dScale(m->right, sides[i][0])),
                                     TvV3dScale(m->at, sides[i][1]));
        const TvV3d end = TvV3dSub(start, TvV3dScale(m->up, 20.0f));
        MV2TriangleHit hit{};
        float t = 0.0f;
        if (!MV2IntersectWorldLine(world, &start, &end, &hit, &t)) {
            all = false;
            break;
        }
        hits[i] = TvV3dAdd(start, TvV3dScale(TvV3dSub(end, start), t));
    }
    if (all) {
        const TvV3d front = TvV3dScale(TvV3dAdd(hits[0], hits[1]), 0.5f);
        const TvV3d back = TvV3dScale(TvV3dAdd(hits[2], hits[3]), 0.5f);
        const TvV3d right = TvV3dScale(TvV3dAdd(hits[0], hits[2]), 0.5f);
        const TvV3d left = TvV3dScale(TvV3dAdd(hits[1], hits[3]), 0.5f);
        m->at = MV2Unit(TvV3dSub(front, back));
        m->right = MV2Unit(TvV3dSub(right, left));
        m->up = MV2Unit(TvV3dCross(m->at, m->right));
        m->right = MV2Unit(TvV3dCross(m->up, m->at));
    }
    MV2SyncObjectFrame(scarab);
    d->aligning = 0;
}

void HoldOnCircle(MV2ScarabData* d, MV2Object* player) {
    TvV3d& p = player->matrix->pos;
    TvV3d out{p.x - d->home.x, 0.0f, p.z - d->home.z};
    if (MV2Normalise(&out) <= 0.0f) out = {1.0f, 0.0f, 0.0f};
    p.x = d->home.x + out.x * kMV2ScarabArenaRadius;
    p.z = d->home.z + out.z * kMV2ScarabArenaRadius;
    MV2SyncObjectFrame(player);
}

void Attack(MV2Object* scarab, MV2ScarabData* d, MV2Object* player) {
    TvMatrix* m = scarab->matrix;
    const float step = MV2FrameStep();
    if (!d->laserArmed) {
        AnimStep(scarab, step * 0.1f);
        g_scarab.laserTarget = player->matrix->pos;
        return;
    }
    if (!d->laserEnabled) {
        g_scarab.laserWindow = 0;
        d->state = kMV2ScarabTurnBack;
        MV2SetRootKey(scarab, 11);
        StopLaser();
        return;
    }
    const TvV3d& target = player->matrix->pos;
    const TvV3d dir = MV2Unit(TvV3dSub(target, m->pos));
    const float a = TvV3dDot(m->right, dir);
    Turn(m, step * a * -5.0f);
    AnimStep(scarab, std::fabs(a) * step * 4.0f);
    g_scarab.laserTarget = TvV3dAdd(g_scarab.laserTarget,
                                    TvV3dScale(TvV3dSub(target, g_scarab.laserTarget), step * 0.05f));
    MV2StartObjectSound(player, MV2CreatureSound("LASER"), &g_scarab.laserSound, 0, 1000);
    TvV3d emitter = m->pos;
    TagPosition(scarab, kEmitterTag, &emitter);
    d->beam = MV2CreateBeam(&emitter, &g_scarab.laserTarget, 0.1f, 2, 0x1F);
    const TvV3d off = TvV3dSub(g_scarab.laserTarget, target);
    if (TvV3dDot(off, off) < 0.04f) {
        player->energy -= step;
        TvV3d push;
        MV2RandomDirection(&push);
        push = TvV3dScale(push, 0.2f);
        MV2AddForce(player, &push);
        Sound(target, 1.0f, "GROUNDCOLLISION", 1000);
        Sound(target, 1.0f, "METALCOLLISION", 1000);
    }
}

// Turns towards the heading (sign +1) or away from it (-1); true once it is lined up.
bool TurnToHeading(MV2Object* scarab, MV2ScarabData* d, float sign) {
    TvMatrix* m = scarab->matrix;
    const float step = MV2FrameStep();
    const float a = sign * TvV3dDot(m->at, d->initialHeading) - 1.0f;
    Turn(m, step * a * 5.0f);
    AnimStep(scarab, std::fabs(a) * step * 0.25f);
    MV2SyncObjectFrame(scarab);
    return a > -0.03f;
}

void DyingDust(MV2ScarabData* d) {
    TvV3d dir{float(MV2RandomBits(255)) / 255.0f - 0.5f, 0.0f,
              float(MV2RandomBits(255)) / 255.0f - 0.5f};
    MV2Normalise(&dir);
    const TvV3d p = TvV3dAdd(d->home, TvV3dScale(dir, 5.0f));
    const TvV3d below = TvV3dSub(p, {0.0f, 5.0f, 0.0f});
    TpWorld* world = TpWorldGetCurrent();
    MV2TriangleHit hit{};
    float t = 0.0f;
    if (!world || !MV2IntersectWorldLine(world, &p, &below, &hit, &t)) return;
    TvV3d at = TvV3dAdd(p, TvV3dScale(TvV3dSub(below, p), t));
    at.y -= 2.0f;
    AddDust(at, 4000 + uint32_t(float(MV2RandomBits(255)) * 7.84314f), RiseSpeed());
}

intptr_t ScarabUpdate(MV2Object* scarab, MV2ScarabData* d) {
    RemoveBeam(d);
    MV2Object* player = Player();
    TvMatrix* m = scarab->matrix;
    const float step = MV2FrameStep();
    if (d->state != kMV2ScarabDying && player) HoldOnCircle(d, player);
    switch (d->state) {
    case kMV2ScarabTurnAway:
        if (TurnToHeading(scarab, d, -1.0f)) {
            d->state = kMV2ScarabAttack;
            d->laserArmed = 0;
            if (player) {
                const int32_t slot = MV2GetSoundSlot(MV2CreatureSound("SCARABMOVE"));
                const int32_t channel = MV2PlaySound(slot, 0, 0);
                MV2SetSoundParams(slot, channel, 0, 1.0f, 0.0f);
            }
        }
        break;
    case kMV2ScarabAttack:
        if (player) Attack(scarab, d, player);
        break;
    case kMV2ScarabTurnBack:
        StopLaser();
        if (TurnToHeading(scarab, d, 1.0f)) d->state = kMV2ScarabRest;
        break;
    case kMV2ScarabRest:
        AnimStep(scarab, step * 0.1f);
        AlignToGround(scarab, d);
        break;
    case kMV2ScarabDying: {
        m->pos.y -= step * 0.02f;
        MV2SyncObjectFrame(scarab);
        const int32_t sound = MV2CreatureSound("SHITDUST");
        if (m->pos.y <= d->home.y - 10.0f) {
            MV2StopObjectSound(scarab, sound, &g_scarab.dustSound);
        } else {
            MV2StartObjectSound(scarab, sound, &g_scarab.dustSound, 0, 0);
            if (MV2RandomBits(255) < 245) DyingDust(d);
        }
        return 1;
    }
    case kMV2ScarabGuard: {
        float a = 0.0f;
        if (player) {
            a = TvV3dDot(m->right, MV2Unit(TvV3dSub(player->matrix->pos, m->pos)));
            Turn(m, step * a * 5.0f);
        }
        AnimStep(scarab, std::fabs(a) * step * 0.25f);
        AlignToGround(scarab, d);
        break;
    }
    default: break;
    }
    return MV2ObjectDefaultHandler(scarab, 2, 0, 0);
}

void ScarabHit(MV2Object* scarab, MV2ScarabData* d, const float* point) {
    if (d->state != kMV2ScarabAttack || !g_scarab.laserWindow || !point) return;
    TvV3d emitter = scarab->matrix->pos;
    TagPosition(scarab, kEmitterTag, &emitter);
    const TvV3d off = TvV3dSub({point[0], point[1], point[2]}, emitter);
    if (TvV3dDot(off, off) >= 9.0f) return;
    d->hitPoints -= 1.0f;
    MV2Object* player = Player();
    if (player) Sound(player->matrix->pos, 1.0f, "MUMMYHIT", 2000);
    if (d->hitPoints >= 0.0f) return;
    if (player) Sound(player->matrix->pos, 1.0f, "SCARABDIE", 0);
    d->state = kMV2ScarabDying;
    RemoveBeam(d);
    StopLaser();
    if (d->callback) d->callback(scarab, 1);
}

intptr_t ScarabCreate(MV2Object* scarab, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(scarab, 3, p1, p2)) return 0;
    MV2ScarabData* d = Scarab(scarab);
    if (!d || !scarab->matrix) return 0;
    MV2SetRootKey(scarab, 11);
    if (!MV2InstallRootKeyCallback(scarab, MV2ScarabKeyCallback)) return 0;
    scarab->flags &= ~kMV2ObjectAnimate;
    *d = MV2ScarabData{};
    d->spareTime = Now() + 10000;
    d->state = kMV2ScarabGuard;
    d->hitPoints = MV2InitialEnergy(scarab) * 4.0f;
    d->home = scarab->matrix->pos;
    d->initialHeading = scarab->matrix->at;
    g_scarab.laserWindow = 0;
    MV2ObjectSendMessage(scarab, 0, 1, 0);
    scarab->energy = 1000000.0f;
    g_scarab.laserSound = g_scarab.dustSound = 0;
    g_scarab.dustActive = 1;
    for (DustPuff& puff : g_scarab.dust)
        puff.expiry = Now();
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Stone balls

MV2ScarabBallData* Ball(MV2Object* object) {
    return static_cast<MV2ScarabBallData*>(object->privateData);
}

intptr_t BallUpdate(MV2Object* ball, MV2ScarabBallData* d) {
    TvMatrix* m = ball->matrix;
    TpWorld* world = TpWorldGetCurrent();
    MV2TriangleHit hit{};
    if (world && MV2GetFacingTrianglesInSphere(world, &m->pos, ball->radius, 1, &hit) > 0 &&
        hit.normal.y < 0.0f) {
        MV2ObjectSendMessage(ball, 4, 1, 0);
        return 1;
    }
    const float step = MV2FrameStep();
    const TvV3d force = TvV3dScale(d->roll, step * 0.6f);
    MV2AddForce(ball, &force);
    TvV3d axis = MV2Unit(TvV3dCross(d->roll, kWorldUp));
    const float speed = ball->body ? MV2Length(ball->body->velocity) : 0.0f;
    MV2RotateMatrixInPlace(m, &axis, -15.0f * speed, 2);
    m->pos.y = d->height;
    MV2SyncObjectFrame(ball);
    MV2StartObjectSound(ball, MV2CreatureSound("STONEBALL"), &d->sound, 0, 0);
    const MV2ObjectHandle handle = ball->handle;
    const intptr_t result = MV2ObjectDefaultHandler(ball, 2, 0, 0);
    if (MV2ObjectHandleAlive(handle)) {
        m->pos.y = d->height;
        MV2SyncObjectFrame(ball);
    }
    return result;
}

void BallBreaks(MV2Object* ball, MV2ScarabBallData* d) {
    MV2StopObjectSound(ball, MV2CreatureSound("STONEBALL"), &d->sound);
    if (d->callback) d->callback(ball, 1);
    const TvV3d& p = ball->matrix->pos;
    const float at[3] = {p.x, p.y, p.z};
    for (int32_t i = 0; i < 4; i++)
        if (MV2Object* piece = MV2CreateObject(i % 2 ? 240 : 387, at, nullptr); piece && piece->body)
            MV2RandomDirection(&piece->body->velocity);
}

// ---------------------------------------------------------------------------------------------
// Arena flies

MV2ArenaFlyData* ArenaFly(MV2Object* object) {
    return static_cast<MV2ArenaFlyData*>(object->privateData);
}

struct Separation {
    MV2Object* self;
    MV2Object* found;
};

int32_t FindNeighbour(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<Separation*>(data);
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!other || other == s->self || !other->matrix || MV2TypeOf(other) == kFlyType) return 1;
    s->found = other;
    return 0;
}

void FlyShoots(MV2Object* fly, MV2Object* player) {
    const TvV3d& p = fly->matrix->pos;
    const float at[3] = {p.x, p.y, p.z};
    MV2Object* bolt = MV2CreateObject(kBoltType, at, nullptr);
    if (bolt && bolt->matrix) {
        TvV3d d = MV2Unit(TvV3dSub(player->matrix->pos, p));
        TvMatrix* m = bolt->matrix;
        m->right = MV2Unit(TvV3dCross(kWorldUp, d));
        m->up = MV2Unit(TvV3dCross(d, m->right));
        m->at = d;
        MV2SyncObjectFrame(bolt);
        MV2ObjectSendMessage(bolt, 12, 0, reinterpret_cast<intptr_t>(&d));
        MV2ObjectSendMessage(bolt, 15, 1, reinterpret_cast<intptr_t>(fly));
    }
    Sound(player->matrix->pos, 1.0f, "BOLTFIRING", 1000);
}

intptr_t FlyUpdate(MV2Object* fly, MV2ArenaFlyData* d) {
    const float step = MV2FrameStep();
    d->awake = 1;
    AnimStep(fly, step * 0.6f);
    MV2StartObjectSound(fly, MV2CreatureSound("FLY"), &d->sound, 0, 0);
    TvMatrix* m = fly->matrix;
    if (MV2Object* player = Player()) {
        const TvV3d dir = MV2Unit(TvV3dSub(player->matrix->pos, m->pos));
        MV2RotateMatrixInPlace(m, &kWorldUp, TvV3dDot(m->right, dir) * 10.0f * step, 2);
        const TvV3d spring = TvV3dScale(TvV3dSub(d->home, m->pos), step * 0.05f);
        MV2AddForce(fly, &spring);
        if (!Passed(d->nextJitter)) {
            MV2AddForce(fly, &d->jitter);
        } else {
            MV2RandomDirection(&d->jitter);
            d->jitter = TvV3dScale(d->jitter, 0.03f);
            d->nextJitter = Now() + (MV2RandomBits(3) + 1) * 500;
        }
        Separation s{fly, nullptr};
        if (TpWorld* world = TpWorldGetCurrent())
            MV2ForAllAtomicsInSphere(world, &m->pos, 5.0f, FindNeighbour, &s);
        if (s.found) {
            const TvV3d away = TvV3dScale(MV2Unit(TvV3dSub(m->pos, s.found->matrix->pos)), 2.4f);
            MV2AddForce(fly, &away);
        }
        if (Passed(d->nextShot)) {
            d->nextShot = Now() + (MV2RandomBits(7) + 4) * 500;
            FlyShoots(fly, player);
        }
        MV2SyncObjectFrame(fly);
    }
    return MV2ObjectDefaultHandler(fly, 2, 0, 0);
}

intptr_t FlyCreate(MV2Object* fly, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(fly, 3, p1, p2)) return 0;
    MV2ArenaFlyData* d = ArenaFly(fly);
    if (!d || !fly->matrix) return 0;
    *d = MV2ArenaFlyData{};
    d->nextJitter = Now();
    d->nextShot = Now() + 3000;
    d->home = fly->matrix->pos;
    MV2SetRootKey(fly, 0);
    if (!MV2InstallRootKeyCallback(fly, MV2FlyAnimCallback)) return 0;
    fly->flags &= ~kMV2ObjectAnimate;
    ShowTag(fly, 3, 0);
    ShowTag(fly, 4, 0);
    return 1;
}

} // namespace

int32_t MV2ScarabNextKey(int32_t k, int32_t* state, int32_t laserEnabled, uint32_t* effects) {
    *effects = 0;
    switch (k) {
    case 2: *effects = kOpensWindow; return 3;
    case 3: *effects = kArms; return 16;
    case 19: return 16;
    case 8: *effects = kStamps; return 9;
    case 10:
        if (laserEnabled) {
            *state = kMV2ScarabTurnAway;
            return 11;
        }
        return *state != kMV2ScarabGuard ? 5 : 11;
    case 14: return *state == kMV2ScarabAttack ? 0 : *state == kMV2ScarabRest ? 5 : 11;
    default: return k >= 0 && k < 19 ? k + 1 : -1;
    }
}

float MV2ScarabKeyCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    MV2Object* scarab = MV2AtomicObject(atomic);
    MV2ScarabData* d = scarab && MV2TypeOf(scarab) == kScarabType ? Scarab(scarab) : nullptr;
    int32_t state = d ? d->state : kMV2ScarabGuard;
    uint32_t effects = 0;
    const int32_t next = MV2ScarabNextKey(k, &state, d ? d->laserEnabled : 0, &effects);
    if (d) {
        d->state = state;
        if (effects & kOpensWindow) g_scarab.laserWindow = 1;
        if (effects & kArms) d->laserArmed = 1;
        if ((effects & kStamps) && scarab->matrix) {
            for (uint32_t tag : {5u, 6u}) {
                TvV3d foot;
                if (TagPosition(scarab, tag, &foot)) AddDust(foot, 2000, RiseSpeed());
            }
            if (d->callback) d->callback(scarab, 0);
            if (MV2Object* player = Player()) {
                TvV3d push;
                MV2RandomDirection(&push);
                push.y = std::fabs(push.y);
                push = TvV3dScale(push, 4.0f);
                MV2AddForce(player, &push);
            }
        }
    }
    return MV2StepAnimKey(atomic, position, next, true);
}

int32_t MV2FlyWingKey(int32_t k, int32_t awake, int32_t* wings) {
    *wings = -1;
    switch (k) {
    case 2: return awake ? 3 : 0;
    case 5: *wings = 4; return 6;
    case 6:
        *wings = awake ? 3 : 0;
        return awake ? 5 : 0;
    default: return k >= 0 && k < 9 ? k + 1 : -1;
    }
}

float MV2FlyAnimCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    MV2Object* fly = MV2AtomicObject(atomic);
    MV2ArenaFlyData* d =
        fly && MV2TypeOf(fly) == kFlyType ? static_cast<MV2ArenaFlyData*>(fly->privateData) : nullptr;
    int32_t wings = -1;
    const int32_t next = MV2FlyWingKey(k, d ? d->awake : 1, &wings);
    if (fly && wings >= 0) {
        ShowTag(fly, 3, wings == 3 ? 4 : 0);
        ShowTag(fly, 4, wings == 4 ? 4 : 0);
    }
    return MV2StepAnimKey(atomic, position, next, true);
}

intptr_t MV2ScarabHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2ScarabData));
    if (message == 80) return 1;
    if (message == 3) return ScarabCreate(object, p1, p2);
    MV2ScarabData* d = Scarab(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return ScarabUpdate(object, d);
    case 4:
        g_scarab.dustActive = 0;
        RemoveBeam(d);
        StopLaser();
        MV2StopObjectSound(object, MV2CreatureSound("SHITDUST"), &g_scarab.dustSound);
        break;
    case 12: d->callback = reinterpret_cast<MV2ScarabCallback>(p2); break;
    case 65: ScarabHit(object, d, reinterpret_cast<const float*>(p1)); break;
    case 75: return d->aligning;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2StoneBallHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2ScarabBallData));
    MV2ScarabBallData* d = Ball(object);
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        d = Ball(object);
        if (!d || !object->matrix) return 0;
        *d = MV2ScarabBallData{};
        d->height = object->matrix->pos.y;
        object->energy = 10.0f;
        object->typeWord &= ~kMV2ObjectCollidesWorld;
        MV2ObjectSendMessage(object, 0, 1, 0);
        if (MV2Object* player = Player())
            d->roll = MV2Unit(TvV3dSub(player->matrix->pos, object->matrix->pos));
        return 1;
    }
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return BallUpdate(object, d);
    case 4: BallBreaks(object, d); break;
    case 12:
        d->callback = reinterpret_cast<MV2ScarabCallback>(p2);
        if (MV2Object* player = Player()) Sound(player->matrix->pos, 5.0f, "ROCKLANDCOLLISION", 0);
        return 1;
    case 14:
        if (MV2Object* player = Player(); player && reinterpret_cast<MV2Object*>(p2) == player) {
            object->energy = -1.0f;
            player->energy -= 5.0f;
        }
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2FlyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2ArenaFlyData));
    if (message == 3) return FlyCreate(object, p1, p2);
    MV2ArenaFlyData* d = ArenaFly(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return FlyUpdate(object, d);
    case 4:
        MV2StopObjectSound(object, MV2CreatureSound("FLY"), &d->sound);
        if (d->callback) d->callback(object, 0);
        break;
    case 12: d->callback = reinterpret_cast<MV2ScarabCallback>(p2); break;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        return other && MV2TypeOf(other) == kFlyType ? 0 : 1;
    }
    case 24:
        if (p2) d->home = *reinterpret_cast<const TvV3d*>(p2);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2FallingItemHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2FallingItemData));
    auto* d = static_cast<MV2FallingItemData*>(object->privateData);
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        d = static_cast<MV2FallingItemData*>(object->privateData);
        if (!d || !object->matrix) return 0;
        *d = MV2FallingItemData{nullptr, 1, object->matrix->pos};
        return 1;
    }
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        if (d->held) {
            TvMatrix* m = object->matrix;
            m->right = {1.0f, 0.0f, 0.0f};
            m->up = kWorldUp;
            m->at = {0.0f, 0.0f, 1.0f};
            m->pos = d->hold;
            if (object->body) object->body->velocity = {};
            MV2SyncObjectFrame(object);
        } else {
            for (int32_t i = 0; i < 5; i++)
                MV2ApplyGravity(object);
        }
        break;
    case 11: d->held = 0; break;
    case 12: d->callback = reinterpret_cast<MV2ScarabCallback>(p2); return 1;
    case 70:
        if (!d->held && d->callback) d->callback(object, 1);
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2DrawScarabDust() {
    if (!g_scarab.dustActive) return;
    const uint32_t now = Now();
    const float step = MV2FrameStep();
    const bool paused = gMV2Paused != 0;
    for (DustPuff& puff : g_scarab.dust) {
        if (int32_t(now - puff.expiry) >= 0) continue;
        const float t = float(puff.expiry - now) * 0.00025f;
        MV2DrawSpriteTranslucent(gMV2Dirt2Texture, &puff.position, 2.0f * t, t);
        if (!paused) puff.position.y += step * puff.rise;
    }
}

void MV2SetScarabLaserEnabled(MV2Object* scarab, int32_t enabled) {
    if (scarab && MV2TypeOf(scarab) == kScarabType && scarab->privateData)
        Scarab(scarab)->laserEnabled = enabled;
}
void MV2SetScarabState(MV2Object* scarab, int32_t state) {
    if (scarab && MV2TypeOf(scarab) == kScarabType && scarab->privateData && state >= 0 &&
        state <= kMV2ScarabGuard)
        Scarab(scarab)->state = state;
}
float MV2GetScarabHitPoints(MV2Object* scarab) {
    return scarab && MV2TypeOf(scarab) == kScarabType && scarab->privateData
               ? Scarab(scarab)->hitPoints
               : 0.0f;
}
int32_t MV2GetScarabLaserWindow() {
    return g_scarab.laserWindow;
}
int32_t MV2CountScarabDust() {
    int32_t n = 0;
    for (const DustPuff& puff : g_scarab.dust)
        n += int32_t(Now() - puff.expiry) < 0;
    return n;
}

void MV2ResetScarab() {
    g_scarab = ScarabModule{};
}

void MV2RegisterScarabHandlers() {
    MV2SetObjectTypeHandler(kScarabType, MV2ScarabHandler);
    MV2SetObjectTypeHandler(kBallType, MV2StoneBallHandler);
    MV2SetObjectTypeHandler(kFlyType, MV2FlyHandler);
    for (int32_t type = 389; type <= 391; type++)
        MV2SetObjectTypeHandler(type, MV2FallingItemHandler);
}
