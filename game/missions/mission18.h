// Mission row 18: the beam carrier with its guards travels fifteen stages and burns targets;
// the player wins by destroying the carrier and every guard. Type 169 is the burnable target.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2SubAIData;

inline constexpr int32_t kMV2Mission18StageCount = 15;
inline constexpr int32_t kMV2Mission18Guards = 4;

struct MV2Mission18Stage {
    uint32_t waypoint;
    uint32_t startPost; // 0: a plain waypoint
    uint32_t endPost;
    int32_t sweepMs;
    uint32_t target; // 0: none
};
extern const MV2Mission18Stage kMV2Mission18Stages[kMV2Mission18StageCount];

struct MV2Mission18State {
    uint32_t arrivedOnce;
    uint32_t missionOver;
    uint32_t escortLeft;
    uint32_t escortWentHome;
    uint32_t carrierDestroyed;
    MV2ObjectRef carrier;
    MV2ObjectRef guards[kMV2Mission18Guards];
    int32_t guardsAlive;
    MV2ObjectRef waypoint;
    TvV3d beamStart, beamDelta, beamEnd;
    uint32_t stageStartMs;
    int32_t stageTimeMs;
    int8_t stageIndex;
    MV2ObjectRef burnTarget;
    MV2ObjectRef meetingPost;
    uint32_t beamId;
    int32_t searchMs;
    uintptr_t carrierSound;
    uint32_t carrierSoundOn;
    uint32_t musicOnConsole;
};
extern MV2Mission18State gMV2Mission18;

MV2SubAIData* MV2Mission18SpawnGuard(int32_t slot, const TvV3d& position);
intptr_t MV2BurnTargetHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterMission18Handlers();
