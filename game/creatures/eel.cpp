// The eel boss, its electric barriers, the zapper mine and the protected submarine.
#include "game/creatures/eel.h"

#include <algorithm>
#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/creatures/ambient.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/puppetboss.h"
#include "game/creatures/subai.h"
#include "game/effects/effects.h"
#include "game/missions/missionflow.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/cdaudio.h"

namespace {

void EelTongueStart(void*);
void EelDying(void*);
void EelDeadNow(void*);
void EelNothing(void*) {}

const MV2PuppetCallback kEelEvents[] = {
    {"deadnow", EelDeadNow},     {"dying", EelDying},         {"tongueend", EelNothing},
    {"tonguestart", EelTongueStart}, {"zapend", EelNothing}, {"zapstart", EelNothing},
};

MV2PuppetBossKind g_kind{"bosseel", kEelEvents, 6, 15.0f, {}, 0};
MV2EelState g_eel{};

struct ProtectedSub {
    MV2ObjectRef sub;
    int32_t flag;
} g_protected{};

int32_t g_boltsPaused = 0;

constexpr uint32_t kArenaObject = 0x03080007;

uint32_t Now() {
    return MV2GameClock();
}


// A random size in [low, high] with a random sign.
float SignedRandom(float low, float high) {
    const float size = low + (high - low) * MV2RandomUnit();
    return (TvRandom() & 1) ? size : -size;
}

TvV3d Scaled(const TvV3d& v, const TvV3d& s) {
    return {v.x * s.x, v.y * s.y, v.z * s.z};
}

void DestroyArc() {
    if (g_eel.arc) MV2DestroyElectricArc(g_eel.arc);
    g_eel.arc = 0;
}

MV2Object* Player() {
    return MV2GetPlayerObject();
}

// The player's sub follows the tongue tip while the tongue holds it.
void HoldWithTongue(MV2Object* eel, MV2Object* player) {
    if (!MV2PuppetBossFired(eel, "tongueing") || !player || !player->matrix) return;
    TvMatrix node;
    MV2PuppetNodeInstance* n = MV2PuppetFindNode(MV2PuppetBossInstance(eel), "lowermouth");
    if (!n || !MV2PuppetBossNodeMatrix(eel, "lowermouth", &node)) return;
    const TvV3d local = TvV3dAdd(TvV3dAdd(n->world.pos, n->world.at), TvV3dScale(n->world.up, 6.0f));
    TvV3d tip;
    TvV3dTransformPoints(&tip, &local, 1, eel->matrix);
    TvV3d& pos = player->matrix->pos;
    const TvV3d d = TvV3dSub(tip, pos);
    if (TvV3dDot(d, d) >= 3.0f) return;
    pos = TvV3dAdd(pos, TvV3dScale(d, std::min(MV2FrameSeconds(), 1.0f)));
    MV2SyncObjectFrame(player);
}

void StepArc(MV2Object* eel, MV2Object* player) {
    const uint32_t now = Now();
    if (!g_eel.arc) {
        if (!g_eel.arcStartTime || int32_t(now - g_eel.arcStartTime) < 0) return;
        if (g_eel.arcSound) MV2PlaySoundAt(&g_eel.arcStartA, 25.0f, g_eel.arcSound, 0, 1, 0);
        g_eel.arc = MV2CreateElectricArc(&g_eel.arcStartA, &g_eel.arcEndB, 6);
        g_eel.arcLife = int32_t(now) + g_eel.arcLife;
        g_eel.arcStartTime = 0;
        return;
    }
    if (int32_t(now) - g_eel.arcLife < 0) return;
    if (g_eel.phase == kMV2EelBolts && player && player->matrix) {
        TvV3d direction = MV2Unit(TvV3dSub(player->matrix->pos, g_eel.arcEndB));
        const MV2Point3 at = MV2Point(g_eel.arcEndB);
        if (MV2Object* bolt = MV2CreateObject(2, at.v, nullptr)) {
            if (bolt->matrix) {
                MV2AimMatrix(bolt->matrix, direction);
                MV2SyncObjectFrame(bolt);
            }
            MV2BossSoundAt(g_eel.arcEndB, 15.0f, "MUMMYBOLT2");
            const MV2ObjectHandle handle = bolt->handle;
            MV2ObjectSendMessage(bolt, 15, 0, reinterpret_cast<intptr_t>(eel));
            if (MV2ObjectHandleAlive(handle))
                MV2ObjectSendMessage(bolt, 12, 0, reinterpret_cast<intptr_t>(&direction));
        }
    }
    DestroyArc();
}

void StepPhase(MV2Object* eel, MV2Object* player) {
    const uint32_t now = Now();
    switch (g_eel.phase) {
    case kMV2EelBolts:
        DestroyArc();
        g_eel.phase = kMV2EelTongue;
        g_eel.phaseEnd = now + 20000;
        MV2PuppetBossPlay(eel, "dotongue", 1);
        MV2PuppetBossPlay(eel, "dobolt", 0);
        break;
    case kMV2EelTongue:
        g_eel.arcEndB = TvV3dAdd(player->matrix->pos, eel->matrix->at);
        g_eel.phase = kMV2EelAim;
        g_eel.phaseEnd = now + 500;
        break;
    case kMV2EelAim:
        MV2BossSoundAt(g_eel.arcStartA, 25.0f, "EELCHARGE2");
        g_eel.arcStartTime = now + 812;
        g_eel.arcLife = 1500;
        g_eel.arcSound = MV2CreatureSound("EELBOLT2");
        g_eel.phase = kMV2EelCharge;
        g_eel.phaseEnd = now + 3000;
        break;
    case kMV2EelCharge:
        MV2PuppetBossPlay(eel, "dotongue", 0);
        MV2PuppetBossPlay(eel, "dobolt", 1);
        g_eel.phase = kMV2EelBolts;
        g_eel.phaseEnd = now + 10000;
        break;
    default: break;
    }
}

// A new arc of the bolt phase, at a random point about the eel.
void ChargeBolt(MV2Object* eel) {
    const TvMatrix& m = *eel->matrix;
    const TvV3d up = Scaled(m.up, {SignedRandom(1, 4), SignedRandom(1, 4), SignedRandom(1, 4)});
    const TvV3d right =
        Scaled(m.right, {SignedRandom(1, 4), SignedRandom(1, 4), SignedRandom(1, 4)});
    const TvV3d at = Scaled(m.at, {1.5f + 3.0f * MV2RandomUnit(), 1.5f + 3.0f * MV2RandomUnit(),
                                   1.5f + 3.0f * MV2RandomUnit()});
    g_eel.arcEndB = TvV3dAdd(TvV3dAdd(TvV3dAdd(m.pos, up), right), at);
    MV2BossSoundAt(g_eel.arcStartA, 25.0f, "EELCHARGE");
    g_eel.arcStartTime = Now() + 574;
    g_eel.arcLife = 750;
    g_eel.arcSound = 0;
}

void ClearArenaBit() {
    MV2Object* arena = MV2FindObjectByWorldID(int32_t(kArenaObject));
    if (!arena || !arena->privateData || !arena->type || arena->type->privateDataSize < 15 * 4)
        return;
    static_cast<uint32_t*>(arena->privateData)[14] &= ~(1u << 14);
}

intptr_t Update(MV2Object* eel) {
    const float seconds = MV2FrameSeconds();
    MV2PuppetBossUpdate(eel, seconds * 0.5f);
    if (g_eel.puppetResetTimer > 0.0f) g_eel.puppetResetTimer -= seconds;
    MV2Object* player = Player();
    HoldWithTongue(eel, player);
    if (!g_eel.setUpDone) {
        g_eel.setUpDone = 1;
        ClearArenaBit();
    }
    if (eel->energy <= 0.0f && g_eel.phase != kMV2EelDying) {
        MV2PuppetBossPlay(eel, "dodie", 1);
        g_eel.phase = kMV2EelDying;
        g_eel.arcLife = 0;
        MV2StopMusicTrack();
    }
    if (g_eel.engaged && player && player->matrix && player->matrix->pos.x != g_eel.heldX) {
        player->matrix->pos.x = g_eel.heldX;
        MV2SyncObjectFrame(player);
    }
    StepArc(eel, player);
    if (player && player->matrix && g_eel.engaged &&
        int32_t(Now() - g_eel.phaseEnd) >= 0)
        StepPhase(eel, player);
    if (g_eel.phase == kMV2EelBolts && !g_eel.arc && !g_eel.arcStartTime) ChargeBolt(eel);
    if (g_eel.phase == kMV2EelCharge && g_eel.arc && player && player->matrix) {
        const TvV3d d = TvV3dSub(player->matrix->pos, g_eel.arcEndB);
        if (TvV3dDot(d, d) < 2.0f) player->energy -= MV2FrameStep();
    }
    return 1;
}

intptr_t Create(MV2Object* eel, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(eel, 3, p1, p2)) return 0;
    if (MV2PuppetBossCreate(&g_kind, eel) && g_kind.set.puppet)
        g_kind.set.puppet->hook = MV2EelNeckCallback;
    g_eel = MV2EelState{};
    g_eel.phase = kMV2EelCharge;
    g_eel.phaseEnd = 0;
    g_eel.arcStartA = eel->matrix ? eel->matrix->pos : TvV3d{};
    g_eel.arcStartA.y -= 1.0f;
    g_eel.puppetResetTimer = 1.0f;
    return 1;
}

