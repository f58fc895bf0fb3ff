// Beams: glowing rays between two ends (objects or points) that may be cut by the world, burn
// what they touch and keep a burning-sound object at the hit point.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;

inline constexpr int32_t kMV2Beams = 100;
inline constexpr int32_t kMV2BeamRibbonVertices = 47;
inline constexpr int32_t kMV2BeamRibbonIndices = 216;
inline constexpr int32_t kMV2BeamGlowVertices = 14;
inline constexpr int32_t kMV2BeamGlowIndices = 15;

// Flags of MV2CreateBeam.
inline constexpr uint32_t kMV2BeamSourceGlow = 0x001;
inline constexpr uint32_t kMV2BeamEndGlow = 0x002;
inline constexpr uint32_t kMV2BeamRay = 0x004;
inline constexpr uint32_t kMV2BeamSourceCopy = 0x008;
inline constexpr uint32_t kMV2BeamTargetCopy = 0x010;
inline constexpr uint32_t kMV2BeamSourcePointer = 0x020;
inline constexpr uint32_t kMV2BeamTargetPointer = 0x040;
inline constexpr uint32_t kMV2BeamSound = 0x080;
inline constexpr uint32_t kMV2BeamHitSound = 0x100;
inline constexpr uint32_t kMV2BeamOneFrame = 0x200;
inline constexpr uint32_t kMV2BeamWideEndGlow = 0x400;
inline constexpr uint32_t kMV2BeamPulse = 0x800;

struct MV2Beam {
    MV2Beam* next;
    MV2Beam* previous;
    uint32_t id;
    MV2Object* source;
    uint32_t sourceHandle;
    const TvV3d* sourcePosition; // read every frame
    TvV3d sourcePoint;           // flag 0x008
    uint32_t targetHandle;
    const TvV3d* targetPosition;
    TvV3d targetPoint; // flag 0x010
    TvV3d endPoint;    // the hit point, else the target position
    MV2Object* owner;  // credited with the damage, ignored by the ray
    uint32_t ownerHandle;
    float width; // half-width of the ribbon
    uint32_t kind;
    uint32_t flags;
    float brightness;
    int32_t soundChannel;
    TvV3d soundPoint; // where the looped sound is placed
    uint32_t nextHitEffect; // game clock
    MV2Object* hitSound;
    uint32_t hitSoundHandle;
};

int32_t MV2InitialiseBeams();
void MV2ResetBeams();
// Ends are objects unless flags 0x08/0x20 (source) or 0x10/0x40 (target) make them points; the
// id, or 0 when an end is null or all beams are in use.
uint32_t MV2CreateBeam(const void* source, const void* target, float width, uint32_t kind,
                       uint32_t flags);
int32_t MV2BeamExists(uint32_t id);
void MV2RemoveBeam(uint32_t id);
void MV2SetBeamSource(uint32_t id, MV2Object* object);
void MV2FreeBeam(MV2Beam* beam);
void MV2UpdateBeams();
void MV2DrawBeams();

// The active beams, newest first, for tests.
MV2Beam* MV2FirstBeam();
// The shared index lists of the ribbon and the glow, for tests.
const uint16_t* MV2BeamRibbonIndices();
const uint16_t* MV2BeamGlowIndices();
