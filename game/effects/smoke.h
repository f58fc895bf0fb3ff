// Smoke and ink: dark puffs that rise, spread and fade, drawn so that they darken what lies
// behind them; the ink emitter object (type 408) that makes them.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;

inline constexpr int32_t kMV2SmokePuffs = 80;
inline constexpr int32_t kMV2InkEmitterType = 408;

struct MV2SmokePuff {
    TvV3d velocity; // units per second
    uint32_t birth; // game clock ms
    float size;     // edge length
    // Darkness 0..255. Kept with its fraction, so that the fade does not depend on the frame
    // rate (a whole byte loses at least one step every frame).
    float alpha;
    float fadeRate; // fraction of 255 lost per second
    TvV3d position;
    MV2SmokePuff* previous;
    MV2SmokePuff* next;
};

// Private data of the ink emitter.
struct MV2InkEmitterData {
    uint32_t nextPuff;      // game clock ms
    uint32_t nextExplosion; // game clock ms
    uint32_t on;
    uintptr_t sound; // looped-sound variable
};

// 0 when the texture SMOKE2 is missing.
int32_t MV2InitialiseSmoke();
void MV2ShutdownSmoke();
// Returns every live puff to the free list (level end).
void MV2ResetSmoke();
// A full pool reuses the oldest puff; a null velocity is zero.
void MV2CreateSmoke(const float* position, const float* velocity, float size, float fadeRate,
                    uint8_t alpha);
void MV2UpdateSmoke();
void MV2DrawSmoke();
intptr_t MV2SmokeEmitterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The live puffs, newest first, for tests.
MV2SmokePuff* MV2FirstSmokePuff();
int32_t MV2CountSmokePuffs();
