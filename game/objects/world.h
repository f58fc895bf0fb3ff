// The object system and the level as the shell drives them: objects, level loading, the
// current level, the day clock, water and fog, sky and the mission timers.
#pragma once

#include <cstdint>

struct MV2Object;

inline constexpr uint32_t kMV2TitleLevel = 0xFFFFFF;

// Game objects.
void MV2DestroyAllObjects();
int32_t MV2InitialiseObjects();
void MV2ShutdownObjects();
// Destroys and respawns the objects of one level record.
void MV2DestroyLevelRecordObjects(uint32_t recordId);
void MV2RespawnLevelRecordObjects(uint32_t recordId);
// The object with a script id, or null.
MV2Object* MV2FindObjectByScriptId(uint32_t scriptId);
// 1 while the handle still names the object.
int32_t MV2IsObjectAlive(const MV2Object* object, uint32_t handle);
uint32_t MV2GetObjectHandle(const MV2Object* object);
intptr_t MV2SendObjectMessage(MV2Object* object, int32_t message, intptr_t parameter);

// Levels.
int32_t MV2LoadLevel(uint32_t levelId, int32_t option);
uint32_t MV2GetCurrentLevelId();
void MV2ClearLevelSwitches();
void MV2ResetDayClock();
void MV2RecreateMissionTimers();
// Moves the player to the start-point object of a script id.
void MV2MovePlayerToStart(uint32_t scriptId);

// The game's engine plug-ins; each attach returns 1, or 0 when it failed.
int32_t TpCustonLightPluginAttach();
int32_t TpAtomicCollDataPluginAttach();
int32_t TpAtomicDataPluginAttach();
int32_t TpClumpDataPluginAttach();
int32_t TpFrameTagPluginAttach();