void Engage(MV2Object* starter) {
    if (!starter || !starter->matrix) return;
    g_eel.engaged = 1;
    g_eel.heldX = starter->matrix->pos.x + 3.0f;
    MV2SetAltThrustControl(1, 1, 1);
    MV2PlayMusicTrack((TvRandom() & 1) ? 17 : 16);
}

// A hit on a part: only with the mouth open, never on the flappy skin.
void PartDamage(MV2Object* eel, intptr_t damage, intptr_t part) {
    if (!part) return;
    MV2PuppetNodeInstance* skin = MV2PuppetFindNode(MV2PuppetBossInstance(eel), "flappy skin");
    if (skin && uint32_t(part) == skin->node->id) return;
    if (MV2PuppetBossFired(eel, "mouthopen")) eel->energy -= float(damage) * 0.001f;
}

MV2Object* EelOf(void* user) {
    return static_cast<MV2Object*>(user);
}

void EelTongueStart(void*) {
    g_eel.phaseEnd = Now();
}

void EelDying(void*) {
    TvV3d camera;
    if (MV2BossCameraPosition(&camera)) MV2BossSoundAt(camera, 15.0f, "EELSCREAM1");
}

void EelDeadNow(void* user) {
    MV2Object* eel = EelOf(user);
    TvMatrix skin;
    if (eel && MV2PuppetBossNodeMatrix(eel, "flappy skin", &skin)) {
        MV2PuppetNodeInstance* n = MV2PuppetFindNode(MV2PuppetBossInstance(eel), "flappy skin");
        TvV3d along;
        TvV3dTransformVectors(&along, &n->world.at, 1, eel->matrix);
        const MV2Point3 at = MV2Point(skin.pos);
        for (int i = 0; i < 25; ++i) {
            const MV2Point3 v = MV2Point(TvV3dScale(along, MV2RandomUnit()));
            MV2CreateBubble(at.v, v.v, 0.05f);
        }
        TvV3d raised = skin.pos;
        raised.y += 2.0f;
        MV2NotifyObjectScript(eel, 13, 0, reinterpret_cast<intptr_t>(&raised));
    }
    g_eel.engaged = 0;
    MV2SetAltThrustControl(0, 1, 1);
}

