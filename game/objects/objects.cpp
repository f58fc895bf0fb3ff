#include "game/objects/objects.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/creatures/creatures.h"
#include "game/effects/effects.h"
#include "game/missions/missions.h"
#include "game/objects/budgets.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "shell/errors.h"

namespace {

constexpr uint32_t kTypeBitmapBytes = (kMV2ObjectTypes + 7) / 8;

TvFreeList* g_objects = nullptr;
MV2ObjectHandle g_serial = 1;
uint8_t g_live[kMV2MaxObjectHandle / 8];
MV2ActiveLink g_activeList = {&g_activeList, &g_activeList};
uint8_t g_destroyedTypes[8192];
uint8_t g_knownTypes[kTypeBitmapBytes];
const MV2CreationRecord* g_creationRecord = nullptr;
// The half-built object a failed creation is cleaning up: its destruction is no loss in play.
const MV2Object* g_failedCreation = nullptr;

MV2ObjectHandler g_handlers[kMV2ObjectTypes];
bool g_handlersFilled = false;

MV2ObjectHandler* Handlers() {
    if (!g_handlersFilled) {
        for (MV2ObjectHandler& h : g_handlers)
            h = MV2ObjectDefaultHandler;
        g_handlersFilled = true;
    }
    return g_handlers;
}

MV2Object* FromLink(MV2ActiveLink* link) {
    return reinterpret_cast<MV2Object*>(reinterpret_cast<uint8_t*>(link) -
                                        offsetof(MV2Object, active));
}

bool TestBit(const uint8_t* bits, uint32_t index) {
    return (bits[index / 8] >> (index % 8)) & 1;
}

void SetBit(uint8_t* bits, uint32_t index, bool on) {
    if (on)
        bits[index / 8] |= uint8_t(1u << (index % 8));
    else
        bits[index / 8] &= uint8_t(~(1u << (index % 8)));
}

int32_t TypeNumber(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}

bool HasBodyClass(const MV2ObjectType* type) {
    return (type->words[31] >> 28) & 3;
}

void Activate(MV2Object* object) {
    if (object->flags & kMV2ObjectActive) return;
    object->flags |= kMV2ObjectActive;
    object->active.next = g_activeList.next;
    object->active.prev = &g_activeList;
    g_activeList.next->prev = &object->active;
    g_activeList.next = &object->active;
}

void Deactivate(MV2Object* object) {
    if (!(object->flags & kMV2ObjectActive)) return;
    object->active.prev->next = object->active.next;
    object->active.next->prev = object->active.prev;
    object->active = {nullptr, nullptr};
    object->flags &= ~kMV2ObjectActive;
}

void PlaceObject(MV2Object* object, const float* position) {
    if (!position || !object->clump || !object->clump->frame) return;
    TvMatrix* matrix = TvFrameGetMatrix(object->clump->frame);
    matrix->pos = {position[0], position[1], position[2]};
    TvFrameUpdateObjects(object->clump->frame);
    object->previousPosition = matrix->pos;
}

// The owner of `other`, when it has one that is not `object`, attacks `object`.
void ReportAttacker(MV2Object* object, MV2Object* other) {
    if (!other) return;
    intptr_t owner = 0;
    MV2ObjectSendMessage(other, 16, 0, reinterpret_cast<intptr_t>(&owner));
    if (owner && reinterpret_cast<MV2Object*>(owner) != object)
        MV2ObjectSendMessage(object, 76, 0, owner);
}

void Destroy(MV2Object* object, intptr_t p1) {
    MV2ObjectType* type = object->type;
    if (object->privateData && type && type->privateData)
        TvFreeListFree(type->privateData, object->privateData);
    object->privateData = nullptr;
    if (object->handle < kMV2MaxObjectHandle)
        SetBit(g_live, object->handle, false);
    else
        MV2ErrorBox("Hit object maximum");
    Deactivate(object);
    if (TpClump* clump = object->clump) {
        if (TpWorld* world = TpClumpGetWorld(clump)) TpWorldRemoveClump(world, clump);
        if (type && (type->words[7] & kMV2TypePuppet)) MV2DestroyClump(clump);
        TpClumpDestroy(clump);
        object->clump = nullptr;
    }
    if (type && HasBodyClass(type)) MV2FreeBody(type, object->body);
    object->body = nullptr;
    if (object->ownedMemory) TvFree(object->ownedMemory);
    object->ownedMemory = nullptr;
    if (type) {
        if (p1)
            MV2ReturnClassBudget(type);
        else if (object != g_failedCreation)
            MV2SetDestroyedType(TypeNumber(object));
    }
    TvFreeListFree(g_objects, object);
}

// Sends message 4 to a half-built object and answers the failed creation.
MV2Object* FailCreation(MV2Object* object, const char* text) {
    if (text) MV2ErrorBox(text);
    const MV2Object* saved = g_failedCreation;
    g_failedCreation = object;
    MV2ObjectSendMessage(object, 4, 0, 0);
    g_failedCreation = saved;
    return nullptr;
}

// The model of a new object: the type's, a copy of the record's atomic or clump, or its own.
bool BuildModel(MV2Object* object, const MV2CreationRecord* record, const char** failure) {
    MV2ObjectType* type = object->type;
    if (type->model) {
        if (type->words[7] & kMV2TypePuppet) {
            *failure = "Could not load base clump for puppet";
            char path[64];
            std::snprintf(path, sizeof path, ".\\CLUMP\\%s.dff", MV2TypeModelName(type).name);
            object->clump = MV2ClumpLoad(path);
        } else {
            *failure = "Could not clone clump";
            object->clump = TpClumpClone(type->model);
        }
        return object->clump != nullptr;
    }
    if (record && record->atomic) {
        *failure = "Could not clone atomic/create frame";
        TpClump* clump = TpClumpCreate();
        if (!clump) return false;
        object->clump = clump;
        TvFrame* frame = TvFrameCreate();
        if (!frame) return false;
        TpClumpSetFrame(clump, frame);
        TpAtomic* atomic = TpAtomicClone(record->atomic);
        if (!atomic) return false;
        TpAtomicSetFrame(atomic, frame);
        TpClumpAddAtomic(clump, atomic);
        TpAtomicSetFlags(atomic, 5);
        return true;
    }
    if (record && record->clump) {
        *failure = "Could not clone clump";
        object->clump = TpClumpClone(record->clump);
        return object->clump != nullptr;
    }
    *failure = "Nothing to create";
    return MV2ObjectSendMessage(object, 98, 0, 0) != 0 && object->clump;
}

void AddStartPhase(MV2Object* object) {
    const MV2ObjectType* type = object->type;
    if (!(type->words[33] & (3u << 19)) || !(object->flags & kMV2ObjectAnimate)) return;
    TpAtomic* root = MV2FindRootAtomic(object->clump);
    const TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!geometry || geometry->numMorphTargets <= 1) return;
    TvRandom(); // decides a sign that is never negative
    const int32_t r = TvRandom() & 511;
    MV2AddAnimTime(object->clump, float(r) * float(geometry->numMorphTargets) * 0.0019569471f);
}

