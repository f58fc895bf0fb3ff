// The player's craft: the controlled object and the player's own sub, the spawn, the player
// brain that turns the controls into submarine messages, the brain of the dead craft, the
// equipment level, the alternate thrust mode and two small companion object types.
#pragma once

#include <cstdint>

struct MV2Object;

// The craft under the player's control (null when its handle died; the reference clears).
MV2Object* MV2GetPlayerObject();
// The player's own submarine, kept during a hand-over (null when its handle died).
MV2Object* MV2GetPlayerSub();
// Missions, the hand-over and tests set them; null clears.
void MV2SetPlayerObject(MV2Object* object);
void MV2SetPlayerSub(MV2Object* object);

// Creates the player's craft at the level's start point; 0 when it could not be made.
int32_t MV2SpawnPlayer();

// A negative level sets 0.
void MV2SetEquipmentLevel(int32_t level);
int32_t MV2GetEquipmentLevel();
void MV2SetAltThrustControl(uint32_t on, int32_t store, int32_t announce);
uint32_t MV2GetAltThrustControl();
// Set by the multiplayer level start: the movement controls are ignored while set.
void MV2SetMultiplayerFreeze(uint32_t on);
// The depth limit word of the craft's type for the current mission (0 without a type).
float MV2GetCraftDepthLimit(MV2Object* object);
// The player craft's energy over its type's initial energy (1.0 without a craft).
float MV2GetPlayerHullFraction();

// The owner of the shot that last damaged the player's craft in a multiplayer game; reported
// only while it lives.
void MV2SetLastAttacker(MV2Object* attacker);
MV2Object* MV2GetLastAttacker();

// The control-state byte of this frame (bit 7 dead or not in play), which the network game
// sends as the local state, and the hurt-flash end (game ms). The brain rebuilds the byte every
// frame; the level and session starts set it in between.
uint8_t MV2GetPlayerControlState();
void MV2SetPlayerControlState(uint8_t state);
int32_t MV2GetHurtFlashEnd();

intptr_t MV2PlayerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2DeadPlayerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2MessageTriggerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SpinPropHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

// Puts the handlers of the player's own object types (shots, debris, companions, groups) into
// the type table and the weapon rows.
void MV2RegisterPlayerHandlers();
