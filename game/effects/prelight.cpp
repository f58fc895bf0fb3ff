#include "game/effects/prelight.h"

#include <array>
#include <cstddef>
#include <vector>

#include "engine/core/link.h"

#include "engine/core/frame.h"
#include "engine/world/intersect.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/effects/effectbase.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "shell/sounds.h"

namespace {

struct Prelight {
    TpWorld* world;
    uint32_t occlusion;
    int32_t mode;
    float reach; // squared length of the world box's diagonal
    std::vector<TvV3d> normals;
    std::vector<std::array<float, 4>> colours;
    std::vector<std::array<float, 4>> before;
};
Prelight g;

TpCollisionTriangle* StopAtHit(TpIntersection*, TpWorldSector*, TpCollisionTriangle* triangle,
                               float distance, void* data) {
    if (distance > 0.0f) {
        *static_cast<bool*>(data) = true;
        return nullptr;
    }
    return triangle;
}

bool Blocked(const TpLight* light, const TvV3d& vertex) {
    const uint8_t type = light->object.object.subType;
    if (type == 2) return false;
    const TvMatrix* m = light->object.frame ? TvFrameGetLTM(light->object.frame) : nullptr;
    if (!m) return false;
    TpIntersection line = {};
    line.type = kTpIntersectLine;
    line.t.line.start = vertex;
    line.t.line.end = type >= 128 ? m->pos : TvV3dAdd(vertex, TvV3dScale(m->at, -g.reach));
    bool hit = false;
    TpWorldForAllTriangleIntersections(g.world, &line, StopAtHit, &hit);
    return hit;
}

int32_t Scaled(float v) {
    return int32_t(v * 1000.0f);
}

void LightVertices(const TpLight* light, const TpLightBatch& batch, const TvV3d* positions) {
    if (!light->lightFn) return;
    if (g.occlusion) g.before.assign(g.colours.begin(), g.colours.end());
    light->lightFn(light, &batch);
    if (!g.occlusion) return;
    for (int32_t i = 0; i < batch.count; i++) {
        const auto& now = g.colours[size_t(i)];
        const auto& was = g.before[size_t(i)];
        const bool changed = Scaled(now[0]) != Scaled(was[0]) || Scaled(now[1]) != Scaled(was[1]) ||
                             Scaled(now[2]) != Scaled(was[2]);
        if (changed && Blocked(light, positions[i])) g.colours[size_t(i)] = was;
    }
}

uint8_t StoreByte(float v) {
    if (!(v > 0.0f)) return 0;
    return v > 255.0f ? 255 : uint8_t(v);
}

TpWorldSector* LightSector(TpWorldSector* sector, void*) {
    const int32_t n = sector->numVertices;
    if (n <= 0 || !sector->vertices || !sector->preLight) return sector;
    g.normals.resize(size_t(n));
    g.colours.resize(size_t(n));
    for (int32_t i = 0; i < n; i++) {
        const uint8_t* nb = sector->normals ? sector->normals + 4 * i : nullptr;
        g.normals[size_t(i)] =
            nb ? TvV3d{float(int8_t(nb[0])) * 0.0078125f, float(int8_t(nb[1])) * 0.0078125f,
                       float(int8_t(nb[2])) * 0.0078125f}
               : TvV3d{0, 0, 0};
        const uint8_t* p = sector->preLight + 4 * i;
        if (g.mode != 0)
            g.colours[size_t(i)] = {0.0f, 0.0f, 0.0f, 255.0f};
        else
            g.colours[size_t(i)] = {float(p[0]), float(p[1]), float(p[2]), float(p[3])};
    }
    const TpLightBatch batch{sector->vertices, g.normals.data(), n,
                             reinterpret_cast<float(*)[4]>(g.colours.data()), nullptr, 1.0f,
                             g.world->surfaceProps};
    for (TvLink* l = g.world->globalLights.next; l != &g.world->globalLights; l = l->next) {
        const TpLight* light = TvContainerOf<TpLight>(l, offsetof(TpLight, inWorld));
        if (light->object.object.flags & kTpLightWorld) LightVertices(light, batch, sector->vertices);
    }
    for (TvLink* t = sector->lights.next; t != &sector->lights; t = t->next) {
        const auto* light = static_cast<const TpLight*>(
            TvContainerOf<TpSectorTie>(t, offsetof(TpSectorTie, inSector))->object);
        if (light->object.object.flags & kTpLightWorld) LightVertices(light, batch, sector->vertices);
    }
    for (int32_t i = 0; i < n; i++) {
        uint8_t* p = sector->preLight + 4 * i;
        for (int32_t c = 0; c < 4; c++)
            p[c] = StoreByte(g.colours[size_t(i)][size_t(c)]);
    }
    return sector;
}

} // namespace

TpWorld* MV2PrelightWorldSectors(TpWorld* world, uint32_t occlusion, int32_t mode) {
    if (!world) return nullptr;
    g.world = world;
    g.occlusion = occlusion;
    g.mode = mode;
    const TvBBox* box = TpWorldGetBBox(world);
    const TvV3d diagonal = box ? TvV3dSub(box->sup, box->inf) : TvV3d{0, 0, 0};
    g.reach = TvV3dDot(diagonal, diagonal);
    TpWorldForAllWorldSectors(world, LightSector, nullptr);
    g.world = nullptr;
    return world;
}

intptr_t MV2ProcessObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2ProcessData*>(object->privateData);
    switch (message) {
    case 80: return 1;
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2ProcessData));
        return 1;
    case 2:
        if (d) MV2StartObjectSound(object, MV2EffectSound("PROCESS"), &d->sound, 0, 1000);
        if (object->energy < 0.0f) object->energy = 0.0f;
        break;
    case 4:
        if (d) MV2StopObjectSound(object, MV2EffectSound("PROCESS"), &d->sound);
        break;
    case 12:
        if (d && p2) d->value = *reinterpret_cast<const uint32_t*>(p2);
        break;
    case 13:
        if (d && p2) *reinterpret_cast<uint32_t*>(p2) = d->value;
        break;
    default: break;
    }
    if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
    if (message == 3) {
        if (d) d->sound = 0;
        object->aiCategory = 9;
    }
    return 1;
}
