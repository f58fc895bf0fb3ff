// Industrial turrets, gates and doors: the twin-barrelled defence turret, gates that open for
// pirate craft, the staged iris door and doors of gliding parts.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

struct TvFrame;

struct MV2TwinTurretData {
    uint32_t state; // 0 searching, 1 tracking
    uint32_t nextCheck; // game ms
    uint32_t nextShot;
    float barrelRest; // the barrels' position z at creation
    float pitch;      // degrees
    intptr_t targetFilter; // nonzero: the player's craft is a target too
    MV2ObjectRef target;
    MV2ObjectCallback callback; // called before the first shot
    TvFrame* barrelA; // tag 4
    TvFrame* barrelB; // tag 5
    TvFrame* pitchPart; // tag 3
    TvFrame* yawPart;   // tag 2
};

inline constexpr int32_t kMV2GateLeaves = 8;

struct MV2GateData {
    uint32_t state; // 0 opening, 1 open, 2 closing, 3 closed
    uint32_t automatic;
    float fullAngle; // degrees
    uint32_t start;  // game ms
    uint32_t end;
    float rate; // radians per ms
    TvMatrix saved; // the object's matrix at creation
    int32_t leafCount;
    TvFrame* leaves[kMV2GateLeaves]; // type 248: tags 2 to 9
    TvMatrix leafSaved[kMV2GateLeaves];
};

struct MV2StagedDoorData {
    uint32_t stage; // 0..7; 3 open, 7 closed
    uint32_t start; // game ms
    uint32_t end;
    float boltRest[4]; // x of the bolts of tags 4, 5, 6, 7
    TvV3d savedAt, savedUp, savedRight; // the leaf of tag 2
    TvFrame* leaves[2]; // tags 2 and 3
    TvFrame* bolts[4];  // tags 4, 5, 6, 7
};

struct MV2DoorPartRecord {
    uint32_t state; // 0 opening, 1 open, 2 closing, 3 closed
    uint32_t automatic; // only the first record's counts
    uint32_t start; // game ms
    uint32_t end;
    int32_t startOffset; // ms; for 362 and 410 also the part's direction (0 or 1)
    int32_t endOffset;
    float rate; // pi / (end offset - start offset)
    TvV3d home;
    const TvV3d* axis; // a row of a matrix
    TvV3d* position;
    TvFrame* frame; // flagged as changed when the part moves
    TvV3d target; // type 362: set by message 24
    uint32_t hasTarget;
    float travel;
    uintptr_t sound; // type 341
};

inline constexpr int32_t kMV2DoorPartsOf247 = 6;

struct MV2TwoPartDoorData {
    MV2DoorPartRecord parts[2];
};

intptr_t MV2TwinTurretHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2GateHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StagedDoorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2MultiPartDoorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The move record of a gate (types 248 and 346), or null for any other object.
MV2GateData* MV2GateRecord(MV2Object* object);
// The first part record of a multi-part door (types 244, 247, 341, 362, 410), or null.
MV2DoorPartRecord* MV2DoorPartRecords(MV2Object* object);
// Moves one door part along its half-cosine curve; 1 when its move is complete.
int32_t MV2DoorPartStep(MV2DoorPartRecord* record, float travel);
void MV2RegisterIndustrialHandlers();
