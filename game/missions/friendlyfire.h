// Friendly fire: the meter that hits and kills on friendly craft raise and hostile ones lower,
// its slow decay, and global script row 42 that runs the punishment when a mission is lost.
#pragma once

#include <cstdint>

struct MV2Object;

inline constexpr uint32_t kMV2ObjectFriendly = 0x8;
inline constexpr uint32_t kMV2ObjectHostile = 0x10;
inline constexpr int32_t kMV2FriendlyFireRow = 42;

struct MV2FriendlyFire {
    float meter;
    uint32_t lastChange; // game ms of the last change
    int32_t decayArmed;
    uint32_t lastHitTime;
    float lastIncrement;
    uint32_t messageId;
    int32_t triggered;
};
extern MV2FriendlyFire gMV2FriendlyFire;

// The weight of a victim: by type, else by AI category (0 above 11).
float MV2FriendlyFireWeight(const MV2Object* victim);
// From the damage code, when the player's own controlled sub is the attacker.
void MV2FriendlyFireAddDamage(MV2Object* victim, float damage);
void MV2FriendlyFireDecaySlow(MV2Object* victim, float damage);
void MV2FriendlyFireAddKill(MV2Object* victim);
void MV2FriendlyFireDecayFast(MV2Object* victim);
// The mission is lost: the punishment sequence with an optional message (0 none).
void MV2FriendlyFireTrigger(uint32_t messageId);
float MV2GetFriendlyFireMeter();
