// The suck-up device and the floating object.
#include "game/player/suckup.h"

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/drones.h"
#include "game/creatures/submarines.h"
#include "game/frontend/hud.h"
#include "game/missions/dirtcolumn.h"
#include "game/missions/missionflow.h"
#include "game/missions/scriptevents.h"
#include "game/objects/budgets.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "game/player/shots.h"
#include "game/player/tools.h"

namespace {

constexpr int32_t kEmpty = 461;
// The script events of the store: an item unloaded, the unload done, an object stored.
constexpr int32_t kEventUnloadedItem = 0, kEventUnloaded = 1, kEventStored = 5;
constexpr float kReach = 0.8f;

TvFreeList* g_records = nullptr;

// What the suction query's callback needs.
struct PullQuery {
    MV2Object* owner;
    MV2SuckUpData* data;
    TvV3d nozzle;
} g_query;

MV2SuckUpData* Data(MV2Tool* tool) {
    return tool ? reinterpret_cast<MV2SuckUpData*>(tool->word) : nullptr;
}

uint32_t LevelByte() {
    return gMV2Level.currentLevelId >> 24;
}

bool Collectable(MV2Object* object) {
    return MV2ObjectSendMessage(object, 70, 0, 0) != 0 && MV2ObjectSendMessage(object, 84, 0, 0) == 0;
}

// The nozzle's turn: 145 degrees about x.
TvMatrix NozzleTurn() {
    TvMatrix m{};
    TvMatrixSetIdentity(&m);
    const TvV3d x{1.0f, 0.0f, 0.0f};
    TvMatrixRotate(&m, &x, 145.0f, 0);
    return m;
}

TvV3d Turn(const TvMatrix& m, const TvV3d& v) {
    return TvV3dAdd(TvV3dAdd(TvV3dScale(m.right, v.x), TvV3dScale(m.up, v.y)), TvV3dScale(m.at, v.z));
}

void Compact(MV2SuckUpData* d) {
    int32_t to = 0;
    for (int32_t from = 0; from < kMV2SuckUpSlots; ++from)
        if (d->types[from] != kEmpty) d->types[to++] = d->types[from];
    for (; to < kMV2SuckUpSlots; ++to)
        d->types[to] = kEmpty;
}

void StopSuction(MV2SuckUpData* d, MV2Object* owner) {
    if (MV2Object* beam = MV2GetObjectRef(&d->beam)) MV2ObjectSendMessage(beam, 12, 0, 0);
    if (owner) MV2StopObjectSound(owner, MV2ShotSound("ORS"), &d->sound);
}

void Suction(MV2SuckUpData* d) {
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    if (!owner || !owner->matrix) return;
    if (d->harmful) owner->energy -= MV2ShotFrameStep() * 0.02f;
    intptr_t load = 0;
    MV2SendToolCommand(owner, 0, 34, 0, &load);
    MV2ClearObjectRef(&d->drone);
    if (owner == MV2GetPlayerObject() && !load && LevelByte() == 0)
        if (MV2Object* drone = MV2FindDroneInReach(owner)) MV2SetObjectRef(&d->drone, drone);
    if (d->count >= MV2SuckUpCapacity()) return;
    MV2ObjectHandler brain = nullptr;
    MV2ObjectSendMessage(owner, 30, 0, reinterpret_cast<intptr_t>(&brain));
    if (brain == MV2DroneCarryHandler || d->disabled) return;
    const TvMatrix* m = owner->matrix;
    const TvV3d nozzle = TvV3dAdd(m->pos, Turn(*m, d->nozzleOffset));
    const TvMatrix turn = NozzleTurn();
    if (MV2Object* beam = MV2GetObjectRef(&d->beam); beam && beam->matrix) {
        TvMatrix placed{};
        TvMatrixMultiply(&placed, &turn, m);
        placed.pos = nozzle;
        *beam->matrix = placed;
        MV2ShotSyncFrame(beam);
    }
    const TvV3d centre = TvV3dAdd(nozzle, Turn(*m, Turn(turn, {0.0f, kReach, 0.0f})));
    d->sucking = 0;
    g_query = {owner, d, nozzle};
    MV2ForAllAtomicsInSphere(TpWorldGetCurrent(), &centre, kReach, MV2SuckUpPull, nullptr);
    g_query = {};
    if (d->count >= MV2SuckUpCapacity()) d->sucking = 0;
    if (d->sucking)
        MV2StartObjectSound(owner, MV2ShotSound("ORS"), &d->sound, 0, 0);
    else
        StopSuction(d, owner);
}

void Deliver(MV2SuckUpData* d) {
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    if (!owner) return;
    const bool player = owner == MV2GetPlayerObject();
    bool any = false;
    // Every slot is announced to the scripts that listen for unloads, empty ones as 461.
    for (int32_t& type : d->types) {
        if (type != kEmpty) {
            any = true;
            MV2AddTypeClassWeights(type);
        }
        MV2NotifyScripts(owner, kEventUnloadedItem, type);
        const bool award = (type >= 88 && type <= 93) || type == 98 || type == 99 || type == 101 ||
                           type == 102;
        if (player && award) MV2AddAwardCounter(0, 2, MV2GetTypeClassWeight(type, 1));
        type = kEmpty;
    }
    if (any) MV2NotifyScripts(owner, kEventUnloaded, 0);
    d->count = d->harmful = 0;
}

int32_t Add(MV2Tool* tool, MV2Object* owner) {
    auto* d = static_cast<MV2SuckUpData*>(
        MV2ShotGunDataAlloc(&g_records, sizeof(MV2SuckUpData), "Could not create free list for suckup", nullptr));
    if (!d || !tool) return 0;
    *d = MV2SuckUpData{};
    tool->word = reinterpret_cast<uintptr_t>(d);
    MV2SetObjectRef(&d->owner, owner);
    for (int32_t& type : d->types)
        type = kEmpty;
    if (owner && owner->clump && owner->matrix)
        if (TvFrame* nozzle = MV2FindFrameByTag(owner->clump, 999)) {
            const TvMatrix* m = owner->matrix;
            const TvV3d rel = TvV3dSub(TvFrameGetLTM(nozzle)->pos, m->pos);
            d->nozzleOffset = {TvV3dDot(rel, m->right), TvV3dDot(rel, m->up), TvV3dDot(rel, m->at)};
        }
    const float at[3] = {0.0f, 0.0f, 0.0f};
    const float* where = owner && owner->matrix ? &owner->matrix->pos.x : at;
    if (MV2Object* beam = MV2CreateObject(kMV2DirtColumnType, where, nullptr)) {
        MV2SetObjectRef(&d->beam, beam);
        if (MV2DirtColumn* c = MV2GetDirtColumn(beam)) {
            MV2DirtColumnSetHeight(c, 1.6f);
            MV2DirtColumnSetRadii(c, 0.05f, 0.8f);
            MV2DirtColumnSetCount(c, 33);
            MV2DirtColumnSetFallStep(c, 0.05f);
        }
        MV2ObjectSendMessage(beam, 12, 0, 0);
        MV2ObjectSendMessage(beam, 24, 0, 0);
    }
    return 1;
}

void Remove(MV2Tool* tool, MV2SuckUpData* d) {
    if (!d) return;
    if (MV2Object* owner = MV2GetObjectRef(&d->owner))
        MV2StopObjectSound(owner, MV2ShotSound("ORS"), &d->sound);
    if (MV2Object* beam = MV2GetObjectRef(&d->beam)) MV2ObjectSendMessage(beam, 4, 0, 0);
    TvFreeListFree(g_records, d);
    tool->word = 0;
}

void Answer(intptr_t p2, intptr_t value) {
    if (p2) *reinterpret_cast<intptr_t*>(p2) = value;
}

} // namespace

