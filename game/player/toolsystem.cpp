// The tool system: the tool table, the tool lists crafts carry, using a tool, the command
// dispatch with its default answers, and the HUD's tool panels.
#include "game/player/tools.h"

#include "game/player/attractor.h"
#include "game/player/flares.h"
#include "game/player/magnet.h"
#include "game/player/remotevehicle.h"
#include "game/player/suckup.h"
#include "game/player/geiger.h"
#include "game/player/lights.h"

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "game/creatures/submarines.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/hud.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "shell/errors.h"
#include "shell/sounds.h"

namespace {

struct RowSpec {
    int32_t objectType;
    int32_t cooldown;
    MV2ToolHandler handler;
    const char* sound;
    int32_t initialCharges;
};

// The rows whose handlers live in this folder name them; the others are registered.
const RowSpec kRows[kMV2ToolKinds] = {
    {52, 500, MV2MagnetToolHandler, "BOLTFIRING", 100000},  // 0 magnet
    {461, 500, nullptr, nullptr, -1},                       // 1 scanner (registered)
    {461, 500, MV2AttractorToolHandler, nullptr, -1},       // 2
    {461, 500, MV2SwitchToolHandler, nullptr, -1},          // 3
    {461, 500, MV2GeigerToolHandler, nullptr, -1},          // 4 geiger counter
    {461, 500, MV2SuckUpToolHandler, nullptr, -1},          // 5 suck-up
    {461, 1000, MV2RovToolHandler, nullptr, -1},            // 6 remote vehicle
    {296, 500, MV2FlareToolHandler, "FLARELAUNCH", -1},     // 7 flares
    {296, 500, MV2FlareToolHandler, "FLARELAUNCH", -1},     // 8
    {296, 500, MV2FlareToolHandler, "FLARELAUNCH", -1},     // 9
    {461, 500, nullptr, nullptr, -1},                       // 10 missions' (registered)
    {461, 500, MV2LightsToolHandler, nullptr, -1},          // 11 lights
    {461, 0, MV2BurstToolHandler, "BURSTDRIVE", -1},        // 12 burst drive
    {461, 1000, nullptr, nullptr, -1},                      // 13 missions' (registered)
    {94, 500, nullptr, "STUNDART", 50},                     // 14 stun dart (registered)
};

MV2ToolKindRow g_rows[kMV2ToolKinds];
MV2ToolHandler g_registered[kMV2ToolKinds];
bool g_rowsReady = false;
TvFreeList* g_records = nullptr;

// Sound ids come from the sound list's names, which are only known once the program runs.
void EnsureRows() {
    if (g_rowsReady) return;
    for (int32_t i = 0; i < kMV2ToolKinds; ++i) {
        const RowSpec& r = kRows[i];
        g_rows[i] = {r.objectType, r.cooldown, r.handler ? r.handler : g_registered[i],
                     r.sound ? MV2ShotSound(r.sound) : kMV2NoSound, r.initialCharges, 0};
    }
    g_rowsReady = true;
}

MV2SubData* CraftData(MV2Object* object) {
    if (!object || !object->type || object->type->privateDataSize < sizeof(MV2SubData))
        return nullptr;
    return static_cast<MV2SubData*>(object->privateData);
}

bool CarriesTools(const MV2Object* object) {
    return object && object->type && (object->type->words[7] & kMV2TypeNoSpin);
}

void Unlink(MV2ToolList* list, MV2Tool* t) {
    if (t->prev) t->prev->next = t->next;
    else list->first = t->next;
    if (t->next) t->next->prev = t->prev;
    else list->last = t->prev;
    TvFreeListFree(g_records, t);
}

int32_t IconOf(MV2Tool* tool) {
    MV2ToolIcon icon{kMV2NoToolSprite, 0};
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    return icon.sprite;
}

MV2Tool* PlayerCurrentTool() {
    return MV2GetCurrentTool(MV2GetPlayerObject());
}

uint32_t ToolColour() {
    return kMV2HudColour & 0xFFFFFFu;
}

} // namespace

const MV2ToolKindRow* MV2GetToolRow(int32_t kind) {
    if (kind < 0 || kind >= kMV2ToolKinds) return nullptr;
    EnsureRows();
    return &g_rows[kind];
}

void MV2SetToolRowHandler(int32_t kind, MV2ToolHandler handler) {
    if (kind < 0 || kind >= kMV2ToolKinds || kRows[kind].handler) return;
    g_registered[kind] = handler;
    g_rows[kind].handler = handler;
}

void MV2InitToolList(MV2ToolList* list) {
    list->first = list->last = nullptr;
    list->currentKind = 0;
}

