// Submarine selection and load-out, the console anchor and sway, award counters, and the
// saved load-out.
#include "game/player/loadout.h"

#include <climits>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/creatures/submarines.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/shots.h"

namespace {

constexpr uint32_t E(uint32_t level, uint32_t item) {
    return MV2LoadoutEntry(level, item);
}
constexpr uint32_t X = kMV2EmptyLoadoutEntry;

// Weapon items are the icons of their slots, tool items the icons of their kinds.
constexpr int32_t kToolIcons[kMV2ToolIconCount] = {5,  2,  22,  20,  45,  24, 50, 25,
                                                   80, 79, 184, 203, 61, 75, 307};
// Slot icons used below: 3 -> 21, 5 -> 46, 7 -> 28, 8 -> 29, 9 -> 18, 10 -> 30, 11 -> 31,
// 12 -> 32, 16 -> 36, 21 -> 16, 22 -> 62, 23 -> 78, 25 -> 179, 26 -> 60, 27 -> 298.
const MV2SubRecord kDefaults[kMV2SubRecords] = {
    {0, "gp1vid", {1, 0}, {798, 799, 807, 802}, {2, 3, 2}, 0,
     2, {E(0, 16), E(25, 78), X, X}, {0, 2, 0, 0},
     5, {E(0, 24), E(0, 307), E(1, 5), E(1, 22), E(4, 25), X, X},
     {0, 2, 0, 1},
     {{X, X, X, X, X}, {E(2, 21), X, X, X, X}, {X, X, X, X, X}, {E(3, 46), X, X, X, X}},
     {X, E(2, 21), X, E(3, 46)}},
    {67, "gp2vid", {2, 20}, {800, 801, 808, 803}, {3, 5, 3}, 0,
     2, {E(0, 16), E(25, 78), X, X}, {0, 0, 0, 0},
     5, {E(20, 80), E(20, 24), E(20, 5), E(35, 50), E(70, 79), X, X},
     {0, 2, 1, 1},
     {{X, X, X, X, X}, {E(20, 21), E(30, 18), X, X, X}, {E(30, 18), X, X, X, X},
      {E(20, 46), X, X, X, X}},
     {X, E(20, 21), E(30, 18), E(20, 46)}},
    {1, "gp3vid", {71, 50}, {804, 805, 809, 806}, {4, 4, 4}, 0,
     3, {E(50, 16), E(50, 16), E(50, 29), X}, {1, 2, 0, 0},
     2, {E(0, 61), E(0, 25), X, X, X, X, X},
     {1, 3, 3, 3},
     {{E(90, 60), X, X, X, X}, {E(50, 21), E(50, 18), E(55, 30), X, X},
      {E(50, 21), E(50, 18), E(55, 30), X, X}, {E(50, 46), E(50, 28), E(254, 62), X, X}},
     {E(90, 60), E(50, 21), E(50, 21), E(50, 46)}},
    {328, "gp5vid", {72, 100}, {816, 814, 817, 815}, {5, 4, 5}, 0,
     4, {E(100, 16), E(100, 16), E(100, 32), E(100, 179)}, {1, 2, 0, 0},
     1, {E(100, 25), X, X, X, X, X, X},
     {1, 0, 1, 1},
     {{E(100, 60), X, X, X, X}, {X, X, X, X, X}, {E(100, 31), X, X, X, X},
      {E(100, 28), X, X, X, X}},
     {E(100, 60), X, E(100, 31), E(100, 28)}},
    {329, "pirvid", {73, 999}, {818, 819, 820, 821}, {3, 4, 4}, 0,
     1, {E(0, 31), X, X, X}, {2, 0, 0, 0},
     2, {E(0, 5), E(0, 24), X, X, X, X, X},
     {0, 2, 2, 1},
     {{X, X, X, X, X}, {E(0, 298), E(0, 36), X, X, X}, {E(0, 298), E(0, 36), X, X, X},
      {E(0, 46), X, X, X, X}},
     {X, E(0, 298), E(0, 298), E(0, 46)}},
    {330, "silvid", {74, 999}, {822, 823, 825, 824}, {4, 5, 5}, 0,
     0, {X, X, X, X}, {0, 0, 0, 0},
     1, {X, X, X, X, X, X, X},
     {0, 0, 0, 0},
     {{X, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}},
     {X, X, X, X}},
    {84, "Tankvid", {80, 71}, {810, 813, 811, 812}, {2, 3, 5}, 0,
     4, {E(0, 16), E(0, 30), E(0, 18), E(0, 31)}, {0, 0, 0, 2},
     6, {E(0, 184), E(0, 79), E(80, 5), E(80, 58), E(80, 24), X, X},
     {0, 0, 0, 0},
     {{X, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}},
     {X, X, X, X}},
};

struct LoadoutState {
    MV2SubRecord records[kMV2SubRecords];
    bool ready;
    int32_t current;
    int32_t equipmentLevel;
    TvMatrix anchor;
    TvMatrix second;
    float displayAngle; // ms
    int32_t awards[3][4];
};
LoadoutState g_state;

void EnsureRecords() {
    if (g_state.ready) return;
    for (int32_t i = 0; i < kMV2SubRecords; ++i)
        g_state.records[i] = kDefaults[i];
    TvMatrixSetIdentity(&g_state.anchor);
    TvMatrixSetIdentity(&g_state.second);
    g_state.ready = true;
}

void ResetChoices(MV2SubRecord* r) {
    for (int32_t k = 0; k < 4; ++k)
        r->chosen[k] = r->alternatives[k][0];
}

uint32_t Level(uint32_t entry) {
    return entry >> 24;
}

uint32_t Item(uint32_t entry) {
    return entry & 0xFFFFFFu;
}

bool Allowed(uint32_t entry) {
    return entry != kMV2EmptyLoadoutEntry && Level(entry) != 255 &&
           int32_t(Level(entry)) <= g_state.equipmentLevel;
}

MV2SubData* SubData(MV2Object* craft) {
    if (!craft || !craft->type || craft->type->privateDataSize < sizeof(MV2SubData)) return nullptr;
    return static_cast<MV2SubData*>(craft->privateData);
}

void SetAwardBit(int32_t slot, int32_t bit) {
    g_state.awards[slot][1] |= int32_t(1u << bit);
}

int32_t* WordAddress(MV2SubRecord* r, int32_t word) {
    if (word == 0) return &r->type;
    if (word >= 2 && word <= 3) return &r->console[word - 2];
    if (word >= 4 && word <= 7) return &r->texts[word - 4];
    if (word >= 8 && word <= 10) return &r->ratings[word - 8];
    if (word == 11) return &r->zero;
    if (word == 12) return &r->weaponCount;
    if (word >= 13 && word <= 16) return reinterpret_cast<int32_t*>(&r->weapons[word - 13]);
    if (word >= 17 && word <= 20) return &r->weaponMounts[word - 17];
    if (word == 21) return &r->toolCount;
    if (word >= 22 && word <= 28) return reinterpret_cast<int32_t*>(&r->tools[word - 22]);
    if (word >= 29 && word <= 32) return &r->consoleValues[word - 29];
    if (word >= 33 && word <= 52)
        return reinterpret_cast<int32_t*>(&r->alternatives[(word - 33) / 5][(word - 33) % 5]);
    if (word >= 53 && word <= 56) return reinterpret_cast<int32_t*>(&r->chosen[word - 53]);
    return nullptr;
}

} // namespace

