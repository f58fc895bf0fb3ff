#include "engine/world/d3d_world.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/d3d/d3dpipe.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/matrix.h"
#include "engine/core/pipe.h"
#include "engine/core/resources.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"

namespace {

// Colour of a vertex without pre-light colours: opaque black.
constexpr uint32_t kDefaultColour = 0xFF000000u;

// What the stages of one draw share. The driver's own stages get the driver's work record;
// these module-wide buffers are reused by every draw.
struct Work {
    TpAtomic* atomic;
    TpWorldSector* sector;
    TpD3DWorldInstance* instance;
    bool modulated;
    bool lit;
    TvIm3DTransformData transform;
};
Work g_work;
std::vector<TvIm3DVertex> g_vertices;
std::vector<TvV3d> g_positions;
std::vector<TvV3d> g_normals;
std::vector<std::array<float, 4>> g_colours;

// The driver's stages that the world stages run inside.
TvPipeStartFn g_driverStart = nullptr;
TvPipeStageFn g_driverUV = nullptr;
bool g_skipDrawing = false;
bool g_lightingOff = false;

uint8_t Channel(uint32_t colour, int shift) {
    return uint8_t(colour >> shift);
}
uint32_t Pack(float r, float g, float b, float a) {
    auto byte = [](float v) { return uint32_t(std::lround(v < 0 ? 0 : v > 255 ? 255 : v)); };
    return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

// Indices stored for a mesh: three per list triangle, or the strip itself.
uint32_t MeshIndexCount(const TvD3DMeshHeader* header, const TvD3DMesh* mesh) {
    return header->flags == kTvD3DMeshTriangleStrip ? mesh->count : mesh->count * 3;
}
template <typename F> void ForMeshes(TvD3DMeshHeader* header, F visit) {
    TvD3DMesh* mesh = TvD3DMeshFirst(header);
    for (uint16_t m = 0; m < header->numMeshes && mesh; m++) {
        visit(mesh);
        mesh = TvD3DMeshNext(header, mesh);
    }
}
uint32_t TotalIndices(TvD3DMeshHeader* header) {
    uint32_t n = 0;
    ForMeshes(header, [&](TvD3DMesh* mesh) { n += MeshIndexCount(header, mesh); });
    return n;
}
void CopyIndices(TvD3DMeshHeader* header, uint16_t* out) {
    ForMeshes(header, [&](TvD3DMesh* mesh) {
        const uint16_t* in = TvD3DMeshIndices(mesh);
        if (header->flags == kTvD3DMeshTriangleStrip) {
            std::memcpy(out, in, sizeof(uint16_t) * mesh->count);
            out += mesh->count;
            return;
        }
        for (uint32_t t = 0; t < mesh->count; t++, out += 3)
            std::memcpy(out, in + 4 * t, sizeof(uint16_t) * 3);
    });
}

// The entry for `owner`: reused when it was made for this mesh and layout, else made anew.
// `fresh` tells the caller to fill every part.
TpD3DWorldInstance* Instance(void* owner, TvResEntry** ref, TvD3DMeshHeader* mesh,
                             uint32_t layoutFlags, int32_t numVertices, bool* fresh) {
    if (TvResEntry* entry = *ref) {
        auto* in = static_cast<TpD3DWorldInstance*>(TvResEntryData(entry));
        if (in->meshSerial == mesh->serialNum && in->layoutFlags == layoutFlags &&
            in->layoutSize == sizeof(TpD3DWorldVertex) && in->numVertices == numVertices &&
            in->mesh == mesh) {
            TvResourcesUseResEntry(entry);
            *fresh = false;
            return in;
        }
        TvResourcesFreeResEntry(entry);
    }
    const uint32_t indices = TotalIndices(mesh);
    const size_t bytes = sizeof(TpD3DWorldInstance) +
                         sizeof(TpD3DWorldVertex) * size_t(numVertices) +
                         sizeof(uint16_t) * indices;
    TvResEntry* entry = TvResourcesAllocateResEntry(owner, ref, bytes, nullptr);
    if (!entry) return nullptr;
    auto* in = static_cast<TpD3DWorldInstance*>(TvResEntryData(entry));
    auto* vertices = reinterpret_cast<TpD3DWorldVertex*>(in + 1);
    *in = TpD3DWorldInstance{mesh->serialNum,
                             layoutFlags,
                             sizeof(TpD3DWorldVertex),
                             numVertices,
                             int32_t(indices),
                             mesh,
                             vertices,
                             reinterpret_cast<uint16_t*>(vertices + numVertices)};
    *fresh = true;
    return in;
}

// Hands the instanced vertices to the driver's transform; its work record or null.
void* Begin(TpD3DWorldInstance* in, const TvMatrix* matrix) {
    const int32_t n = in->numVertices;
    g_vertices.resize(size_t(n));
    g_positions.resize(size_t(n));
    g_normals.resize(size_t(n));
    g_colours.resize(size_t(n));
    for (int32_t i = 0; i < n; i++) {
        const TpD3DWorldVertex& v = in->vertices[i];
        g_vertices[size_t(i)] = TvIm3DVertex{v.position, v.uv.u, v.uv.v, 0, 0, 0, 255};
        g_positions[size_t(i)] = v.position;
        g_normals[size_t(i)] = v.normal;
    }
    g_work.instance = in;
    g_work.lit = false;
    g_work.transform =
        TvIm3DTransformData{g_vertices.data(), n,
                            in->layoutFlags & kTpD3DLayoutTextured ? kTvIm3DVertexUV : 0u, matrix};
    return g_driverStart ? g_driverStart(&g_work.transform) : nullptr;
}

// Meshes of geometry and of sectors are built over material pointers.
TpMaterial* MeshMaterial(const TvD3DMesh* mesh) {
    return static_cast<TpMaterial*>(const_cast<void*>(mesh->material));
}

// Slot 0 of the atomic pipe.
void* InstanceAtomic(void* data) {
    auto* atomic = static_cast<TpAtomic*>(data);
    TpGeometry* g = atomic ? atomic->geometry : nullptr;
    if (!g || !g->mesh || !TV_ENGINE->curCamera) return nullptr;
    const uint32_t layout = g->flags & (kTpGeometryModulate | kTpGeometryTextured);
    const uint32_t layoutFlags = (layout & kTpGeometryTextured ? kTpD3DLayoutTextured : 0) |
                                 (layout & kTpGeometryModulate ? kTpD3DLayoutModulated : 0);
    const int32_t n = g->numVertices;
    bool fresh = false;
    TpD3DWorldInstance* in =
        Instance(atomic, &atomic->instancedData, g->mesh, layoutFlags, n, &fresh);
    if (!in) return nullptr;
    const uint16_t lock = fresh ? kTpLockAll : g->lockFlags;
    TpInterpolator& ip = atomic->interpolator;
    if (lock & (kTpLockTexCoords | kTpLockModulation | kTpLockPreLight)) {
        for (int32_t i = 0; i < n; i++) {
            TpD3DWorldVertex& v = in->vertices[i];
            if ((layoutFlags & kTpD3DLayoutTextured) && g->texCoords) v.uv = g->texCoords[i];
            if ((layoutFlags & kTpD3DLayoutModulated) && g->modulation)
                std::memcpy(v.modulation, g->modulation + 4 * i, 4);
            const uint8_t* p =
                (g->flags & kTpGeometryPreLit) && g->preLight ? g->preLight + 4 * i : nullptr;
            v.colour = p ? uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]
                         : kDefaultColour;
        }
    }
    if (lock & kTpLockPolygons) CopyIndices(g->mesh, in->indices);
    if ((lock & (kTpLockVertices | kTpLockNormals)) || (ip.flags & kTpInterpolateVertices)) {
        const int32_t s = ip.startMorphTarget, e = ip.endMorphTarget, count = g->numMorphTargets;
        const bool blend = s != e && s >= 0 && e >= 0 && s < count && e < count;
        static const TpMorphTarget kNone{};
        const TpMorphTarget& a = count ? g->morphTargets[s >= 0 && s < count ? s : 0] : kNone;
        const TpMorphTarget& b = blend ? g->morphTargets[e] : a;
        const float t = ip.position * ip.recipTime;
        for (int32_t i = 0; i < n; i++) {
            TpD3DWorldVertex& v = in->vertices[i];
            const TvV3d pa = a.vertices ? a.vertices[i] : TvV3d{};
            const TvV3d na = a.normals ? a.normals[i] : TvV3d{};
            if (blend) {
                const TvV3d pb = b.vertices ? b.vertices[i] : TvV3d{};
                const TvV3d nb = b.normals ? b.normals[i] : TvV3d{};
                v.position = {pa.x + (pb.x - pa.x) * t, pa.y + (pb.y - pa.y) * t,
                              pa.z + (pb.z - pa.z) * t};
                v.normal = {na.x + (nb.x - na.x) * t, na.y + (nb.y - na.y) * t,
                            na.z + (nb.z - na.z) * t};
            } else {
                v.position = pa;
                v.normal = na;
            }
        }
        ip.flags &= ~kTpInterpolateVertices;
    }
    g->lockFlags = 0;
    g_work.atomic = atomic;
    g_work.sector = nullptr;
    g_work.modulated = (layoutFlags & kTpD3DLayoutModulated) && g->modulation;
    TvMatrix* ltm = atomic->object.frame ? TvFrameGetLTM(atomic->object.frame) : nullptr;
    return Begin(in, ltm);
}

// Slot 0 of the sector pipe.
void* InstanceSector(void* data) {
    auto* sector = static_cast<TpWorldSector*>(data);
    if (!sector || !TV_ENGINE->curCamera) return nullptr;
    TpWorld* world = TpWorldGetCurrent();
    if (!world) world = TpWorldSectorGetWorld(sector);
    const uint8_t flags = world ? TpWorldGetFlags(world) : 0;
    if (!sector->mesh) {
        if (sector->instancedData) TvResourcesFreeResEntry(sector->instancedData);
        return nullptr;
    }
    const uint32_t layoutFlags = (flags & kTpGeometryTextured ? kTpD3DLayoutTextured : 0) |
                                 (flags & kTpGeometryModulate ? kTpD3DLayoutModulated : 0);
    const int32_t n = sector->numVertices;
    bool fresh = false;
    TpD3DWorldInstance* in =
        Instance(sector, &sector->instancedData, sector->mesh, layoutFlags, n, &fresh);
    if (!in) return nullptr;
    if (fresh) {
        CopyIndices(sector->mesh, in->indices);
        for (int32_t i = 0; i < n; i++) {
            TpD3DWorldVertex& v = in->vertices[i];
            v.position = sector->vertices ? sector->vertices[i] : TvV3d{};
            const uint8_t* nb =
                (flags & kTpGeometryNormals) && sector->normals ? sector->normals + 4 * i : nullptr;
            v.normal =
                nb ? TvV3d{float(int8_t(nb[0])) * 0.0078125f, float(int8_t(nb[1])) * 0.0078125f,
                           float(int8_t(nb[2])) * 0.0078125f}
                   : TvV3d{};
            if ((layoutFlags & kTpD3DLayoutTextured) && sector->texCoords)
                v.uv = sector->texCoords[i];
            if ((layoutFlags & kTpD3DLayoutModulated) && sector->modulation)
                std::memcpy(v.modulation, sector->modulation + 4 * i, 4);
            const uint8_t* p = (flags & kTpGeometryPreLit) && sector->preLight
                                   ? sector->preLight + 4 * i
                                   : nullptr;
            v.colour = p ? uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]
                         : kDefaultColour;
        }
    }
    g_work.atomic = nullptr;
    g_work.sector = sector;
    g_work.modulated = (layoutFlags & kTpD3DLayoutModulated) && sector->modulation;
    return Begin(in, nullptr);
}

