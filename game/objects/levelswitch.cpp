#include "game/objects/levelswitch.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/missions/missions.h"
#include "game/objects/budgets.h"
#include "game/objects/collision.h"
#include "game/objects/levels.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"

uint32_t gMV2LevelSwitches = 0;
float gMV2LevelSwitchParameter = kMV2LevelSwitchParameter;
MV2WallSet gMV2WallSets[kMV2WallSets];
MV2ObjectRef gMV2WallSlots[kMV2WallSlots];

namespace {

constexpr uint32_t L0 = 0x00FFFFFF, L1 = 0x01FFFFFF, L3 = 0x03FFFFFF;

} // namespace

const MV2LevelSwitchEntry kMV2LevelSwitchTable[kMV2LevelSwitches] = {
    {L0, 0x40065, MV2_SWITCH_DESTROY}, {L0, 0, MV2_SWITCH_OWN},
    {L0, 0, MV2_SWITCH_OWN},           {L0, 0, MV2_SWITCH_OWN},
    {L0, 0, MV2_SWITCH_OWN},           {L0, 0x40263, MV2_SWITCH_DESTROY},
    {L0, 0, MV2_SWITCH_OWN},           {L0, 0x40049, MV2_SWITCH_DESTROY},
    {L0, 0x4021B, MV2_SWITCH_DESTROY}, {L0, 0, MV2_SWITCH_OWN},
    {L0, 0x2AFFFF, MV2_SWITCH_SPAWN},  {L0, 0x40066, MV2_SWITCH_DESTROY},
    {L0, 0x40067, MV2_SWITCH_DESTROY}, {L0, 0x40068, MV2_SWITCH_DESTROY},
    {L0, 0x40054, MV2_SWITCH_DESTROY}, {L0, 0x4021F, MV2_SWITCH_DESTROY},
    {L0, 0x40283, MV2_SWITCH_DESTROY}, {L0, 0x40222, MV2_SWITCH_SIGNAL},
    {L0, 0x40264, MV2_SWITCH_SIGNAL},  {L1, 0, MV2_SWITCH_OWN},
    {L1, 0x100000A, MV2_SWITCH_SIGNAL}, {L3, 0, MV2_SWITCH_OWN},
    {L3, 0, MV2_SWITCH_OWN},           {L3, 0, MV2_SWITCH_OWN},
    {L3, 0, MV2_SWITCH_OWN},           {L3, 0, MV2_SWITCH_OWN},
    {L3, 0, MV2_SWITCH_OWN},
};