int32_t MV2AddTool(MV2ToolList* list, int32_t kind, MV2Object* owner) {
    // Kinds arrive from save games, missions and the network.
    if (!list || kind < 0 || kind >= kMV2ToolKinds) return 0;
    EnsureRows();
    if (MV2Tool* have = MV2FindTool(list, kind)) {
        have->charges = have->row->initialCharges;
        return 1;
    }
    if (!g_records) {
        g_records = TvFreeListCreate(sizeof(MV2Tool), 20);
        if (!g_records) {
            MV2ErrorBox("Could not allocate tools free list");
            return 0;
        }
    }
    auto* t = static_cast<MV2Tool*>(TvFreeListAlloc(g_records));
    if (!t) return 0;
    *t = MV2Tool{};
    t->kind = kind;
    t->row = &g_rows[kind];
    t->cooldown = t->row->cooldown;
    t->charges = t->row->initialCharges;
    MV2SendToolMessage(t, 3, 0, reinterpret_cast<intptr_t>(owner));
    MV2Tool* at = list->first;
    while (at && at->kind < kind) at = at->next;
    t->next = at;
    t->prev = at ? at->prev : list->last;
    if (t->prev) t->prev->next = t;
    else list->first = t;
    if (at) at->prev = t;
    else list->last = t;
    if (IconOf(t) != kMV2NoToolSprite) list->currentKind = kind;
    return 1;
}

int32_t MV2RemoveTool(MV2ToolList* list, int32_t kind) {
    MV2Tool* t = MV2FindTool(list, kind);
    if (!t) return 0;
    MV2SendToolMessage(t, 4, 0, 0);
    Unlink(list, t);
    return 1;
}

void MV2RemoveAllTools(MV2ToolList* list) {
    while (list && list->first) {
        MV2SendToolMessage(list->first, 4, 0, 0);
        Unlink(list, list->first);
    }
}

MV2Tool* MV2FindTool(MV2ToolList* list, int32_t kind) {
    for (MV2Tool* t = list ? list->first : nullptr; t; t = t->next)
        if (t->kind == kind) return t;
    return nullptr;
}

int32_t MV2CountTools(const MV2ToolList* list) {
    int32_t n = 0;
    for (const MV2Tool* t = list ? list->first : nullptr; t; t = t->next)
        ++n;
    return n;
}

void MV2SelectNextTool(MV2ToolList* list) {
    MV2Tool* start = MV2FindTool(list, list ? list->currentKind : 0);
    if (!start) return;
    for (MV2Tool* t = start->next ? start->next : list->first; t != start;
         t = t->next ? t->next : list->first) {
        if (t->kind != start->kind && IconOf(t) != kMV2NoToolSprite) {
            list->currentKind = t->kind;
            return;
        }
    }
}

void MV2UseTool(MV2ToolList* list, MV2Object* owner, intptr_t arg) {
    MV2Tool* t = MV2FindTool(list, list ? list->currentKind : 0);
    if (!t || t->charges == 0 || t->cooldown != 0) return;
    if (t->charges != -1) --t->charges;
    t->cooldown = t->row->cooldown;
    if (MV2SendToolMessage(t, 53, 0, arg)) return;
    if (!owner || !owner->matrix) return;
    MV2SubData* data = CraftData(owner);
    const TvV3d from = data && data->mounts[0] ? TvFrameGetLTM(data->mounts[0])->pos
                                               : owner->matrix->pos;
    if (t->row->objectType != kMV2NoToolObject) {
        float position[3];
        MV2ShotPoint(from, position);
        if (MV2Object* made = MV2CreateObject(t->row->objectType, position, nullptr)) {
            MV2ObjectSendMessage(made, 12, 0, reinterpret_cast<intptr_t>(owner->body));
            MV2ObjectSendMessage(made, 15, 0, reinterpret_cast<intptr_t>(owner));
        }
    }
    MV2ShotPlayIdAt(owner->matrix->pos, 1.0f, t->row->sound, 0);
    MV2ObjectSendMessage(owner, 50, 0, 0);
}

void MV2QueryTool(MV2ToolList* list, int32_t kind, MV2ToolGauge* record) {
    if (!record) return;
    MV2Tool* t = MV2FindTool(list, kind);
    record->found = t ? 1 : 0;
    if (t) MV2SendToolMessage(t, 59, 0, reinterpret_cast<intptr_t>(record));
}

void MV2BroadcastToolCommand(void* craftData, int32_t command, intptr_t a, intptr_t b) {
    MV2SubData* data = craftData ? static_cast<MV2SubData*>(craftData)
                                 : CraftData(MV2GetPlayerObject());
    if (!data) return;
    const int32_t ms = command == 2 ? MV2ShotFrameMilliseconds() : 0;
    for (MV2Tool* t = data->tools.first; t;) {
        MV2Tool* next = t->next; // a handler may take its own tool away
        if (command == 2) t->cooldown = t->cooldown > ms ? t->cooldown - ms : 0;
        MV2SendToolMessage(t, command, a, b);
        t = next;
    }
}

