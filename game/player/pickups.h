// Pickups of the multiplayer levels: timed power-ups, energy, weapons, ammunition and two tools,
// the multiplayer weapon values of "data/mpweapon.csv", the teleporter, the pickups a dead
// player drops, the pickup models' baking and the light level at an object.
#pragma once

#include <cstddef>
#include <cstdint>

struct MV2Object;
struct TpClump;

inline constexpr int32_t kMV2PowerUps = 9;
inline constexpr int32_t kMV2MPWeaponRows = 6;

struct MV2PowerUp {
    int32_t pickupType; // 0: no pickup of its own
    int32_t collectLine;
    int32_t expiryLine;
    float colour[3];
    int32_t active;
    float timeLeft; // seconds
};

struct MV2MPWeaponRow {
    int32_t weaponLine;
    int32_t ammunitionLine;
    float damage;
    int32_t initialAmmunition;
    int32_t ammunitionPerPickup;
    int32_t maximum[4]; // for craft types 0, 67, 1 and 84
};

struct MV2PickupData {
    uint32_t netId;
    MV2PickupData* next;
    MV2PickupData* previous;
    MV2Object* object;
    MV2Object* light;
    uint32_t lightHandle;
};

struct MV2TeleporterMote {
    float a[3]; // direction
    float b[3]; // axis
    float life;
};

struct MV2TeleporterData {
    MV2TeleporterData* next;
    MV2TeleporterData* previous;
    MV2Object* object;
    MV2TeleporterMote motes[20];
    uintptr_t sound;
    int32_t link;
};

MV2PowerUp* MV2GetPowerUp(int32_t index);
MV2MPWeaponRow* MV2GetMPWeaponRow(int32_t row);
// Parses the weapon file's text into the rows: the first line is a header, then up to six rows;
// a row that does not parse fills what it matched. Lines are read at most 255 characters at a
// time (the rest of a longer line is read as the next line).
void MV2ParseMPWeapons(const char* text, size_t size);
void MV2LoadMPWeapons();
float MV2GetMPWeaponDamage(MV2Object* object);
void MV2UpdatePowerUps();
int32_t MV2IsPowerUpActive(int32_t index);
int32_t MV2GetMPPickupMask();
int32_t MV2ApplyPowerUp(MV2Object* collector, int32_t index);
int32_t MV2GiveWeapon(MV2Object* collector, int32_t slot);
int32_t MV2GiveAmmo(MV2Object* collector, int32_t slot);
void MV2DropPickups(MV2Object* object);
intptr_t MV2PickupHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2TeleporterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2BakePickupModel(TpClump* clump, int32_t type);
float MV2GetObjectBrightness(MV2Object* object);
void MV2RegisterPickupHandlers();
