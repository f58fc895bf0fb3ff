#include "engine/world/world.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/camera.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/link.h"
#include "engine/core/memory.h"
#include "engine/core/pipe.h"
#include "engine/core/resources.h"
#include "engine/world/d3d_world.h"
#include "engine/world/light.h"
#include "engine/world/world_plugin.h"

TvModuleGlobals TpWorldModule;
TvModuleGlobals TpWorldObjectsModule;
TvPluginRegistry TpWorldRegistry = TvPluginRegistryInitial(sizeof(TpWorld));
TvPluginRegistry TpWorldSectorRegistry = TvPluginRegistryInitial(sizeof(TpWorldSector));

namespace {

constexpr int32_t kWorldEntriesPerChunk = 3;
constexpr int32_t kAtomicTiesPerChunk = 100;
constexpr int32_t kLightTiesPerChunk = 20;
constexpr int32_t kVisibleGrowth = 50;
constexpr int32_t kSetReplayOrderFunction = 22;

// An entry of the world module's list of worlds.
struct WorldEntry {
    TpWorld* world;
    size_t size;
    TvLink link;
};

// World-objects extension data on cameras, atomics, clumps and lights.
struct CameraExtension {
    TpWorldSector** visible;
    int32_t capacity;
    int32_t count;
    TpWorld* world;
    TvCameraUpdateFn savedBeginUpdate;
    TvCameraUpdateFn savedEndUpdate;
    TvObjectHasFrameSyncFn savedSync;
    uint16_t renderFrame; // stamp of the last visible-clump walk
};
// Atomics and lights: their world and the sync callback the tie-making one replaced.
struct FramedExtension {
    TpWorld* world;
    TvObjectHasFrameSyncFn savedSync;
};
using AtomicExtension = FramedExtension;
using LightExtension = FramedExtension;
struct ClumpExtension {
    TpWorld* world;
};

int32_t g_cameraExt = -1;
int32_t g_atomicExt = -1;
int32_t g_clumpExt = -1;
int32_t g_lightExt = -1;

template <typename T> T* Ext(const void* object, int32_t offset) {
    return reinterpret_cast<T*>(reinterpret_cast<uintptr_t>(object) + uintptr_t(offset));
}
CameraExtension* CameraExt(const TvCamera* c) {
    return Ext<CameraExtension>(c, g_cameraExt);
}
AtomicExtension* AtomicExt(const TpAtomic* a) {
    return Ext<AtomicExtension>(a, g_atomicExt);
}
ClumpExtension* ClumpExt(const TpClump* c) {
    return Ext<ClumpExtension>(c, g_clumpExt);
}
LightExtension* LightExt(const TpLight* l) {
    return Ext<LightExtension>(l, g_lightExt);
}

TpWorldModuleData* WorldData() {
    return TvEngineModuleData<TpWorldModuleData>(TpWorldModule);
}
TpWorldObjectsModuleData* ObjectsData() {
    return TvModuleIsOpen(TpWorldObjectsModule)
               ? TvEngineModuleData<TpWorldObjectsModuleData>(TpWorldObjectsModule)
               : nullptr;
}

bool CheckWorld(const void* object) {
    return TpCheck(TpWorldModule, object);
}
bool CheckObjects(const void* object) {
    return TpCheck(TpWorldObjectsModule, object);
}

bool IsLeaf(const TpSector* s) {
    return s->type < 0;
}
int Axis(const TpPlaneSector* p) {
    return (p->type >> 2) % 3;
}
float Coord(const TvV3d& v, int axis) {
    return (&v.x)[axis];
}

// Leaves from left to right; the walk stops when `visit` returns false.
template <typename F> void ForLeaves(TpSector* root, F visit) {
    if (!root) return;
    TpSectorWalk<TpSector*> pending;
    pending.Push(root);
    while (!pending.Empty()) {
        TpSector* s = pending.Pop();
        if (IsLeaf(s)) {
            if (!visit(reinterpret_cast<TpWorldSector*>(s))) return;
            continue;
        }
        auto* p = reinterpret_cast<TpPlaneSector*>(s);
        pending.Push(p->rightChild);
        pending.Push(p->leftChild);
    }
}

void FreeTie(TvFreeList* list, TpSectorTie* tie) {
    TvLinkRemove(&tie->inSector);
    TvLinkRemove(&tie->inObject);
    TvFreeListFree(list, tie);
}

void FreeTies(TvLink* head, TvFreeList* list) {
    while (!TvLinkEmpty(head))
        FreeTie(list, TpTieInObject(head->next));
}

bool Tie(TvFreeList* list, void* object, TvLink* objectTies, TpWorldSector* sector,
         TvLink* sectorTies) {
    auto* tie = static_cast<TpSectorTie*>(TvFreeListAlloc(list));
    if (!tie) return false;
    tie->object = object;
    tie->sector = sector;
    TvLinkInsertHead(sectorTies, &tie->inSector);
    TvLinkInsertHead(objectTies, &tie->inObject);
    return true;
}

void FreeAtomicWorldState(TpAtomic* atomic) {
    if (atomic->instancedData) TvResourcesFreeResEntry(atomic->instancedData);
    atomic->instancedData = nullptr;
    if (TpWorldObjectsModuleData* data = ObjectsData())
        FreeTies(&atomic->sectorTies, data->atomicTies);
    AtomicExt(atomic)->world = nullptr;
}

// Atomic sync: after the saved sync, ties the atomic to the leaves its world sphere reaches.
TvObjectHasFrame* AtomicSync(TvObjectHasFrame* object) {
    auto* atomic = reinterpret_cast<TpAtomic*>(object);
    AtomicExtension* ext = AtomicExt(atomic);
    atomic->counter++;
    if (ext->savedSync && !ext->savedSync(object)) return nullptr;
    TpWorld* world = ext->world;
    TpWorldObjectsModuleData* data = ObjectsData();
    if (!world || !data) return object;
    FreeTies(&atomic->sectorTies, data->atomicTies);
    const TvSphere* s = TpAtomicGetWorldBoundingSphere(atomic);
    const TvBBox box{{s->center.x + s->radius, s->center.y + s->radius, s->center.z + s->radius},
                     {s->center.x - s->radius, s->center.y - s->radius, s->center.z - s->radius}};
    if (box.inf.x < 0 || box.inf.y < 0 || box.inf.z < 0) return object;
    const bool collision = atomic->object.object.flags & kTpAtomicCollisionTest;
    TpWorldForLeavesReached(world->root, box, [&](TpWorldSector* leaf) {
        Tie(data->atomicTies, atomic, &atomic->sectorTies, leaf,
            collision ? &leaf->collisionAtomics : &leaf->otherAtomics);
        return true;
    });
    return object;
}

// Light sync: local lights in a world are tied to the leaves their radius reaches.
TvObjectHasFrame* LightSync(TvObjectHasFrame* object) {
    auto* light = reinterpret_cast<TpLight*>(object);
    LightExtension* ext = LightExt(light);
    light->counter++;
    if (ext->savedSync && !ext->savedSync(object)) {
        TpCommonError(E_TV_NULLP);
        return nullptr;
    }
    TpWorld* world = ext->world;
    TpWorldObjectsModuleData* data = ObjectsData();
    if (light->object.object.subType < kTpLightFirstLocal || !world || !light->object.frame ||
        !data)
        return object;
    FreeTies(&light->sectorTies, data->lightTies);
    const TvV3d p = TvFrameGetLTM(light->object.frame)->pos;
    const float r = light->radius;
    TvBBox box{{p.x + r, p.y + r, p.z + r}, {p.x - r, p.y - r, p.z - r}};
    if (box.sup.x < 0 || box.sup.y < 0 || box.sup.z < 0) {
        TpWorldError(E_TP_LIGHTBELOWZERO);
        return nullptr;
    }
    box.inf = {std::max(box.inf.x, 0.0f), std::max(box.inf.y, 0.0f), std::max(box.inf.z, 0.0f)};
    TpWorldForLeavesReached(world->root, box, [&](TpWorldSector* leaf) {
        Tie(data->lightTies, light, &light->sectorTies, leaf, &leaf->lights);
        return true;
    });
    return object;
}

// Appends a leaf to the camera's visible list, growing it by 50 entries when full.
bool AppendVisible(CameraExtension* ext, TpWorldSector* leaf) {
    if (ext->count >= ext->capacity) {
        const int32_t capacity = ext->capacity + kVisibleGrowth;
        auto* grown = static_cast<TpWorldSector**>(
            TvRealloc(ext->visible, sizeof(TpWorldSector*) * size_t(capacity)));
        if (!grown) {
            TpCommonError(E_TV_NOMEM);
            return false;
        }
        ext->visible = grown;
        ext->capacity = capacity;
    }
    ext->visible[ext->count++] = leaf;
    return true;
}

bool LeafOutside(const TvCamera* camera, const TpWorldSector* leaf) {
    const TvV3d* corners = &leaf->boundingBox.sup; // index 0 maximum, 1 minimum
    for (const TvFrustumPlane& fp : camera->frustumPlanes) {
        const TvV3d c{corners[fp.closestX].x, corners[fp.closestY].y, corners[fp.closestZ].z};
        const TvV3d& n = fp.plane.normal;
        if (n.x * c.x + n.y * c.y + n.z * c.z - fp.plane.distance > 0) return true;
    }
    return false;
}

void BuildVisibleList(TvCamera* camera, CameraExtension* ext) {
    ext->count = 0;
    TpWorld* world = ext->world;
    const TvBBox& frustum = camera->frustumBoundBox;
    const TvV3d p = camera->object.frame ? TvFrameGetLTM(camera->object.frame)->pos : TvV3d{};
    TpSectorWalk<TpSector*> pending;
    if (world->root) pending.Push(world->root);
    while (!pending.Empty()) {
        TpSector* s = pending.Pop();
        if (IsLeaf(s)) {
            auto* leaf = reinterpret_cast<TpWorldSector*>(s);
            if (!LeafOutside(camera, leaf) && !AppendVisible(ext, leaf)) break;
            continue;
        }
        auto* plane = reinterpret_cast<TpPlaneSector*>(s);
        const int a = Axis(plane);
        if (Coord(frustum.inf, a) - plane->leftValue >= 0) {
            pending.Push(plane->rightChild);
        } else if (plane->rightValue - Coord(frustum.sup, a) >= 0) {
            pending.Push(plane->leftChild);
        } else {
            const bool onRight = Coord(p, a) > plane->value;
            TpSector* near = onRight ? plane->rightChild : plane->leftChild;
            TpSector* far = onRight ? plane->leftChild : plane->rightChild;
            // The child visited first is pushed last.
            const bool farFirst = world->renderOrder == kTpWorldBackToFront;
            pending.Push(farFirst ? near : far);
            pending.Push(farFirst ? far : near);
        }
    }
    if (TvStandardFn fn = TV_ENGINE->standardFunctions[kSetReplayOrderFunction])
        fn(nullptr, nullptr, world->renderOrder == kTpWorldFrontToBack ? 1 : 0);
}

TvCamera* CameraBeginUpdate(TvCamera* camera) {
    CameraExtension* ext = CameraExt(camera);
    TV_ENGINE->worldLibrary = ext->world;
    TpWorldAdvanceRenderFrame();
    return ext->savedBeginUpdate ? ext->savedBeginUpdate(camera) : camera;
}

TvCamera* CameraEndUpdate(TvCamera* camera) {
    CameraExtension* ext = CameraExt(camera);
    TV_ENGINE->worldLibrary = nullptr;
    return ext->savedEndUpdate ? ext->savedEndUpdate(camera) : camera;
}

TvObjectHasFrame* CameraSync(TvObjectHasFrame* object) {
    auto* camera = reinterpret_cast<TvCamera*>(object);
    CameraExtension* ext = CameraExt(camera);
    if (ext->savedSync && !ext->savedSync(object)) return nullptr;
    if (ext->world) BuildVisibleList(camera, ext);
    return object;
}

void* CameraConstruct(void* object, int32_t offset, int32_t) {
    auto* camera = static_cast<TvCamera*>(object);
    auto* ext = Ext<CameraExtension>(object, offset);
    *ext = CameraExtension{};
    ext->savedBeginUpdate = camera->beginUpdate;
    ext->savedEndUpdate = camera->endUpdate;
    ext->savedSync = camera->object.sync;
    camera->beginUpdate = CameraBeginUpdate;
    camera->endUpdate = CameraEndUpdate;
    camera->object.sync = CameraSync;
    return object;
}
void* CameraDestruct(void* object, int32_t offset, int32_t) {
    auto* camera = static_cast<TvCamera*>(object);
    auto* ext = Ext<CameraExtension>(object, offset);
    TvFree(ext->visible);
    camera->beginUpdate = ext->savedBeginUpdate;
    camera->endUpdate = ext->savedEndUpdate;
    camera->object.sync = ext->savedSync;
    *ext = CameraExtension{};
    return object;
}
void* CameraCopy(void* dest, const void* src, int32_t offset, int32_t) {
    auto* camera = static_cast<TvCamera*>(dest);
    Ext<CameraExtension>(dest, offset)->world = Ext<CameraExtension>(src, offset)->world;
    if (camera->object.frame) TvFrameUpdateObjects(camera->object.frame);
    return dest;
}

// Atomics and lights (T) get `Sync` in front of their own sync callback; destroying them frees
// their ties from the `Ties` free list and takes lights out of their world's list.
template <typename T, TvObjectHasFrameSyncFn Sync>
void* FramedConstruct(void* object, int32_t offset, int32_t) {
    auto* o = static_cast<T*>(object);
    *Ext<FramedExtension>(object, offset) = FramedExtension{nullptr, o->object.sync};
    o->object.sync = Sync;
    return object;
}
template <typename T, TvFreeList* TpWorldObjectsModuleData::*Ties>
void* FramedDestruct(void* object, int32_t offset, int32_t) {
    auto* o = static_cast<T*>(object);
    auto* ext = Ext<FramedExtension>(object, offset);
    if (TpWorldObjectsModuleData* data = ObjectsData()) FreeTies(&o->sectorTies, data->*Ties);
    if constexpr (std::is_same_v<T, TpLight>) {
        if (ext->world) TvLinkRemove(&o->inWorld);
    }
    o->object.sync = ext->savedSync;
    ext->world = nullptr;
    return object;
}
void* AtomicCopy(void* dest, const void* src, int32_t offset, int32_t) {
    auto* atomic = static_cast<TpAtomic*>(dest);
    Ext<AtomicExtension>(dest, offset)->world = Ext<AtomicExtension>(src, offset)->world;
    if (atomic->object.frame) TvFrameUpdateObjects(atomic->object.frame);
    return dest;
}

void* ClumpConstruct(void* object, int32_t offset, int32_t) {
    Ext<ClumpExtension>(object, offset)->world = nullptr;
    return object;
}
void* KeepObject(void* object, int32_t, int32_t) {
    return object;
}
void* ClumpCopy(void* dest, const void* src, int32_t offset, int32_t) {
    if (TpWorld* world = Ext<ClumpExtension>(src, offset)->world)
        TpWorldAddClump(world, static_cast<TpClump*>(dest));
    return dest;
}

// Frees what the world-objects module holds; used by a failed open and by close.
void ReleaseWorldObjects(TpWorldObjectsModuleData* data) {
    if (data->atomicTies) TvFreeListDestroy(data->atomicTies);
    if (data->lightTies) TvFreeListDestroy(data->lightTies);
    *data = TpWorldObjectsModuleData{};
}

void* WorldObjectsOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpWorldObjectsModuleData*>(TvEngineInstanceData(instance, offset));
    data->atomicTies = TvFreeListCreate(sizeof(TpSectorTie), kAtomicTiesPerChunk);
    data->lightTies =
        data->atomicTies ? TvFreeListCreate(sizeof(TpSectorTie), kLightTiesPerChunk) : nullptr;
    if (!data->lightTies) {
        ReleaseWorldObjects(data);
        return nullptr;
    }
    data->renderFrame = 1;
    data->lightingStamp = 0;
    return TvModuleOpened(TpWorldObjectsModule, instance, offset);
}

