#include "game/objects/lighting.h"

#include <cmath>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/modeltags.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"

TpLight* gMV2AmbientLight = nullptr;
TpLight* gMV2DirectionalLight = nullptr;
uint8_t gMV2AmbientColour[4] = {0, 0, 0, 0};
MV2LightingZone gMV2LightingZone = {nullptr, 0, 0.0f};

namespace {

TvModuleGlobals g_frameTagModule;
TvModuleGlobals g_customLightModule;
int32_t g_frameTagOffset = -1;

MV2FrameTagData& TagData(void* frame, int32_t offset) {
    return *reinterpret_cast<MV2FrameTagData*>(static_cast<uint8_t*>(frame) + offset);
}

void* FrameTagOpen(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_frameTagModule, instance, offset);
}

void* FrameTagClose(void* instance, int32_t, int32_t) {
    // An engine opened later without the plug-in has no tags in its frames.
    g_frameTagOffset = -1;
    return TvModuleClosed(g_frameTagModule, instance);
}

void* FrameTagConstruct(void* frame, int32_t offset, int32_t) {
    TagData(frame, offset) = {kMV2DefaultFrameTag, 0, {nullptr, nullptr}};
    return frame;
}

void* Nothing(void* object, int32_t, int32_t) {
    return object;
}

void* FrameTagCopy(void* dest, const void* src, int32_t offset, int32_t) {
    TagData(dest, offset) = TagData(const_cast<void*>(src), offset);
    return dest;
}

TvStream* FrameTagRead(TvStream* stream, int32_t length, void* frame, int32_t offset, int32_t) {
    uint8_t b[4];
    if (length < 4 || TvStreamRead(stream, b, 4) != 4) return nullptr;
    if (length > 4 && !TvStreamSkip(stream, uint32_t(length - 4))) return nullptr;
    TagData(frame, offset).tag = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                 uint32_t(b[3]) << 24;
    return stream;
}

TvStream* FrameTagWrite(TvStream* stream, int32_t, const void* frame, int32_t offset, int32_t) {
    const uint32_t tag = TagData(const_cast<void*>(frame), offset).tag;
    const uint8_t b[4] = {uint8_t(tag), uint8_t(tag >> 8), uint8_t(tag >> 16), uint8_t(tag >> 24)};
    return TvStreamWrite(stream, b, sizeof b);
}

int32_t FrameTagSize(const void*, int32_t, int32_t) {
    return 4;
}

void* CustomLightOpen(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_customLightModule, instance, offset);
}

void* CustomLightClose(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_customLightModule, instance);
}

float Dot(const TvV3d& a, const TvV3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The light's position in the batch's space and its radius there.
void Place(const TpLight* light, const TpLightBatch* batch, TvV3d* position, float* radius) {
    *position = {0, 0, 0};
    if (light->object.frame) *position = TvFrameGetLTM(light->object.frame)->pos;
    *radius = light->radius;
    if (batch->inverse) {
        TvV3dTransformPoints(position, position, 1, batch->inverse);
        *radius *= batch->scale;
    }
}

// Adds `amount` of the light's colour; a grey light adds its red to all three channels.
void Add(const TpLight* light, float* colour, float amount) {
    if (light->object.object.privateFlags & kTpLightGrey) {
        const float v = light->red * amount;
        colour[0] += v;
        colour[1] += v;
        colour[2] += v;
    } else {
        colour[0] += light->red * amount;
        colour[1] += light->green * amount;
        colour[2] += light->blue * amount;
    }
}

void UniformSphereLight(const TpLight* light, const TpLightBatch* batch) {
    TvV3d p;
    float radius;
    Place(light, batch, &p, &radius);
    const float radiusSquared = radius * radius;
    const float k = 255.0f * batch->surfaceProps[2];
    for (int32_t i = 0; i < batch->count; i++) {
        const TvV3d& v = batch->positions[i];
        const TvV3d d{p.x - v.x, p.y - v.y, p.z - v.z};
        if (Dot(d, d) < radiusSquared) Add(light, batch->colors[i], k);
    }
}

void FacingSphereLight(const TpLight* light, const TpLightBatch* batch) {
    TvV3d p;
    float radius;
    Place(light, batch, &p, &radius);
    const float k = 255.0f * batch->surfaceProps[2];
    for (int32_t i = 0; i < batch->count; i++) {
        const TvV3d& v = batch->positions[i];
        const TvV3d d{p.x - v.x, p.y - v.y, p.z - v.z};
        const float nd = Dot(batch->normals[i], d);
        if (nd <= 0.0f) continue;
        const float distance = std::sqrt(Dot(d, d));
        if (distance >= radius) continue;
        Add(light, batch->colors[i], (radius - distance) * nd * k);
    }
}

void* CustomLightConstruct(void* object, int32_t, int32_t) {
    auto* light = static_cast<TpLight*>(object);
    if (light->object.object.subType == kMV2UniformSphereLight)
        light->lightFn = UniformSphereLight;
    else if (light->object.object.subType == kMV2FacingSphereLight)
        light->lightFn = FacingSphereLight;
    return object;
}

float ZoneFloat(MV2Object* zone, int32_t word) {
    float v = 0.0f;
    std::memcpy(&v, static_cast<uint8_t*>(zone->privateData) + size_t(word) * 4, sizeof v);
    return v;
}

// The distance is measured from the current to the atomic's centre, so that an atomic exactly
// at the radius gets no force.
int32_t PushCurrent(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* current = static_cast<MV2Object*>(data);
    const auto* c = static_cast<const MV2CurrentData*>(current->privateData);
    MV2Object* object = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!object || !object->body || !c->direction || c->radius <= 0.0f) return 1;
    const TvV3d& centre = TpAtomicGetWorldBoundingSphere(atomic)->center;
    const TvV3d& at = current->matrix->pos;
    const TvV3d d{centre.x - at.x, centre.y - at.y, centre.z - at.z};
    const float distance = std::sqrt(Dot(d, d));
    if (!(distance < c->radius)) return 1;
    const float f = (c->radius - distance) / c->radius * c->strength;
    const TvV3d force{c->direction->x * f, c->direction->y * f, c->direction->z * f};
    MV2AddForce(object, &force);
    return 1;
}

} // namespace

