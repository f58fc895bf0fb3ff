#include "engine/world/light.h"

#include <cmath>

#include "engine/core/link.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/world/world_plugin.h"

TvModuleGlobals TpLightModule;
TvPluginRegistry TpLightRegistry = TvPluginRegistryInitial(sizeof(TpLight));
const int32_t _TpLightModuleDataSize = sizeof(TpLightModuleData);

namespace {

constexpr int32_t kLightsPerChunk = 20;

TpLightModuleData* Data() {
    return TvEngineModuleData<TpLightModuleData>(TpLightModule);
}

TvObjectHasFrame* IdentitySync(TvObjectHasFrame* object) {
    return object;
}

float Dot(const TvV3d& a, const TvV3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The light's position and direction (its frame's at axis) in the batch's space.
struct Placement {
    TvV3d position;
    TvV3d at;
    float radius;
};

Placement Place(const TpLight* light, const TpLightBatch* batch) {
    Placement p{{0, 0, 0}, {0, 0, 1}, light->radius * batch->scale};
    if (light->object.frame) {
        const TvMatrix* ltm = TvFrameGetLTM(light->object.frame);
        p.position = ltm->pos;
        p.at = ltm->at;
    }
    if (batch->inverse) {
        TvV3dTransformPoints(&p.position, &p.position, 1, batch->inverse);
        TvV3dTransformVectors(&p.at, &p.at, 1, batch->inverse);
    }
    return p;
}

// Adds `amount` of the light's colour; a grey light adds its red alone to all three channels.
void Add(const TpLight* light, float* color, float amount) {
    if (light->object.object.privateFlags & kTpLightGrey) {
        const float v = light->red * amount;
        color[0] += v;
        color[1] += v;
        color[2] += v;
    } else {
        color[0] += light->red * amount;
        color[1] += light->green * amount;
        color[2] += light->blue * amount;
    }
}

void LightDirectional(const TpLight* light, const TpLightBatch* batch) {
    const Placement p = Place(light, batch);
    const TvV3d toLight{-p.at.x, -p.at.y, -p.at.z};
    const float k = batch->surfaceProps[2] * 255.0f;
    for (int32_t i = 0; i < batch->count; i++) {
        const float dot = Dot(batch->normals[i], toLight);
        if (dot > 0.0f) Add(light, batch->colors[i], dot * k);
    }
}

void LightAmbient(const TpLight* light, const TpLightBatch* batch) {
    const float k = batch->surfaceProps[0] * 255.0f;
    for (int32_t i = 0; i < batch->count; i++)
        Add(light, batch->colors[i], k);
}

// Point, spot and soft spot: `cone` 0 none, 1 hard edge, 2 fading to the edge.
void LightLocal(const TpLight* light, const TpLightBatch* batch, int cone) {
    const Placement p = Place(light, batch);
    const float radiusSquared = p.radius * p.radius;
    const float inverseRadius = p.radius > 0.0f ? 1.0f / p.radius : 0.0f;
    const float k = batch->surfaceProps[2] * 255.0f;
    for (int32_t i = 0; i < batch->count; i++) {
        const TvV3d& v = batch->positions[i];
        const TvV3d d{p.position.x - v.x, p.position.y - v.y, p.position.z - v.z};
        const float nd = Dot(batch->normals[i], d);
        const float dd = Dot(d, d);
        if (nd <= 0.0f || dd >= radiusSquared) continue;
        const float length = std::sqrt(dd);
        float amount = nd * (1.0f / length - inverseRadius) * k;
        if (cone) {
            const TvV3d q{d.x + length * p.at.x, d.y + length * p.at.y, d.z + length * p.at.z};
            const float edge = light->coneTangent * length;
            const float qq = Dot(q, q);
            if (!(qq < edge * edge)) continue;
            if (cone == 2) amount *= 1.0f - qq / (edge * edge);
        }
        Add(light, batch->colors[i], amount);
    }
}

void LightPoint(const TpLight* light, const TpLightBatch* batch) {
    LightLocal(light, batch, 0);
}
void LightSpot(const TpLight* light, const TpLightBatch* batch) {
    LightLocal(light, batch, 1);
}
void LightSoftSpot(const TpLight* light, const TpLightBatch* batch) {
    LightLocal(light, batch, 2);
}

void DestroyLight(TpLight* light) {
    TvPluginDeinitObject(&TpLightRegistry, light);
    TvObjectHasFrameReleaseFrame(&light->object);
    light->object.frame = nullptr;
    TvFreeListFree(Data()->freeList, light);
}

void DestroyStillAllocated(void* block, void*) {
    DestroyLight(static_cast<TpLight*>(block));
}

} // namespace

