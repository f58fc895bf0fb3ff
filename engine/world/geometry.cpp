#include "engine/world/geometry.h"

#include <algorithm>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/world/world_plugin.h"

TvModuleGlobals TpGeometryModule;
TvModuleGlobals TpMeshModule;
TvPluginRegistry TpGeometryRegistry = TvPluginRegistryInitial(sizeof(TpGeometry));
const int32_t _TpGeometryModuleDataSize = sizeof(TpGeometryModuleData);
// The mesh module's data is what the mesh builder reads: the serial number of mesh headers and
// the material order.
const int32_t _TpMeshModuleDataSize = sizeof(TvD3DMeshWorldData);

namespace {

constexpr int32_t kGeometriesPerChunk = 20;
constexpr int32_t kBuildMeshesFunction = 23;
constexpr uint32_t kStructHeaderBytes = 28;
constexpr uint32_t kTriangleBytes = 8;
constexpr uint32_t kMorphHeaderBytes = 24;

TpGeometryModuleData* Data() {
    return TvEngineModuleData<TpGeometryModuleData>(TpGeometryModule);
}

bool Check(const void* object) {
    return TpCheck(TpGeometryModule, object);
}

void DestroyMesh(TpGeometry* geometry) {
    if (geometry->mesh && geometry->mesh != TvD3DEmptyMeshBlock()) TvFree(geometry->mesh);
    geometry->mesh = nullptr;
}

bool HasMaterial(const TpGeometry* geometry, uint16_t index) {
    return index != kTpNoMaterial && index < geometry->materials.count;
}

// Frees everything the geometry holds, whatever its reference count.
void DestroyNow(TpGeometry* geometry) {
    geometry->lockFlags |= kTpLockAll;
    DestroyMesh(geometry);
    TvPluginDeinitObject(&TpGeometryRegistry, geometry);
    TvFree(geometry->preLight);
    TvFree(geometry->texCoords);
    TvFree(geometry->modulation);
    while (geometry->numMorphTargets > 0)
        TpGeometryRemoveMorphTarget(geometry, geometry->numMorphTargets - 1);
    TvFree(geometry->morphTargets);
    for (int32_t i = 0; i < geometry->numTriangles; i++) {
        const uint16_t m = geometry->triangles[i].material;
        if (HasMaterial(geometry, m)) TpMaterialDestroy(geometry->materials.materials[m]);
    }
    TvFree(geometry->triangles);
    TpMaterialListDeinitialise(&geometry->materials);
    TvFreeListFree(Data()->freeList, geometry);
}

// What a new geometry holds before its plug-in data is made (no materials yet).
void FreeArrays(TpGeometry* geometry) {
    TvFree(geometry->preLight);
    TvFree(geometry->texCoords);
    TvFree(geometry->modulation);
    TvFree(geometry->triangles);
    for (int32_t i = 0; i < geometry->numMorphTargets; i++)
        TvFree(geometry->morphTargets[i].vertices);
    TvFree(geometry->morphTargets);
    TvFreeListFree(Data()->freeList, geometry);
}

void DestroyStillAllocated(void* block, void*) {
    DestroyNow(static_cast<TpGeometry*>(block));
}

// Reads of a chunk body that never run past its length.
struct BodyReader {
    TvStream* stream;
    uint32_t remaining;
    bool Bytes(void* out, uint64_t bytes) {
        if (bytes > remaining || TvStreamRead(stream, out, uint32_t(bytes)) != bytes) {
            TvErrorCore(E_TV_ENDOFSTREAM);
            return false;
        }
        remaining -= uint32_t(bytes);
        return true;
    }
    bool Reals(float* out, uint64_t bytes) {
        if (!Bytes(out, bytes)) return false;
        TvMemFloat32ToReal(out, uint32_t(bytes));
        return true;
    }
    bool Skip(uint64_t bytes) {
        if (bytes > remaining || !TvStreamSkip(stream, uint32_t(bytes))) {
            TvErrorCore(E_TV_ENDOFSTREAM);
            return false;
        }
        remaining -= uint32_t(bytes);
        return true;
    }
};

bool ReadTriangles(BodyReader& in, TpGeometry* geometry) {
    uint8_t raw[kTriangleBytes];
    for (int32_t i = 0; i < geometry->numTriangles; i++) {
        if (!in.Bytes(raw, sizeof raw)) return false;
        const uint32_t w0 = TvLoadU32(raw), w1 = TvLoadU32(raw + 4);
        TpTriangle& t = geometry->triangles[i];
        t.vertex[0] = uint16_t(w0 >> 16);
        t.vertex[1] = uint16_t(w0 & 0xFFFF);
        t.vertex[2] = uint16_t(w1 >> 16);
        t.material = uint16_t(w1 & 0xFFFF);
        // A triangle naming a vertex the geometry lacks would be drawn from beyond its arrays.
        for (uint16_t v : t.vertex) {
            if (v >= geometry->numVertices) {
                TpCommonError(E_TV_INVALIDPARAM);
                return false;
            }
        }
    }
    return true;
}

// Reads a morph target's sphere and arrays. Arrays it does not store are zeroed, so drawing
// and intersection never read uninitialised vertices.
bool ReadMorphTarget(BodyReader& in, TpGeometry* geometry, TpMorphTarget* target,
                     const uint8_t* raw) {
    target->boundingSphere = {{TvLoadF32(raw), TvLoadF32(raw + 4), TvLoadF32(raw + 8)},
                              TvLoadF32(raw + 12)};
    const bool hasVertices = TvLoadU32(raw + 16) != 0;
    const bool hasNormals = TvLoadU32(raw + 20) != 0;
    const uint64_t arrayBytes = uint64_t(sizeof(TvV3d)) * uint64_t(geometry->numVertices);
    const bool together = hasVertices && hasNormals && target->normals &&
                          target->normals == target->vertices + geometry->numVertices;
    if (hasVertices) {
        // A geometry with no vertices has no array to read into: what is stored is skipped.
        const uint64_t bytes = together ? 2 * arrayBytes : arrayBytes;
        if (target->vertices ? !in.Reals(&target->vertices->x, bytes) : !in.Skip(bytes))
            return false;
    } else if (target->vertices) {
        std::memset(target->vertices, 0, size_t(arrayBytes));
    }
    if (hasNormals && !together) {
        // Normals stored for a geometry made without them have nowhere to go: skipped.
        if (target->normals ? !in.Reals(&target->normals->x, arrayBytes) : !in.Skip(arrayBytes))
            return false;
    } else if (!hasNormals && target->normals) {
        std::memset(target->normals, 0, size_t(arrayBytes));
    }
    return true;
}

// Bytes a morph target stores after its 24-byte header, from the header's two words.
uint64_t MorphArrayBytes(const uint8_t* header, const TpGeometry* geometry) {
    const uint64_t arrayBytes = uint64_t(sizeof(TvV3d)) * uint64_t(geometry->numVertices);
    return (TvLoadU32(header + 16) ? arrayBytes : 0) + (TvLoadU32(header + 20) ? arrayBytes : 0);
}

} // namespace