// Slot 2: the driver's texture-coordinate copy, then the pre-light colours into the accumulators.
void* PreLight(void* work) {
    if (g_driverUV) g_driverUV(work);
    const TpD3DWorldInstance* in = g_work.instance;
    for (int32_t i = 0; i < in->numVertices; i++) {
        const uint32_t c = in->vertices[i].colour;
        g_colours[size_t(i)] = {float(Channel(c, 16)), float(Channel(c, 8)), float(Channel(c, 0)),
                                float(Channel(c, 24))};
    }
    return work;
}

// The per-light function of both pipes.
void LightOne(const TpLight* light, const TpLightBatch* batch) {
    if (!g_lightingOff && light->lightFn) light->lightFn(light, batch);
    g_work.lit = true;
}

// Colour of a vertex in the device and working records of the current batch.
void SetColour(int32_t i, uint32_t colour) {
    const int32_t at = TvD3DIm3D.current->first + i;
    TvD3DIm3D.device[at].colour = colour;
    TvD3DIm3D.work[at].colour = colour;
}

bool OpaqueWhite(const TpMaterial* m) {
    return m && m->color.red == 255 && m->color.green == 255 && m->color.blue == 255 &&
           m->color.alpha == 255;
}

bool Visited(int32_t i) {
    const int32_t at = TvD3DIm3D.current->first + i;
    return at < TvD3DIm3D.numVertexBits && (TvD3DIm3D.vertexBits[at >> 3] >> (at & 7)) & 1;
}
void Visit(int32_t i) {
    const int32_t at = TvD3DIm3D.current->first + i;
    if (at < TvD3DIm3D.numVertexBits) TvD3DIm3D.vertexBits[at >> 3] |= uint8_t(1u << (at & 7));
}

