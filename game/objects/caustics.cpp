#include "game/objects/caustics.h"

#include <cstdio>
#include <vector>

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/texture.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "engine/world/world.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/levels.h"
#include "game/objects/objecttypes.h"
#include "game/objects/sky.h"

namespace {

constexpr int32_t kLeftWorlds = 4;

struct Left {
    TpWorld* world;
    TpWorldSectorRenderCallBack sector;
};

struct CausticState {
    TvTexture* textures[kMV2CausticFrames];
    TpWorldSectorRenderCallBack savedSector;
    TpWorld* sectorWorld; // the world whose callback was replaced
    // The last worlds left with the caustic callback (not current when caustics went off) and
    // the callbacks they had before; a world found here still holds the caustic callback.
    Left left[kLeftWorlds];
    int32_t nextLeft;
    int32_t world;
    int32_t atomic;
    std::vector<TvIm3DVertex> vertices; // scratch, grown to the largest draw
    std::vector<uint16_t> indices;
};
CausticState g_caustics{};

// The caustic alpha of the level; 0 draws nothing.
uint32_t CausticAlpha() {
    const float strength = MV2GetCausticStrength();
    return strength > 0.0f ? uint32_t(strength * 255.0f) & 0xFF : 0;
}

bool TextureShowsCaustics(const TpMaterial* m) {
    return m && m->texture && (!m->texture->maskName || !*m->texture->maskName);
}

// Draws the listed triangles again over the vertices with the caustic frame, u and v from the
// source x and z so the pattern repeats every 20 units whatever the surface's own texture.
void DrawPass(const TvV3d* source, int32_t count, const TvMatrix* matrix) {
    const uint32_t alpha = CausticAlpha();
    TvTexture* frame = g_caustics.textures[MV2CausticFrame(gMV2DayClock.gameClock)];
    if (!alpha || !frame || g_caustics.indices.empty()) return;
    if (g_caustics.vertices.size() < size_t(count)) g_caustics.vertices.resize(size_t(count));
    for (int32_t i = 0; i < count; i++) {
        TvIm3DVertex& v = g_caustics.vertices[size_t(i)];
        v.objVertex = source[i];
        v.u = 0.05f * source[i].x;
        v.v = 0.05f * source[i].z;
        v.red = v.green = v.blue = 255;
        v.alpha = uint8_t(alpha);
    }
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(TvTextureGetRaster(frame)));
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    if (TvIm3DTransform(g_caustics.vertices.data(), count, matrix, kTvIm3DVertexUV)) {
        TvIm3DRenderIndexedPrimitive(3, g_caustics.indices.data(),
                                     int32_t(g_caustics.indices.size()));
        TvIm3DEnd();
    }
}

// Puts the saved callback back on the world it was taken from while that world is still the
// current one; a world since destroyed is only forgotten. A world that was not current keeps
// the caustic callback, which goes on drawing through the saved one.
void Restore() {
    if (g_caustics.sectorWorld && g_caustics.savedSector &&
        g_caustics.sectorWorld == TpWorldGetCurrent()) {
        TpWorldSetSectorRenderCallBack(g_caustics.sectorWorld, g_caustics.savedSector);
        g_caustics.savedSector = nullptr;
    } else if (g_caustics.sectorWorld) {
        Left* slot = &g_caustics.left[g_caustics.nextLeft];
        for (Left& l : g_caustics.left)
            if (l.world == g_caustics.sectorWorld) slot = &l;
        if (slot == &g_caustics.left[g_caustics.nextLeft])
            g_caustics.nextLeft = (g_caustics.nextLeft + 1) % kLeftWorlds;
        *slot = {g_caustics.sectorWorld, g_caustics.savedSector};
    }
    g_caustics.sectorWorld = nullptr;
}