namespace {

struct WallFile {
    uint32_t item;
    const char* file;
};

constexpr WallFile kWallFiles[24] = {
    {0x220000, "mw1a.col"}, {0x220001, "mw2a.col"}, {0x220002, "mw3a.col"},
    {0x220003, "mw4a.col"}, {0x220004, "mw5a.col"}, {0x220005, "mfina.col"},
    {0x220006, "mw1b.col"}, {0x220007, "mw2b.col"}, {0x220008, "mw3b.col"},
    {0x220009, "mw4b.col"}, {0x220014, "mw5b.col"}, {0x220015, "mfinb.col"},
    {0x22000A, "mw1c.col"}, {0x22000B, "mw2c.col"}, {0x22000C, "mw3c.col"},
    {0x22000D, "mw4c.col"}, {0x220016, "mw5c.col"}, {0x220017, "mfinc.col"},
    {0x22000E, "mw1d.col"}, {0x22000F, "mw2d.col"}, {0x220010, "mw3d.col"},
    {0x220011, "mw4d.col"}, {0x220012, "mw5d.col"}, {0x220013, "mfind.col"},
};

// The items each slot position steps through, rows of kWallFiles.
constexpr int32_t kChainLength = 6;

MV2ObjectType g_wallType;
int32_t g_reloading = 0;

intptr_t Send(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    return gMV2LevelCalls.sendMessage(object, message, p1, p2);
}

MV2Object* Find(uint32_t scriptId) {
    return MV2FindObjectByScriptID(int32_t(scriptId));
}

void Destroy(uint32_t scriptId) {
    if (MV2Object* o = Find(scriptId)) Send(o, 4, 0, 0);
}

void Message(uint32_t scriptId, int32_t message, intptr_t p1, intptr_t p2) {
    if (MV2Object* o = Find(scriptId)) Send(o, message, p1, p2);
}

void Signal(uint32_t scriptId) {
    Message(scriptId, 79, 1, reinterpret_cast<intptr_t>(&gMV2LevelSwitchParameter));
}

void SpawnAndMessage93(uint32_t record, uint32_t first) {
    MV2SpawnLevelRecord(record, -1);
    for (uint32_t i = 0; i < 3; i++)
        Message(first + i, 93, 0, 0);
}

void OwnAction(int32_t index) {
    switch (index) {
    case 1: SpawnAndMessage93(0x4CFFFF, 0x4C0006); break;
    case 2:
        for (uint32_t id : {0x400DDu, 0x400F6u, 0x400ECu})
            Destroy(id);
        break;
    case 3: SpawnAndMessage93(0x50FFFF, 0x500000); break;
    case 4: SpawnAndMessage93(0x51FFFF, 0x510000); break;
    case 6: Message(0x40049, 12, 1, 0); break;
    case 9:
        for (uint32_t id : {0x2002Fu, 0x2002Cu, 0x2002Du, 0x20030u, 0x20031u, 0x2000Eu, 0x20011u,
                            0x20035u, 0x20034u, 0x2004Fu, 0x20050u, 0x20051u, 0x20012u, 0x500000u,
                            0x500001u, 0x500002u})
            Destroy(id);
        gMV2LevelSwitches &= ~(1u << 3);
        MV2SpawnLevelRecord(0x45FFFF, -1);
        break;
    case 19:
        Message(0x1000005, 12, 0, 0);
        Message(0x1000006, 11, 1, 0);
        Message(0x1000004, 11, 1, 0);
        break;
    case 21:
    case 22:
    case 23:
    case 24: MV2RunLevelSwitchAction21To24(index); break;
    case 25:
        for (uint32_t id : {0x3000007u, 0x3000008u, 0x3000009u})
            Destroy(id);
        Message(0x3000006, 12, 1, 0);
        Message(0x3000018, 24, 0, 0);
        break;
    case 26:
        for (uint32_t id : {0x3000002u, 0x300000Du, 0x300000Eu})
            Signal(id);
        break;
    default: break;
    }
}

bool ValidSwitch(int32_t index) {
    return index >= 0 && index < 32;
}

void BuildWallSets() {
    int32_t at[kMV2WallSlots] = {0, 0, 0, 0};
    for (int32_t n = 0; n < kMV2WallSets; n++) {
        if (n > 0) ++at[(n - 1) % kMV2WallSlots];
        MV2WallSet& s = gMV2WallSets[n];
        s.id = 0x1DB + uint32_t(n);
        for (int32_t p = 0; p < kMV2WallSlots; p++)
            s.items[p] = kWallFiles[p * kChainLength + at[p]].item;
        s.next = n + 1 < kMV2WallSets ? n + 1 : 0;
    }
}

struct WallSetTable {
    WallSetTable() {
        BuildWallSets();
        for (MV2WallSet& s : gMV2WallSets)
            s.state = MV2_WALLSET_WAITING;
    }
} g_wallSetTable;

float LargestVertexDistance(TpClump* clump) {
    TpAtomic* root = MV2FindRootAtomic(clump);
    TpGeometry* g = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!g || g->numMorphTargets < 1 || !g->morphTargets[0].vertices) return 0.0f;
    float largest = 0.0f;
    for (int32_t i = 0; i < g->numVertices; i++) {
        const TvV3d& v = g->morphTargets[0].vertices[i];
        largest = std::fmax(largest, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
    }
    return largest;
}

// Turns a spawned object into a wall with its collision file.
void MakeWall(MV2Object* o, const char* file) {
    if (o->privateData && o->type && o->type->privateData)
        TvFreeListFree(o->type->privateData, o->privateData);
    o->privateData = nullptr;
    o->typeWord = (o->typeWord & ~kMV2ObjectTypeMask) | uint32_t(kMV2WallType);
    if (o->type != &g_wallType) {
        g_wallType = *o->type;
        g_wallType.model = nullptr;
        g_wallType.privateData = nullptr;
        g_wallType.collisionData = nullptr;
        g_wallType.privateDataSize = 0;
    }
    o->type = &g_wallType;
    MV2SetAllAtomicFlags(o->clump, 5);
    char path[64];
    std::snprintf(path, sizeof path, ".\\clump\\%s", file);
    o->privateData = MV2ReadCollisionFile(path, o->clump);
    g_wallType.words[7] = (g_wallType.words[7] | (1u << 13)) & ~(1u << 12);
    o->flags |= 0x2C;
    const float radius = LargestVertexDistance(o->clump);
    MV2SetTypeFloat(&g_wallType, 10, radius);
    o->radius = radius;
}

} // namespace

void MV2ResetLevelSwitches() {
    gMV2LevelSwitches = 0;
}

void MV2SetLevelSwitch(int32_t index, int32_t runAction) {
    if (!ValidSwitch(index)) return;
    gMV2LevelSwitches |= 1u << index;
    if (runAction) MV2RunLevelSwitchAction(index);
}

