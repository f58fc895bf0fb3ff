// Electric arcs: crackling three-strand bolts between two ends (objects or points, or above and
// below one object) that jump to the player's craft when it comes between them; and the random
// interval table the flickering lights read.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;

inline constexpr int32_t kMV2ElectricArcs = 10;
inline constexpr int32_t kMV2ArcStrandVertices = 47;
inline constexpr int32_t kMV2ArcStrandIndices = 180;

// Flags of MV2CreateElectricArc.
inline constexpr uint32_t kMV2ArcPair = 0x01;       // end A 30 above the object, end B 30 below
inline constexpr uint32_t kMV2ArcPointA = 0x02;     // end A is the caller's point
inline constexpr uint32_t kMV2ArcPointB = 0x04;     // end B is the caller's point
inline constexpr uint32_t kMV2ArcFlicker = 0x08;
inline constexpr uint32_t kMV2ArcPairCentre = 0x10; // a pair's end B is the object's centre
inline constexpr uint32_t kMV2ArcNoContact = 0x20;  // never jumps to the player
inline constexpr uint32_t kMV2ArcLit = 0x1000;
inline constexpr uint32_t kMV2ArcShown = 0x2000;
inline constexpr uint32_t kMV2ArcInUse = 0x4000;

struct MV2ElectricArc {
    const TvV3d* endAPosition; // read every frame
    TvV3d endAPoint;           // end A of a pair
    uint32_t endAHandle;
    const TvV3d* endBPosition;
    TvV3d endBPoint; // end B as drawn this frame
    uint32_t endBHandle;
    MV2Object* pairObject;
    uint32_t pairHandle;
    uint32_t phase;     // 0..8191, seed of the strand shapes
    float crackleTimer; // seconds
    uint32_t flags;
};

// Eight random bit masks, refilled every frame (word i is 0..31 x 2^i): the flickering lights'
// intervals in milliseconds.
extern uint32_t MV2RandomPeriodTable[8];

int32_t MV2InitialiseElectricArcs();
// Ends are objects, or the caller's points (kept by pointer) with flags 0x02 and 0x04; a pair
// arc takes one object as end A. The id 1..10, 0 when no slot is free.
uint32_t MV2CreateElectricArc(const void* endA, const void* endB, uint32_t flags);
// Ids outside 1..10 are ignored.
void MV2DestroyElectricArc(uint32_t id);
void MV2HideElectricArc(uint32_t id);
void MV2ShowElectricArc(uint32_t id);
void MV2ClearElectricArcs();
void MV2UpdateElectricArcs();
void MV2RenderElectricArcs();
void MV2RandomiseElectricArcJitter();

// A slot by id (1..10), for tests; null outside.
const MV2ElectricArc* MV2GetElectricArc(uint32_t id);
const uint16_t* MV2ArcStrandIndices();
