// The level gate (type 85): an invisible sphere that takes the player's submarine to another
// level through a cut-scene, with an outer zone that warns the player.
#pragma once

#include <cstdint>

struct MV2Object;

struct MV2LevelGateData {
    uint32_t destination; // level id; its top byte is the level number
    uint32_t innerSet;
    float innerSquared;
    float outerSquared; // 0: no outer zone
};

// Shared by every gate.
struct MV2LevelGateState {
    uint32_t nextWarning; // game clock, ms
    int32_t eventSent;
    int32_t warningsOver; // a passage has started: no more warnings
};
extern MV2LevelGateState gMV2LevelGate;

// The cut-scenes of a passage between two level numbers; all zero when there is none.
struct MV2GatePassage {
    uint32_t cutScene;
    uint32_t objectId;
    uint32_t arrival;
    uint32_t arrivalObject;
};
MV2GatePassage MV2FindGatePassage(uint32_t fromLevel, uint32_t toLevel);

intptr_t MV2LevelGateHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterLevelGateHandler();