// ---- Barrier ----

MV2Barrier* BarrierOf(MV2Object* object) {
    return object && object->privateData ? static_cast<MV2Barrier*>(object->privateData) : nullptr;
}

void SetAtomicFlags(TpAtomic* atomic, uint8_t flags) {
    if (atomic) TpAtomicSetFlags(atomic, flags);
}

void SendEnds(MV2Object* barrier, MV2Barrier* d) {
    for (MV2ObjectRef* end : {&d->endA, &d->endB})
        if (MV2Object* o = MV2GetObjectRef(end))
            MV2ObjectSendMessage(o, 12, 0, reinterpret_cast<intptr_t>(barrier));
}

void Flash(MV2Object* barrier, MV2Barrier* d) {
    const int32_t now = int32_t(Now());
    if (now - d->nextFlash < 0) return;
    switch (d->flashStep) {
    case 0:
    case 2:
        SetAtomicFlags(d->endAAtomic, 0);
        SetAtomicFlags(d->endBAtomic, 0);
        d->nextFlash = now + 150 + int32_t(MV2RandomBits(255));
        break;
    case 1:
    case 3:
        SetAtomicFlags(d->flashStep == 1 ? d->endAAtomic : d->endBAtomic, 4);
        d->nextFlash = now + int32_t(MV2RandomBits(63));
        MV2BossSoundAt(barrier->matrix->pos, 30.0f, "EELBOLT");
        break;
    default: break;
    }
    d->flashStep = (d->flashStep + 1) & 3;
}

