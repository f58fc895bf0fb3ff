// Save games: numbered slot files "MAROVANT.%03d" holding the mission reached, the award
// counters, the player's craft with its weapons and tools, the level switches and the global
// mission state; and the texts of the save screen from ".\DATA\vmulang.dat".
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/missions/missions.h"
#include "game/objects/levelswitch.h"
#include "game/player/player.h"

inline constexpr size_t kMV2SaveNameSize = 16;
inline constexpr int32_t kMV2SaveSlots = 1000;
inline constexpr int32_t kMV2SubMounts = 4; // weapon mounts of a submarine record
// No record the game writes comes near this; a longer one is not a save.
inline constexpr uint32_t kMV2MaxSaveRecord = 64 * 1024;
inline constexpr size_t kMV2SaveTextFields = 19;
inline constexpr size_t kMV2SaveTextFieldSize = 32;
inline constexpr size_t kMV2SaveTextSize = kMV2SaveTextFields * kMV2SaveTextFieldSize; // 608
inline constexpr uint32_t kMV2SaveStatsColour = 0xFFE0E0E0;
inline constexpr float kMV2SaveIndicatorSeconds = 3.0f;

// The record of a save file, in stored order.
struct MV2SaveRecord {
    char name[kMV2SaveNameSize]; // always terminated once read
    int32_t missionRow;
    int32_t counter0; // award slot 0, counter 0
    int32_t counter2; // award slot 0, counter 2
    int32_t equipmentLevel;
    float hullFraction;
    int32_t counter1; // award slot 0, counter 1
    uint8_t levelSwitches[kMV2LevelSwitchStateSize];
    uint8_t missionState[kMV2MissionStateSize];
    int32_t subType;
    MV2PlayerLoadout loadout;
    MV2Script41State script41;
};

struct MV2SaveHeader {
    int32_t slot;
    int32_t missionRow;
    int32_t counter0;
    int32_t counter2;
};

struct MV2SaveState {
    int32_t currentSlot; // -1 until a game is saved or loaded
    char currentName[kMV2SaveNameSize];
    int32_t loading;
    int32_t savingForbidden; // set by the fatal-warning screen
    MV2SaveHeader header;    // of the slot last read
    char texts[kMV2SaveTextFields][kMV2SaveTextFieldSize];
    float indicatorCountdown; // seconds the save icon still blinks
    uint32_t clockMs;
    int32_t clockFlag; // set until the clock passes 5000 ms
};
extern MV2SaveState gMV2Save;

// "MAROVANT.%03d"; `out` holds at least 16 bytes.
const char* MV2SaveFileName(int32_t slot, char* out, size_t size);

// Builds the record from the game's state; 0 without a player craft.
int32_t MV2CollectSaveRecord(MV2SaveRecord* out);
// Writes the slot file through a temporary file, so a failed write keeps the old save.
int32_t MV2WriteSaveRecord(int32_t slot, const MV2SaveRecord* record);
// Reads and parses the slot file; 0 when it is missing, too long or cut short.
int32_t MV2ReadSaveRecord(int32_t slot, MV2SaveRecord* out);
// Parses a record of `length` bytes; 0 when it ends before its last field.
int32_t MV2ParseSaveRecord(const uint8_t* data, size_t length, MV2SaveRecord* out);
// 1 when every row, slot, mount and kind of the record names something that exists. The sub
// type is not checked: selecting a type that no record has selects the first record.
int32_t MV2CheckSaveRecord(const MV2SaveRecord* record);

int32_t MV2SaveGame(int32_t ignored, int32_t slot, const char* name);
int32_t MV2LoadGame(int32_t slot);
void MV2AutoSave();
int32_t MV2ReadSaveName(int32_t slot, char* out);
int32_t MV2ReadSaveHeader(int32_t slot);

// The rank title of the first (set non-zero) or second set for a score, or null below 0.
const char* MV2RankTitle(int32_t score, int32_t set);
void MV2DrawSaveStats(int32_t x, int32_t y);
int32_t MV2LoadSaveScreenText();
void MV2UpdateSaveClock();