void Install() {
    TpWorld* world = TpWorldGetCurrent();
    if (world == g_caustics.sectorWorld) return;
    Restore();
    if (!world || !g_caustics.world) return;
    // A world left with the caustic callback keeps the callback saved before: saving the caustic
    // callback itself would make it call itself without end.
    const TpWorldSectorRenderCallBack current = TpWorldGetSectorRenderCallBack(world);
    if (current != MV2RenderSectorCaustics)
        g_caustics.savedSector = current;
    else
        for (const Left& l : g_caustics.left)
            if (l.world == world) g_caustics.savedSector = l.sector;
    g_caustics.sectorWorld = world;
    TpWorldSetSectorRenderCallBack(world, MV2RenderSectorCaustics);
}

} // namespace

int32_t MV2CausticFrame(uint32_t gameClock) {
    return int32_t((gameClock / 32) % kMV2CausticFrames);
}

int32_t MV2InitialiseCaustics() {
    for (int32_t i = 0; i < kMV2CausticFrames; i++) {
        char name[16], mask[16];
        std::snprintf(name, sizeof name, "CAUST%02d", int(i & 31));
        std::snprintf(mask, sizeof mask, "CAUST%02dm", int(i & 31));
        g_caustics.textures[i] = TvTextureRead(name, mask);
        if (!g_caustics.textures[i]) return 0;
    }
    MV2SetWorldCaustics(1);
    MV2SetAtomicCaustics(1);
    return 1;
}

void MV2ShutdownCaustics() {
    for (TvTexture*& t : g_caustics.textures) {
        if (t) TvTextureDestroy(t);
        t = nullptr;
    }
    Restore();
    g_caustics.world = 0;
    g_caustics.atomic = 0;
    g_caustics.vertices = {};
    g_caustics.indices = {};
}

void MV2SetWorldCaustics(int32_t on) {
    g_caustics.world = on;
    if (on)
        Install();
    else
        Restore();
}

void MV2SetAtomicCaustics(int32_t on) {
    g_caustics.atomic = on;
}

int32_t MV2GetWorldCaustics() {
    return g_caustics.world;
}

int32_t MV2GetAtomicCaustics() {
    return g_caustics.atomic;
}

TpWorldSector* MV2RenderSectorCaustics(TpWorldSector* sector) {
    TpWorldSectorRenderCallBack draw = g_caustics.savedSector;
    TpWorldSector* result = draw ? draw(sector) : sector;
    if (!result || !g_caustics.world || !sector->vertices) return result;
    TpWorld* world = TpWorldSectorGetWorld(sector);
    g_caustics.indices.clear();
    for (int32_t t = 0; t < sector->numTriangles; t++) {
        const TpSectorTriangle& tri = sector->triangles[t];
        const TpMaterial* m =
            world ? TpMaterialListGetMaterial(&world->materials,
                                              int32_t(sector->firstMaterial) + tri.material)
                  : nullptr;
        if (!TextureShowsCaustics(m)) continue;
        for (uint8_t v : tri.vertex)
            g_caustics.indices.push_back(v);
    }
    DrawPass(sector->vertices, sector->numVertices, nullptr);
    return result;
}

int32_t MV2RenderAtomicCaustics(TpAtomic* atomic) {
    // The engine's default renderer draws first; the callback goes back afterwards.
    TpAtomicSetRenderCallBack(atomic, nullptr);
    const bool drawn = TpAtomicRender(atomic) != nullptr;
    TpAtomicSetRenderCallBack(atomic, MV2RenderAtomicCaustics);
    if (!drawn) return 0;
    MV2Object* object = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!g_caustics.atomic || !object || !object->type ||
        !(object->type->words[7] & kMV2TypeCaustics))
        return 1;
    TpGeometry* g = TpAtomicGetGeometry(atomic);
    if (!g || !g->numVertices) return 1;
    g_caustics.indices.clear();
    for (int32_t t = 0; t < g->numTriangles; t++) {
        const TpTriangle& tri = g->triangles[t];
        if (!TextureShowsCaustics(TpGeometryGetMaterial(g, tri.material))) continue;
        for (uint16_t v : tri.vertex)
            g_caustics.indices.push_back(v);
    }
    DrawPass(TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 0)), g->numVertices,
             TvFrameGetLTM(atomic->object.frame));
    return 1;
}