void AnimateBarrier(MV2Object* barrier, float amount) {
    if (TpAtomic* root = MV2FindRootAtomic(barrier->clump))
        TpAnimSequenceAtomicAddTime(root, amount);
}

intptr_t BarrierUpdate(MV2Object* barrier, MV2Barrier* d) {
    if (barrier->energy <= 0.0f) {
        MV2CreateDebris(barrier);
        MV2ObjectSendMessage(barrier, 4, 0, 0);
        return 1;
    }
    TvMatrix* m = barrier->matrix;
    m->at = d->startAt;
    m->right = d->startRight;
    m->up = d->startUp;
    if (!g_boltsPaused) Flash(barrier, d);
    const float step = MV2FrameStep();
    if (d->state == 0) {
        AnimateBarrier(barrier, 0.6f * step);
        if (d->opening) {
            d->offset = std::min(d->offset + 0.18f * step, d->length);
            if (d->offset >= d->length) d->state = 1;
        } else {
            d->offset = std::max(d->offset - 0.18f * step, 0.0f);
            if (d->offset <= 0.0f) d->state = 1;
        }
    } else if (d->state == 1) {
        AnimateBarrier(barrier, step);
    } else if (d->state == 2) {
        const int32_t remaining = d->turnEnd - int32_t(Now());
        if (remaining <= 0) {
            d->turnAngle = d->opening ? 0.0f : -180.0f;
            d->state = 0;
            d->opening = !d->opening;
        } else {
            d->turnAngle = float(remaining) / 300.0f * -180.0f + (d->opening ? 180.0f : 0.0f);
        }
    }
    const TvV3d ownUp{0.0f, 1.0f, 0.0f};
    MV2RotateMatrixInPlace(m, &ownUp, d->turnAngle, 1);
    m->pos = TvV3dAdd(d->startPosition, TvV3dScale(d->startAt, d->offset));
    MV2SyncObjectFrame(barrier);
    SendEnds(barrier, d);
    return 1;
}