void* WorldObjectsClose(void* instance, int32_t offset, int32_t) {
    ReleaseWorldObjects(
        static_cast<TpWorldObjectsModuleData*>(TvEngineInstanceData(instance, offset)));
    return TvModuleClosed(TpWorldObjectsModule, instance);
}

TpWorldSector* DefaultSectorRender(TpWorldSector* sector) {
    if (!TvPipeStackPush(WorldData()->defaultSectorPipe)) {
        TvPipeStackPop(); // the stack took the entry even though the push failed
        return nullptr;
    }
    void* result = TvPipeStackExecute(sector);
    TvPipeStackPop();
    return result ? sector : nullptr;
}

void DestroyLeafMesh(TpWorldSector* leaf) {
    if (leaf->mesh && leaf->mesh != TvD3DEmptyMeshBlock()) TvFree(leaf->mesh);
    leaf->mesh = nullptr;
}

// Frees what a leaf holds beyond its arrays: instanced data, ties and plug-in data.
void ReleaseLeaf(TpWorldSector* leaf) {
    if (leaf->instancedData) TvResourcesFreeResEntry(leaf->instancedData);
    leaf->instancedData = nullptr;
    if (TpWorldObjectsModuleData* data = ObjectsData()) {
        while (!TvLinkEmpty(&leaf->collisionAtomics))
            FreeTie(data->atomicTies, TpTieInSector(leaf->collisionAtomics.next));
        while (!TvLinkEmpty(&leaf->otherAtomics))
            FreeTie(data->atomicTies, TpTieInSector(leaf->otherAtomics.next));
        while (!TvLinkEmpty(&leaf->lights))
            FreeTie(data->lightTies, TpTieInSector(leaf->lights.next));
    }
    TvPluginDeinitObject(&TpWorldSectorRegistry, leaf);
}

