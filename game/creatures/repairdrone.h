// The repair drone: a small craft that flies to a damaged object, repairs it and goes home; and
// the status panel of up to three entries on the HUD and the map, which missions fill.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"
#include "shell/resfile.h"

struct TpAtomic;
struct TvFrame;

struct MV2RepairDroneData {
    float supplyFraction;
    int32_t supply;
    uint32_t repairing;
    TpAtomic* tag8; // the atomic tagged 8
    TvFrame* arms[4]; // tagged 5, 6, 2, 3
    float armAngles[4]; // degrees
};

// Entry statuses: 1 waiting, 2 freed, 4 rescued, 8 lost (16 shows as lost).
struct MV2RepairDroneEntry {
    MV2ObjectRef object;
    int32_t endTime; // game ms
    int32_t divisor; // the countdown shown is the remaining ms over it
    MV2TextDescriptor label;
    int32_t alarmTime; // game ms of the last alarm
    int32_t status;
};

inline constexpr int32_t kMV2RepairDroneEntries = 3;

// The panel: switched on and filled by missions.
struct MV2RepairDronePanel {
    int32_t shown;
    int32_t mapMode; // labels drawn 16 lower on the map
    MV2RepairDroneEntry entries[kMV2RepairDroneEntries];
};
extern MV2RepairDronePanel gMV2RepairDronePanel;

intptr_t MV2RepairDroneBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The number and colour an entry shows now.
void MV2GetRepairDroneEntryState(const MV2RepairDroneEntry* entry, int32_t* number,
                                 uint32_t* colour);
void MV2DrawRepairDroneHud();
void MV2DrawRepairDroneMapLabels();
void MV2DisableRepairDroneHud();
// What missions use to fill the panel: entry `index` (0..2; others are ignored) and the switch.
void MV2SetRepairDroneEntry(int32_t index, const MV2RepairDroneEntry* entry);
void MV2EnableRepairDroneHud();
void MV2ShutdownRepairDrones();
