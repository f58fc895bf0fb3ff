// Mission props: the valve wheel, the switch family, touch sensors, scraping blocks, and the
// guided missile with its weapon row.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

struct TpAtomic;
struct TvFrame;
struct MV2WeaponRecord;

struct MV2ValveWheelData {
    TpAtomic* shiny; // tag 1
    TpAtomic* wheel; // tag 2
    float angle;     // degrees
    float target;
    MV2ObjectCallback callback; // (wheel, angle as an integer)
    uint32_t nextTurn; // game ms
    uintptr_t sound;
};

struct MV2SwitchData {
    MV2ObjectCallback callback;
    TvMatrix rest;
    uint32_t pressed;
    float travel;
    uint32_t mode; // 0 pressed down, 1 pushed along its forward axis
    uint32_t returning;
    uintptr_t sound;
    int32_t soundId; // 0 none
    TvV3d last;
};

struct MV2TouchSensorData {
    float radius;
    using Callback = void (*)(MV2Object* sensor, MV2Object* toucher);
    Callback callback;
    intptr_t state;
};

struct MV2SlidingBlockData {
    uintptr_t sound;
    TvV3d last;
};

struct MV2GuidedMissileData {
    uint32_t end; // game ms
    MV2ObjectRef launcher;
    uintptr_t sound;
    TvFrame* spinner; // tag 101
    uint32_t exploded;
    float minimumRadius;
    float speed;
    TvV3d guideStart;
    TvV3d guideEnd;
    uint32_t guided;
    TvV3d previous;
};

// Gives the atomic's texture coordinates a shine that follows the main camera.
void MV2SetEnvMapTexCoords(TpAtomic* atomic);

intptr_t MV2ValveWheelHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SwitchHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2TouchSensorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SlidingBlockHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The missile of type 9.
intptr_t MV2GuidedMissileHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Weapon row 0.
intptr_t MV2MissileSlotHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterMissionPropHandlers();