// Records the world in an object's extension; its frame's next synchronisation does the rest.
TpWorld* Enter(TpWorld* world, TpWorld** slot, TvFrame* frame) {
    *slot = world;
    if (frame) TvFrameUpdateObjects(frame);
    world->counter++;
    return world;
}

WorldEntry* FindEntry(const TpWorld* world) {
    TvLink* head = &WorldData()->worlds;
    for (TvLink* l = head->next; l != head; l = l->next) {
        WorldEntry* e = TvContainerOf<WorldEntry>(l, offsetof(WorldEntry, link));
        if (e->world == world) return e;
    }
    return nullptr;
}

// Frees what the world module holds; used by a failed open and by close.
void ReleaseWorldModule(TpWorldModuleData* data) {
    if (data->defaultSectorPipe) TvPipeDestroy(data->defaultSectorPipe);
    if (data->entryFreeList) TvFreeListDestroy(data->entryFreeList);
    *data = TpWorldModuleData{};
}

} // namespace

void* _TpWorldModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpWorldModuleData*>(TvEngineInstanceData(instance, offset));
    data->entryFreeList = TvFreeListCreate(sizeof(WorldEntry), kWorldEntriesPerChunk);
    TvLinkInit(&data->worlds);
    data->defaultSectorPipe = data->entryFreeList ? TvPipeCreate() : nullptr;
    if (!data->defaultSectorPipe || !TpD3DWorldSectorSetup(data->defaultSectorPipe)) {
        ReleaseWorldModule(data);
        return nullptr;
    }
    data->defaultSectorPipe->stage4 = TpWorldSectorLightingStage;
    return TvModuleOpened(TpWorldModule, instance, offset);
}