void* _TpMeshModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TvD3DMeshWorldData*>(TvEngineInstanceData(instance, offset));
    *data = TvD3DMeshWorldData{};
    data->meshSerial = 1;
    data->isTransparent = TpMaterialIsTransparent;
    return TvModuleOpened(TpMeshModule, instance, offset);
}

void* _TpMeshModuleClose(void* instance, int32_t, int32_t) {
    return TvModuleClosed(TpMeshModule, instance);
}

void* _TpGeometryModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpGeometryModuleData*>(TvEngineInstanceData(instance, offset));
    data->freeList = TvFreeListCreate(size_t(TpGeometryRegistry.sizeOfStruct), kGeometriesPerChunk);
    if (!data->freeList) return nullptr;
    return TvModuleOpened(TpGeometryModule, instance, offset);
}

void* _TpGeometryModuleClose(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpGeometryModuleData*>(TvEngineInstanceData(instance, offset));
    if (data->freeList) {
        TvFreeListForAllUsed(data->freeList, DestroyStillAllocated, nullptr);
        TvFreeListDestroy(data->freeList);
    }
    data->freeList = nullptr;
    return TvModuleClosed(TpGeometryModule, instance);
}

TpGeometry* TpGeometryCreate(int32_t numVertices, int32_t numTriangles, uint8_t flags) {
    if (!TvModuleIsOpen(TpGeometryModule)) {
        TpCommonError(E_TV_NOTOPEN);
        return nullptr;
    }
    if (numVertices < 0 || numTriangles < 0) {
        TpCommonError(E_TV_INVALIDPARAM, "negative parameter passed");
        return nullptr;
    }
    if (numVertices > kTpMaxVertices) {
        TpWorldError(E_TP_TOOMANYVERTICES);
        return nullptr;
    }
    auto* geometry = static_cast<TpGeometry*>(TvFreeListAlloc(Data()->freeList));
    if (!geometry) return nullptr;
    std::memset(geometry, 0, sizeof *geometry);
    geometry->type = kTpGeometryObjectType;
    geometry->flags = flags;
    geometry->counter = 1;
    geometry->lockFlags = kTpLockAll;
    geometry->refCount = 1;
    geometry->numVertices = numVertices;
    const size_t n = size_t(numVertices);
    bool ok = true;
    if (n) {
        if (flags & kTpGeometryPreLit) ok = (geometry->preLight = (uint8_t*)TvMalloc(4 * n));
        if (ok && (flags & kTpGeometryTextured))
            ok = (geometry->texCoords = (TpTexCoords*)TvMalloc(sizeof(TpTexCoords) * n));
        if (ok && (flags & kTpGeometryModulate))
            ok = (geometry->modulation = (uint8_t*)TvMalloc(4 * n));
    }
    if (ok && numTriangles) {
        geometry->triangles =
            static_cast<TpTriangle*>(TvMalloc(sizeof(TpTriangle) * size_t(numTriangles)));
        ok = geometry->triangles != nullptr;
        for (int32_t i = 0; ok && i < numTriangles; i++)
            geometry->triangles[i] = TpTriangle{{0, 0, 0}, kTpNoMaterial};
    }
    if (ok) geometry->numTriangles = numTriangles;
    if (ok) ok = TpGeometryAddMorphTarget(geometry) >= 0;
    if (!ok) {
        FreeArrays(geometry);
        TpCommonError(E_TV_NOMEM);
        return nullptr;
    }
    geometry->surfaceProps[0] = geometry->surfaceProps[1] = geometry->surfaceProps[2] = 1.0f;
    // A failed constructor has undone the ones before it; only the arrays are left to free.
    if (!TvPluginInitObject(&TpGeometryRegistry, geometry)) {
        FreeArrays(geometry);
        return nullptr;
    }
    return geometry;
}