// Colours the vertices of one group by its material and modulation colours; the vertex-alpha
// state the group needs.
bool ColourGroup(const uint16_t* indices, uint32_t count, const TpMaterial* m) {
    const TpD3DWorldInstance* in = g_work.instance;
    const TpRGBA mc = m ? m->color : TpRGBA{255, 255, 255, 255};
    // An opaque white group takes the plain packing: a vertex it shares with a group drawn
    // earlier still holds that group's colour.
    const bool plain = !g_work.modulated && OpaqueWhite(m);
    uint8_t alphaAnd = 255;
    for (uint32_t k = 0; k < count; k++) {
        const int32_t i = indices[k];
        if (i >= in->numVertices || Visited(i)) continue;
        Visit(i);
        const auto& c = g_colours[size_t(i)];
        if (plain) {
            SetColour(i, Pack(c[0], c[1], c[2], c[3]));
        } else if (g_work.modulated) {
            const uint8_t* mod = in->vertices[i].modulation;
            alphaAnd &= mod[3];
            SetColour(i, Pack(mod[0] * c[0] / 255.0f, mod[1] * c[1] / 255.0f,
                              mod[2] * c[2] / 255.0f, mod[3]));
        } else {
            SetColour(i, Pack(c[0] * mc.red / 255.0f, c[1] * mc.green / 255.0f,
                              c[2] * mc.blue / 255.0f, mc.alpha));
        }
    }
    if (plain) return false;
    return g_work.modulated ? alphaAnd != 255 : mc.alpha != 255;
}

