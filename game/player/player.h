// The player: the controlled craft, its award counters, sub type, equipment level and the
// load-out of weapons and tools that a save game stores.
#pragma once

#include <cstdint>

struct MV2Object; // a game object

inline constexpr int32_t kMV2WeaponSlots = 28; // rows of the weapon table
inline constexpr int32_t kMV2ToolKinds = 15;   // rows of the tool table
inline constexpr int32_t kMV2MaxLoadoutEntries = 64;

struct MV2SavedWeapon {
    int32_t slot;       // weapon table row
    int32_t ammunition; // the entry's ammunition word
    int32_t mount;
};

struct MV2SavedTool {
    int32_t kind; // tool table row
    int32_t word; // the tool's second word
};

// The weapon and tool lists of the player craft in list order, with the current ones.
struct MV2PlayerLoadout {
    int32_t numWeapons;
    MV2SavedWeapon weapons[kMV2MaxLoadoutEntries];
    int32_t currentWeaponSlot;
    int32_t numTools;
    MV2SavedTool tools[kMV2MaxLoadoutEntries];
    int32_t currentTool;
};

// The object under the player's control, or null.
MV2Object* MV2GetPlayerObject();
void MV2GetAwardCounter(int32_t slot, int32_t counter, int32_t* out);
void MV2SetAwardCounter(int32_t slot, int32_t counter, int32_t value);
int32_t MV2GetCurrentSubType();
void MV2SelectSub(int32_t subType);
int32_t MV2GetEquipmentLevel();
void MV2SetEquipmentLevel(int32_t level);
// The player craft's energy over its type's initial energy.
float MV2GetPlayerHullFraction();
void MV2GetPlayerLoadout(MV2PlayerLoadout* out);
// Removes every weapon and tool of the player craft and adds the given ones (each weapon by
// slot and mount, then its ammunition word), then sets the current weapon slot and tool.
void MV2SetPlayerLoadout(const MV2PlayerLoadout* loadout);

// Hands control back to the player's own craft when another one is controlled.
void MV2TakeControlOfCraft();
// Carries out a command of the command table.
void MV2ExecuteCommand(int32_t command);

// Bubble bursts and debris pieces of the bolt weapon's module.
void MV2SpawnBubbles(const float* position, float radius);
void MV2BreakIntoDebris(MV2Object* object, int32_t still);
// Puts a collectable object into the hold of the craft's suck-up tool; 0 when it cannot.
int32_t MV2SuckUpTake(MV2Object* craft, MV2Object* object);
struct TvFrame;
// The light-link list of the spotlight shafts.
void MV2LightLinkAdd(TvFrame* frame, float* data, uint32_t handle);
void MV2LightLinkRemove(uint32_t handle);