void* _TpWorldModuleClose(void* instance, int32_t offset, int32_t) {
    ReleaseWorldModule(static_cast<TpWorldModuleData*>(TvEngineInstanceData(instance, offset)));
    return TvModuleClosed(TpWorldModule, instance);
}

int32_t _TpWorldObjectsAttach() {
    if (TvEngineRegisterPlugin(sizeof(TpWorldObjectsModuleData), kTpWorldObjectsModuleId,
                               WorldObjectsOpen, WorldObjectsClose) < 0)
        return 0;
    g_cameraExt = TvCameraRegisterPlugin(sizeof(CameraExtension), kTpWorldObjectsModuleId,
                                         CameraConstruct, CameraDestruct, CameraCopy);
    if (g_cameraExt < 0) return 0;
    g_atomicExt = TpAtomicRegisterPlugin(
        sizeof(AtomicExtension), kTpWorldObjectsModuleId, FramedConstruct<TpAtomic, AtomicSync>,
        FramedDestruct<TpAtomic, &TpWorldObjectsModuleData::atomicTies>, AtomicCopy);
    if (g_atomicExt < 0) return 0;
    g_clumpExt = TpClumpRegisterPlugin(sizeof(ClumpExtension), kTpWorldObjectsModuleId,
                                       ClumpConstruct, KeepObject, ClumpCopy);
    if (g_clumpExt < 0) return 0;
    g_lightExt = TpLightRegisterPlugin(
        sizeof(LightExtension), kTpWorldObjectsModuleId, FramedConstruct<TpLight, LightSync>,
        FramedDestruct<TpLight, &TpWorldObjectsModuleData::lightTies>, nullptr);
    if (g_lightExt < 0) return 0;
    return TpD3DWorldObjectsSetup() > 0 ? 1 : 0;
}

