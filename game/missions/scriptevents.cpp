#include "game/missions/scriptevents.h"

#include "game/missions/missionflow.h"
#include "game/objects/objects.h"
#include "platform/win32/win32.h"

namespace {

MV2MissionNotifyList g_lists[kMV2ScriptEvents];
MV2MissionWaitSlot g_slots[kMV2WaitSlots];

bool ValidEvent(int32_t event) {
    return event >= 0 && event < kMV2ScriptEvents;
}

// A slot whose object has died is free again.
bool SlotInUse(MV2MissionWaitSlot& slot) {
    if (!slot.id) return false;
    if (slot.hasHandle && !MV2ObjectHandleAlive(slot.handle)) {
        slot = {};
        return false;
    }
    return true;
}

MV2MissionWaitSlot* FindSlot(intptr_t id) {
    for (MV2MissionWaitSlot& slot : g_slots)
        if (SlotInUse(slot) && slot.id == id) return &slot;
    return nullptr;
}

} // namespace

void MV2NotifyScripts(MV2Object* object, int32_t event, intptr_t argument) {
    if (!ValidEvent(event)) {
        OutputDebugStringA("Bad event to MV2NotifyScripts\n");
        return;
    }
    // Handlers installed or removed while the event is delivered count from the next raise.
    const MV2MissionNotifyList copy = g_lists[event];
    for (int32_t i = 0; i < copy.count; ++i)
        MV2CallMissionScript(copy.rows[i], object, kMV2ScriptEvent, event, argument);
}

void MV2MissionInstallNotify(int32_t row, int32_t event) {
    if (!ValidEvent(event)) return;
    MV2MissionNotifyList& list = g_lists[event];
    for (int32_t i = 0; i < list.count; ++i)
        if (list.rows[i] == row) {
            OutputDebugStringA("Mission Notify Handler already installed\n");
            return;
        }
    if (list.count >= kMV2NotifyRows) {
        OutputDebugStringA("Too many mission notify handlers\n");
        return;
    }
    list.rows[list.count++] = row;
}

void MV2MissionRemoveNotify(int32_t row, int32_t event) {
    if (!ValidEvent(event)) return;
    MV2MissionNotifyList& list = g_lists[event];
    for (int32_t i = 0; i < list.count; ++i)
        if (list.rows[i] == row) {
            for (int32_t j = i + 1; j < list.count; ++j)
                list.rows[j - 1] = list.rows[j];
            --list.count;
            return;
        }
}

int32_t MV2MissionNotifyInstalled(int32_t row, int32_t event) {
    if (!ValidEvent(event)) return 0;
    const MV2MissionNotifyList& list = g_lists[event];
    for (int32_t i = 0; i < list.count; ++i)
        if (list.rows[i] == row) return 1;
    return 0;
}

void MV2ClearScriptEvents() {
    for (MV2MissionNotifyList& list : g_lists)
        list.count = 0;
}

int32_t MV2MissionWaitSlotOp(intptr_t id, int32_t op) {
    switch (op) {
    case kMV2WaitAdd:
        for (MV2MissionWaitSlot& slot : g_slots)
            if (!SlotInUse(slot)) {
                const auto* object = reinterpret_cast<const MV2Object*>(id);
                slot = {id, object ? object->handle : 0, object ? 1 : 0, 0};
                return 1;
            }
        return 0;
    case kMV2WaitRemove:
        if (MV2MissionWaitSlot* slot = FindSlot(id)) {
            *slot = {};
            return 1;
        }
        return 0;
    case kMV2WaitQuery:
        if (MV2MissionWaitSlot* slot = FindSlot(id)) return slot->done;
        return 0;
    default: return 0;
    }
}

void MV2SetMissionSlotDone(intptr_t id) {
    if (MV2MissionWaitSlot* slot = FindSlot(id)) slot->done = 1;
}

void MV2ClearWaitSlots() {
    for (MV2MissionWaitSlot& slot : g_slots)
        slot = {};
}