intptr_t BarrierCreate(MV2Object* barrier, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(barrier, 3, p1, p2)) return 0;
    MV2Barrier* d = BarrierOf(barrier);
    if (!d || !barrier->matrix) return 0;
    *d = MV2Barrier{};
    const TvMatrix& m = *barrier->matrix;
    d->startPosition = m.pos;
    d->startAt = m.at;
    d->startRight = m.right;
    d->startUp = m.up;
    d->opening = 1;
    d->length = 5.0f;
    d->flashStep = 3;
    if (TpAtomic* root = MV2FindRootAtomic(barrier->clump)) {
        if (TpGeometry* g = TpAtomicGetGeometry(root))
            TpAnimSequenceGeometrySetCallBack(g, MV2BarrierKeyCallback);
        TpAnimSequenceAtomicSetCurrentKey(root, 0);
    }
    barrier->flags &= ~kMV2ObjectAnimate;
    const MV2Point3 at = MV2Point(m.pos);
    MV2Object* a = MV2CreateObject(415, at.v, nullptr);
    if (!a) return 0;
    MV2Object* b = MV2CreateObject(416, at.v, nullptr);
    if (!b) {
        MV2ObjectSendMessage(a, 4, 0, 0);
        return 0;
    }
    for (MV2Object* end : {a, b}) {
        if (end->clump) MV2SetAllAtomicFlags(end->clump, 0);
        MV2ObjectSendMessage(end, 12, 0, reinterpret_cast<intptr_t>(barrier));
    }
    MV2SetObjectRef(&d->endA, a);
    MV2SetObjectRef(&d->endB, b);
    d->endAAtomic = MV2FindRootAtomic(a->clump);
    d->endBAtomic = MV2FindRootAtomic(b->clump);
    return 1;
}

intptr_t BarrierContact(MV2Object* barrier, MV2Object* other) {
    MV2Object* player = Player();
    if (!other || other != player || !other->matrix) return 1;
    const TvMatrix& m = *barrier->matrix;
    const float r = barrier->radius > 0.0f ? barrier->radius : MV2TypeRadius(barrier);
    const float sphere = 0.42f * r;
    bool inside = false;
    for (float side : {0.18f, -0.18f}) {
        const TvV3d centre = TvV3dAdd(m.pos, TvV3dScale(MV2Unit(m.at), side * r));
        const TvV3d d = TvV3dSub(other->matrix->pos, centre);
        inside = inside || TvV3dDot(d, d) < sphere * sphere;
    }
    if (!inside) return 0;
    other->energy -= 4.0f;
    const TvV3d push = MV2Unit(TvV3dSub(other->matrix->pos, m.pos));
    MV2AddForce(other, &push);
    return 0;
}

// ---- Zapper mine ----

MV2ZapperMine* MineOf(MV2Object* object) {
    return object && object->privateData ? static_cast<MV2ZapperMine*>(object->privateData)
                                         : nullptr;
}

constexpr float kArmAge = 1.5f;

intptr_t MineUpdate(MV2Object* mine, MV2ZapperMine* d) {
    if (d->done && d->age > kArmAge) {
        MV2CreateExplosion(&mine->matrix->pos.x, 0.5f, 30.0f, nullptr, 0, 154);
        MV2ObjectSendMessage(mine, 4, 0, 0);
        return 1;
    }
    if (mine->body) mine->body->velocity.y += 0.001f * MV2FrameStep();
    d->age += MV2FrameSeconds();
    if (d->age * 2.0f / 3.0f >= 1.0f) {
        const float phase = (d->age - kArmAge) * 0.125f;
        intptr_t mode = phase - std::floor(phase) >= 0.5f ? 0 : 1;
        TpClumpForAllAtomics(mine->clump, MV2ZapperGlowCallback, reinterpret_cast<void*>(mode));
        MV2AttachPlasmaSparks(mine, MV2FindRootAtomic(mine->clump));
    }
    return MV2ObjectDefaultHandler(mine, 2, 0, 0);
}

