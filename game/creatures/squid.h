// The squid boss (type 266): a puppet boss that holds the player in front of itself, swipes with
// four tentacles, squirts ink and dies when the four boils on its tentacles are destroyed; the
// ink clouds (a pooled effect updated each frame and drawn by the frame render), the ink emitter
// (type 409) and the beacon buoy (type 134).
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/creatures/creatures.h"
#include "game/objects/objects.h"

struct TvCamera;
struct TvFrame;
struct MV2PuppetNodeInstance;

struct MV2SquidBoil {
    float hitPoints;
    const char* nodeName;
    MV2PuppetNodeInstance* node;
    const char* deathAnimation;
    int32_t dead;
    float swipeTimer; // seconds
    int32_t swipePending;
};

struct MV2SquidState {
    int32_t introPlayed;
    float attackTimer; // seconds
    int32_t inkOn;
    float inkEmission; // seconds
    float inkDuration; // seconds
    TvV3d inkDirection;
    uintptr_t inkSound;
    MV2SquidBoil boils[4];
};

struct MV2InkCloud {
    MV2InkCloud* next;
    MV2InkCloud* previous;
    float size;
    float life; // seconds
    TvV3d position;
    TvV3d velocity;
};

struct MV2InkEmitter {
    float phase; // radians
    float emission; // seconds
    uintptr_t sound;
};

struct MV2BeaconBuoy {
    int32_t anchored;
    int32_t hold;
    int32_t targetSet;
    TvV3d point; // the anchor or the target point
    MV2ObjectRef light;
    TvFrame* lightFrames[4]; // tagged 2 to 5
};

MV2SquidState* MV2GetSquidState();
void MV2ResetSquid();
// The tentacle (0..3) a sub at (x, y) in the squid's space is struck with; `coin` picks
// between the two of a quadrant.
int32_t MV2SquidTentacleFor(float x, float y, uint32_t coin);
intptr_t MV2SquidBossHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

// Ends every live cloud (level end).
void MV2ClearInkClouds();
// A new cloud; null when none can be had.
MV2InkCloud* MV2EmitInkCloud(const TvV3d& position, const TvV3d& velocity, float size, float life);
// The live clouds' list head (a circular list), for tests.
const MV2InkCloud* MV2InkCloudHead();
int32_t MV2CountInkClouds();

intptr_t MV2SquidInkHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2BeaconBuoyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

void MV2RegisterSquidHandlers();
