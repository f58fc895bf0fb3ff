// Machinery props: props that turn for a set time (or until hit), a pressure plate, a pusher
// and the hidden-object handler other modules install over an object's own.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

inline constexpr uint32_t kMV2TurnForEver = 0x7FFFFFFF;

struct MV2TurningPropData {
    uint32_t until;    // game ms
    uint32_t duration; // ms; kMV2TurnForEver: until told to stop
    uint32_t running;
    float speed; // degrees per frame step
    float angle; // degrees, 0 <= angle < 360
    MV2ObjectCallback notify;
    uintptr_t sound;
    uint32_t forEver; // set by a start with the for-ever duration
};

struct MV2PressurePlateData {
    uint32_t until; // game ms
    float restHeight;
    MV2ObjectCallback notify;
};

struct MV2PusherData {
    uint32_t active;
    uint32_t goingOut;
    float offset;
    TvV3d base;
    uintptr_t sound;
    float amplitude;
    float speed;
};

intptr_t MV2TurningPropHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2PressurePlateHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Sets a pusher's stroke (types 279 and 306); 0 when the object is not a pusher.
int32_t MV2SetPusherAmplitude(MV2Object* pusher, float amplitude);
intptr_t MV2PusherHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2HiddenObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterMachineryPropHandlers();