void FillRecord(MV2Object* object, int32_t typeNumber) {
    const MV2ObjectType* type = object->type;
    const uint32_t tf = type->words[7];
    std::memset(reinterpret_cast<uint8_t*>(object) + offsetof(MV2Object, overrideHandler), 0,
                sizeof *object - offsetof(MV2Object, overrideHandler));
    object->type = const_cast<MV2ObjectType*>(type);
    object->typeHandler = Handlers()[typeNumber];
    object->energy = MV2TypeFloat(type, 1);
    object->radius = MV2TypeFloat(type, 10);
    object->typeWord =
        uint32_t(typeNumber) | ((type->words[32] >> 28) << 16) | kMV2ObjectCollidesWorld;
    object->flags = ((tf >> 9) & 7) << 2 | ((tf >> 14) & 1) << 5 | ((tf >> 12) & 1) << 7 |
                    ((tf >> 16) & 1) << 8 | ((tf >> 17) & 1) << 9 | ((tf >> 5) & 1) << 10;
    object->typeHigh = uint16_t(type->words[30] >> 16);
    object->typeWord68 = type->words[68];
    object->byte0 = 255;
    object->nextWorldCheck = (TvRandom() & 255) * int32_t(type->words[69]) / 255;
    object->nextObjectCheck = (TvRandom() & 255) * int32_t(type->words[70]) / 255;
}

struct ClumpSearch {
    TpClump* first;
};

TpClump* TakeFirst(TpClump* clump, void* data) {
    static_cast<ClumpSearch*>(data)->first = clump;
    return nullptr;
}

struct ScriptSearch {
    int32_t id;
    MV2Object* found;
};