intptr_t MineContact(MV2Object* mine, MV2ZapperMine* d, MV2Object* other) {
    if (!other) return 1;
    if (other->type && (other->type->words[7] & kMV2TypeCollisionTree)) return 1;
    if (other->aiCategory == 1) return 0;
    if (d->age < kArmAge) return 1;
    const MV2Point3 at = MV2Point(other->matrix ? other->matrix->pos : mine->matrix->pos);
    MV2DamageObject(mine, other, at.v, 8.0f * MV2FrameSeconds(), 0);
    MV2AttachPlasmaSparks(other, MV2FindRootAtomic(other->clump));
    if (MV2Elapsed(d->nextSound) >= 0) {
        MV2BossSoundAt(mine->matrix->pos, 30.0f, "EELBOLT");
        d->nextSound = int32_t(Now()) + int32_t(MV2RandomBits(511));
    }
    return 1;
}

} // namespace

MV2EelState* MV2GetEelState() {
    return &g_eel;
}

void MV2ResetEel() {
    DestroyArc();
    g_eel = MV2EelState{};
    g_protected = ProtectedSub{};
    g_boltsPaused = 0;
}

intptr_t MV2EelBossHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96: return MV2AnswerSize(p2, 0);
    case 3: return Create(object, p1, p2);
    case 2: return MV2PuppetBossInstance(object) ? Update(object) : 1;
    case 4:
        DestroyArc();
        MV2PuppetBossDestroy(&g_kind, object);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12: Engage(reinterpret_cast<MV2Object*>(p2)); return 1;
    case 13:
        if (p2) MV2PuppetBossNodePosition(object, "lowermouth", reinterpret_cast<TvV3d*>(p2));
        return 1;
    case 63: MV2PuppetBossPartHit(object, p2); return 1;
    case 76: PartDamage(object, p1, p2); return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2EelNeckCallback(MV2PuppetInstance* instance) {
    auto* eel = instance ? static_cast<MV2Object*>(instance->userData) : nullptr;
    if (!eel || !eel->matrix) return;
    MV2PuppetNodeInstance* neck = MV2PuppetFindNode(instance, "neck2");
    if (!neck) return;
    const float step = MV2FrameStep();
    MV2Object* player = Player();
    bool looking = false;
    if (player && player->matrix && MV2PuppetBossFired(eel, "lookat") &&
        !MV2PuppetBossFired(eel, "dying")) {
        const TvMatrix& m = *eel->matrix;
        const TvV3d rel = TvV3dSub(player->matrix->pos, m.pos);
        TvV3d local{TvV3dDot(rel, m.right), TvV3dDot(rel, m.up), TvV3dDot(rel, m.at)};
        local = TvV3dSub(local, neck->node->pivot);
        const float distance = MV2Normalise(&local);
        if (distance < 15.0f && local.z > 0.1f) {
            looking = true;
            const float yaw = std::atan(local.x / local.z) * 57.3f;
            const float pitch = std::atan(local.y / local.z) * 57.3f;
            const float k = std::min(2.0f * MV2FrameSeconds(), 1.0f);
            g_eel.neckYaw += (yaw - g_eel.neckYaw) * k;
            g_eel.neckPitch += (pitch - g_eel.neckPitch) * k;
        }
    }
    if (!looking) {
        const float k = std::min(step / 8.0f, 1.0f);
        g_eel.neckYaw -= g_eel.neckYaw * k;
        g_eel.neckPitch -= g_eel.neckPitch * k;
    }
    neck->accumulators[0] = int32_t(g_eel.neckYaw * 128.0f * 256.0f);
    neck->accumulators[1] = int32_t(-g_eel.neckPitch * 128.0f * 256.0f);
}

MV2Object* MV2GetProtectedSub() {
    return MV2GetObjectRef(&g_protected.sub);
}

void MV2SetProtectedSub(MV2Object* sub) {
    MV2SubAIData* data = sub ? MV2GetSubAIData(sub) : nullptr;
    if (!data) return;
    MV2SetObjectRef(&g_protected.sub, sub);
    const MV2ObjectHandle handle = sub->handle;
    MV2ObjectSendMessage(sub, 36, intptr_t(int32_t(0xFFFF0003u)), 0);
    if (MV2ObjectHandleAlive(handle)) MV2ObjectSendMessage(sub, 0, 1, 0);
    g_protected.flag = 1;
    if (MV2ObjectHandleAlive(handle)) data->cannotDie = 1;
}

