// Submarine selection and load-out: the seven craft records with their weapons, tools and mount
// alternatives, equipping and refilling the player's craft, the console anchor and display
// sway, the award counters, and the load-out a save game stores.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2SubDefinition;
struct MV2WeaponList;
struct MV2ToolList;

inline constexpr int32_t kMV2SubRecords = 7;
inline constexpr int32_t kMV2SubRecordWords = 57;
inline constexpr uint32_t kMV2EmptyLoadoutEntry = 0xff00ffffu;
inline constexpr int32_t kMV2ToolIconCount = 15;

// An entry: (required equipment level << 24) | item id (a HUD icon number).
inline constexpr uint32_t MV2LoadoutEntry(uint32_t level, uint32_t item) {
    return (level << 24) | item;
}

// One craft record; word 1 is the presentation video's name, the other words are numbers.
struct MV2SubRecord {
    int32_t type;                // word 0
    const char* video;           // word 1
    int32_t console[2];          // words 2, 3
    int32_t texts[4];            // words 4-7
    int32_t ratings[3];          // words 8-10
    int32_t zero;                // word 11
    int32_t weaponCount;         // word 12
    uint32_t weapons[4];         // words 13-16
    int32_t weaponMounts[4];     // words 17-20
    int32_t toolCount;           // word 21
    uint32_t tools[7];           // words 22-28
    int32_t consoleValues[4];    // words 29-32
    uint32_t alternatives[4][5]; // words 33-52, group k for mount k
    uint32_t chosen[4];          // words 53-56
};

// The numeric words by number (0 for word 1 and outside 0..56); the console screens use them.
int32_t MV2GetSubRecordWord(const MV2SubRecord* record, int32_t word);
void MV2SetSubRecordWord(MV2SubRecord* record, int32_t word, int32_t value);
MV2SubRecord* MV2GetSubRecord(int32_t index);
MV2SubRecord* MV2GetCurrentSubRecord();
int32_t MV2GetCurrentSubRecordIndex();

// The weapon slot of a weapon item and the tool kind of a tool item; -1 when in no table.
int32_t MV2WeaponSlotOfItem(uint32_t item);
int32_t MV2ToolKindOfItem(uint32_t item);

// With a type: selects its record (record 0 when none has it) and makes the controlled craft
// that type; the craft (or the console's screen object). With -1: restores every record's
// default choices; the current record.
void* MV2SelectSub(int32_t type);
int32_t MV2GetCurrentSubType();
int32_t MV2EquipPlayerSub(MV2Object* craft);
void MV2RefillPlayerSub();
void MV2PlacePlayerSubAtAnchor(int32_t setFrame, int32_t readAnchor);
void MV2SwaySubDisplay(MV2Object* object);

// Three award slots of four counters: kills, award bits, collected value, a plain value.
void MV2AddAwardCounter(int32_t slot, int32_t counter, int32_t amount);
void MV2SetAwardCounter(int32_t slot, int32_t counter, int32_t value);
void MV2GetAwardCounter(int32_t slot, int32_t counter, int32_t* out);
void MV2ClearAwardCounters();

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
    int32_t word; // the tool's second word when it is a number, else 0
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

// Reads the lists of the player's craft (empty without one).
void MV2GetPlayerLoadout(MV2PlayerLoadout* out);
// Removes every weapon and tool of the player's craft and adds the saved ones; entries whose
// slot, mount or kind no craft carries are refused.
void MV2SetPlayerLoadout(const MV2PlayerLoadout* loadout);
// The same on given lists (the owner may be null); the number of entries refused.
int32_t MV2ApplyLoadout(MV2WeaponList* weapons, MV2ToolList* tools, void* ownerData,
                        const MV2SubDefinition* definition, MV2Object* owner,
                        const MV2PlayerLoadout* loadout);