int32_t TpGeometryAddMorphTarget(TpGeometry* geometry) {
    if (!Check(geometry)) return -1;
    const int32_t index = geometry->numMorphTargets;
    auto* grown = static_cast<TpMorphTarget*>(
        TvRealloc(geometry->morphTargets, sizeof(TpMorphTarget) * size_t(index + 1)));
    if (!grown) {
        TpCommonError(E_TV_NOMEM);
        return -1;
    }
    geometry->morphTargets = grown;
    TpMorphTarget* target = &grown[index];
    *target = TpMorphTarget{};
    target->parent = geometry;
    const size_t n = size_t(geometry->numVertices);
    if (n) {
        const bool normals = geometry->flags & kTpGeometryNormals;
        target->vertices = static_cast<TvV3d*>(TvMalloc(sizeof(TvV3d) * n * (normals ? 2 : 1)));
        if (!target->vertices) {
            TpCommonError(E_TV_NOMEM);
            return -1;
        }
        if (normals) target->normals = target->vertices + n;
    }
    geometry->numMorphTargets++;
    geometry->counter++;
    return index;
}

TpGeometry* TpGeometryRemoveMorphTarget(TpGeometry* geometry, int32_t index) {
    if (!Check(geometry)) return nullptr;
    if (index < 0 || index >= geometry->numMorphTargets) {
        TpWorldError(E_TP_INDEXRANGE);
        return nullptr;
    }
    TvFree(geometry->morphTargets[index].vertices);
    for (int32_t i = index + 1; i < geometry->numMorphTargets; i++)
        geometry->morphTargets[i - 1] = geometry->morphTargets[i];
    geometry->numMorphTargets--;
    geometry->counter++;
    return geometry;
}

TpGeometry* TpGeometryAddRef(TpGeometry* geometry) {
    if (!Check(geometry)) return nullptr;
    geometry->refCount++;
    return geometry;
}

