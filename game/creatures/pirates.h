// Pirates: the pirate brain over the SubAI brain, the pirate submarine with its spinning gun,
// the pin gun and its pins, the piranha shoal and the drill.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TpIntersection;
struct TpWorldSector;
struct TvFrame;
struct MV2WeaponRecord;

struct MV2PirateData {
    float scanTimer; // seconds
    uint32_t cleared;
};

struct MV2PirateSubExtension {
    TvFrame* spinner; // tagged 666
    float spinSpeed;  // degrees per frame step
    uint32_t spinning;
    void* brainData;
};

struct MV2PinRecord {
    MV2Object* self;
    int32_t explodeTime; // game ms
    MV2ObjectRef owner;
    float modelRadius;
    TpAtomic* struckAtomic;
    MV2ObjectHandle struckHandle;
    TvV3d offset;         // in the struck atomic's frame
    TvMatrix relative;    // the pin in the struck atomic's frame
    uint32_t stuck;
    const TvMatrix* struckMatrix;
    uint32_t rapid; // from a rapid pin gun
    MV2ObjectRef light;
    TvV3d last;
};

struct MV2PiranhaRecord {
    uint32_t attacking;
    float speed;
    int32_t biteCooldown; // game ms
    uint32_t biting;
    uintptr_t sound;
    int32_t nextSearch; // game ms; the chase end while chasing a death site
    const TvV3d* targetPosition;
    MV2ObjectHandle targetHandle;
    uint32_t chasingSite;
    TvV3d site;
};

struct MV2DrillData {
    float speedFactor;
    float direction; // +1 or -1
    float offset;    // 0..2
    float baseHeight;
    TvFrame* part; // tagged 2
};

intptr_t MV2PirateBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
int32_t MV2PirateScan(TpIntersection* intersection, TpWorldSector* sector, TpAtomic* atomic,
                      float distance, void* data);
intptr_t MV2PirateSubHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2PinGunHandler(MV2WeaponRecord* slot, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2PinHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
TpAtomic* MV2PinHitAtomic(TpAtomic* atomic, void* record);
void MV2DrawPinGlow(MV2Object* object);
intptr_t MV2PiranhaHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2PiranhaAnimCallback(TpAtomic* atomic, float position);
// The key after a finished key of the shoal's cycle; a bite (key 9 to 10) ends at key 19.
int32_t MV2PiranhaNextKey(int32_t finished, uint32_t* biting);
intptr_t MV2DrillHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterPirateHandlers();
// Frees the pirate free list (game shut-down).
void MV2ShutdownPirates();
