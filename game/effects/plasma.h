// Plasma beams and plasma sparks: textured strips built as engine geometry. A plasma beam is
// fixed in its owner's frame, cast through the scene every frame and burns, pushes and
// electrifies what it hits; plasma sparks crawl over the mesh of a struck object for two seconds.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TpAtomic;
struct TpClump;
struct TpLight;
struct TpMaterial;
struct MV2Object;

inline constexpr int32_t kMV2PlasmaBeams = 30;
inline constexpr int32_t kMV2PlasmaSparks = 30;
inline constexpr int32_t kMV2PlasmaStripRows = 11;

struct MV2PlasmaBeam {
    uint32_t active;
    TvV3d start; // in the owner's frame
    TvV3d end;
    TpClump* core; // "CORE" strip
    TpClump* bits; // "BITS" strip
    float scroll;  // 0..1
    MV2Object* owner;
    uint32_t ownerHandle;
    float damageRate; // per second
    uint32_t hit;
    TvV3d hitPoint;
    float glow; // 0..1
    uint32_t glowRising;
};

struct MV2PlasmaSpark {
    uint32_t active;
    TpClump* strip;
    MV2Object* object;
    uint32_t objectHandle;
    uint32_t atomicNumber; // among the object's atomics that have vertices
    uint32_t vertex;       // where the strip starts this frame
    float timeLeft;        // seconds
    TpLight* light;
};

// One atomic of 22 vertices in 11 rows of two on a frame of its own, in a clump; null on
// failure.
TpClump* MV2CreatePlasmaAtomic(TpMaterial* material);

int32_t MV2InitialisePlasmaBeams();
void MV2ShutdownPlasmaBeams();
void MV2ResetPlasmaBeams();
// The first free slot, active; null when all are in use.
MV2PlasmaBeam* MV2CreatePlasmaBeam(MV2Object* owner, uint32_t ownerHandle, float damageRate,
                                   const float* start, const float* end);
void MV2ShowPlasmaBeam(MV2PlasmaBeam* beam);
void MV2ReleasePlasmaBeam(MV2PlasmaBeam** beam);
void MV2AttachPlasmaSparks(MV2Object* object, TpAtomic* atomic);
void MV2UpdatePlasmaBeams();
void MV2DrawPlasmaBeams();

// The slots, for tests.
MV2PlasmaBeam* MV2GetPlasmaBeam(int32_t index);
const MV2PlasmaSpark* MV2GetPlasmaSpark(int32_t index);