int32_t TpGeometryDestroy(TpGeometry* geometry) {
    if (!Check(geometry)) return 0;
    if (--geometry->refCount == 0) DestroyNow(geometry);
    return 1;
}

TpGeometry* TpGeometryLock(TpGeometry* geometry, uint16_t lockFlags) {
    if (!Check(geometry)) return nullptr;
    geometry->lockFlags |= lockFlags;
    geometry->counter++;
    if (lockFlags & kTpLockPolygons) DestroyMesh(geometry);
    return geometry;
}

TpGeometry* TpGeometryUnlock(TpGeometry* geometry) {
    if (!Check(geometry)) return nullptr;
    if (geometry->mesh) return geometry;
    const int32_t count = geometry->numTriangles;
    TvD3DMeshTriangle* builder = nullptr;
    if (count) {
        builder = static_cast<TvD3DMeshTriangle*>(TvMalloc(sizeof *builder * size_t(count)));
        if (!builder) return nullptr;
    }
    for (int32_t i = 0; i < count; i++) {
        const TpTriangle& t = geometry->triangles[i];
        builder[i] = TvD3DMeshTriangle{
            {t.vertex[0], t.vertex[1], t.vertex[2]}, 0, TpGeometryGetTriangleMaterial(geometry, i)};
    }
    TvD3DMeshHeader* header =
        _TpBuildMeshHeader(builder, count, (geometry->flags & kTpGeometryStrip) != 0);
    TvFree(builder);
    if (!header) return nullptr;
    geometry->mesh = header;
    return geometry;
}

TvD3DMeshHeader* _TpBuildMeshHeader(const TvD3DMeshTriangle* triangles, int32_t count,
                                    bool strips) {
    TvD3DMeshSource source{triangles, count,
                           TvModuleIsOpen(TpMeshModule)
                               ? TvEngineModuleData<TvD3DMeshWorldData>(TpMeshModule)
                               : nullptr};
    TvD3DMeshHeader* header = nullptr;
    const TvStandardFn build = TV_ENGINE->standardFunctions[kBuildMeshesFunction];
    const int32_t made = build ? build(&header, &source, strips ? 1 : 0) : 0;
    return made ? header : nullptr;
}

int32_t TpGeometryGetNumTriangles(const TpGeometry* geometry) {
    return Check(geometry) ? geometry->numTriangles : -1;
}
int32_t TpGeometryGetNumVertices(const TpGeometry* geometry) {
    return Check(geometry) ? geometry->numVertices : -1;
}
int32_t TpGeometryGetNumMorphTargets(const TpGeometry* geometry) {
    return Check(geometry) ? geometry->numMorphTargets : -1;
}
TpTriangle* TpGeometryGetTriangles(const TpGeometry* geometry) {
    return Check(geometry) ? geometry->triangles : nullptr;
}
uint8_t* TpGeometryGetPreLightColors(const TpGeometry* geometry) {
    return Check(geometry) ? geometry->preLight : nullptr;
}
TpTexCoords* TpGeometryGetTexCoords(const TpGeometry* geometry) {
    return Check(geometry) ? geometry->texCoords : nullptr;
}
TpMorphTarget* TpGeometryGetMorphTarget(const TpGeometry* geometry, int32_t index) {
    if (!Check(geometry)) return nullptr;
    if (index < 0 || index >= geometry->numMorphTargets) return nullptr;
    return &geometry->morphTargets[index];
}
TvV3d* TpMorphTargetGetVertices(const TpMorphTarget* target) {
    return Check(target) ? target->vertices : nullptr;
}
TvV3d* TpMorphTargetGetNormals(const TpMorphTarget* target) {
    return Check(target) ? target->normals : nullptr;
}
TvSphere* TpMorphTargetGetBoundingSphere(TpMorphTarget* target) {
    return Check(target) ? &target->boundingSphere : nullptr;
}
TpMorphTarget* TpMorphTargetSetBoundingSphere(TpMorphTarget* target, const TvSphere* sphere) {
    if (!Check(target) || !Check(sphere)) return nullptr;
    target->boundingSphere = *sphere;
    return target;
}
uint8_t TpGeometryGetFlags(const TpGeometry* geometry) {
    return Check(geometry) ? geometry->flags : 0;
}
TpGeometry* TpGeometrySetFlags(TpGeometry* geometry, uint8_t flags) {
    if (!Check(geometry)) return nullptr;
    geometry->flags = flags;
    geometry->counter++;
    return geometry;
}
TpGeometry* TpGeometrySetSurfaceProperties(TpGeometry* geometry, float ambient, float specular,
                                           float diffuse) {
    if (!Check(geometry)) return nullptr;
    geometry->surfaceProps[0] = ambient;
    geometry->surfaceProps[1] = specular;
    geometry->surfaceProps[2] = diffuse;
    geometry->counter++;
    return geometry;
}

