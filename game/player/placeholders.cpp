// Entry points of player modules not built yet (the tool system, pickups, the suck-up tool and
// the spotlight shafts), each doing the least its callers need.
#include "game/player/player.h"

#include <cstddef>
#include <iterator>

#include "game/creatures/submarines.h"
#include "game/objects/objecttypes.h"

namespace {
// Placeholder store of the tool lists: a small pool of records without handlers.
MV2Tool g_toolPool[256];
MV2Tool* g_toolFree = nullptr;
bool g_toolPoolReady = false;

MV2Tool* TakeTool() {
    if (!g_toolPoolReady) {
        for (size_t i = 0; i < std::size(g_toolPool); ++i)
            g_toolPool[i].next = i + 1 < std::size(g_toolPool) ? &g_toolPool[i + 1] : nullptr;
        g_toolFree = g_toolPool;
        g_toolPoolReady = true;
    }
    MV2Tool* t = g_toolFree;
    if (t) g_toolFree = t->next;
    return t;
}

void Unlink(MV2ToolList* list, MV2Tool* t) {
    if (t->prev) t->prev->next = t->next;
    else list->first = t->next;
    if (t->next) t->next->prev = t->prev;
    else list->last = t->prev;
    t->next = g_toolFree;
    g_toolFree = t;
}

MV2SubData* SubData(MV2Object* object) {
    if (!object || !object->type || object->type->privateDataSize < sizeof(MV2SubData)) return nullptr;
    return static_cast<MV2SubData*>(object->privateData);
}
} // namespace

// Placeholder: an empty tool list.
void MV2InitToolList(MV2ToolList* list) {
    list->first = list->last = nullptr;
    list->currentKind = 0;
}

// Placeholder: keeps the kind (one of each, kinds 0 to 14) in the list; no handlers run.
int32_t MV2AddTool(MV2ToolList* list, int32_t kind, MV2Object*) {
    if (!list || kind < 0 || kind >= kMV2ToolKinds || MV2FindTool(list, kind)) return 0;
    MV2Tool* t = TakeTool();
    if (!t) return 0;
    *t = MV2Tool{};
    t->kind = kind;
    t->prev = list->last;
    if (list->last) list->last->next = t;
    else list->first = t;
    list->last = t;
    list->currentKind = kind;
    return 1;
}

// Placeholder: unlinks the tool of the kind.
int32_t MV2RemoveTool(MV2ToolList* list, int32_t kind) {
    MV2Tool* t = MV2FindTool(list, kind);
    if (!t) return 0;
    Unlink(list, t);
    return 1;
}

// Placeholder: unlinks every tool.
void MV2RemoveAllTools(MV2ToolList* list) {
    while (list->first) Unlink(list, list->first);
}

// Placeholder: the tool of the kind, or null.
MV2Tool* MV2FindTool(MV2ToolList* list, int32_t kind) {
    for (MV2Tool* t = list ? list->first : nullptr; t; t = t->next)
        if (t->kind == kind) return t;
    return nullptr;
}

// Placeholder: the kind after the current one, wrapping.
void MV2SelectNextTool(MV2ToolList* list) {
    MV2Tool* t = MV2FindTool(list, list->currentKind);
    if (!t) return;
    MV2Tool* next = t->next ? t->next : list->first;
    list->currentKind = next->kind;
}

// Placeholders: the tools have no handlers yet; using, querying and commands reach nobody.
void MV2UseTool(MV2ToolList*, MV2Object*, intptr_t) {}
void MV2QueryTool(MV2ToolList*, int32_t, MV2ToolGauge* record) {
    if (record) record->found = 0;
}
void MV2BroadcastToolCommand(void*, int32_t, intptr_t, intptr_t) {}
int32_t MV2SendToolMessage(MV2Tool*, int32_t, intptr_t, intptr_t) {
    return 0;
}
intptr_t MV2SendToolCommand(MV2Object*, int32_t, int32_t, intptr_t, void*) {
    return 0;
}

// Placeholder: the tool of the current kind of the craft's list.
MV2Tool* MV2GetCurrentTool(MV2Object* object) {
    MV2SubData* data = SubData(object);
    return data ? MV2FindTool(&data->tools, data->tools.currentKind) : nullptr;
}

// Placeholder: there is no suck-up tool yet; nothing is taken.
int32_t MV2SuckUpTake(MV2Object*, MV2Object*) {
    return 0;
}

// Placeholders: the spotlight shafts are not built; the light-link list stays empty.
void MV2LightLinkAdd(TvFrame*, float*, uint32_t) {}
void MV2LightLinkRemove(uint32_t) {}

// Placeholders: pickups are not built; no power-up is active and weapons deal their own damage.
int32_t MV2IsPowerUpActive(int32_t) {
    return 0;
}
void MV2UpdatePowerUps() {}
float MV2GetMPWeaponDamage(MV2Object*) {
    return 1.0f;
}
void MV2DropPickups(MV2Object*) {}
void MV2LoadMPWeapons() {}
