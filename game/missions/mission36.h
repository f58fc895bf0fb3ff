// Mission row 36: the raid into level 1 with escorts, lock and gate switches, the reinforced
// raider against the countdown and the escape under flak back to the city.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct MV2Mission36State {
    uint32_t lastReminderMs;
    uint32_t routeState; // post of the raider patrol: 0, 0x01060009, 0x0106000A or 0x01060012
    uint32_t level1Reminded;
    uint32_t lockSwitch1, lockSwitch2, lockSwitch3;
    uint32_t locksDone;
    uint32_t gateSwitchA, gateSwitchB;
    uint32_t patrolStopped;
    uint32_t bonusHintGiven;
    uint32_t ambushDone;
    uint32_t escapeStarted;
    MV2ObjectRef escorts[2];
    MV2ObjectRef raiders[7];
    uint32_t respawnAtMs[7]; // 0: seen empty not yet; 1 at start: at once
};
extern MV2Mission36State gMV2Mission36;

void MV2Mission36SpawnRaider(uint32_t postId, int32_t slot, int32_t mode, MV2Object* guardTarget);
void MV2Mission36SpawnEscort(uint32_t postId, int32_t index, int32_t mode);
void MV2Mission36PlaceLeadCraft(uint32_t postId, int32_t mode);
void MV2Mission36LockSwitchHit(MV2Object* object, int32_t value);
void MV2Mission36GateSwitchHit(MV2Object* object, int32_t value);