uint16_t TpWorldGetRenderFrame() {
    const TpWorldObjectsModuleData* data = ObjectsData();
    return data ? data->renderFrame : 0;
}
uint16_t TpWorldAdvanceRenderFrame() {
    TpWorldObjectsModuleData* data = ObjectsData();
    return data ? ++data->renderFrame : 0;
}
uint16_t TpWorldGetLightingStamp() {
    const TpWorldObjectsModuleData* data = ObjectsData();
    return data ? data->lightingStamp : 0;
}
uint16_t TpWorldAdvanceLightingStamp() {
    TpWorldObjectsModuleData* data = ObjectsData();
    return data ? ++data->lightingStamp : 0;
}

uint16_t _TpWorldAdvanceQueryStamp() {
    TpWorldObjectsModuleData* data = ObjectsData();
    if (!data) return 0;
    if (++data->queryStamp == 0) {
        _TpAtomicClearQueryStamps();
        data->queryStamp = 1;
    }
    return data->queryStamp;
}

TpWorld* TpWorldGetCurrent() {
    return static_cast<TpWorld*>(TV_ENGINE->worldLibrary);
}

TpWorld* _TpWorldInitialise(TpWorld* world, bool constructPlugins) {
    std::memset(world, 0, sizeof *world);
    world->object.type = kTpWorldObjectType;
    world->renderOrder = kTpWorldBackToFront;
    TpMaterialListInitialise(&world->materials);
    world->clumpCursor = &world->clumps;
    TvLinkInit(&world->clumps);
    TvLinkInit(&world->localLights);
    TvLinkInit(&world->globalLights);
    world->surfaceProps[0] = world->surfaceProps[1] = world->surfaceProps[2] = 1.0f;
    world->renderCallBack = DefaultSectorRender;
    if (constructPlugins) TvPluginInitObject(&TpWorldRegistry, world);
    return world;
}

TpWorldSector* _TpWorldSectorInitialise(TpWorldSector* sector) {
    std::memset(sector, 0, sizeof *sector);
    sector->type = -1;
    TvLinkInit(&sector->collisionAtomics);
    TvLinkInit(&sector->otherAtomics);
    TvLinkInit(&sector->lights);
    TvPluginInitObject(&TpWorldSectorRegistry, sector);
    return sector;
}

bool _TpWorldEnter(TpWorld* world, size_t blockSize) {
    if (!CheckWorld(world)) return false;
    auto* entry = static_cast<WorldEntry*>(TvFreeListAlloc(WorldData()->entryFreeList));
    if (!entry) return false;
    entry->world = world;
    entry->size = blockSize;
    TvLinkInsertHead(&WorldData()->worlds, &entry->link);
    return true;
}

int32_t TpWorldDestroy(TpWorld* world) {
    return _TpWorldDestroy(world, true);
}

int32_t _TpWorldDestroy(TpWorld* world, bool pluginData) {
    if (!CheckWorld(world)) return 0;
    // Lights and clumps a caller left in the world (a failed start skips their removal) leave
    // it now: their own destruction later must not reach into the freed world.
    for (TvLink* head : {&world->globalLights, &world->localLights})
        while (!TvLinkEmpty(head))
            TpWorldRemoveLight(world, TvContainerOf<TpLight>(head->next, offsetof(TpLight, inWorld)));
    while (!TvLinkEmpty(&world->clumps))
        TpWorldRemoveClump(world, TvContainerOf<TpClump>(world->clumps.next, offsetof(TpClump, inWorld)));
    if (WorldEntry* entry = FindEntry(world)) {
        TvLinkRemove(&entry->link);
        TvFreeListFree(WorldData()->entryFreeList, entry);
    }
    ForLeaves(world->root, [](TpWorldSector* leaf) {
        DestroyLeafMesh(leaf);
        return true;
    });
    world->counter++;
    TpMaterialListDeinitialise(&world->materials);
    ForLeaves(world->root, [](TpWorldSector* leaf) {
        ReleaseLeaf(leaf);
        return true;
    });
    if (pluginData) TvPluginDeinitObject(&TpWorldRegistry, world);
    if (world->object.privateFlags & kTpWorldSingleBlock) {
        TvFree(world);
        return 1;
    }
    // Node by node, with each leaf's arrays and collision tree.
    std::vector<TpSector*> pending;
    if (world->root) pending.push_back(world->root);
    while (!pending.empty()) {
        TpSector* s = pending.back();
        pending.pop_back();
        if (IsLeaf(s)) {
            auto* leaf = reinterpret_cast<TpWorldSector*>(s);
            for (void* block :
                 {static_cast<void*>(leaf->triangles), static_cast<void*>(leaf->vertices),
                  static_cast<void*>(leaf->normals), static_cast<void*>(leaf->texCoords),
                  static_cast<void*>(leaf->modulation), static_cast<void*>(leaf->preLight),
                  leaf->collisionTree})
                TvFree(block);
        } else {
            auto* p = reinterpret_cast<TpPlaneSector*>(s);
            if (p->leftChild) pending.push_back(p->leftChild);
            if (p->rightChild) pending.push_back(p->rightChild);
        }
        TvFree(s);
    }
    TvFree(world);
    return 1;
}

