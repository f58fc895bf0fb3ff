// The weapon system: the weapon table, the weapon list a craft carries, firing, the default
// answers to weapon messages, the damage rule every hit goes through, and the small launchers.
#pragma once

#include <cstdint>

#include "game/player/tools.h"

struct MV2Object;
struct MV2SubDefinition;
struct MV2CreationRecord;
struct MV2WeaponRecord;

inline constexpr int32_t kMV2WeaponRows = 28;
inline constexpr int32_t kMV2NoShotType = 461;

using MV2WeaponHandler = intptr_t (*)(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                      intptr_t p2);

// One row of the weapon table.
struct MV2WeaponSlot {
    int32_t shotType; // 461: none, the row handler makes the shot
    int32_t reload;   // ms
    MV2WeaponHandler handler;
    int32_t sound; // 215: none
    int32_t usesAmmunition;
    int32_t muzzleFlash;
};

// One weapon of a list.
struct MV2WeaponRecord {
    MV2WeaponRecord* next; // null after the last
    MV2WeaponRecord* prev; // null before the first
    int32_t slot;          // weapon table row
    void* handlerData;     // the row handler's own record
    int32_t reloadCountdown; // ms
    const MV2WeaponSlot* row;
    int32_t ammunition; // -1 unlimited
    int32_t maximum;    // -1 unlimited
    int32_t mount;
    MV2Object* owner;
    void* ownerData; // the craft's private data (the submarine data), or null
};

// The list a craft keeps in its private data: records in ascending slot order.
struct MV2WeaponList {
    MV2WeaponRecord* first;
    MV2WeaponRecord* last;
    int32_t currentWeaponSlot;
};

// The player's lock-on state, filled by the craft's message 61 each frame.
struct MV2LockOnState {
    uint32_t flags; // bit 0 reticle lock, bit 1 automatic lock
    MV2Object* target;
    float progress; // 1.0 locked
    float range;
    int32_t captureSize;
    uint32_t targetHandle;
};

// The answer record of message 57: {icon, colour}, as the tools answer theirs.
using MV2WeaponIcon = MV2ToolIcon;

// The weapon table's rows and HUD icons.
const MV2WeaponSlot* MV2GetWeaponRow(int32_t slot);
int32_t MV2GetWeaponIcon(int32_t slot);
// Rows whose handlers live in other modules get them here at start-up.
void MV2SetWeaponRowHandler(int32_t slot, MV2WeaponHandler handler);

void MV2InitWeaponList(MV2WeaponList* list);
// Null when the slot is outside the table or the mount outside what the definition carries.
MV2WeaponRecord* MV2AddWeapon(MV2WeaponList* list, void* ownerData,
                              const MV2SubDefinition* definition, int32_t slot, int32_t mount,
                              MV2Object* owner);
int32_t MV2RemoveWeapon(MV2WeaponList* list, int32_t slot);
void MV2RemoveAllWeapons(MV2WeaponList* list);
int32_t MV2SelectWeapon(MV2WeaponList* list, int32_t slot);
void MV2SelectNextWeapon(MV2WeaponList* list);
int32_t MV2HasWeapon(const MV2WeaponList* list, int32_t slot);
int32_t* MV2QueryWeaponSlot(const MV2WeaponList* list, int32_t slot);
int32_t MV2CountWeapons(const MV2WeaponList* list);
void MV2WeaponsTriggerReleased(MV2WeaponList* list);
void MV2WeaponsBroadcast(MV2WeaponList* list, int32_t message, intptr_t p1, intptr_t p2);
// Fires the current slot; the last projectile made (as a word), also stored in *projectile.
intptr_t MV2FireWeapon(MV2WeaponList* list, MV2Object* shooter, const MV2CreationRecord* record,
                       MV2Object** projectile);
// The first record of the current slot of an object's list, or null.
MV2WeaponRecord* MV2GetCurrentWeapon(MV2Object* object);
intptr_t MV2WeaponSendMessage(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StandardWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                  intptr_t p2);
int32_t MV2GetCurrentWeaponAmmo(MV2Object* object, int32_t* ammo);
float MV2GetCurrentWeaponAmmoFraction(MV2Object* object);
int32_t MV2GetWeaponMuzzlePosition(MV2Object* object, float* position);
void MV2DrawPlayerWeapon();

// The damage rule of every weapon hit.
void MV2DamageObject(MV2Object* source, MV2Object* target, const float* hitPoint, float damage,
                     int32_t playSound);
// The owner of the exploding shot, set by projectiles around their explosion (0 otherwise).
void MV2SetDamageSource(MV2Object* source);
MV2Object* MV2GetDamageSource();

// The small row handlers of the table.
intptr_t MV2MineLauncherHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                intptr_t p2);
intptr_t MV2DiscBombHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LockOnlyLauncherHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                    intptr_t p2);

#include "game/player/weaponhud.h"