intptr_t MV2SendToolCommand(MV2Object* object, int32_t kind, int32_t command, intptr_t parameter,
                            void* out) {
    if (!CarriesTools(object)) return 0;
    MV2SubData* data = CraftData(object);
    MV2Tool* t = data ? MV2FindTool(&data->tools, kind) : nullptr;
    if (!t) return 0;
    MV2SendToolMessage(t, command, parameter, reinterpret_cast<intptr_t>(out));
    return 1;
}

int32_t MV2SendToolMessage(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    if (!tool) tool = PlayerCurrentTool();
    if (!tool) return 0;
    if (tool->row && tool->row->handler) return tool->row->handler(tool, command, p1, p2);
    return MV2DefaultToolHandler(tool, command, p1, p2);
}

int32_t MV2DefaultToolHandler(MV2Tool* tool, int32_t command, intptr_t, intptr_t p2) {
    switch (command) {
    case 3:
        if (tool) tool->word = 0;
        return 1;
    case 57:
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) icon->sprite = kMV2NoToolSprite;
        return 1;
    case 59:
        if (auto* gauge = reinterpret_cast<MV2ToolGauge*>(p2)) gauge->value = gauge->level = 0;
        return 1;
    case 88:
        if (auto** out = reinterpret_cast<MV2Tool**>(p2)) *out = tool;
        return 1;
    default: return 0;
    }
}

MV2Tool* MV2GetCurrentTool(MV2Object* object) {
    MV2SubData* data = CraftData(object);
    return data ? MV2FindTool(&data->tools, data->tools.currentKind) : nullptr;
}

void MV2DrawCurrentTool() {
    if (MV2Tool* t = PlayerCurrentTool()) MV2SendToolMessage(t, 20, 0, 0);
}

void MV2DrawToolIcon(const MV2HudElement* element, MV2Object* object) {
    if (!element) return;
    if (CarriesTools(object)) MV2SendToolCommand(object, 1, 68, 0, object);
    MV2Tool* t = MV2GetCurrentTool(object);
    if (!t) t = PlayerCurrentTool();
    if (!t) return;
    MV2ToolIcon icon{kMV2NoToolSprite, 0};
    if (!MV2SendToolMessage(t, 57, 0, reinterpret_cast<intptr_t>(&icon))) return;
    const uint32_t alpha = element->Word(3) & 0xFF000000u;
    MV2SpriteDraw d{};
    d.x = element->Int(1);
    d.y = element->Int(2);
    d.sprite = icon.sprite;
    d.colour0 = d.colour1 = alpha | (icon.colour & 0xFFFFFFu);
    d.scaleX = d.scaleY = 1.0f;
    MV2Draw2DSprite(&d);
}

void MV2DrawToolGaugeSprite(const MV2HudElement* element, MV2Object*) {
    if (!element) return;
    MV2Tool* t = PlayerCurrentTool();
    if (!t) return;
    MV2ToolGauge gauge{};
    MV2SendToolMessage(t, 59, 0, reinterpret_cast<intptr_t>(&gauge));
    const float f = 1.0f - float(gauge.level & 255) / 255.0f;
    const int32_t sprite = element->Int(0);
    const MV2SpriteCell cell = MV2GetSpriteCell(sprite);
    const bool vertical = cell.bottom - cell.top > cell.right - cell.left;
    MV2SpriteDraw d{};
    d.x = element->Int(1);
    d.y = element->Int(2);
    d.sprite = sprite;
    d.scaleX = d.scaleY = MV2GetCameraMode() == 1 ? 1.0f : 0.5f;
    const uint32_t first = (element->Word(3) & 0xFF000000u) | ToolColour();
    const uint32_t second = gauge.coloured ? gauge.colour : 0xFF00FF00u;
    for (int32_t part = 0; part < 2; ++part) {
        const float from = part == 0 ? 0.0f : f, to = part == 0 ? f : 1.0f;
        d.left = vertical ? 0.0f : from;
        d.right = vertical ? 1.0f : to;
        d.top = vertical ? from : 0.0f;
        d.bottom = vertical ? to : 1.0f;
        d.colour0 = d.colour1 = part == 0 ? first : second;
        MV2Draw2DSpritePart(&d);
    }
}

void MV2DrawToolGauge(const MV2HudElement* element, MV2Object*) {
    if (!element) return;
    MV2Tool* t = PlayerCurrentTool();
    if (!t) return;
    MV2ToolGauge gauge{};
    MV2SendToolMessage(t, 59, 0, reinterpret_cast<intptr_t>(&gauge));
    MV2HudDrawGauge(element, float(gauge.level & 255) / 255.0f,
                    gauge.coloured > 0 ? &gauge.colour : nullptr);
}

void MV2DrawToolPanel(MV2Object* sub, const MV2HudElement* element) {
    if (!element) return;
    switch (element->kind) {
    case 3: MV2DrawToolIcon(element, sub); break;
    case 5: MV2DrawToolGaugeSprite(element, sub); break;
    default: MV2DrawToolGauge(element, sub); break;
    }
}