void MV2SetProtectedSubFlag(int32_t value) {
    g_protected.flag = value;
}

int32_t MV2GetProtectedSubFlag() {
    return g_protected.flag;
}

void MV2SetEelBoltsPaused(int32_t paused) {
    g_boltsPaused = paused;
}

intptr_t MV2EelBoltGeneratorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2Barrier));
    if (message == 3) return BarrierCreate(object, p1, p2);
    MV2Barrier* d = BarrierOf(object);
    switch (message) {
    case 2: return d ? BarrierUpdate(object, d) : MV2ObjectDefaultHandler(object, 2, p1, p2);
    case 4:
        if (d)
            for (MV2ObjectRef* end : {&d->endA, &d->endB})
                if (MV2Object* o = MV2GetObjectRef(end)) MV2ObjectSendMessage(o, 4, 0, 0);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 14: return d ? BarrierContact(object, reinterpret_cast<MV2Object*>(p2)) : 1;
    case 75:
    case 80: return 1;
    case 79:
        if (d && p2) d->length = *reinterpret_cast<const float*>(p2);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2BarrierNextKey(int32_t finished, MV2Barrier* d, int32_t nearEnd) {
    switch (finished) {
    case 8: return d->state == 1 || (d->state == 0 && nearEnd) ? 9 : 0;
    case 9:
        d->state = 2;
        d->turnEnd = int32_t(Now()) + 300;
        return 10;
    case 10: return 0;
    default: return finished + 1 < 11 ? finished + 1 : finished;
    }
}

float MV2BarrierKeyCallback(TpAtomic* atomic, float position) {
    const int32_t key = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    MV2Barrier* d = BarrierOf(MV2AtomicObject(atomic));
    if (!d) return MV2StepAnimKey(atomic, position, key);
    const int32_t nearEnd = d->opening ? d->offset > d->length - 2.5f : d->offset < 2.5f;
    return MV2StepAnimKey(atomic, position, MV2BarrierNextKey(key, d, nearEnd));
}

intptr_t MV2EelBoltEndHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96: return MV2AnswerSize(p2, 0);
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (TpAtomic* root = MV2FindRootAtomic(object->clump))
            TpAnimSequenceAtomicSetCurrentKey(root, 3);
        object->flags &= ~kMV2ObjectAnimate;
        return 1;
    }
    case 2: return 1;
    case 12: {
        auto* barrier = reinterpret_cast<MV2Object*>(p2);
        if (!barrier || !barrier->matrix || !object->matrix) return 1;
        const uint32_t flags = object->matrix->flags;
        *object->matrix = *barrier->matrix;
        object->matrix->flags = flags & ~kTvMatrixIdentity;
        TpAtomic* from = MV2FindRootAtomic(barrier->clump);
        TpAtomic* to = MV2FindRootAtomic(object->clump);
        if (from && to) {
            const int32_t key = TpAnimSequenceAtomicGetCurrentKeyIndex(from);
            if (key >= 0 && TpAnimSequenceGeometryGetKey(TpAtomicGetGeometry(to), key)) {
                TpAnimSequenceAtomicSetCurrentKey(to, key);
                TpAnimSequenceAtomicSetPosition(to, from->interpolator.position);
            }
        }
        MV2SyncObjectFrame(object);
        return 1;
    }
    case 75: return 0;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2EelBoltShotHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2ZapperMine));
    MV2ZapperMine* d = MineOf(object);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2) || !d) return 0;
        *d = MV2ZapperMine{};
        d->radius = MV2GetBoundingRadius(MV2FindRootAtomic(object->clump));
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 2: return d ? MineUpdate(object, d) : 1;
    case 12:
        if (p2 && object->body && object->matrix)
            object->body->velocity = TvV3dSub(*reinterpret_cast<const TvV3d*>(p2),
                                              TvV3dScale(object->matrix->at, 0.4f));
        return 1;
    case 13:
        if (p2 && object->matrix) *reinterpret_cast<const TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19: return d ? MineContact(object, d, reinterpret_cast<MV2Object*>(p2)) : 1;
    case 15:
        if (d) MV2ClearObjectRef(&d->owner);
        return 1;
    case 16:
        if (p2)
            *reinterpret_cast<intptr_t*>(p2) =
                d ? reinterpret_cast<intptr_t>(MV2GetObjectRef(&d->owner)) : 0;
        return 1;
    case 18:
        if (d) d->done = 1;
        return 0;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

