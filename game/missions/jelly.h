// The jelly creature (type 165): an ambient swimmer that, with the player within 10 units or a
// target given, turns to it, pulses its swim, stings it for 5 energy on contact and then backs
// off for 2 seconds. It carries a light on its tag-2 frame.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct TpAtomic;
struct TvFrame;

inline constexpr int32_t kMV2JellyType = 165;
inline constexpr uint32_t kMV2JellyChasing = 1u << 0;
inline constexpr uint32_t kMV2JellyStinging = 1u << 1;

// Kept behind the shared creature record.
struct MV2JellyData {
    MV2ObjectRef target;
    float speed;      // 0.2, or 0.35 while stinging
    uint32_t backOff; // game ms until which it flees
    TvFrame* companionFrame; // tag 2
    MV2ObjectRef companion;  // the light
    uint32_t flags;
};

intptr_t MV2JellyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2JellyAnimCallback(TpAtomic* atomic, float time);
void MV2RegisterJellyHandler();
