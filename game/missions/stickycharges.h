// Sticky charges: the weapon that fires them, the detonator tool that sets them off 150 ms
// apart, and the charge itself, which sticks to walls and objects and fizzles after 60 s.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/objects/objects.h"
#include "game/player/tools.h"
#include "game/player/weapons.h"

struct TpAtomic;
struct TvFrame;

// What a craft hands its tool with message 53: the muzzle's world matrix and the user.
struct MV2ToolUseRecord {
    const TvMatrix* muzzle;
    intptr_t spare[2];
    MV2Object* user;
};

// Charge flags.
inline constexpr uint32_t kMV2ChargeStuck = 1u << 0;
inline constexpr uint32_t kMV2ChargeDetonated = 1u << 1;

struct MV2StickyChargeData {
    MV2Object* self;
    uint32_t fuse; // game ms
    MV2ObjectRef owner;
    float minimumRadius;
    TpAtomic* stuckAtomic;
    MV2ObjectHandle stuckHandle;
    TvV3d offset;        // the hit point in the stuck atomic's space
    TvV3d relative[3];   // right, up and at in the stuck atomic's space
    uint32_t flags;
    TvFrame* lightMount; // the tag-2 frame, or null
    MV2ObjectRef light;
    TvV3d previous;
    uint32_t counted; // 1 while it counts as a live player charge
};

// The charges whose owner is the player's submarine.
int32_t MV2GetLivePlayerCharges();
// A level reset starts the count again.
void MV2ResetStickyCharges();

intptr_t MV2StickyChargeWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                      intptr_t p2);
int32_t MV2DetonatorToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StickyChargeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Keeps a stuck charge on the atomic it is stuck to.
void MV2FollowStuckAtomic(MV2Object* charge, MV2StickyChargeData* d);
void MV2RegisterStickyChargeHandlers();
