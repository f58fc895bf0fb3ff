// Heat of the player's craft, heat sources, the sliding platform and the homing missile.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TvFrame;
struct TpAtomic;
struct TpIntersection;
struct MV2WeaponRecord;

struct MV2HeatSource {
    float radius;
    float strength;
    uint32_t on;
};

struct MV2SlidingPlatform {
    TvFrame* part; // tagged 2
    uint32_t value12;
    uint32_t value55;
    float fraction; // 0 closed .. 1 open
    uint32_t opening;
    TvV3d closed;
    TvV3d partClosed;
    uintptr_t sound;
};

struct MV2Missile {
    int32_t expiry; // game ms
    MV2ObjectRef owner;
    uintptr_t sound;
    TvFrame* spinner; // tagged 101
    uint32_t exploded;
    float modelRadius;
    MV2ObjectRef target;
    TvV3d last;
};

// Heat lives one frame: reset before the objects run, applied after them.
void MV2ResetHeat();
void MV2AddHeat(float amount);
float MV2GetHeat();
void MV2UpdateHeatDamage();
uint32_t MV2GetHeatColour();

intptr_t MV2HeatSourceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SlidingPlatformHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
int32_t MV2PlatformLiftScan(TpIntersection* intersection, void* sector, TpAtomic* atomic,
                            float distance, void* data);
intptr_t MV2MissileHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The smallest hit fraction of the line from the missile's last position to its position on
// the atomic, kept in the record; the atomic itself is answered to go on.
TpAtomic* MV2MissileHitAtomic(TpAtomic* atomic, void* record);
void MV2ExplodeMissile(MV2Object* object, float fraction);
intptr_t MV2MissileLauncherHandler(MV2WeaponRecord* slot, int32_t message, intptr_t p1,
                                   intptr_t p2);
void MV2RegisterHeatHandlers();
