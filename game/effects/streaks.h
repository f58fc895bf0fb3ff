// Glow streaks: three camera-facing squares, the head at a moving point and two smaller ones
// pulled after it at the water's drag; and the glow slots that bind a streak to a projectile.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvTexture;
struct MV2Object;

inline constexpr int32_t kMV2GlowSlots = 120;

struct MV2StreakPoint {
    float size; // half-size of its square
    TvV3d position;
};

struct MV2Streak {
    uint32_t fadeOn; // 1: the intensity decays and the streak ends
    float fadeFactor;
    float intensity;
    TvTexture* texture;
    int32_t medium; // drag medium 0..13
    MV2StreakPoint points[3]; // head first
};

struct MV2GlowSlot {
    uint32_t active;
    MV2Streak* streak;
    uint32_t handle;
    MV2Object* object;
};

// 0 when a record or one of the glow textures cannot be had.
int32_t MV2InitialiseTrails();
void MV2ShutdownTrails();
// Gives a projectile just made the glow its type names; nothing when all slots are taken.
void MV2AttachTrail(MV2Object* object);
void MV2UpdateTrails();
void MV2DrawTrails();

// A streak from the free list with all points at the position; null when none can be had.
MV2Streak* MV2CreateStreak(const float* position, TvTexture* texture, float headSize, float ratio,
                           float drag, uint32_t fadeOn, float fadeFactor);
void MV2InitialiseStreak(MV2Streak* streak, const float* position, TvTexture* texture,
                         float headSize, float ratio, float drag, uint32_t fadeOn, float fadeFactor);
// Moves the head and pulls the tail; 1 when a fading streak has faded out.
int32_t MV2UpdateStreak(MV2Streak* streak, const float* head);
void MV2DrawStreak(MV2Streak* streak);

// The glow slots, for tests.
const MV2GlowSlot* MV2GetGlowSlot(int32_t index);