// True when nothing changes the packed colours: no modulation colours and every group's
// material opaque white (a group without a material is not white).
bool AllWhite(TvD3DMeshHeader* header) {
    bool white = !g_work.modulated;
    ForMeshes(header, [&](TvD3DMesh* mesh) { white = white && OpaqueWhite(MeshMaterial(mesh)); });
    return white;
}

// Clears the vertex bit-set of the current batch.
bool ClearVisits() {
    return TvD3DReserveVertexBits(TvD3DIm3D.current->first + g_work.instance->numVertices);
}

// Slot 5: clamps lit colours and packs every vertex's colour, then applies each group's material
// and modulation colours (a stage 6 of the game's own finds them done).
void* ColourStage(void* work) {
    const TpD3DWorldInstance* in = g_work.instance;
    for (int32_t i = 0; i < in->numVertices; i++) {
        const auto& c = g_colours[size_t(i)];
        SetColour(i, Pack(c[0], c[1], c[2], c[3]));
    }
    if (!TvD3DIm3D.current || AllWhite(in->mesh)) return work;
    TvD3DMeshHeader* header = in->mesh;
    const uint16_t* indices = in->indices;
    ForMeshes(header, [&](TvD3DMesh* mesh) {
        const uint32_t count = MeshIndexCount(header, mesh);
        if (ClearVisits()) ColourGroup(indices, count, MeshMaterial(mesh));
        indices += count;
    });
    return work;
}

// Slot 6: draws each material group of the mesh.
void* Draw(void* work) {
    const TpD3DWorldInstance* in = g_work.instance;
    if (g_skipDrawing || !TvD3DIm3D.current) return work;
    if (!ClearVisits()) return work;
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvIm3DGouraud = 1;
    TvD3DMeshHeader* header = in->mesh;
    const bool allWhite = AllWhite(header);
    const bool strips = header->flags == kTvD3DMeshTriangleStrip;
    uint16_t* indices = in->indices;
    ForMeshes(header, [&](TvD3DMesh* mesh) {
        const uint32_t count = MeshIndexCount(header, mesh);
        TpMaterial* m = MeshMaterial(mesh);
        TvTexture* texture = m ? m->texture : nullptr;
        TvRaster* raster = texture ? TvTextureGetRaster(texture) : nullptr;
        const bool alpha = ColourGroup(indices, count, m);
        TvRenderStateSet(kTvRenderStateVertexAlphaEnable, alpha ? 1 : 0);
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(raster));
        if (raster) {
            const uint32_t address = TvTextureGetAddressing(texture);
            TvRenderStateSet(kTvRenderStateTextureFilter,
                             intptr_t(TvTextureGetFilterMode(texture)));
            TvRenderStateSet(kTvRenderStateTextureAddress, intptr_t(address));
            if (address == 4) {
                const TpRGBA c = m->color;
                TvRenderStateSet(kTvRenderStateBorderColour,
                                 intptr_t(uint32_t(c.alpha) << 24 | uint32_t(c.red) << 16 |
                                          uint32_t(c.green) << 8 | c.blue));
            }
        }
        TvD3DIm3DIndexedPrimitive(strips ? kTvPrimitiveTriangleStrip : kTvPrimitiveTriangleList,
                                  indices, int32_t(count));
        if (!allWhite) ClearVisits();
        indices += count;
    });
    return work;
}