void* _TpLightModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpLightModuleData*>(TvEngineInstanceData(instance, offset));
    data->freeList = TvFreeListCreate(size_t(TpLightRegistry.sizeOfStruct), kLightsPerChunk);
    if (!data->freeList) return nullptr;
    return TvModuleOpened(TpLightModule, instance, offset);
}

void* _TpLightModuleClose(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpLightModuleData*>(TvEngineInstanceData(instance, offset));
    if (data->freeList) {
        TvFreeListForAllUsed(data->freeList, DestroyStillAllocated, nullptr);
        TvFreeListDestroy(data->freeList);
    }
    data->freeList = nullptr;
    return TvModuleClosed(TpLightModule, instance);
}

TpLightFn TpLightFunctionForType(uint8_t type) {
    switch (type) {
    case kTpLightDirectional: return LightDirectional;
    case kTpLightAmbient: return LightAmbient;
    case kTpLightPoint: return LightPoint;
    case kTpLightSpot: return LightSpot;
    case kTpLightSoftSpot: return LightSoftSpot;
    default: return nullptr;
    }
}

TpLight* TpLightCreate(uint8_t type) {
    if (!TvModuleIsOpen(TpLightModule)) {
        TpCommonError(E_TV_NOTOPEN);
        return nullptr;
    }
    auto* light = static_cast<TpLight*>(TvFreeListAlloc(Data()->freeList));
    if (!light) return nullptr;
    light->object.object = {kTpLightObjectType, type, kTpLightAtomics | kTpLightWorld,
                            kTpLightGrey};
    light->object.frame = nullptr;
    TvLinkInit(&light->object.lFrame);
    light->object.sync = IdentitySync;
    light->radius = 0.0f;
    light->red = light->green = light->blue = light->alpha = 1.0f;
    light->coneTangent = 0.0f;
    TvLinkInit(&light->sectorTies);
    TvLinkInit(&light->inWorld);
    light->lightingStamp = uint16_t(TpWorldGetLightingStamp() - 1);
    light->counter = 1;
    light->lightFn = TpLightFunctionForType(type);
    // A failing plug-in constructor has undone the ones before it; the block goes back.
    if (!TvPluginInitObject(&TpLightRegistry, light)) {
        TvFreeListFree(Data()->freeList, light);
        return nullptr;
    }
    return light;
}

int32_t TpLightDestroy(TpLight* light) {
    if (!TpCheck(TpLightModule, light)) return 0;
    DestroyLight(light);
    return 1;
}

TpLight* TpLightSetRadius(TpLight* light, float radius) {
    if (!TpCheck(TpLightModule, light)) return nullptr;
    light->radius = radius;
    if (light->object.frame) TvFrameUpdateObjects(light->object.frame);
    light->counter++;
    return light;
}

TpLight* TpLightSetColor(TpLight* light, float red, float green, float blue, float alpha) {
    if (!TpCheck(TpLightModule, light)) return nullptr;
    light->red = red;
    light->green = green;
    light->blue = blue;
    light->alpha = alpha;
    light->object.object.privateFlags = (red == green && green == blue) ? kTpLightGrey : 0;
    light->counter++;
    return light;
}

TpLight* TpLightSetConeAngle(TpLight* light, float radians) {
    if (!TpCheck(TpLightModule, light)) return nullptr;
    light->coneTangent = std::tan(radians);
    light->counter++;
    return light;
}

TpLight* TpLightSetFrame(TpLight* light, TvFrame* frame) {
    if (!TpCheck(TpLightModule, light)) return nullptr;
    TvObjectHasFrameSetFrame(&light->object, frame);
    light->counter++;
    return light;
}

TpLight* TpLightSetFlags(TpLight* light, uint8_t flags) {
    if (!TpCheck(TpLightModule, light)) return nullptr;
    light->object.object.flags = flags;
    light->counter++;
    return light;
}

uint8_t TpLightGetType(const TpLight* light) {
    if (!TpCheck(TpLightModule, light)) return 0;
    return light->object.object.subType;
}

void TpLightBatchBegin(float (*colors)[4], const uint8_t* preLight, int32_t count) {
    for (int32_t i = 0; i < count; i++)
        for (int c = 0; c < 4; c++)
            colors[i][c] = preLight ? float(preLight[i * 4 + c]) : 0.0f;
}

void TpLightBatchEnd(const float (*colors)[4], uint32_t* packed, int32_t count) {
    auto channel = [](float v) -> uint32_t {
        if (!(v > 0.0f)) return 0;
        return v >= 255.0f ? 255u : uint32_t(v);
    };
    for (int32_t i = 0; i < count; i++) {
        packed[i] = channel(colors[i][3]) << 24 | channel(colors[i][0]) << 16 |
                    channel(colors[i][1]) << 8 | channel(colors[i][2]);
    }
}