int32_t MV2SuckUpCapacity() {
    const uint32_t level = LevelByte();
    return level == 7 ? 4 : kMV2SuckUpSlots;
}

int32_t MV2SuckUpPull(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    MV2Object* owner = g_query.owner;
    MV2SuckUpData* d = g_query.data;
    MV2Object* object = atomic ? MV2GetClumpObject(TpAtomicGetClump(atomic)) : nullptr;
    if (!owner || !d || !object || object == owner || !object->matrix || !Collectable(object)) return 1;
    const TvV3d v = TvV3dSub(g_query.nozzle, object->matrix->pos);
    const float distance = MV2ShotLength(v);
    if (distance > 0.0f) {
        const TvV3d force = TvV3dScale(v, 0.1f / distance);
        MV2AddForce(object, &force);
    }
    if (MV2Object* beam = MV2GetObjectRef(&d->beam)) {
        d->sucking = 1;
        uint32_t on = 0;
        MV2ObjectSendMessage(beam, 13, 0, reinterpret_cast<intptr_t>(&on));
        if (on == 0) MV2ObjectSendMessage(beam, 12, 1, 0);
    }
    if (distance < kReach && MV2SuckUpTake(owner, object))
        MV2ShotPlayAt(owner->matrix->pos, 1.0f, "MGHATTACH", 0);
    return 1;
}