TpClump* MatchScriptId(TpClump* clump, void* data) {
    auto* search = static_cast<ScriptSearch*>(data);
    if (TpClumpGetCallBack(clump) != MV2UpdateClumpObject) return clump;
    MV2Object* object = MV2GetClumpObject(clump);
    if (!object) return clump;
    int32_t id = 0;
    MV2ObjectSendMessage(object, 35, 0, reinterpret_cast<intptr_t>(&id));
    if (id != search->id) return clump;
    search->found = object;
    return nullptr;
}

struct RayPick {
    TvV3d origin, direction, end;
    float length;
    const MV2Object* player;
    bool facing;
    TvV3d facingOrigin, facingAxis;
    float best;
    MV2Object* found;
    int32_t triangle;
    float distance;
};

int32_t PickOnRay(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* pick = static_cast<RayPick*>(data);
    TpClump* clump = TpAtomicGetClump(atomic);
    MV2Object* object = clump ? MV2GetClumpObject(clump) : nullptr;
    if (!object || object == pick->player || !atomic->object.frame) return 1;
    const TvV3d& at = TvFrameGetLTM(atomic->object.frame)->pos;
    const TvV3d& o = pick->origin;
    const TvV3d& d = pick->direction;
    float t = (at.x - o.x) * d.x + (at.y - o.y) * d.y + (at.z - o.z) * d.z;
    t = t < 0.0f ? 0.0f : (t > pick->length ? pick->length : t);
    const TvV3d nearest = {o.x + d.x * t, o.y + d.y * t, o.z + d.z * t};
    const TvV3d off = {nearest.x - at.x, nearest.y - at.y, nearest.z - at.z};
    const float squared = off.x * off.x + off.y * off.y + off.z * off.z;
    const float radius = MV2GetBoundingRadius(atomic);
    if (squared > radius * radius) return 1;
    int32_t triangle = 0;
    float fraction = 0.0f;
    if (!MV2IntersectAtomicLine(atomic, &pick->origin, &pick->end, &triangle, &fraction)) return 1;
    float value = squared;
    if (pick->facing) {
        const TvV3d& f = pick->facingOrigin;
        const TvV3d& a = pick->facingAxis;
        value = (nearest.x - f.x) * a.x + (nearest.y - f.y) * a.y + (nearest.z - f.z) * a.z;
        if (value <= 0.0f) return 1;
    }
    if (value < pick->best) {
        pick->best = value;
        pick->found = object;
        pick->triangle = triangle;
        pick->distance = fraction * pick->length;
    }
    return 1;
}

void SetPreLight(TpGeometry* geometry, uint8_t level) {
    if (!geometry || !geometry->preLight) return;
    TpGeometryLock(geometry, kTpLockPreLight);
    for (int32_t i = 0; i < geometry->numVertices; i++) {
        uint8_t* c = geometry->preLight + 4 * i;
        c[0] = c[1] = c[2] = level;
        c[3] = 255;
    }
    TpGeometryUnlock(geometry);
}

TvV3d Sub(const TvV3d& a, const TvV3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

TvV3d Normalised(TvV3d v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length > 0.0f) v = {v.x / length, v.y / length, v.z / length};
    return v;
}

TpAtomic* ComputeNormals(TpAtomic* atomic, void*) {
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    if (!geometry || !TpGeometryLock(geometry, kTpLockNormals | kTpLockPreLight)) return atomic;
    for (int32_t m = 0; m < geometry->numMorphTargets; m++) {
        TpMorphTarget& target = geometry->morphTargets[m];
        if (!target.normals || !target.vertices) continue;
        for (int32_t v = 0; v < geometry->numVertices; v++)
            target.normals[v] = {0, 0, 0};
        for (int32_t t = 0; t < geometry->numTriangles; t++) {
            const uint16_t* idx = geometry->triangles[t].vertex;
            if (idx[0] >= geometry->numVertices || idx[1] >= geometry->numVertices ||
                idx[2] >= geometry->numVertices)
                continue;
            const TvV3d& a = target.vertices[idx[0]];
            const TvV3d e1 = Sub(target.vertices[idx[1]], a), e2 = Sub(target.vertices[idx[2]], a);
            const TvV3d n = Normalised(
                {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x});
            for (uint16_t i : {idx[0], idx[1], idx[2]}) {
                target.normals[i].x += n.x;
                target.normals[i].y += n.y;
                target.normals[i].z += n.z;
            }
        }
        for (int32_t v = 0; v < geometry->numVertices; v++)
            target.normals[v] = Normalised(target.normals[v]);
    }
    TpGeometryUnlock(geometry);
    MV2ResetGeometryPreLight(geometry);
    return atomic;
}