int32_t MV2GetSubRecordWord(const MV2SubRecord* record, int32_t word) {
    const int32_t* at = record ? WordAddress(const_cast<MV2SubRecord*>(record), word) : nullptr;
    return at ? *at : 0;
}

void MV2SetSubRecordWord(MV2SubRecord* record, int32_t word, int32_t value) {
    if (int32_t* at = record ? WordAddress(record, word) : nullptr) *at = value;
}

MV2SubRecord* MV2GetSubRecord(int32_t index) {
    EnsureRecords();
    return index >= 0 && index < kMV2SubRecords ? &g_state.records[index] : nullptr;
}

MV2SubRecord* MV2GetCurrentSubRecord() {
    return MV2GetSubRecord(g_state.current);
}

int32_t MV2GetCurrentSubRecordIndex() {
    return g_state.current;
}

int32_t MV2WeaponSlotOfItem(uint32_t item) {
    for (int32_t slot = 0; slot < kMV2WeaponRows; ++slot)
        if (uint32_t(MV2GetWeaponIcon(slot)) == item) return slot;
    return -1;
}

int32_t MV2ToolKindOfItem(uint32_t item) {
    for (int32_t kind = 0; kind < kMV2ToolIconCount; ++kind)
        if (uint32_t(kToolIcons[kind]) == item) return kind;
    return -1;
}

