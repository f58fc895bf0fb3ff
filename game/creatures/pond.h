// The pond level's creatures: the pond creature boss (type 243), a puppet at the surface with
// two stinger sacks that must be shot off before its body can be hurt; the pond skater (337);
// and the rotor submarine (83) with four spinning parts.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TvFrame;
struct MV2PuppetNodeInstance;

inline constexpr int32_t kMV2PondStingers = 6;

struct MV2PondState {
    MV2Object* creature;
    int32_t state;
    uint32_t deadline; // game ms
    float speed;
    TvV3d anchor;
    TvV3d strafe;
    TvV3d initial;
    const TvV3d* returnPoint;
    const TvV3d* lookPoint;
    MV2ObjectRef returnObject, lookObject; // the objects the two points belong to
    float body;
    float floatHeight;
    float lunge;
    int32_t volleys;
    int32_t shots;
    float leftSack, rightSack;
    MV2PuppetNodeInstance* leftSackNode;
    MV2PuppetNodeInstance* rightSackNode;
    int32_t corridor;
    MV2ObjectRef corridorCentre;
    float halfWidth;
    MV2ObjectRef stingers[kMV2PondStingers];
};

struct MV2PondSkaterData {
    int32_t state;
    uint32_t deadline; // game ms
    float heading;     // degrees
    TvV3d home;
    TvV3d destination;
    MV2ObjectRef target;
};

struct MV2RotorSubBlock {
    TvFrame* rotors[4];
    int32_t spinning;
    void* brainData;
};

intptr_t MV2PondyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2PondSkaterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2PondSkaterStrokeCallback(TpAtomic* atomic, float position);
// The skater's stroke rule: 0 after key 4, else k + 1; -1 past key 5.
int32_t MV2SkaterNextKey(int32_t k);
intptr_t MV2RotorSubHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

const MV2PondState& MV2GetPondState();
int32_t MV2CountPondStingers();
void MV2ResetPond();
void MV2RegisterPondHandlers();