TpAtomic* SetSurface(TpAtomic* atomic, void*) {
    if (TpGeometry* geometry = TpAtomicGetGeometry(atomic))
        TpGeometrySetSurfaceProperties(geometry, 1.0f, 1.0f, 1.0f);
    return atomic;
}

} // namespace

int32_t MV2InitialiseObjects() {
    if (!g_objects) g_objects = TvFreeListCreate(sizeof(MV2Object), 50);
    if (!g_objects) return 0;
    std::memset(g_live, 0, sizeof g_live);
    g_activeList = {&g_activeList, &g_activeList};
    MV2StopAllObjectSounds();
    return 1;
}

void MV2SetObjectTypeHandler(int32_t type, MV2ObjectHandler handler) {
    if (type < 0 || type >= kMV2ObjectTypes) return;
    Handlers()[type] = handler ? handler : MV2ObjectDefaultHandler;
}

MV2ObjectHandler MV2GetObjectTypeHandler(int32_t type) {
    return type >= 0 && type < kMV2ObjectTypes ? Handlers()[type] : nullptr;
}

MV2Object* MV2CreateObject(int32_t typeNumber, const float* position,
                           const MV2CreationRecord* record) {
    MV2ObjectType* type = MV2GetObjectType(typeNumber);
    if (!type || !g_objects) return nullptr;
    if (!(type->words[7] & kMV2TypeModelLoaded) && !MV2LoadObjectTypeModel(type)) return nullptr;
    auto* object = static_cast<MV2Object*>(TvFreeListAlloc(g_objects));
    if (!object) return nullptr;
    object->type = type;
    if (!MV2CheckClassBudget(type)) {
        TvFreeListFree(g_objects, object);
        return nullptr;
    }
    FillRecord(object, typeNumber);
    if (type->privateData) {
        object->privateData = TvFreeListAlloc(type->privateData);
        if (!object->privateData) {
            MV2ErrorBox("Could not allocate private data structure for object");
            TvFreeListFree(g_objects, object);
            return nullptr;
        }
    }
    object->handle = g_serial++;
    if (object->handle < kMV2MaxObjectHandle)
        SetBit(g_live, object->handle, true);
    else
        MV2ErrorBox("Hit object maximum");
    object->active = {nullptr, nullptr};

    const MV2CreationRecord* savedRecord = g_creationRecord;
    g_creationRecord = record;
    const char* failure = nullptr;
    const bool built = BuildModel(object, record, &failure);
    g_creationRecord = savedRecord;
    if (!built) return FailCreation(object, failure);

    if (HasBodyClass(type)) {
        TpAtomic* root = MV2FindRootAtomic(object->clump);
        const float radius = root ? TpAtomicGetBoundingSphere(root)->radius : 0.0f;
        object->body = MV2CreateBody(type, radius);
        if (!object->body) return FailCreation(object, "Could not create body ");
    }
    object->matrix = TvFrameGetMatrix(object->clump->frame);
    if (record && record->matrix) *object->matrix = *record->matrix;
    TpClumpSetCallBack(object->clump, MV2UpdateClumpObject);
    MV2SetClumpObject(object->clump, object);

    g_creationRecord = record;
    const intptr_t created =
        MV2ObjectSendMessage(object, 3, 0, reinterpret_cast<intptr_t>(position));
    g_creationRecord = savedRecord;
    if (!created) return FailCreation(object, nullptr);

    MV2AssignObjectBrain(object);
    AddStartPhase(object);
    MV2TakeClassBudget(type);
    if (type->words[33] & (1u << 17)) MV2SetKnownType(typeNumber);
    return object;
}

const MV2CreationRecord* MV2GetCreationRecord() {
    return g_creationRecord;
}

intptr_t MV2ObjectSendMessage(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if ((object->flags & kMV2ObjectMissionOwned) &&
        !MV2ObjectToScriptMessage(object, message, p1, p2))
        return 1;
    if (object->overrideHandler) return object->overrideHandler(object, message, p1, p2);
    if (object->typeHandler) return object->typeHandler(object, message, p1, p2);
    return 0;
}

