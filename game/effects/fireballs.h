// Fireballs (glowing balls that drift, grow and fade, with an owner's hit test), flak bursts
// (explosion puffs from a 5 x 5 sheet at a point or on an object) and the render callback of
// object model atomics.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TpAtomic;
struct MV2Object;

inline constexpr int32_t kMV2Fireballs = 80;
inline constexpr int32_t kMV2FlakBursts = 40;

struct MV2Fireball {
    TvV3d velocity; // units per second
    uint32_t birthFrame;
    float size;
    uint32_t brightness; // 0..255
    float growth;        // per second
    MV2Object* owner;
    TvV3d position;
    MV2Fireball* previous;
    MV2Fireball* next;
};

// Flak flags: the first argument is a point to copy (2) or a point the caller keeps (4), else
// an object to follow; bit 0 keeps the burst until its object dies.
inline constexpr uint32_t kMV2FlakKeep = 1;
inline constexpr uint32_t kMV2FlakCopyPoint = 2;
inline constexpr uint32_t kMV2FlakCallerPoint = 4;

struct MV2FlakBurst {
    uint32_t flags; // 0 free
    TvV3d point;
    const TvV3d* position;
    uint32_t handle; // 0 when not following
    float size;
    uint32_t startTime;
    uint32_t duration; // ms
    float angle;       // degrees
    float spin;        // degrees per frame step
};
extern MV2FlakBurst gMV2Flak[kMV2FlakBursts];

int32_t MV2InitialiseFireballs();
void MV2ShutdownFireballs();
void MV2ResetFireballs();
void MV2CreateFireball(const float* position, const float* velocity, float size, MV2Object* owner,
                       float growth, uint8_t brightness);
// 1 when one of the owner's fire balls touches the sphere, with the offset to it and its distance.
int32_t MV2FireballHitTest(const float* position, float radius, MV2Object* owner, float* offset,
                           float* distance);
void MV2UpdateFireballs();
void MV2DrawFireballs();
MV2Fireball* MV2FirstFireball();

int32_t MV2InitialiseFlak();
void MV2ShutdownFlak();
void MV2ResetFlak();
// The slot number + 1, or 0 when every slot is busy.
int32_t MV2CreateFlak(const void* objectOrPoint, float size, uint32_t duration, uint32_t flags);
void MV2UpdateFlak();
void MV2DrawFlak();
// The sheet frame (0..20) a burst shows at the game clock.
int32_t MV2FlakFrame(const MV2FlakBurst* burst, uint32_t clock);

int32_t MV2ObjectAtomicRender(TpAtomic* atomic);
// The flag kept for the object atomic render callback: the frame render clears it while it draws
// a clump of its own (the sky, the cockpit) and sets it again afterwards.
void MV2SetAtomicRenderFlag();
void MV2ClearAtomicRenderFlag();
int32_t MV2GetAtomicRenderFlag();