TvBBox* TpWorldGetBBox(TpWorld* world) {
    return CheckWorld(world) ? &world->boundingBox : nullptr;
}
TvV3d* TpWorldGetOffset(TpWorld* world) {
    return CheckWorld(world) ? &world->offset : nullptr;
}
TpWorld* TpWorldSetSurfaceProperties(TpWorld* world, float ambient, float specular, float diffuse) {
    if (!CheckWorld(world)) return nullptr;
    world->surfaceProps[0] = ambient;
    world->surfaceProps[1] = specular;
    world->surfaceProps[2] = diffuse;
    world->counter++;
    return world;
}
TpWorld* TpWorldSetRenderOrder(TpWorld* world, uint32_t order) {
    if (!CheckWorld(world)) return nullptr;
    world->renderOrder = order;
    world->counter++;
    return world;
}
TpWorld* TpWorldSetFlags(TpWorld* world, uint8_t flags) {
    if (!CheckWorld(world)) return nullptr;
    world->object.flags = flags;
    world->counter++;
    return world;
}
uint8_t TpWorldGetFlags(const TpWorld* world) {
    return CheckWorld(world) ? world->object.flags : 0;
}
TpWorld* TpWorldSetSectorRenderCallBack(TpWorld* world, TpWorldSectorRenderCallBack callBack) {
    if (!CheckWorld(world) || !CheckWorld(reinterpret_cast<void*>(callBack))) return nullptr;
    world->renderCallBack = callBack;
    world->counter++;
    return world;
}
TpWorldSectorRenderCallBack TpWorldGetSectorRenderCallBack(const TpWorld* world) {
    return CheckWorld(world) ? world->renderCallBack : nullptr;
}
TvPipe* TpWorldGetDefaultSectorPipe() {
    if (!TvModuleIsOpen(TpWorldModule)) {
        TpCommonError(E_TV_NOTOPEN);
        return nullptr;
    }
    return WorldData()->defaultSectorPipe;
}

TpWorld* TpWorldForAllClumps(TpWorld* world, TpClumpCallBack callback, void* data) {
    if (!CheckWorld(world) || !CheckWorld(reinterpret_cast<void*>(callback))) return nullptr;
    for (TvLink* l = world->clumps.next; l != &world->clumps;) {
        TvLink* next = l->next;
        if (!callback(TvContainerOf<TpClump>(l, offsetof(TpClump, inWorld)), data)) break;
        l = next;
    }
    return world;
}

TpWorld* TpWorldForAllMaterials(TpWorld* world, TpMaterialCallBack callback, void* data) {
    if (!CheckWorld(world) || !CheckWorld(reinterpret_cast<void*>(callback))) return nullptr;
    for (int32_t i = 0; i < world->materials.count; i++)
        if (!callback(world->materials.materials[i], data)) break;
    return world;
}

TpWorld* TpWorldForAllLights(TpWorld* world, TpLightCallBack callback, void* data) {
    if (!CheckWorld(world) || !CheckWorld(reinterpret_cast<void*>(callback))) return nullptr;
    for (TvLink* head : {&world->globalLights, &world->localLights}) {
        for (TvLink* l = head->next; l != head;) {
            TvLink* next = l->next;
            if (!callback(TvContainerOf<TpLight>(l, offsetof(TpLight, inWorld)), data))
                return world;
            l = next;
        }
    }
    return world;
}

TpWorld* TpWorldForAllWorldSectors(TpWorld* world, TpWorldSectorCallBack callback, void* data) {
    if (!CheckWorld(world) || !CheckWorld(reinterpret_cast<void*>(callback))) return nullptr;
    ForLeaves(world->root, [&](TpWorldSector* leaf) { return callback(leaf, data) != nullptr; });
    return world;
}

TpWorld* TpWorldSectorGetWorld(const TpWorldSector* sector) {
    if (!CheckWorld(sector)) return nullptr;
    TvLink* head = &WorldData()->worlds;
    for (TvLink* l = head->next; l != head; l = l->next) {
        const WorldEntry* e = TvContainerOf<WorldEntry>(l, offsetof(WorldEntry, link));
        if (e->world->object.privateFlags & kTpWorldSingleBlock) {
            const auto at = reinterpret_cast<uintptr_t>(sector);
            const auto start = reinterpret_cast<uintptr_t>(e->world);
            if (at >= start && at < start + e->size) return e->world;
            continue;
        }
        bool found = false;
        ForLeaves(e->world->root, [&](TpWorldSector* leaf) { return !(found = leaf == sector); });
        if (found) return e->world;
    }
    return nullptr;
}