void MV2ClearLevelSwitch(int32_t index) {
    if (!ValidSwitch(index)) return;
    if (index == 17 || index == 18 || index == 20 || index == 26) {
        gMV2LevelSwitchParameter = 0.0f;
        gMV2LevelSwitches |= 1u << index;
        MV2RunLevelSwitchAction(index);
        gMV2LevelSwitchParameter = kMV2LevelSwitchParameter;
    }
    gMV2LevelSwitches &= ~(1u << index);
}

int32_t MV2TestLevelSwitch(int32_t index) {
    return ValidSwitch(index) && (gMV2LevelSwitches >> index) & 1 ? 1 : 0;
}

void MV2GetLevelSwitchState(void** address, size_t* size) {
    *address = &gMV2LevelSwitches;
    *size = kMV2LevelSwitchStateSize;
}

void MV2GetLevelSwitchState(uint8_t* out) {
    for (size_t i = 0; i < kMV2LevelSwitchStateSize; i++)
        out[i] = uint8_t(gMV2LevelSwitches >> (8 * i));
}

void MV2SetLevelSwitchState(const uint8_t* state) {
    gMV2LevelSwitches = 0;
    for (size_t i = 0; i < kMV2LevelSwitchStateSize; i++)
        gMV2LevelSwitches |= uint32_t(state[i]) << (8 * i);
}

void MV2RunLevelSwitchAction(int32_t index) {
    if (index < 0 || index >= kMV2LevelSwitches) return;
    const MV2LevelSwitchEntry& e = kMV2LevelSwitchTable[index];
    if ((e.levelId >> 24) != (MV2GetCurrentLevelId() >> 24)) return;
    if (!MV2TestLevelSwitch(index)) return;
    MV2CurrentLevelWorld world;
    switch (e.kind) {
    case MV2_SWITCH_DESTROY: Destroy(e.id); break;
    case MV2_SWITCH_SPAWN: MV2SpawnLevelRecord(e.id, -1); break;
    case MV2_SWITCH_SIGNAL: Signal(e.id); break;
    case MV2_SWITCH_OWN: OwnAction(index); break;
    default: break;
    }
}

const char* MV2WallCollisionFile(uint32_t itemId) {
    for (const WallFile& w : kWallFiles)
        if (w.item == itemId) return w.file;
    return nullptr;
}

void MV2RemoveWallSets() {
    for (MV2ObjectRef& slot : gMV2WallSlots) {
        if (MV2Object* o = MV2GetObjectRef(&slot)) {
            // The collision block is the wall's; message 4 alone destroys the clump.
            if (o->privateData) TvFree(o->privateData);
            o->privateData = nullptr;
            Send(o, 4, 0, 0);
        }
        MV2ClearObjectRef(&slot);
    }
}

int32_t MV2FreeWallSets() {
    MV2RemoveWallSets();
    MV2ResetClassBudgets();
    for (MV2WallSet& s : gMV2WallSets)
        s.state = MV2_WALLSET_WAITING;
    if (gMV2MainLoop.dataRebuild) gMV2WallSets[0].state = MV2_WALLSET_TO_LOAD;
    return 1;
}

void MV2LoadWallSets() {
    MV2RemoveWallSets();
    for (MV2WallSet& s : gMV2WallSets) {
        if (s.state != MV2_WALLSET_LOADED) continue;
        if (g_reloading) {
            s.state = MV2_WALLSET_TO_LOAD;
        } else {
            s.state = MV2_WALLSET_PASSED;
            gMV2WallSets[s.next].state = MV2_WALLSET_TO_LOAD;
        }
    }
    MV2CurrentLevelWorld world;
    for (MV2WallSet& s : gMV2WallSets) {
        if (s.state != MV2_WALLSET_TO_LOAD) continue;
        for (int32_t p = 0; p < kMV2WallSlots; p++) {
            const uint32_t item = s.items[p];
            MV2Object* o = MV2SpawnLevelRecordItem(item | 0xFFFF, -1, item);
            const char* file = MV2WallCollisionFile(item);
            if (!o || !file) continue;
            MakeWall(o, file);
            MV2SetObjectRef(&gMV2WallSlots[p], o);
        }
        s.state = MV2_WALLSET_LOADED;
    }
}

void MV2ReloadWallSets() {
    g_reloading = 1;
    MV2LoadWallSets();
    g_reloading = 0;
}

int32_t MV2GetActiveWallSet() {
    for (int32_t n = 0; n < kMV2WallSets; n++)
        if (gMV2WallSets[n].state == MV2_WALLSET_LOADED) return n;
    return 0;
}

