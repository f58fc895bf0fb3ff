// Switches, sockets, lifts and puzzle objects: floor switches pressed by heavy objects, crystal
// sockets and crystals, lifts, turning wheels, the fuse holder, the scales with their pan and
// weights, the link tag, the lighting zone and the spore shield.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

struct TpLight;
struct TvFrame;
struct MV2PlasmaBeam;

struct MV2FloorSwitchData {
    MV2ObjectCallback callback;
    TvV3d home;
    uint32_t bits; // bit 0 pressed this frame, bit 1 the pressed state last reported
};

struct MV2CrystalSocketData {
    MV2ObjectRef crystal;
    MV2ObjectCallback callback;
    uint32_t filled;
};

struct MV2CrystalData {
    TvV3d hold;
    uint32_t held;
    uintptr_t sound;
};

struct MV2LiftData {
    MV2ObjectCallback callback;
    float base; // height
    uint32_t arrived;
    uint32_t started;
    MV2ObjectRef signal; // the mission's: told 11 (0) above base + 10
    MV2ObjectRef cogs[2]; // the mission's
    uintptr_t sounds[2];
    MV2ObjectRef rider;
};

struct MV2RotatorData {
    float speed; // degrees per frame step, written by the mission
    float angle; // 0..360
    float stopAngle; // 0 none, written by the mission
    uintptr_t sound;
    TvMatrix saved;
};

struct MV2FuseHolderData {
    MV2ObjectRef lights[2];
    TvV3d poles[2];
    MV2ObjectRef fuse;
    MV2ObjectCallback callback;
    MV2PlasmaBeam* beams[2];
    TpLight* light;
};

inline constexpr int32_t kMV2WeightTypes = 7; // 315..321

struct MV2ScalesData {
    MV2ObjectRef owner;
    MV2ObjectCallback callback;
    MV2ObjectRef pans[2]; // types 311 and 312
    TvFrame* panFrames[2]; // tags 1 and 2
    float tilt; // degrees
    TvV3d home;
    struct Weight {
        uint32_t placed;
        MV2ObjectRef object;
        TvV3d offset; // from pan B
    } weights[kMV2WeightTypes];
};

struct MV2LinkTagData {
    MV2ObjectRef owner;
    intptr_t link;
    intptr_t stored;
};

struct MV2LightingZoneData {
    float reach; // squared
    float radius;
    float inverseRadius;
    float factorA;
    TvV3d colourA;
    float factorB;
    TvV3d colourB;
    uint32_t blendWithCurrent;
    uint32_t cameraBlend;
};

// The value of a weight type (315..321), 0 for others.
float MV2WeightValue(int32_t type);
// The single scales' record.
MV2ScalesData* MV2GetScales();

intptr_t MV2FloorSwitchHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2CrystalSocketHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2CrystalHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LiftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2RotatorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2FuseHolderHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2ScalesHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2ScalePanHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2WeightHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LinkTagHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LightingZoneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SporeShieldHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterSwitchHandlers();