void* NoLighting(void* work, intptr_t) {
    return work;
}

TvPipe* Setup(TvPipe* pipe, TvPipeStartFn instance) {
    if (!pipe) return nullptr;
    if (pipe->start != InstanceAtomic && pipe->start != InstanceSector) {
        // The driver's transform and clip stages, as an immediate 3-D pipe gets them.
        TvEngineDriverPipeHook(pipe);
        g_driverStart = pipe->start;
        g_driverUV = pipe->stage2;
    }
    pipe->start = instance;
    pipe->stage2 = PreLight;
    pipe->param = reinterpret_cast<intptr_t>(&LightOne);
    pipe->stage4 = NoLighting;
    pipe->stage5 = ColourStage;
    pipe->stage6 = Draw;
    return pipe;
}

} // namespace

TvPipe* TpD3DWorldAtomicSetup(TvPipe* pipe) {
    return Setup(pipe, InstanceAtomic);
}

TvPipe* TpD3DWorldSectorSetup(TvPipe* pipe) {
    return Setup(pipe, InstanceSector);
}

int32_t TpD3DWorldObjectsSetup() {
    return 1;
}

void TpD3DWorldSetSkipDrawing(bool skip) {
    g_skipDrawing = skip;
}
void TpD3DWorldSetLightingOff(bool off) {
    g_lightingOff = off;
}

void* TpAtomicLightingStage(void* work, intptr_t param) {
    TpWorld* world = TpWorldGetCurrent();
    TpAtomic* atomic = g_work.atomic;
    const auto light = reinterpret_cast<TpD3DWorldLightFn>(param);
    if (!world || !atomic || !light || !atomic->geometry || !atomic->object.frame ||
        !(atomic->geometry->flags & kTpGeometryLight))
        return work;
    TvMatrix inverse;
    TvMatrixInvert(&inverse, TvFrameGetLTM(atomic->object.frame));
    const TpLightBatch batch{g_positions.data(),
                             g_normals.data(),
                             g_work.instance->numVertices,
                             reinterpret_cast<float(*)[4]>(g_colours.data()),
                             &inverse,
                             TvV3dLength(&inverse.at),
                             atomic->geometry->surfaceProps};
    const uint16_t stamp = TpWorldAdvanceLightingStamp();
    for (TvLink* l = world->globalLights.next; l != &world->globalLights; l = l->next) {
        TpLight* lt = TvContainerOf<TpLight>(l, offsetof(TpLight, inWorld));
        if (lt->object.object.flags & kTpLightAtomics) light(lt, &batch);
    }
    for (TvLink* s = atomic->sectorTies.next; s != &atomic->sectorTies; s = s->next) {
        TpWorldSector* sector =
            TvContainerOf<TpSectorTie>(s, offsetof(TpSectorTie, inObject))->sector;
        for (TvLink* t = sector->lights.next; t != &sector->lights; t = t->next) {
            auto* lt = static_cast<TpLight*>(
                TvContainerOf<TpSectorTie>(t, offsetof(TpSectorTie, inSector))->object);
            if (lt->lightingStamp == stamp) continue;
            if (lt->object.object.flags & kTpLightAtomics) light(lt, &batch);
            lt->lightingStamp = stamp;
        }
    }
    return work;
}

void* TpWorldSectorLightingStage(void* work, intptr_t param) {
    TpWorld* world = TpWorldGetCurrent();
    TpWorldSector* sector = g_work.sector;
    const auto light = reinterpret_cast<TpD3DWorldLightFn>(param);
    if (!world || !sector || !light) return work;
    const TpLightBatch batch{g_positions.data(),
                             g_normals.data(),
                             g_work.instance->numVertices,
                             reinterpret_cast<float(*)[4]>(g_colours.data()),
                             nullptr,
                             1.0f,
                             world->surfaceProps};
    for (TvLink* l = world->globalLights.next; l != &world->globalLights; l = l->next) {
        TpLight* lt = TvContainerOf<TpLight>(l, offsetof(TpLight, inWorld));
        if (lt->object.object.flags & kTpLightWorld) light(lt, &batch);
    }
    for (TvLink* t = sector->lights.next; t != &sector->lights; t = t->next) {
        auto* lt = static_cast<TpLight*>(
            TvContainerOf<TpSectorTie>(t, offsetof(TpSectorTie, inSector))->object);
        if (lt->object.object.flags & kTpLightWorld) light(lt, &batch);
    }
    return work;
}
