// Mission row 9: defending an object against fifteen raiders.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2Mission9Slots = 4;

struct MV2Mission9State {
    uint32_t playerThreatened; // the player attacked a raider since the last check
    uint32_t defenceJoined;
    uint32_t craftANear;
    uint32_t craftAWentHome, secondWentHome;
    uint32_t wavesDone;
    uint32_t missionClosed;
    int32_t raidersLive;
    int32_t raidersSpawned;
    int32_t awayMs;
    MV2ObjectRef second; // the second friendly craft
    MV2ObjectRef defendTarget;
    MV2ObjectRef raiders[kMV2Mission9Slots];
    float craftALastEnergy, secondLastEnergy;
};
extern MV2Mission9State gMV2Mission9;

// A raider into the slot (-1: the first free) at the place (null: the default place); 1 when
// one was created.
int32_t MV2Mission9SpawnRaider(int32_t slot, MV2Object* place);