TpMaterial* TpGeometryGetMaterial(const TpGeometry* geometry, int32_t index) {
    if (!Check(geometry)) return nullptr;
    if (index < 0 || index >= geometry->materials.count) {
        TpWorldError(E_TP_INDEXRANGE);
        return nullptr;
    }
    return geometry->materials.materials[index];
}

TpMaterial* TpGeometryGetTriangleMaterial(const TpGeometry* geometry, int32_t triangle) {
    if (!Check(geometry) || triangle < 0 || triangle >= geometry->numTriangles) return nullptr;
    // Indices past the list (possible in files) draw without a material like -1.
    const uint16_t m = geometry->triangles[triangle].material;
    return HasMaterial(geometry, m) ? geometry->materials.materials[m] : nullptr;
}

TpGeometry* TpGeometryForAllMaterials(TpGeometry* geometry, TpMaterialCallBack callback,
                                      void* data) {
    if (!Check(geometry) || !Check(reinterpret_cast<void*>(callback))) return nullptr;
    for (int32_t i = 0; i < geometry->materials.count; i++)
        if (!callback(geometry->materials.materials[i], data)) break;
    return geometry;
}

TpMorphTarget* TpMorphTargetCalculateBoundingSphere(TpMorphTarget* target, TvSphere* sphere) {
    if (!Check(target) || !Check(sphere)) return nullptr;
    const int32_t n = target->parent->numVertices;
    const TvV3d* v = target->vertices;
    if (n <= 0 || !v) {
        *sphere = TvSphere{{0, 0, 0}, 0};
        return target;
    }
    TvBBox box{v[0], v[0]};
    for (int32_t i = 1; i < n; i++) {
        box.sup = {std::max(box.sup.x, v[i].x), std::max(box.sup.y, v[i].y),
                   std::max(box.sup.z, v[i].z)};
        box.inf = {std::min(box.inf.x, v[i].x), std::min(box.inf.y, v[i].y),
                   std::min(box.inf.z, v[i].z)};
    }
    const TvV3d c{(box.sup.x + box.inf.x) * 0.5f, (box.sup.y + box.inf.y) * 0.5f,
                  (box.sup.z + box.inf.z) * 0.5f};
    float rr = 0.0f;
    for (int32_t i = 0; i < n; i++) {
        const float dx = v[i].x - c.x, dy = v[i].y - c.y, dz = v[i].z - c.z;
        rr = std::max(rr, dx * dx + dy * dy + dz * dz);
    }
    const float r = rr > 0.0f ? TvSqrt(&rr) : 0.0f;
    *sphere = TvSphere{c, r * 1.001f};
    return target;
}

TpGeometry* TpGeometryStreamRead(TvStream* stream) {
    return _TpGeometryStreamRead(stream, TpStreamRemaining(stream));
}