TpWorldSector* TpWorldSectorRender(TpWorldSector* sector) {
    TpWorld* world = TpWorldGetCurrent();
    if (!CheckWorld(sector) || !CheckWorld(world)) return nullptr;
    return world->renderCallBack(sector);
}

TpWorld* TpWorldAddClump(TpWorld* world, TpClump* clump) {
    if (!CheckObjects(world) || !CheckObjects(clump)) return nullptr;
    if (ClumpExt(clump)->world) {
        TpWorldError(E_TP_CLUMPINWORLD);
        return nullptr;
    }
    TvLinkInsertHead(&world->clumps, &clump->inWorld);
    world->numClumps++;
    ClumpExt(clump)->world = world;
    for (TvLink* l = clump->atomics.next; l != &clump->atomics; l = l->next) {
        TpAtomic* atomic = TvContainerOf<TpAtomic>(l, offsetof(TpAtomic, inClump));
        AtomicExt(atomic)->world = world;
        if (atomic->object.frame) TvFrameUpdateObjects(atomic->object.frame);
    }
    if (clump->frame) {
        TvMatrixUpdate(&clump->frame->modelling);
        TvFrameUpdateObjects(clump->frame);
    }
    world->counter++;
    return world;
}

TpWorld* TpWorldRemoveClump(TpWorld* world, TpClump* clump) {
    if (!CheckObjects(world) || !CheckObjects(clump)) return nullptr;
    if (!ClumpExt(clump)->world) {
        TpWorldError(E_TP_CLUMPNOTINWORLD);
        return nullptr;
    }
    world->numClumps--;
    if (world->clumpCursor == &clump->inWorld) world->clumpCursor = clump->inWorld.next;
    TvLinkRemove(&clump->inWorld);
    for (TvLink* l = clump->atomics.next; l != &clump->atomics; l = l->next)
        FreeAtomicWorldState(TvContainerOf<TpAtomic>(l, offsetof(TpAtomic, inClump)));
    ClumpExt(clump)->world = nullptr;
    world->counter++;
    return world;
}

TpWorld* TpWorldAddAtomic(TpWorld* world, TpAtomic* atomic) {
    if (!CheckObjects(world) || !CheckObjects(atomic)) return nullptr;
    return Enter(world, &AtomicExt(atomic)->world, atomic->object.frame);
}

TpWorld* TpWorldRemoveAtomic(TpWorld* world, TpAtomic* atomic) {
    if (!CheckObjects(world) || !CheckObjects(atomic)) return nullptr;
    FreeAtomicWorldState(atomic);
    world->counter++;
    return world;
}

TpWorld* TpClumpGetWorld(const TpClump* clump) {
    return CheckObjects(clump) ? ClumpExt(clump)->world : nullptr;
}
TpWorld* TpAtomicGetWorld(const TpAtomic* atomic) {
    return CheckObjects(atomic) ? AtomicExt(atomic)->world : nullptr;
}

TpWorld* TpWorldAddLight(TpWorld* world, TpLight* light) {
    if (!CheckObjects(world) || !CheckObjects(light)) return nullptr;
    LightExt(light)->world = world;
    TvLinkRemove(&light->inWorld);
    if (light->object.object.subType >= kTpLightFirstLocal) {
        TvLinkInsertHead(&world->localLights, &light->inWorld);
        if (light->object.frame) TvFrameUpdateObjects(light->object.frame);
    } else {
        TvLinkInsertHead(&world->globalLights, &light->inWorld);
    }
    light->counter++;
    return world;
}

TpWorld* TpWorldRemoveLight(TpWorld* world, TpLight* light) {
    if (!CheckObjects(world) || !CheckObjects(light)) return nullptr;
    LightExt(light)->world = nullptr;
    FreeTies(&light->sectorTies, ObjectsData()->lightTies);
    TvLinkRemove(&light->inWorld);
    return world;
}

TpWorld* TpLightGetWorld(const TpLight* light) {
    return CheckObjects(light) ? LightExt(light)->world : nullptr;
}

TpWorld* TpWorldAddCamera(TpWorld* world, TvCamera* camera) {
    if (!CheckObjects(world) || !CheckObjects(camera)) return nullptr;
    return Enter(world, &CameraExt(camera)->world, camera->object.frame);
}

TpWorld* TpWorldRemoveCamera(TpWorld* world, TvCamera* camera) {
    if (!CheckObjects(world) || !CheckObjects(camera)) return nullptr;
    CameraExtension* ext = CameraExt(camera);
    if (!ext->world) return nullptr;
    TvFree(ext->visible);
    ext->visible = nullptr;
    ext->capacity = ext->count = 0;
    ext->world = nullptr;
    return world;
}

TpWorld* TpCameraGetWorld(const TvCamera* camera) {
    return CheckObjects(camera) ? CameraExt(camera)->world : nullptr;
}

