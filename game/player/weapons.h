// The weapon system: the weapon slot list a craft carries and the operations on it.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2SubDefinition;
struct MV2CreationRecord;

// One weapon of a list.
struct MV2WeaponRecord {
    MV2WeaponRecord* next;
    int32_t slot; // weapon table row
    int32_t ammunition;
    int32_t maximum;
    int32_t mount;
    MV2Object* owner;
};

// The list a craft keeps in its private data: records in ascending slot order.
struct MV2WeaponList {
    MV2WeaponRecord* first;
    int32_t currentWeaponSlot;
};

using MV2WeaponHandler = intptr_t (*)(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                      intptr_t p2);

void MV2InitWeaponList(MV2WeaponList* list);
MV2WeaponRecord* MV2AddWeapon(MV2WeaponList* list, void* ownerData,
                              const MV2SubDefinition* definition, int32_t slot, int32_t mount,
                              MV2Object* owner);
int32_t MV2RemoveWeapon(MV2WeaponList* list, int32_t slot);
void MV2RemoveAllWeapons(MV2WeaponList* list);
int32_t MV2SelectWeapon(MV2WeaponList* list, int32_t slot);
void MV2SelectNextWeapon(MV2WeaponList* list);
int32_t MV2HasWeapon(const MV2WeaponList* list, int32_t slot);
int32_t* MV2QueryWeaponSlot(const MV2WeaponList* list, int32_t slot);
void MV2WeaponsTriggerReleased(MV2WeaponList* list);
void MV2WeaponsBroadcast(MV2WeaponList* list, int32_t message, intptr_t p1, intptr_t p2);
// Fires the current weapon; the fire result word.
int32_t MV2FireWeapon(MV2WeaponList* list, MV2Object* shooter, const MV2CreationRecord* record,
                      MV2Object** projectile);
intptr_t MV2WeaponSendMessage(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StandardWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                  intptr_t p2);
// The completed lock-on target of the controlled craft, or null.
MV2Object* MV2GetLockedTarget();