TpGeometry* _TpGeometryStreamRead(TvStream* stream, uint64_t limit) {
    // The struct chunk holds a 28-byte body; the arrays follow it, inside the struct chunk when
    // its length covers them too. Either way they are read in sequence, bounded by the
    // enclosing chunk.
    const size_t chunkStart = TvStreamTell(stream);
    uint32_t length = 0;
    if (!TpFindChunk(stream, TV_ID_STRUCT, &length)) return nullptr;
    const uint64_t used = TvStreamTell(stream) - chunkStart;
    if (length < kStructHeaderBytes || used > limit) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    const size_t structEnd = TvStreamTell(stream) + length;
    const uint64_t left = limit - used;
    BodyReader in{stream, uint32_t(std::min<uint64_t>(left, UINT32_MAX))};
    uint8_t raw[kStructHeaderBytes];
    if (!in.Bytes(raw, sizeof raw)) return nullptr;
    const uint8_t flags = uint8_t(TvLoadU32(raw));
    const int32_t numTriangles = int32_t(TvLoadU32(raw + 4));
    const int32_t numVertices = int32_t(TvLoadU32(raw + 8));
    const int32_t numMorphs = int32_t(TvLoadU32(raw + 12));
    const float props[3] = {TvLoadF32(raw + 16), TvLoadF32(raw + 20), TvLoadF32(raw + 24)};
    if (numTriangles < 0 || numVertices < 0 || numMorphs < 0) {
        TpCommonError(E_TV_INVALIDPARAM, "negative parameter passed");
        return nullptr;
    }
    // Morph targets are counted in 8 bits by the type records that use them.
    if (numMorphs > kTpMaxMorphTargets) {
        TpCommonError(E_TV_INVALIDPARAM);
        return nullptr;
    }
    // Everything the counts promise must lie in the chunk before anything is allocated.
    const uint64_t n = uint64_t(numVertices);
    uint64_t need = uint64_t(kMorphHeaderBytes) * uint64_t(numMorphs);
    if (n) {
        need += uint64_t(kTriangleBytes) * uint64_t(numTriangles);
        need += n * ((flags & kTpGeometryPreLit ? 4 : 0) + (flags & kTpGeometryTextured ? 8 : 0) +
                     (flags & kTpGeometryModulate ? 4 : 0));
    } else if (numTriangles) {
        TpCommonError(E_TV_INVALIDPARAM); // triangles without vertices
        return nullptr;
    }
    if (need > in.remaining) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    TpGeometry* geometry = TpGeometryCreate(numVertices, numTriangles, flags);
    if (!geometry) return nullptr;
    TpGeometrySetSurfaceProperties(geometry, props[0], props[1], props[2]);
    bool ok = true;
    if (n) {
        if (flags & kTpGeometryPreLit) ok = in.Bytes(geometry->preLight, 4 * n);
        if (ok && (flags & kTpGeometryTextured))
            ok = in.Reals(&geometry->texCoords->u, sizeof(TpTexCoords) * n);
        if (ok && (flags & kTpGeometryModulate)) ok = in.Bytes(geometry->modulation, 4 * n);
        if (ok) ok = ReadTriangles(in, geometry);
    }
    // Each target after the first is made only once its header shows that the arrays it
    // stores are in the chunk, so a count cannot reserve blocks the file does not fill.
    for (int32_t i = 0; ok && i < numMorphs; i++) {
        uint8_t header[kMorphHeaderBytes];
        ok = in.Bytes(header, sizeof header);
        if (ok && MorphArrayBytes(header, geometry) > in.remaining) {
            TvErrorCore(E_TV_ENDOFSTREAM);
            ok = false;
        }
        if (ok && i > 0) ok = TpGeometryAddMorphTarget(geometry) >= 0;
        if (ok) ok = ReadMorphTarget(in, geometry, &geometry->morphTargets[i], header);
    }
    if (ok && numMorphs == 0) {
        // The target made with the geometry stores nothing.
        TpMorphTarget& target = geometry->morphTargets[0];
        if (target.vertices)
            std::memset(target.vertices, 0, sizeof(TvV3d) * n * (target.normals ? 2 : 1));
    }
    // A struct chunk whose length covers more than was read is left at its end.
    if (ok && TvStreamTell(stream) < structEnd) ok = in.Skip(structEnd - TvStreamTell(stream));
    if (ok) {
        ok = TpFindChunk(stream, TV_ID_MATLIST, nullptr) &&
             TpMaterialListStreamRead(stream, &geometry->materials);
    }
    if (ok) {
        // Each triangle holds a reference on its material, released by the destroy.
        for (int32_t i = 0; i < geometry->numTriangles; i++) {
            const uint16_t m = geometry->triangles[i].material;
            if (HasMaterial(geometry, m)) TpMaterialAddRef(geometry->materials.materials[m]);
        }
        ok = TvPluginStreamRead(&TpGeometryRegistry, stream, geometry) != nullptr &&
             TpGeometryUnlock(geometry) != nullptr;
    }
    if (!ok) {
        TpGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}
