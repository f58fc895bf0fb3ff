// Script events and wait slots: the broadcast of 22 numbered events to the mission rows that
// installed a handler, and the 16 slots a script registers objects in for drones to mark done.
#pragma once

#include <cstdint>

struct MV2Object;

inline constexpr int32_t kMV2ScriptEvents = 22;
inline constexpr int32_t kMV2NotifyRows = 16;
inline constexpr int32_t kMV2WaitSlots = 16;

struct MV2MissionNotifyList {
    int32_t count;
    int32_t rows[kMV2NotifyRows];
};

// A slot is free when its id is 0 or its object's handle has died.
struct MV2MissionWaitSlot {
    intptr_t id;
    uint32_t handle;
    int32_t hasHandle;
    int32_t done;
};

void MV2NotifyScripts(MV2Object* object, int32_t event, intptr_t argument);
void MV2MissionInstallNotify(int32_t row, int32_t event);
void MV2MissionRemoveNotify(int32_t row, int32_t event);
int32_t MV2MissionNotifyInstalled(int32_t row, int32_t event);
void MV2ClearScriptEvents();

enum MV2WaitSlotOp : int32_t { kMV2WaitAdd = 0, kMV2WaitRemove = 1, kMV2WaitQuery = 2 };
int32_t MV2MissionWaitSlotOp(intptr_t id, int32_t op);
void MV2SetMissionSlotDone(intptr_t id);
void MV2ClearWaitSlots();