intptr_t MV2ObjectDefaultHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 0:
        if (p1 == 1)
            Activate(object);
        else if (p1 >= 4 && p1 <= 2048 && (p1 & (p1 - 1)) == 0)
            object->flags |= uint32_t(p1);
        return 1;
    case 1:
        if (p1 == 1) Deactivate(object);
        return 1;
    case 2: MV2DefaultObjectUpdate(object); return 1;
    case 3:
        PlaceObject(object, reinterpret_cast<const float*>(p2));
        if (object->clump && !TpClumpGetWorld(object->clump))
            if (TpWorld* world = TpWorldGetCurrent()) TpWorldAddClump(world, object->clump);
        return 1;
    case 4: Destroy(object, p1); return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (!other) return 1;
        const bool tree = (object->type && (object->type->words[7] & kMV2TypeCollisionTree)) ||
                          (other->type && (other->type->words[7] & kMV2TypeCollisionTree));
        if (!tree) ReportAttacker(object, other);
        return 1;
    }
    case 16:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = 0;
        return 1;
    case 17:
        if (p2) *reinterpret_cast<MV2ObjectHandle*>(p2) = object->handle;
        return 1;
    case 19: ReportAttacker(object, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 29:
        object->overrideHandler = reinterpret_cast<MV2ObjectHandler>(p2);
        MV2ObjectSendMessage(object, 32, p1, 0);
        return 1;
    case 30:
        if (p2) *reinterpret_cast<MV2ObjectHandler*>(p2) = object->overrideHandler;
        return 1;
    case 31: object->overrideHandler = nullptr; return 1;
    case 35:
        if (p2) *reinterpret_cast<int32_t*>(p2) = object->scriptId;
        return 1;
    case 36: object->scriptId = int32_t(p1); return 1;
    case 37:
        if (p1 == 0) {
            // A type without initial energy answers 0 rather than a division by zero.
            const float initial = object->type ? MV2TypeFloat(object->type, 1) : 0.0f;
            if (p2)
                *reinterpret_cast<float*>(p2) = initial != 0.0f ? object->energy / initial : 0.0f;
        } else if (p1 >= 1 && p1 <= 5) {
            MV2ObjectSendMessage(object, 13, 0, p2);
        }
        return 1;
    case 43:
    case 44: return 1;
    case 45: return (object->flags >> 7) & 1;
    case 59:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = 0;
        return 1;
    case 62:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = object;
        return 1;
    case 75: return (object->typeWord & kMV2ObjectCollidesWorld) != 0;
    case 83: PlaceObject(object, reinterpret_cast<const float*>(p2)); return 1;
    default: return 0;
    }
}

int32_t MV2ObjectHandleAlive(MV2ObjectHandle handle) {
    return handle < kMV2MaxObjectHandle && TestBit(g_live, handle);
}

int32_t MV2SetObjectRef(MV2ObjectRef* ref, MV2Object* object) {
    ref->object = object;
    ref->handle = 0;
    // No object leaves the reference empty (a tool added to no owner, as a save's loadout can).
    if (!object) return 1;
    MV2ObjectSendMessage(object, 17, 0, reinterpret_cast<intptr_t>(&ref->handle));
    return 1;
}

MV2Object* MV2GetObjectRef(MV2ObjectRef* ref) {
    if (ref->object && MV2ObjectHandleAlive(ref->handle)) return ref->object;
    MV2ClearObjectRef(ref);
    return nullptr;
}

void MV2ClearObjectRef(MV2ObjectRef* ref) {
    ref->object = nullptr;
    ref->handle = 0;
}

MV2Object* MV2FindObjectByScriptID(int32_t scriptId) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return nullptr;
    ScriptSearch search{scriptId, nullptr};
    TpWorldForAllClumps(world, MatchScriptId, &search);
    return search.found;
}

MV2Object* MV2FindObjectOnRay(const TvV3d* origin, float length, const TvV3d* direction,
                              int32_t* triangle, float* distance, int32_t facing) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return nullptr;
    RayPick pick{};
    pick.origin = *origin;
    pick.direction = *direction;
    pick.length = length;
    pick.end = {origin->x + direction->x * length, origin->y + direction->y * length,
                origin->z + direction->z * length};
    pick.player = MV2GetPlayerObject();
    pick.facing = facing != 0;
    pick.facingOrigin = *origin;
    pick.facingAxis = *direction;
    if (pick.player && pick.player->matrix) {
        pick.facingOrigin = pick.player->matrix->pos;
        pick.facingAxis = pick.player->matrix->at;
    }
    pick.best = 10000.0f;
    const TvV3d middle = {origin->x + direction->x * length / 2,
                          origin->y + direction->y * length / 2,
                          origin->z + direction->z * length / 2};
    MV2ForAllAtomicsInSphere(world, &middle, length / 2, PickOnRay, &pick);
    if (pick.found) {
        if (triangle) *triangle = pick.triangle;
        if (distance) *distance = pick.distance;
    }
    return pick.found;
}

