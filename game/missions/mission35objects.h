// The object types beside the row-35 mission: the swelling spore shot (355), the two-leaf
// hatch (392), the glowing mover that runs along a link between two objects (340), and the
// handler of weapon row 24.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TvFrame;
struct MV2WeaponRecord;

inline constexpr int32_t kMV2Weapon83Row = 24;
inline constexpr uint32_t kMV2ShotLifeMs = 5000;

struct MV2SwellingShotData {
    MV2Object* self;
    uint32_t expiry; // ms of the frame clock
    MV2ObjectRef owner;
    TpAtomic* hitAtomic;
    float minimumSize;
    TvV3d start; // where it was made; it swells with the distance flown
};

// States of the hatch.
enum MV2HatchState : int32_t {
    kMV2HatchClosed = 0,
    kMV2HatchClosing = 1,
    kMV2HatchOpen = 2,
    kMV2HatchOpening = 3,
};

struct MV2HatchData {
    int32_t state;
    TvFrame* leaves[2]; // the parts tagged 1 and 2
    TvMatrix saved[2];
    float angle; // degrees open
};

// What a mover is given with message 12: the two ends and the distance to run.
struct MV2MoverLinkRecord {
    MV2Object* from;
    MV2Object* to;
    MV2ObjectHandle fromHandle;
    MV2ObjectHandle toHandle;
    float length;
};

struct MV2MoverData {
    MV2ObjectRef owner;
    float distance;
    int32_t linked;
    MV2ObjectRef from;
    MV2ObjectRef to;
    float length;
    MV2ObjectRef light;
};

intptr_t MV2Type355Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2Type392Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2Type340Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2Weapon83Handler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterMission35ObjectHandlers();
