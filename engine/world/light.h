// Lights: frame-placed directional, ambient, point, spot and soft-spot lights, and the lighting
// functions that add their contribution to a batch of vertex colours.
#pragma once

#include <cstdint>

#include "engine/core/frame.h"
#include "engine/core/vector.h"

struct TvFreeList;
struct TvMatrix;

inline constexpr uint8_t kTpLightObjectType = 3;

enum TpLightType : uint8_t {
    kTpLightDirectional = 1,
    kTpLightAmbient = 2,
    kTpLightPoint = 128,
    kTpLightSpot = 129,
    kTpLightSoftSpot = 130,
};
// Types from here on are local: they light only the sectors their radius reaches.
inline constexpr uint8_t kTpLightFirstLocal = 128;

// Light flags.
inline constexpr uint8_t kTpLightAtomics = 0x01;
inline constexpr uint8_t kTpLightWorld = 0x02;
// Private flags bit 0: red, green and blue are equal.
inline constexpr uint8_t kTpLightGrey = 0x01;

// Vertices lit in one call: positions and normals, and per-vertex accumulators {r, g, b, a}.
// With an inverse matrix the vertices are in object space and the light is brought into it;
// the radius is then multiplied by `scale`.
struct TpLightBatch {
    const TvV3d* positions;
    const TvV3d* normals;
    int32_t count;
    float (*colors)[4];
    const TvMatrix* inverse; // null: world space
    float scale;
    const float* surfaceProps; // three coefficients
};

struct TpLight;
using TpLightFn = void (*)(const TpLight* light, const TpLightBatch* batch);

struct TpLight {
    TvObjectHasFrame object; // sub-type = light type
    TpLightFn lightFn;
    float radius;
    float red, green, blue, alpha;
    float coneTangent;
    TvLink sectorTies;
    TvLink inWorld;
    uint16_t lightingStamp;
    uint8_t counter;
    // light plug-in data follows
};

// Light module data (module 0x505).
struct TpLightModuleData {
    TvFreeList* freeList;
};

TpLight* TpLightCreate(uint8_t type);
int32_t TpLightDestroy(TpLight* light);
TpLight* TpLightSetRadius(TpLight* light, float radius);
TpLight* TpLightSetColor(TpLight* light, float red, float green, float blue, float alpha);
TpLight* TpLightSetConeAngle(TpLight* light, float radians);
TpLight* TpLightSetFrame(TpLight* light, TvFrame* frame);
TpLight* TpLightSetFlags(TpLight* light, uint8_t flags);
uint8_t TpLightGetType(const TpLight* light);

// The lighting function of a light type; null for types without one.
TpLightFn TpLightFunctionForType(uint8_t type);

// Accumulators start from the pre-light colour bytes {r, g, b, a} (all 0 when none).
void TpLightBatchBegin(float (*colors)[4], const uint8_t* preLight, int32_t count);
// Clamps each channel to 0..255 and packs it as 0xAARRGGBB.
void TpLightBatchEnd(const float (*colors)[4], uint32_t* packed, int32_t count);

// Lighting stages of the default atomic and sector pipes (stage 4: work record, per-light
// function of the pipe).
void* TpAtomicLightingStage(void* work, intptr_t param);
void* TpWorldSectorLightingStage(void* work, intptr_t param);