void* MV2SelectSub(int32_t type) {
    EnsureRecords();
    if (type == -1) {
        for (MV2SubRecord& r : g_state.records)
            ResetChoices(&r);
    } else {
        g_state.current = 0;
        for (int32_t i = 0; i < kMV2SubRecords; ++i)
            if (g_state.records[i].type == type) {
                g_state.current = i;
                break;
            }
    }
    g_state.equipmentLevel = MV2GetEquipmentLevel();
    MV2SubRecord* record = &g_state.records[g_state.current];
    if (type == -1) return record;
    MV2Object* craft = MV2GetPlayerObject();
    if (!craft) return nullptr;
    if (MV2ShotTypeOf(craft) == record->type) return craft;
    ResetChoices(record);
    TvV3d at = craft->matrix->pos;
    MV2ObjectSendMessage(craft, 4, 0, 0);
    float position[3];
    MV2ShotPoint(at, position);
    MV2Object* made = MV2CreateObject(record->type, position, nullptr);
    if (!made) return nullptr;
    MV2SetPlayerObject(made);
    MV2SetPlayerSub(made);
    MV2ObjectSendMessage(made, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
    MV2EquipPlayerSub(made);
    MV2PlacePlayerSubAtAnchor(1, 0);
    return made;
}

int32_t MV2GetCurrentSubType() {
    EnsureRecords();
    return g_state.records[g_state.current].type;
}

int32_t MV2EquipPlayerSub(MV2Object* craft) {
    EnsureRecords();
    MV2SubData* data = SubData(craft);
    if (!data) return 0;
    g_state.equipmentLevel = MV2GetEquipmentLevel();
    MV2RemoveAllWeapons(&data->weapons);
    MV2RemoveAllTools(&data->tools);
    const MV2SubRecord& r = g_state.records[g_state.current];
    const MV2SubDefinition* def = MV2GetSubDefinition(craft);
    const int32_t weapons = r.weaponCount < 0 ? 0 : r.weaponCount > 4 ? 4 : r.weaponCount;
    for (int32_t i = 0; i < weapons; ++i) {
        const int32_t slot = MV2WeaponSlotOfItem(Item(r.weapons[i]));
        if (Allowed(r.weapons[i]) && slot >= 0)
            MV2AddWeapon(&data->weapons, data, def, slot, r.weaponMounts[i], craft);
    }
    for (int32_t k = 0; k < 4; ++k) {
        const int32_t slot = MV2WeaponSlotOfItem(Item(r.chosen[k]));
        if (Allowed(r.chosen[k]) && slot >= 0)
            MV2AddWeapon(&data->weapons, data, def, slot, k, craft);
    }
    const int32_t tools = r.toolCount < 0 ? 0 : r.toolCount > 7 ? 7 : r.toolCount;
    for (int32_t j = 0; j < tools; ++j) {
        const int32_t kind = MV2ToolKindOfItem(Item(r.tools[j]));
        if (Allowed(r.tools[j]) && kind >= 0) MV2ObjectSendMessage(craft, 48, kind, 0);
    }
    MV2ObjectSendMessage(craft, 48, 1, 0);
    MV2ObjectSendMessage(craft, 48, 4, 0);
    // The first entries become current when they were added; else the current ones stay.
    if (weapons > 0) {
        const int32_t slot = MV2WeaponSlotOfItem(Item(r.weapons[0]));
        if (slot >= 0) MV2SelectWeapon(&data->weapons, slot);
    }
    if (tools > 0) {
        const int32_t kind = MV2ToolKindOfItem(Item(r.tools[0]));
        intptr_t found = 0;
        if (kind >= 0) MV2ObjectSendMessage(craft, 52, kind, reinterpret_cast<intptr_t>(&found));
        return found ? 1 : 0;
    }
    return 0;
}

void MV2RefillPlayerSub() {
    MV2Object* sub = MV2GetPlayerSub();
    MV2SubData* data = SubData(sub);
    if (!data) return;
    if (sub->type) sub->energy = MV2TypeFloat(sub->type, 1);
    for (MV2WeaponRecord* w = data->weapons.first; w; w = w->next) {
        w->reloadCountdown = w->row ? w->row->reload : 0;
        w->ammunition = w->maximum;
    }
    for (MV2Tool* t = data->tools.first; t; t = t->next) {
        if (t->row) {
            t->cooldown = t->row->cooldown;
            t->charges = t->row->initialCharges;
        }
        if (t == data->tools.last) break;
    }
}

void MV2PlacePlayerSubAtAnchor(int32_t setFrame, int32_t readAnchor) {
    MV2Object* sub = MV2GetPlayerSub();
    MV2Object* scene = MV2FindObjectByScriptID(0x70025);
    if (!sub || !scene || !sub->clump || !scene->clump) return;
    if (readAnchor) {
        if (MV2Object* second = MV2FindObjectByScriptID(0x70000)) g_state.second = *second->matrix;
        g_state.anchor = *scene->matrix;
    }
    MV2SubData* data = SubData(sub);
    if (setFrame) {
        TvMatrix* m = sub->matrix;
        m->right = g_state.anchor.right;
        m->up = g_state.anchor.up;
        m->at = g_state.anchor.at;
        TvMatrixOrthoNormalize(m, m);
        if (TpAtomic* root = MV2FindRootAtomic(sub->clump))
            if (root->object.frame && root->object.frame != sub->clump->frame) {
                TvMatrix* model = TvFrameGetMatrix(root->object.frame);
                model->right = g_state.anchor.right;
                model->up = g_state.anchor.up;
                model->at = g_state.anchor.at;
                TvMatrixOrthoNormalize(model, model);
            }
        if (data) data->thrust = 0.0f;
    }
    if (data) {
        data->thrust = data->verticalSpeed = data->yawRate = data->strafe = data->pitchRate = 0.0f;
    }
    if (sub->body) sub->body->velocity = sub->body->angularVelocity = TvV3d{};
    MV2ObjectSendMessage(sub, 31, 0, 0);
    float position[3];
    MV2ShotPoint(g_state.anchor.pos, position);
    MV2ObjectSendMessage(sub, 83, 0, reinterpret_cast<intptr_t>(position));
    sub->typeWord &= ~kMV2ObjectCollidesWorld;
}

void MV2SwaySubDisplay(MV2Object* object) {
    if (!object) return;
    g_state.displayAngle += float(MV2ShotFrameMilliseconds());
    const float degrees = std::sin(g_state.displayAngle * 0.04f * 3.14159265f / 180.0f) * 4.774648f;
    TvMatrix m = g_state.anchor;
    const TvV3d axis{0.0f, 1.0f, 0.0f};
    MV2ShotTurn(&m, axis, degrees);
    TvMatrixOrthoNormalize(&m, &m);
    *object->matrix = m;
    MV2ShotSyncFrame(object);
    object->previousPosition = m.pos;
}

void MV2AddAwardCounter(int32_t slot, int32_t counter, int32_t amount) {
    if (slot < 0 || slot > 2 || counter < 0 || counter > 3) return;
    int32_t* c = g_state.awards[slot];
    switch (counter) {
    case 0:
        c[0] += amount;
        if (c[0] >= 10) SetAwardBit(slot, 8);
        if (c[0] >= 25) SetAwardBit(slot, 9);
        if (c[0] >= 50) SetAwardBit(slot, 10);
        break;
    case 1: SetAwardBit(slot, amount & 31); break;
    case 2:
        c[2] += amount;
        if (c[2] >= 200) SetAwardBit(slot, 1);
        if (c[2] >= 500) SetAwardBit(slot, 2);
        if (c[2] >= 1000) SetAwardBit(slot, 3);
        break;
    default: c[3] = amount; break;
    }
}

void MV2SetAwardCounter(int32_t slot, int32_t counter, int32_t value) {
    if (slot < 0 || slot > 2 || counter < 0 || counter > 3) return;
    g_state.awards[slot][counter] = value;
}

void MV2GetAwardCounter(int32_t slot, int32_t counter, int32_t* out) {
    if (!out || slot < 0 || slot > 2 || counter < 0 || counter > 3) return;
    *out = g_state.awards[slot][counter];
}

void MV2ClearAwardCounters() {
    for (auto& slot : g_state.awards)
        for (int32_t& c : slot)
            c = 0;
}

void MV2GetPlayerLoadout(MV2PlayerLoadout* out) {
    *out = MV2PlayerLoadout{};
    MV2SubData* data = SubData(MV2GetPlayerObject());
    if (!data) return;
    for (MV2WeaponRecord* w = data->weapons.first; w && out->numWeapons < kMV2MaxLoadoutEntries;
         w = w->next)
        out->weapons[out->numWeapons++] = {w->slot, w->ammunition, w->mount};
    out->currentWeaponSlot = data->weapons.currentWeaponSlot;
    for (MV2Tool* t = data->tools.first; t && out->numTools < kMV2MaxLoadoutEntries; t = t->next) {
        // A second word holding a record pointer is not a number the file can keep.
        const int32_t word = t->word <= uintptr_t(INT32_MAX) ? int32_t(t->word) : 0;
        out->tools[out->numTools++] = {t->kind, word};
        if (t == data->tools.last) break;
    }
    out->currentTool = data->tools.currentKind;
}

int32_t MV2ApplyLoadout(MV2WeaponList* weapons, MV2ToolList* tools, void* ownerData,
                        const MV2SubDefinition* definition, MV2Object* owner,
                        const MV2PlayerLoadout* loadout) {
    if (!weapons || !tools || !loadout) return 0;
    int32_t refused = 0;
    MV2RemoveAllWeapons(weapons);
    MV2RemoveAllTools(tools);
    const int32_t nw = loadout->numWeapons < 0 ? 0
                       : loadout->numWeapons > kMV2MaxLoadoutEntries ? kMV2MaxLoadoutEntries
                                                                      : loadout->numWeapons;
    for (int32_t i = 0; i < nw; ++i) {
        const MV2SavedWeapon& s = loadout->weapons[i];
        MV2WeaponRecord* w = MV2AddWeapon(weapons, ownerData, definition, s.slot, s.mount, owner);
        if (!w) {
            ++refused;
            continue;
        }
        // The saved word cannot give more than the craft carries.
        if (w->maximum == -1) w->ammunition = s.ammunition < -1 ? 0 : s.ammunition;
        else w->ammunition = s.ammunition < 0 ? 0 : s.ammunition > w->maximum ? w->maximum
                                                                              : s.ammunition;
    }
    const int32_t nt = loadout->numTools < 0 ? 0
                       : loadout->numTools > kMV2MaxLoadoutEntries ? kMV2MaxLoadoutEntries
                                                                    : loadout->numTools;
    for (int32_t i = 0; i < nt; ++i) {
        const int32_t kind = loadout->tools[i].kind;
        if (kind < 0 || kind >= kMV2ToolKinds || !MV2AddTool(tools, kind, owner)) ++refused;
    }
    MV2SelectWeapon(weapons, loadout->currentWeaponSlot);
    if (MV2FindTool(tools, loadout->currentTool)) tools->currentKind = loadout->currentTool;
    return refused;
}

void MV2SetPlayerLoadout(const MV2PlayerLoadout* loadout) {
    MV2Object* craft = MV2GetPlayerObject();
    MV2SubData* data = SubData(craft);
    if (!data || !loadout) return;
    MV2ApplyLoadout(&data->weapons, &data->tools, data, MV2GetSubDefinition(craft), craft,
                    loadout);
}