void MV2SelectWallSet(int32_t index) {
    // Indexes outside the table name no set.
    if (index < 0 || index >= kMV2WallSets) return;
    if (index == MV2GetActiveWallSet() && gMV2WallSets[index].state == MV2_WALLSET_LOADED) return;
    if (index < 1) {
        gMV2WallSets[index].state = MV2_WALLSET_TO_LOAD;
        MV2ReloadWallSets();
        return;
    }
    for (int32_t n = 0; n < index; n++)
        gMV2WallSets[n].state = MV2_WALLSET_PASSED;
    gMV2WallSets[index].state = MV2_WALLSET_TO_LOAD;
    MV2LoadWallSets();
}

void MV2ForAllWallSetClumps() {
    for (MV2ObjectRef& slot : gMV2WallSlots)
        if (MV2Object* o = MV2GetObjectRef(&slot))
            if (o->clump) MV2SetAllAtomicFlags(o->clump, 1);
}

namespace {

MV2SignalBeaconData* Beacon(MV2Object* o) {
    return static_cast<MV2SignalBeaconData*>(o->privateData);
}

void SetPartFlags(MV2Object* o, uint32_t tag, uint8_t flags) {
    if (!o->clump) return;
    if (TpAtomic* a = MV2FindAtomicByTag(o->clump, tag)) TpAtomicSetFlags(a, flags);
}

uint8_t PartFlags(MV2Object* o, uint32_t tag) {
    if (!o->clump) return 0;
    TpAtomic* a = MV2FindAtomicByTag(o->clump, tag);
    return a ? a->object.object.flags : 0;
}

void PartGeometry(MV2Object* o, uint32_t tag, void (*set)(TpGeometry*)) {
    if (!o->clump) return;
    if (TpAtomic* a = MV2FindAtomicByTag(o->clump, tag))
        if (TpGeometry* g = TpAtomicGetGeometry(a)) set(g);
}

} // namespace

intptr_t MV2SignalBeaconHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2SignalBeaconData* b = object ? Beacon(object) : nullptr;
    switch (message) {
    case 2: {
        intptr_t r = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (object->clump) {
            TvFrame* frame = MV2GetRootFrame(object->clump);
            TvMatrix* m = TvFrameGetMatrix(frame);
            const TvV3d axis = m->at;
            MV2RotateMatrixInPlace(m, &axis, gMV2FrameTimer.ticks * 0.6f, kTvCombinePostConcat);
            TvFrameUpdateObjects(frame);
        }
        const uint32_t now = gMV2FrameTimer.frameClock;
        if (b && b->state == 1 && int32_t(now - b->nextBlink) >= 0) {
            b->nextBlink = now + 250;
            const uint8_t one = PartFlags(object, 1), two = PartFlags(object, 2);
            SetPartFlags(object, 1, two);
            SetPartFlags(object, 2, one);
        }
        return r;
    }
    case 3: {
        intptr_t r = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (b) *b = {nullptr, 0, 0};
        Send(object, 12, 0, 0);
        PartGeometry(object, 1, MV2SetGeometryFullBright);
        PartGeometry(object, 2, MV2SetGeometryLightable);
        PartGeometry(object, 3, MV2SetGeometryLightable);
        return r;
    }
    case 12:
        if (!b || b->state == 2) return 1;
        if (p1 == 0) {
            SetPartFlags(object, 1, 0);
            SetPartFlags(object, 3, 0);
            SetPartFlags(object, 2, 4);
            b->state = 0;
        } else if (p1 == 1) {
            b->state = 1;
            b->nextBlink = gMV2FrameTimer.frameClock + 250;
        } else if (p1 == 2) {
            SetPartFlags(object, 1, 0);
            SetPartFlags(object, 2, 0);
            SetPartFlags(object, 3, 4);
            b->state = 2;
        }
        return 1;
    case 33:
        if (b) b->linked = reinterpret_cast<MV2Object*>(p2);
        return 1;
    case 34:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = b ? b->linked : nullptr;
        return 1;
    case 96:
        if (p2) *reinterpret_cast<uint32_t*>(p2) = uint32_t(sizeof(MV2SignalBeaconData));
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2HiddenAnchorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 3: {
        intptr_t r = MV2ObjectDefaultHandler(object, message, p1, p2);
        object->privateData = nullptr;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        return r;
    }
    case 4: object->privateData = nullptr; return MV2ObjectDefaultHandler(object, message, p1, p2);
    case 33: object->privateData = reinterpret_cast<void*>(p2); return 1;
    case 34:
        if (p2) *reinterpret_cast<void**>(p2) = object->privateData;
        return 1;
    case 96: return 0;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}