TpAtomic* MV2ZapperGlowCallback(TpAtomic* atomic, void* data) {
    const intptr_t mode = reinterpret_cast<intptr_t>(data);
    TpInterpolator& in = atomic->interpolator;
    auto set = [&](int16_t target, bool running) {
        const int32_t targets = TpGeometryGetNumMorphTargets(TpAtomicGetGeometry(atomic));
        if (target >= targets) target = int16_t(std::max(targets - 1, 0));
        in.startMorphTarget = in.endMorphTarget = target;
        if (running) in.flags |= kTpInterpolateVertices;
        else in.flags &= ~kTpInterpolateVertices;
    };
    switch (mode) {
    case 0: set(2, true); break;
    case 1: set(1, false); break;
    case 2: set(0, true); break;
    default:
        if (data) TvFrameGetMatrix(atomic->object.frame)->pos = *static_cast<const TvV3d*>(data);
        break;
    }
    return atomic;
}

intptr_t MV2ZapperWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                intptr_t p2) {
    if (message == 57) {
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {0x1C, kMV2BossHudColour};
        return 1;
    }
    if (message != 10) return MV2StandardWeaponHandler(weapon, message, p1, p2);
    if (p1 == 1) return 1;
    MV2Object* firer = weapon ? weapon->owner : nullptr;
    if (!firer || !firer->matrix) return 1;
    const TvMatrix& m = *firer->matrix;
    const TvV3d launch = TvV3dAdd(TvV3dAdd(TvV3dAdd(m.pos, TvV3dScale(MV2Unit(m.at), -0.9f)),
                                           TvV3dScale(MV2Unit(m.up), 0.2f)),
                                  TvV3dScale(MV2Unit(m.right), 0.3f));
    const MV2Point3 at = MV2Point(launch);
    MV2Object* mine = MV2CreateObject(weapon->row ? weapon->row->shotType : 333, at.v, nullptr);
    if (!mine) return 1;
    mine->aiCategory = 10;
    TvV3d velocity = firer->body ? firer->body->velocity : TvV3d{};
    const MV2ObjectHandle handle = mine->handle;
    MV2ObjectSendMessage(mine, 12, 0, reinterpret_cast<intptr_t>(&velocity));
    if (MV2ObjectHandleAlive(handle))
        MV2ObjectSendMessage(mine, 15, 1, reinterpret_cast<intptr_t>(firer));
    MV2BossSoundAt(m.pos, 1.0f, "BABYMINELAUNCH", -200);
    return 1;
}

void MV2RegisterEelHandlers() {
    MV2SetObjectTypeHandler(166, MV2EelBossHandler);
    MV2SetObjectTypeHandler(348, MV2EelBoltGeneratorHandler);
    MV2SetObjectTypeHandler(415, MV2EelBoltEndHandler);
    MV2SetObjectTypeHandler(416, MV2EelBoltEndHandler);
    MV2SetObjectTypeHandler(333, MV2EelBoltShotHandler);
    MV2SetWeaponRowHandler(7, MV2ZapperWeaponHandler);
}
