// The eel boss (type 166): a puppet boss that turns its neck toward the player, alternates bolt
// attacks with a tongue attack and can be hurt only while its mouth is open; the electric
// barriers (type 348 with its ends 415 and 416), the zapper mine (type 333) with its weapon row,
// and the submarine a mission protects from dying.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct MV2PuppetInstance;
struct MV2WeaponRecord;

enum MV2EelPhase : int32_t {
    kMV2EelBolts = 0,
    kMV2EelTongue = 1,
    kMV2EelAim = 2,
    kMV2EelCharge = 3,
    kMV2EelDying = 4,
};

struct MV2EelState {
    int32_t phase;
    uint32_t phaseEnd; // game ms
    int32_t setUpDone;
    float heldX;
    int32_t engaged;
    uint32_t arc;     // electric arc id, 0 none
    int32_t arcLife;  // ms: the length until the arc starts, then its end time
    TvV3d arcEndB;    // the far end, where bolts start
    TvV3d arcStartA;  // below the eel, fixed at creation
    int32_t arcSound; // played when the arc starts; the no-sound id when none
    uint32_t arcStartTime; // game ms, 0 none
    float puppetResetTimer; // seconds
    float neckYaw, neckPitch; // degrees
};

struct MV2Barrier {
    int32_t state; // 0 sliding, 1 at rest, 2 turning
    int32_t turnEnd; // game ms
    TvV3d startPosition;
    TvV3d startAt, startRight, startUp;
    float turnAngle; // degrees
    int32_t opening;
    float offset;
    float length;
    int32_t nextFlash; // game ms
    int32_t flashStep; // 0..3
    TpAtomic* endAAtomic;
    TpAtomic* endBAtomic;
    MV2ObjectRef endA, endB;
};

struct MV2ZapperMine {
    float age; // seconds
    int32_t done;
    MV2ObjectRef owner;
    float radius;
    int32_t nextSound; // game ms
};

MV2EelState* MV2GetEelState();
// Clears the eel's state and the protected sub (level reset).
void MV2ResetEel();

intptr_t MV2EelBossHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2EelNeckCallback(MV2PuppetInstance* instance);

MV2Object* MV2GetProtectedSub();
void MV2SetProtectedSub(MV2Object* sub);
void MV2SetProtectedSubFlag(int32_t value);
int32_t MV2GetProtectedSubFlag();
void MV2SetEelBoltsPaused(int32_t paused);

intptr_t MV2EelBoltGeneratorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The key that follows `finished` for a barrier in `state` that is (near) its end when
// `nearEnd`; the state may change (after key 9 the barrier starts turning).
int32_t MV2BarrierNextKey(int32_t finished, MV2Barrier* barrier, int32_t nearEnd);
float MV2BarrierKeyCallback(TpAtomic* atomic, float position);
intptr_t MV2EelBoltEndHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

intptr_t MV2EelBoltShotHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
TpAtomic* MV2ZapperGlowCallback(TpAtomic* atomic, void* data);
intptr_t MV2ZapperWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                intptr_t p2);

void MV2RegisterEelHandlers();
