// Entry points of player modules not built yet, each doing the least its callers need.
#include "game/player/player.h"

MV2Object* gMV2PlayerPlaceholder = nullptr;

// Placeholder: there is no player craft yet; whatever a test put in its place.
MV2Object* MV2GetPlayerObject() {
    return gMV2PlayerPlaceholder;
}

// Placeholder: the player's own submarine is the controlled object.
MV2Object* MV2GetPlayerSub() {
    return gMV2PlayerPlaceholder;
}

// Placeholder: the award table is not built; every counter reads 0.
void MV2GetAwardCounter(int32_t, int32_t, int32_t* out) {
    *out = 0;
}

// Placeholder: the award table is not built; the value is dropped.
void MV2SetAwardCounter(int32_t, int32_t, int32_t) {}

// Placeholder: no sub record is selected; type 0.
int32_t MV2GetCurrentSubType() {
    return 0;
}

// Placeholder: there are no sub records to select.
void MV2SelectSub(int32_t) {}

// Placeholder: the equipment level reads 0.
int32_t MV2GetEquipmentLevel() {
    return 0;
}

// Placeholder: the equipment level is dropped.
void MV2SetEquipmentLevel(int32_t) {}

// Placeholder: without a craft the hull reads whole.
float MV2GetPlayerHullFraction() {
    return 1.0f;
}

// Placeholder: without a craft the load-out is empty.
void MV2GetPlayerLoadout(MV2PlayerLoadout* out) {
    *out = {};
}

// Placeholder: without a craft there is nothing to equip.
void MV2SetPlayerLoadout(const MV2PlayerLoadout*) {}

// Placeholder: without craft there is nothing to take control of.
void MV2TakeControlOfCraft() {}

// Placeholder: the command system is not built; the command is dropped.
void MV2ExecuteCommand(int32_t) {}

// Placeholder: there is no player sub to refill.
void MV2RefillPlayerSub() {}

// Placeholder: there is no player sub to anchor.
void MV2PlacePlayerSubAtAnchor(int32_t, int32_t) {}

// Placeholder: the command system is not built; there is nothing to clear.
int32_t MV2InitialiseCommandSystem() {
    return 1;
}

// Placeholder: there is no command system to receive the object.
void MV2SetSelectedObject(MV2Object*) {}

// Placeholder: no player craft is made yet; the level starts without one.
int32_t MV2SpawnPlayer() {
    return 1;
}

#include "game/player/tools.h"
#include "game/player/weapons.h"

#include <cstddef>
#include <iterator>

namespace {
// Placeholder store of the weapon list: a small pool of records, enough for the craft a level
// holds until the weapon system is built.
MV2WeaponRecord g_weaponPool[256];
MV2WeaponRecord* g_weaponFree = nullptr;
bool g_weaponPoolReady = false;

MV2WeaponRecord* TakeWeapon() {
    if (!g_weaponPoolReady) {
        for (size_t i = 0; i < std::size(g_weaponPool); ++i)
            g_weaponPool[i].next = i + 1 < std::size(g_weaponPool) ? &g_weaponPool[i + 1] : nullptr;
        g_weaponFree = g_weaponPool;
        g_weaponPoolReady = true;
    }
    MV2WeaponRecord* w = g_weaponFree;
    if (w) g_weaponFree = w->next;
    return w;
}

void GiveWeapon(MV2WeaponRecord* w) {
    w->next = g_weaponFree;
    g_weaponFree = w;
}
} // namespace

// Placeholder: an empty list.
void MV2InitWeaponList(MV2WeaponList* list) {
    list->first = nullptr;
    list->currentWeaponSlot = 0;
}

// Placeholder: records the slot in slot order with one round of ammunition; no row handlers.
MV2WeaponRecord* MV2AddWeapon(MV2WeaponList* list, void*, const MV2SubDefinition*, int32_t slot,
                              int32_t mount, MV2Object* owner) {
    MV2WeaponRecord* w = TakeWeapon();
    if (!w) return nullptr;
    *w = {nullptr, slot, 1, 1, mount, owner};
    MV2WeaponRecord** at = &list->first;
    while (*at && (*at)->slot < slot) at = &(*at)->next;
    w->next = *at;
    *at = w;
    list->currentWeaponSlot = slot;
    return w;
}

// Placeholder: unlinks the first record of the slot.
int32_t MV2RemoveWeapon(MV2WeaponList* list, int32_t slot) {
    for (MV2WeaponRecord** at = &list->first; *at; at = &(*at)->next)
        if ((*at)->slot == slot) {
            MV2WeaponRecord* w = *at;
            *at = w->next;
            GiveWeapon(w);
            return 1;
        }
    return 0;
}

