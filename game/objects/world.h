// The object system and the level as the shell drives them: objects, level loading, the
// current level, the day clock, water and fog, sky and the mission timers.
#pragma once

#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/sky.h"

#include <cstdint>

inline constexpr uint32_t kMV2TitleLevel = 0xFFFFFF;

// Game objects of level records.
// Destroys and respawns the objects of one level record.
void MV2DestroyLevelRecordObjects(uint32_t recordId);
void MV2RespawnLevelRecordObjects(uint32_t recordId);

// Levels.
int32_t MV2LoadLevel(uint32_t levelId, int32_t option);
uint32_t MV2GetCurrentLevelId();
void MV2ClearLevelSwitches();
void MV2RecreateMissionTimers();
// Moves the player to the start-point object of a script id.
void MV2MovePlayerToStart(uint32_t scriptId);

// The game's engine plug-ins; each attach returns 1, or 0 when it failed.
int32_t TpCustonLightPluginAttach();
int32_t TpAtomicCollDataPluginAttach();
int32_t TpAtomicDataPluginAttach();
int32_t TpFrameTagPluginAttach();
