// The silent mum's smaller objects: the seven pods on its body (types 428 and 429), the stream
// rings of its suck attack (type 432), large and small spores (types 353 and 354) that hunt
// along routes, split and merge, the escorts of a large spore (type 235), the spore carrier
// (type 330) that bursts into debris (356-359) and spore dust (360), the spore sac (type 239),
// the spores' weapon rows and the glow drawn for each spore.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/creatures/routes.h"
#include "game/creatures/submarines.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct MV2WeaponRecord;

struct MV2Pod {
    const TvMatrix* parentMatrix;
    const TvMatrix* nodeMatrix;
    int32_t open;
    int32_t openRequest;
    int32_t closeAfterHurt;
    int32_t closeRequest;
    int32_t idle;
    int32_t reopenRequest;
    int32_t dead; // never set by the pod itself
    int32_t flashRequest;
    uint32_t beam; // beam id, 0 none
    TvV3d aim;
    int32_t fireRequest;
    float fireDelay;      // seconds
    float closeCountdown; // seconds
    int32_t sporesToRelease;
    int32_t isProtected;
    float recovery; // seconds
};

struct MV2LargeSpore {
    int32_t state; // 0..4
    MV2ObjectRef owner;
    int32_t escortCount;
    MV2ObjectRef escorts[6];
    MV2ObjectRef target;
    int32_t split;
    int32_t targetLock;
    int32_t nextEscorts; // game ms
    MV2Route route;
    int32_t home;
    TvV3d attackPoint;
    int32_t nextMove; // game ms
    float savedEnergy;
    uintptr_t sound;
    int32_t noSplit;
    float thrust;
};

struct MV2SmallSpore {
    int32_t state; // 0..7
    MV2ObjectRef target;
    MV2ObjectRef savedTarget;
    int32_t nextMove; // game ms
    MV2Route route;
    int32_t mergeReady; // game ms
    uintptr_t sound;
    int32_t targetLock;
    MV2ObjectRef partner;
    float thrust;
};

struct MV2SporeEscort {
    MV2ObjectRef owner;
    int32_t state; // 1 return, 3 follow, 5 charge, 6 after a hit
    MV2ObjectRef target;
    int32_t time; // game ms
    float radius;
    int32_t launched;
    TvV3d chargePoint;
    TvV3d start;
    int32_t stateSet;
    float thrust;
};

// The spore carrier: the submarine record and its own words.
struct MV2SporeCarrier {
    MV2SubData sub;
    int32_t state; // 0 normal, 1 held still, 2 bursting
    int32_t burstTime; // game ms
    TvMatrix held;
};

struct MV2SporeDebris {
    int32_t expiry; // game ms
    MV2ObjectRef spawner;
    float radius;
    TvV3d start;
    int32_t ended;
};

// The pods' key table: the key that follows each of the 11 keys by default.
inline constexpr int32_t kMV2PodNextKey[11] = {1, 0, 3, 4, 5, 4, 7, 0, 9, 9, 0};

intptr_t MV2SilentMumLaserHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The key after `finished` for a pod, with its requests acted on; the boss's centre beacon is
// where released spores go.
int32_t MV2PodNextKey(MV2Object* pod, MV2Pod* d, int32_t finished);
float MV2PodKeyCallback(TpAtomic* atomic, float position);
intptr_t MV2SilentMumSpinnerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LargeSporeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SmallSporeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SporeEscortHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SporeCarrierHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SporeDebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SporeDustHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SporeSacHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SporeWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                               intptr_t p2);
void MV2RegisterSporeHandlers();