int32_t MV2SuckUpTake(MV2Object* craft, MV2Object* object) {
    if (!craft || !object || !Collectable(object)) return 0;
    MV2Tool* tool = nullptr;
    MV2SendToolCommand(craft, 5, 88, 0, &tool);
    MV2SuckUpData* d = Data(tool);
    if (!d) return 0;
    if (d->count >= kMV2SuckUpSlots) {
        // The oldest type makes room.
        if (d->types[0] == kMV2HarmfulType && d->harmful > 0) --d->harmful;
        for (int32_t i = 1; i < kMV2SuckUpSlots; ++i)
            d->types[i - 1] = d->types[i];
        d->types[kMV2SuckUpSlots - 1] = kEmpty;
        d->count = kMV2SuckUpSlots - 1;
    }
    const int32_t type = MV2ShotTypeOf(object);
    d->types[d->count++] = type;
    if (type == kMV2HarmfulType) ++d->harmful;
    MV2NotifyScripts(craft, kEventStored, type);
    MV2ObjectSendMessage(object, 4, 0, 0);
    return 1;
}

int32_t MV2SuckUpToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    MV2SuckUpData* d = Data(tool);
    switch (command) {
    case 3: return Add(tool, reinterpret_cast<MV2Object*>(p2));
    case 4: Remove(tool, d); return 1;
    case 2:
        if (d) Suction(d);
        return 1;
    case 13: Answer(p2, d && p1 >= 0 && p1 < kMV2SuckUpSlots ? d->types[p1] : kEmpty); return 1;
    case 34: return 0; // the camera query asks every tool; the held types are read with 13
    case 25: Answer(p2, d ? d->harmful : 0); return 1;
    case 33:
        if (d && p1 >= 0 && p1 < kMV2SuckUpSlots && d->types[p1] != kEmpty) {
            if (d->types[p1] == kMV2HarmfulType && d->harmful > 0) --d->harmful;
            d->types[p1] = kEmpty;
            --d->count;
            Compact(d);
        }
        return 1;
    case 37: Answer(p2, d ? d->count : 0); return 1;
    case 39:
        if (d) Deliver(d);
        return 0;
    case 53: {
        MV2Object* owner = d ? MV2GetObjectRef(&d->owner) : nullptr;
        MV2Object* drone = d ? MV2GetObjectRef(&d->drone) : nullptr;
        if (owner && drone) MV2DronePickUp(drone, owner);
        return 1;
    }
    case 57:
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) {
            uint32_t colour = kMV2HudColour & 0xFFFFFFu;
            if (d && MV2GetObjectRef(&d->drone)) colour = 0x00FF00u;
            else if (d && d->count >= MV2SuckUpCapacity()) colour = 0xFF0000u;
            else if (d && d->sucking) colour = 0xFFFF00u;
            *icon = {24, colour};
        }
        return 1;
    case 59:
        if (auto* g = reinterpret_cast<MV2ToolGauge*>(p2)) {
            const int32_t count = d ? d->count : 0;
            const bool small = LevelByte() == 7 && MV2GetPlayerObject();
            g->coloured = 1;
            g->colour = 0xFFFFA800u;
            g->level = ((small ? count * 255 / 4 : count * 255 / 40) & 255) | 256;
        }
        return 0;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}

intptr_t MV2FloatingObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 2 && object->matrix) {
        const TvV3d up{0.0f, 50.0f, 0.0f};
        MV2ApplyUprightForce(object, &up);
        float depth = 0.0f;
        if (MV2GetWaterDepth(&object->matrix->pos, &depth)) {
            object->matrix->pos.y += depth;
            MV2ShotSyncFrame(object);
        }
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}