TvCamera* TpCameraForAllVisibleSectors(TvCamera* camera, TpWorldSectorCallBack callback,
                                       void* data) {
    if (!CheckObjects(camera) || !CheckObjects(reinterpret_cast<void*>(callback))) return nullptr;
    const CameraExtension* ext = CameraExt(camera);
    for (int32_t i = 0; i < ext->count; i++)
        if (!callback(ext->visible[i], data)) break;
    return camera;
}

TvCamera* TpCameraForAllVisibleClumps(TvCamera* camera, void* data) {
    if (!CheckObjects(camera)) return nullptr;
    CameraExtension* ext = CameraExt(camera);
    if (!ext->world) return camera;
    const uint16_t stamp = TpWorldAdvanceRenderFrame();
    ext->renderFrame = stamp;
    for (int32_t i = 0; i < ext->count; i++) {
        TpWorldSector* leaf = ext->visible[i];
        for (TvLink* head : {&leaf->collisionAtomics, &leaf->otherAtomics}) {
            // A sentinel after the current tie keeps the walk valid when the callback removes
            // ties (the current one included).
            TvLink sentinel;
            for (TvLink* l = head->next; l != head;) {
                TvLinkInsertHead(l, &sentinel); // right after l
                auto* atomic = static_cast<TpAtomic*>(TpTieInSector(l)->object);
                TpClump* clump = atomic->clump;
                // Atomics added to a world without a clump have no clump callback to run.
                if (clump && clump->renderFrame != stamp) {
                    clump->renderFrame = stamp;
                    if (!clump->callBack(clump, data)) {
                        TvLinkRemove(&sentinel);
                        return camera;
                    }
                }
                l = sentinel.next;
                TvLinkRemove(&sentinel);
            }
        }
    }
    return camera;
}

TvCamera* TpCameraForNextUnvisitedClumps(TvCamera* camera, int32_t maximum, void* data) {
    if (!CheckObjects(camera)) return nullptr;
    CameraExtension* ext = CameraExt(camera);
    TpWorld* world = ext->world;
    if (!world) return camera;
    const int32_t steps = std::min(maximum, world->numClumps);
    TvLink* l = world->clumpCursor ? world->clumpCursor : &world->clumps;
    for (int32_t i = 0; i < steps; i++) {
        if (l == &world->clumps) { // the list head counts as a step
            l = l->next;
            continue;
        }
        TpClump* clump = TvContainerOf<TpClump>(l, offsetof(TpClump, inWorld));
        TvLink* next = l->next;
        if (clump->renderFrame != ext->renderFrame) {
            world->clumpCursor = l;
            if (!clump->callBack(clump, data)) {
                world->clumpCursor = next;
                return camera;
            }
        }
        l = next;
    }
    world->clumpCursor = l;
    return camera;
}

TpAtomic* TpAtomicForAllWorldSectors(TpAtomic* atomic, TpWorldSectorCallBack callback, void* data) {
    if (!CheckObjects(atomic) || !CheckObjects(reinterpret_cast<void*>(callback))) return nullptr;
    for (TvLink* l = atomic->sectorTies.next; l != &atomic->sectorTies;) {
        TvLink* next = l->next;
        if (!callback(TpTieInObject(l)->sector, data)) break;
        l = next;
    }
    return atomic;
}

TpWorldSector* TpWorldSectorForAllLights(TpWorldSector* sector, TpLightCallBack callback,
                                         void* data) {
    if (!CheckObjects(sector) || !CheckObjects(reinterpret_cast<void*>(callback))) return nullptr;
    for (TvLink* l = sector->lights.next; l != &sector->lights;) {
        TvLink* next = l->next;
        if (!callback(static_cast<TpLight*>(TpTieInSector(l)->object), data)) return sector;
        l = next;
    }
    if (TpWorld* world = TpWorldSectorGetWorld(sector)) {
        for (TvLink* l = world->globalLights.next; l != &world->globalLights;) {
            TvLink* next = l->next;
            if (!callback(TvContainerOf<TpLight>(l, offsetof(TpLight, inWorld)), data))
                return sector;
            l = next;
        }
    }
    return sector;
}

TpWorld* TpWorldRender(TpWorld* world) {
    if (!CheckObjects(world)) return nullptr;
    TvCamera* camera = TV_ENGINE->curCamera;
    if (!camera) {
        TvErrorCore(E_TV_NOCAMERA);
        return nullptr;
    }
    const CameraExtension* ext = CameraExt(camera);
    const uint16_t stamp = TpWorldGetRenderFrame();
    for (int32_t i = 0; i < ext->count; i++) {
        TpWorldSector* leaf = ext->visible[i];
        if (!TpWorldSectorRender(leaf)) continue;
        for (TvLink* head : {&leaf->collisionAtomics, &leaf->otherAtomics}) {
            for (TvLink* l = head->next; l != head;) {
                TvLink* next = l->next;
                auto* atomic = static_cast<TpAtomic*>(TpTieInSector(l)->object);
                if ((atomic->object.object.flags & kTpAtomicRender) &&
                    atomic->renderFrame != stamp) {
                    if (TvCameraFrustumTestSphere(camera, TpAtomicGetWorldBoundingSphere(atomic)) !=
                        kTvSphereOutside)
                        TpAtomicRender(atomic);
                    atomic->renderFrame = stamp;
                }
                l = next;
            }
        }
    }
    return world;
}
