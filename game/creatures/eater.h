// The eater: a predator fish that hunts the player's craft, small fish and death sites, bites
// what it reaches and calms down when fed.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;

// Eater flags; bits 2-17 count bites on victims other than the player.
inline constexpr uint32_t kMV2EaterChasing = 1u << 0;
inline constexpr uint32_t kMV2EaterBiting = 1u << 1;
inline constexpr uint32_t kMV2EaterBiteUnit = 1u << 2;
inline constexpr uint32_t kMV2EaterBiteMask = 0xFFFFu << 2;

// Kept behind the shared creature record, whose stun timer is the eater's calm (seconds).
struct MV2EaterRecord {
    const TvV3d* target; // the target object's position row or `site`; null = none
    MV2ObjectHandle targetHandle;
    float thrust;
    int32_t fleeUntil;  // game ms
    int32_t nextSearch; // game ms; the give-up time while going to a site
    int32_t goingToSite;
    TvV3d site;
    uint32_t flags;
};

inline constexpr float kMV2EaterCalmLimit = 36.0f;
inline constexpr float kMV2EaterCalmMeal = 18.0f;
inline constexpr float kMV2EaterCalmMax = 54.0f;
inline constexpr int32_t kMV2EaterFirstBiteKey = 21;

intptr_t MV2EaterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2EaterAnimCallback(TpAtomic* atomic, float position);
// The key after the finished key: the swim cycle 0-20 and the bite 21-39; finishing key 39
// clears the biting flag. -1 past the last key.
int32_t MV2EaterNextKey(int32_t finished, uint32_t* flags);
void MV2RegisterEaterHandlers();
