// Level switches: one 32-bit word of switch bits saved with the game, each switch with an
// action on the level records of its level; the wall sets that level 0 steps through; the
// signal beacon (type 374) and the hidden anchor (type 433).
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/objects/objects.h"

inline constexpr size_t kMV2LevelSwitchStateSize = 4;
inline constexpr int32_t kMV2LevelSwitches = 27;
inline constexpr int32_t kMV2WallSets = 21;
inline constexpr int32_t kMV2WallSlots = 4;
inline constexpr int32_t kMV2WallType = 363;
inline constexpr int32_t kMV2SignalBeaconType = 374;
inline constexpr int32_t kMV2HiddenAnchorType = 433;
inline constexpr float kMV2LevelSwitchParameter = 12.0f;

enum MV2LevelSwitchKind : uint32_t {
    MV2_SWITCH_DESTROY = 0, // destroy the object with the script id
    MV2_SWITCH_SPAWN = 1,   // spawn the record
    MV2_SWITCH_SIGNAL = 2,  // message 79 with the switch parameter
    MV2_SWITCH_OWN = 3,     // the switch's own action
};

struct MV2LevelSwitchEntry {
    uint32_t levelId; // level in the top byte, 0xFFFFFF below
    uint32_t id;      // script or record id
    uint32_t kind;
};
extern const MV2LevelSwitchEntry kMV2LevelSwitchTable[kMV2LevelSwitches];

// The switch word and the parameter that kind-2 actions hand over.
extern uint32_t gMV2LevelSwitches;
extern float gMV2LevelSwitchParameter;

void MV2ResetLevelSwitches();
void MV2SetLevelSwitch(int32_t index, int32_t runAction);
void MV2ClearLevelSwitch(int32_t index);
int32_t MV2TestLevelSwitch(int32_t index);
// The switch word's address and its size (4).
void MV2GetLevelSwitchState(void** address, size_t* size);
// The switch word as the save games store it: 4 bytes, little-endian.
void MV2GetLevelSwitchState(uint8_t* out);
void MV2SetLevelSwitchState(const uint8_t* state);
void MV2RunLevelSwitchAction(int32_t index);

enum MV2WallSetState : int32_t {
    MV2_WALLSET_TO_LOAD = 0,
    MV2_WALLSET_LOADED = 1,
    MV2_WALLSET_WAITING = 2,
    MV2_WALLSET_PASSED = 3,
};

struct MV2WallSet {
    uint32_t id; // 0x1DB..0x1EF
    int32_t state;
    uint32_t items[kMV2WallSlots];
    int32_t next; // 0 after the last
};
extern MV2WallSet gMV2WallSets[kMV2WallSets];
// The current set's wall objects.
extern MV2ObjectRef gMV2WallSlots[kMV2WallSlots];

// The collision file of a wall item, or null.
const char* MV2WallCollisionFile(uint32_t itemId);

int32_t MV2FreeWallSets();
void MV2RemoveWallSets();
void MV2LoadWallSets();
void MV2ReloadWallSets();
int32_t MV2GetActiveWallSet();
void MV2SelectWallSet(int32_t index);
void MV2ForAllWallSetClumps();

struct MV2SignalBeaconData {
    MV2Object* linked;
    int32_t state; // 0, 1 blinking, 2
    uint32_t nextBlink; // ms
};
intptr_t MV2SignalBeaconHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2HiddenAnchorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
