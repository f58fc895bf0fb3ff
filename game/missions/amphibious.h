// The amphibious craft (type 84): a submarine that unfolds six wheels on arms and drives on
// land, layered in front of the shared submarine handler; and the mode-switch tool that folds
// and unfolds it.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/creatures/submarines.h"

struct TvFrame;

// Craft modes.
inline constexpr uint32_t kMV2CraftSwimming = 0;
inline constexpr uint32_t kMV2CraftFolding = 1;
inline constexpr uint32_t kMV2CraftOnLand = 2;
inline constexpr uint32_t kMV2CraftUnfolding = 3;

inline constexpr int32_t kMV2CraftFrames = 20;
inline constexpr int32_t kMV2CraftWheels = 6;

// Frame slots of the craft record.
inline constexpr int32_t kMV2CraftMuzzleFrame = 0; // tag 500
inline constexpr int32_t kMV2CraftBodyFrame = 1;   // tag 13
inline constexpr int32_t kMV2CraftHingeFrame = 2;  // tags 2..7, then 8..12 in slots 8..12
inline constexpr int32_t kMV2CraftWheelFrame = 13; // tags 21..26

// The land craft's record behind the submarine data; the submarine data's extension points at
// it, so that code using the mount sees its first frame.
struct MV2AmphibiousCraft {
    TvFrame* frames[kMV2CraftFrames];
    uint32_t onGround; // a bit per wheel
    TvV3d motion;
    float spare[2];
    float bodyHeight;
    float wheelRadius;
    uintptr_t engineSound;
    uint8_t savedTypeByte; // low byte of the definition's special flags
    uint32_t mode;
    uint32_t modeStart; // game ms
    uint32_t stage;     // 0..2 of the fold and unfold animations
    float steering;     // degrees, -30..30
    uint32_t pushLock;  // game ms
    intptr_t attractor;
    uint32_t surfacingTime; // game ms
    // Suspension and animation state.
    float upSpeed;       // along the craft's up axis at the last update
    float upSpeedChange; // since the update before
    TvV3d groundNormal;  // sum over the wheels in contact this update
    float wheelRest[kMV2CraftWheels];  // wheel frames' heights at creation
    float wheelFrom[kMV2CraftWheels];  // their heights when unfolding began
    float hingeAngle[kMV2CraftWheels]; // degrees each hinge is folded
    uint32_t pairsFolded; // a bit per hinge pair
};

struct MV2AmphibiousData {
    MV2SubData sub;
    MV2AmphibiousCraft craft;
};

// Set by missions to keep the craft in its mode.
extern int32_t gMV2AmphibiousModeLock;

intptr_t MV2AmphibiousCraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Places one wheel against the ground below its hinge and pushes the body with the ground's
// reaction; 1 when the wheel touches ground.
int32_t MV2CraftWheelContact(MV2Object* craft, MV2AmphibiousCraft* record, TvFrame* hinge,
                             TvFrame* wheel, int32_t direction);
int32_t MV2ModeSwitchToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterAmphibiousHandlers();