// Placeholder: unlinks every record.
void MV2RemoveAllWeapons(MV2WeaponList* list) {
    while (MV2WeaponRecord* w = list->first) {
        list->first = w->next;
        GiveWeapon(w);
    }
}

// Placeholder: the slot becomes current when the list has it.
int32_t MV2SelectWeapon(MV2WeaponList* list, int32_t slot) {
    if (!MV2HasWeapon(list, slot)) return 0;
    list->currentWeaponSlot = slot;
    return 1;
}

// Placeholder: the next differing slot after the current one, wrapping.
void MV2SelectNextWeapon(MV2WeaponList* list) {
    MV2WeaponRecord* w = list->first;
    while (w && w->slot != list->currentWeaponSlot) w = w->next;
    if (!w) return;
    MV2WeaponRecord* n = w->next;
    while (n && n->slot == w->slot) n = n->next;
    list->currentWeaponSlot = n ? n->slot : list->first->slot;
}

// Placeholder: 1 when a record of the slot is in the list.
int32_t MV2HasWeapon(const MV2WeaponList* list, int32_t slot) {
    for (const MV2WeaponRecord* w = list->first; w; w = w->next)
        if (w->slot == slot) return 1;
    return 0;
}

// Placeholder: the slot-query word.
int32_t* MV2QueryWeaponSlot(const MV2WeaponList* list, int32_t slot) {
    static int32_t word;
    word = MV2HasWeapon(list, slot);
    return &word;
}

// Placeholder: no row handlers hear the release.
void MV2WeaponsTriggerReleased(MV2WeaponList*) {}

// Placeholder: no row handlers hear the message.
void MV2WeaponsBroadcast(MV2WeaponList*, int32_t, intptr_t, intptr_t) {}

// Placeholder: nothing is fired; result 0.
int32_t MV2FireWeapon(MV2WeaponList*, MV2Object*, const MV2CreationRecord*, MV2Object** out) {
    if (out) *out = nullptr;
    return 0;
}

// Placeholder: the standard answers are not built; 0.
intptr_t MV2WeaponSendMessage(MV2WeaponRecord*, int32_t, intptr_t, intptr_t) {
    return 0;
}

// Placeholder: the standard handler is not built; 0.
intptr_t MV2StandardWeaponHandler(MV2WeaponRecord*, int32_t, intptr_t, intptr_t) {
    return 0;
}

// Placeholder: an empty tool list.
void MV2InitToolList(MV2ToolList* list) {
    list->first = list->last = nullptr;
    list->currentKind = 0;
}

// Placeholders: the tool system is not built; lists stay empty and commands reach nobody.
int32_t MV2AddTool(MV2ToolList*, int32_t, MV2Object*) {
    return 0;
}
int32_t MV2RemoveTool(MV2ToolList*, int32_t) {
    return 0;
}
void MV2RemoveAllTools(MV2ToolList*) {}
MV2Tool* MV2FindTool(MV2ToolList*, int32_t) {
    return nullptr;
}
void MV2SelectNextTool(MV2ToolList*) {}
void MV2UseTool(MV2ToolList*, MV2Object*, intptr_t) {}
void MV2QueryTool(MV2ToolList*, int32_t, MV2ToolGauge* record) {
    if (record) record->found = 0;
}
void MV2BroadcastToolCommand(void*, int32_t, intptr_t, intptr_t) {}
int32_t MV2SendToolMessage(MV2Tool*, int32_t, intptr_t, intptr_t) {
    return 0;
}

// Placeholder: debris pieces are not built; the object stays whole.
void MV2BreakIntoDebris(MV2Object*, int32_t) {}

// Placeholder: there is no suck-up tool yet; nothing is taken.
int32_t MV2SuckUpTake(MV2Object*, MV2Object*) {
    return 0;
}

// Placeholders: the spotlight shafts are not built; the light-link list stays empty.
void MV2LightLinkAdd(TvFrame*, float*, uint32_t) {}
void MV2LightLinkRemove(uint32_t) {}

// Placeholder: there is no lock-on yet.
MV2Object* MV2GetLockedTarget() {
    return nullptr;
}

// Placeholder: there are no tools yet; no command is handled.
intptr_t MV2SendToolCommand(MV2Object*, int32_t, int32_t, intptr_t, void*) {
    return 0;
}
