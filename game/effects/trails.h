// Motion trails: wakes of small textured triangles laid every 0.16 units behind movers under
// water, each point fading over the mover's chosen lifetime.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvCamera;
struct TvMatrix;

inline constexpr int32_t kMV2MTrails = 96;
inline constexpr int32_t kMV2MTrailPoints = 1500;
inline constexpr float kMV2MTrailSpacing = 0.16f;
// A move this long between two emits ends the trail.
inline constexpr float kMV2MTrailJump = 10.0f;

struct MV2MTrail;

struct MV2MTrailPoint {
    MV2MTrailPoint* next; // pool links
    MV2MTrailPoint* previous;
    MV2MTrailPoint* trailNext; // older point of the same trail
    MV2MTrailPoint* trailPrevious;
    TvV3d tip;
    TvV3d left;
    TvV3d right;
    float age;  // 0 to 1
    float rate; // 1 / lifetime in seconds
    MV2MTrail* trail; // null once the trail is gone
};

struct MV2MTrail {
    MV2MTrail* next;
    MV2MTrail* previous;
    TvV3d last;
    TvV3d oldest; // tip of the oldest live point
    float remain; // travel left before the next point; may be negative
    float along;  // travel along the trail, drives the width
    uintptr_t ownerKey;
    uint32_t ownerHandle;
    uint32_t part;
    uint32_t pointCount;
    MV2MTrailPoint* newest; // the trail's points, newest first
    MV2MTrailPoint* oldestPoint;
};

int32_t MV2InitialiseMTrails();
void MV2ShutdownMTrails();
// Called every frame by a mover with its frame's modelling matrix.
void MV2EmitMTrail(uintptr_t ownerKey, uint32_t ownerHandle, uint32_t part, float lifetime,
                   const TvMatrix* matrix);
void MV2UpdateMTrails();
void MV2DrawMTrails(TvCamera* camera);

// The active trails, newest first, and the number of live points, for tests.
MV2MTrail* MV2FirstMTrail();
MV2MTrail* MV2NextMTrail(MV2MTrail* trail);
int32_t MV2LiveMTrailPoints();
