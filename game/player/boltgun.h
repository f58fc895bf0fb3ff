// The bolt gun and its glowing bolts, debris pieces an object breaks into, and bubble bursts.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2WeaponRecord;
struct TpLight;

// The gun's three-shot charge.
struct MV2BoltGunData {
    uint32_t recharging;
    int32_t shotsLeft;
    int32_t nextRefill; // game ms
};

// A bolt's private data (types 2 and 146).
struct MV2BoltData {
    TpLight* light;
    int32_t expiry; // game ms
    MV2ObjectRef owner;
    uint32_t underwater;
    uintptr_t sound;
    uint32_t hit;
    float minimumRadius;
    float thrust;
    TvV3d lastPosition;
    float damage;
};

intptr_t MV2BoltGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2BoltHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2DebrisPieceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// One debris piece (type 3) per model part; `still` pieces take no impact damage.
void MV2BreakIntoDebris(MV2Object* object, int32_t still);
// truncate(40 x radius) - 1 bubbles about a position (f32[3]); none when that is 0 or less.
void MV2SpawnBubbles(const float* position, float radius);