int32_t TpFrameTagPluginAttach() {
    if (TvEngineRegisterPlugin(0, kMV2FrameTagPluginId, FrameTagOpen, FrameTagClose) < 0) return 0;
    g_frameTagOffset = TvFrameRegisterPlugin(int32_t(sizeof(MV2FrameTagData)), kMV2FrameTagPluginId,
                                             FrameTagConstruct, Nothing, FrameTagCopy);
    if (g_frameTagOffset < 0) return 0;
    return TvFrameRegisterPluginStream(kMV2FrameTagPluginId, FrameTagRead, FrameTagWrite,
                                       FrameTagSize) >= 0;
}

int32_t TpCustonLightPluginAttach() {
    if (TvEngineRegisterPlugin(0, kMV2CustomLightPluginId, CustomLightOpen, CustomLightClose) < 0)
        return 0;
    return TpLightRegisterPlugin(0, kMV2CustomLightPluginId, CustomLightConstruct, Nothing,
                                 nullptr) >= 0;
}

void MV2FrameSetTag(TvFrame* frame, uint32_t tag) {
    if (frame && g_frameTagOffset >= 0) TagData(frame, g_frameTagOffset).tag = tag;
}

uint32_t MV2FrameGetTag(const TvFrame* frame) {
    if (!frame || g_frameTagOffset < 0) return kMV2DefaultFrameTag;
    return TagData(const_cast<TvFrame*>(frame), g_frameTagOffset).tag;
}

void MV2SetAmbientColour(float r, float g, float b, float a) {
    const float v[4] = {r, g, b, a};
    for (int32_t i = 0; i < 4; i++)
        gMV2AmbientColour[i] = uint8_t(int32_t(v[i] * 255.0f + 0.5f));
    if (gMV2AmbientLight) TpLightSetColor(gMV2AmbientLight, r, g, b, a);
}

void MV2ApplyLightingZone(float* lightFactor, float* r, float* g, float* b) {
    MV2LightingZone& z = gMV2LightingZone;
    if (!z.object || !MV2ObjectHandleAlive(z.handle)) return;
    MV2Object* zone = z.object;
    // The zone's words 3..11 must lie inside its private data.
    if (!zone->privateData || !zone->type || zone->type->privateDataSize < 12 * 4) return;
    const float t = (z.weight + 1.0f) * 0.5f;
    float* value[4] = {lightFactor, r, g, b};
    const int32_t wordA[4] = {3, 4, 5, 6}, wordB[4] = {7, 8, 9, 10};
    uint32_t blend = 0;
    std::memcpy(&blend, static_cast<uint8_t*>(zone->privateData) + 11 * 4, sizeof blend);
    for (int32_t i = 0; i < 4; i++) {
        const float a = ZoneFloat(zone, wordA[i]);
        const float other = blend ? *value[i] : ZoneFloat(zone, wordB[i]);
        *value[i] = a * (1.0f - t) + t * other;
    }
}

void MV2ResetLightingZone() {
    gMV2LightingZone = {nullptr, 0, 0.0f};
}

intptr_t MV2CurrentHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2: {
        intptr_t r = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (object->privateData && object->matrix)
            MV2ForAllAtomicsInSphere(TpWorldGetCurrent(), &object->matrix->pos,
                                     static_cast<MV2CurrentData*>(object->privateData)->radius,
                                     PushCurrent, object);
        return r;
    }
    case 3: {
        intptr_t r = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (auto* c = static_cast<MV2CurrentData*>(object->privateData)) {
            c->radius = 5.0f;
            c->strength = 0.2f;
            c->direction = object->matrix ? &object->matrix->at : nullptr;
            if (!c->direction) return 0;
        }
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        return r;
    }
    case 44:
    case 75: return 0;
    case 80: return 1;
    case 96:
        if (p2) *reinterpret_cast<uint32_t*>(p2) = uint32_t(sizeof(MV2CurrentData));
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}