double MV2ObjectDistanceSquared(MV2Object* a, MV2Object* b) {
    const TvV3d& p = TvFrameGetMatrix(a->clump->frame)->pos;
    const TvV3d& q = TvFrameGetMatrix(b->clump->frame)->pos;
    const double dx = double(p.x) - q.x, dy = double(p.y) - q.y, dz = double(p.z) - q.z;
    return dx * dx + dy * dy + dz * dz;
}

void MV2DestroyAllObjects() {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    MV2ResetGravel();
    MV2ResetBubbles();
    MV2ResetFireballs();
    MV2ResetSmoke();
    MV2ResetTracers();
    MV2ResetScorches();
    MV2ResetExplosions();
    MV2ResetFlak();
    MV2ResetPlasmaBeams();
    MV2ResetBeams();
    MV2ClearElectricArcs();
    MV2StopLavaBlobs();
    for (;;) {
        ClumpSearch search{nullptr};
        TpWorldForAllClumps(world, TakeFirst, &search);
        TpClump* clump = search.first;
        if (!clump) break;
        MV2Object* object = MV2GetClumpObject(clump);
        const MV2ObjectHandle handle = object ? object->handle : 0;
        if (object) MV2ObjectSendMessage(object, 4, 0, 0);
        // A clump that is no object's, or whose object kept it, is taken out directly so the
        // loop always ends.
        ClumpSearch after{nullptr};
        TpWorldForAllClumps(world, TakeFirst, &after);
        if (after.first == clump &&
            (!object || MV2ObjectHandleAlive(handle) || handle >= kMV2MaxObjectHandle))
            TpWorldRemoveClump(world, clump);
    }
    MV2StopAllObjectSounds();
    TvFreeListPurgeAll();
}

void MV2FreeObjectTypes() {
    for (int32_t t = 0; t < kMV2ObjectTypes; t++) {
        MV2ObjectType* type = MV2GetObjectType(t);
        if (type->model) TpClumpDestroy(type->model);
        type->model = nullptr;
        if (type->collisionData) TvFree(type->collisionData);
        type->collisionData = nullptr;
        type->subDefinition = nullptr;
        if (type->privateData) TvFreeListDestroy(type->privateData);
        type->privateData = nullptr;
        type->words[7] &= ~kMV2TypeModelLoaded;
    }
    if (g_objects) TvFreeListDestroy(g_objects);
    g_objects = nullptr;
}

MV2Object* MV2FirstActiveObject() {
    return g_activeList.next == &g_activeList ? nullptr : FromLink(g_activeList.next);
}

MV2Object* MV2NextActiveObject(MV2Object* object) {
    return object->active.next == &g_activeList ? nullptr : FromLink(object->active.next);
}

int32_t MV2TestDestroyedType(int32_t type) {
    return type >= 0 && type < kMV2ObjectTypes && TestBit(g_destroyedTypes, uint32_t(type));
}

void MV2SetDestroyedType(int32_t type) {
    if (type >= 0 && type < kMV2ObjectTypes) SetBit(g_destroyedTypes, uint32_t(type), true);
}

void MV2ClearDestroyedTypes() {
    std::memset(g_destroyedTypes, 0, sizeof g_destroyedTypes);
}

int32_t MV2TestKnownType(int32_t type) {
    return type >= 0 && type < kMV2ObjectTypes && TestBit(g_knownTypes, uint32_t(type));
}

void MV2SetKnownType(int32_t type) {
    if (type >= 0 && type < kMV2ObjectTypes) SetBit(g_knownTypes, uint32_t(type), true);
}

void MV2ClearKnownTypes() {
    std::memset(g_knownTypes, 0, sizeof g_knownTypes);
}

void MV2SetGeometryFullBright(TpGeometry* geometry) {
    TpGeometrySetFlags(geometry, geometry->flags & ~kTpGeometryLight);
    SetPreLight(geometry, 255);
}

void MV2SetGeometryLightable(TpGeometry* geometry) {
    TpGeometrySetFlags(geometry, geometry->flags | kTpGeometryLight);
    SetPreLight(geometry, 0);
}

void MV2ResetGeometryPreLight(TpGeometry* geometry) {
    SetPreLight(geometry, 0);
}

void MV2ComputeClumpNormals(TpClump* clump) {
    TpClumpForAllAtomics(clump, ComputeNormals, nullptr);
    TpClumpForAllAtomics(clump, SetSurface, nullptr);
}
