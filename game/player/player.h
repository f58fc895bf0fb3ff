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

struct TpClump;
// Turns and bakes a pickup model (types 439 to 460) after loading.
void MV2PreparePickupModel(TpClump* clump, int32_t type);
// About 40 x radius bubbles within the radius of a position (f32[3]).
void MV2SpawnBubbles(const float* position, float radius);

// A tool carried by a craft, in its owner's tool list.
struct MV2Tool; // game/player/tools.h
// The fall-back of every tool handler: answers 3, 57, 59 and 88.
int32_t MV2DefaultToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
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

// The player's own sub (kept while another craft is controlled), or null when it is dead.
MV2Object* MV2GetPlayerSub();
// Restores the player's sub to full hull, ammunition and tool charges.
void MV2RefillPlayerSub();
// Puts the player's sub on its docking anchor, read from the scene first when asked.
void MV2PlacePlayerSubAtAnchor(int32_t setFrame, int32_t readAnchor);

// Level start: the command system, the commanded object and the player's craft.
int32_t MV2InitialiseCommandSystem();
void MV2SetSelectedObject(MV2Object* object);
// Creates the player's sub at the level's start point; 0 when it could not be made.
int32_t MV2SpawnPlayer();

// Hands control back to the player's own craft when another one is controlled.
void MV2TakeControlOfCraft();
// Carries out a command of the command table.
void MV2ExecuteCommand(int32_t command);

// A command to the object's tool of a kind; non-zero when such a tool handled it.
intptr_t MV2SendToolCommand(MV2Object* object, int32_t kind, int32_t command, intptr_t parameter,
                            void* out);
// Until the player module exists: the object that MV2GetPlayerObject and MV2GetPlayerSub
// answer, which tests set.
extern MV2Object* gMV2PlayerPlaceholder;
// Calls of the HUD and radar.
struct MV2HudElement;
float MV2GetCraftDepthLimit(MV2Object* object);
// The strongest radiation reading near the object.
float MV2ReadGeiger(MV2Object* object);
int32_t MV2InitialiseWeaponSystem();
void MV2ClearAwardCounters();
MV2Object* MV2GetSelectedObject();
void MV2SetTargetedObject(MV2Object* object);
// The weapon and tool panels of the HUD layouts draw their own elements.
void MV2DrawWeaponPanel(MV2Object* sub, const MV2HudElement* element);
void MV2DrawToolPanel(MV2Object* sub, const MV2HudElement* element);
// The player module's flag that shows targets of hidden types on the radar.
int32_t MV2PlayerRevealsHiddenTargets();
// Bubble bursts and debris pieces of the bolt weapon's module.
void MV2BreakIntoDebris(MV2Object* object, int32_t still);
// Puts a collectable object into the hold of the craft's suck-up tool; 0 when it cannot.
int32_t MV2SuckUpTake(MV2Object* craft, MV2Object* object);
struct TvFrame;
// The light-link list of the spotlight shafts.
void MV2LightLinkAdd(TvFrame* frame, float* data, uint32_t handle);
void MV2LightLinkRemove(uint32_t handle);
