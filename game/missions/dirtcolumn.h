// The dirt column (type 135): an invisible object showing a swirling, widening column of dirt
// specks above itself, switched on and off with a fade. The vortex and the suck-up beam shape
// their columns through the accessors below.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct TvTexture;

inline constexpr int32_t kMV2DirtColumnType = 135;
inline constexpr int32_t kMV2DirtSpecksMax = 100;

struct MV2DirtSpeck {
    float spin; // degrees per frame step, 1..10; also the speck's size
    float directionX;
    float height;
    float directionZ;
    TvV3d world;
    TvTexture* texture;
};

// Allocated at creation with room for `capacity` specks right behind the record.
struct MV2DirtColumn {
    uint32_t on;
    float fallStep;   // taken off each speck's height at every update
    int32_t count;    // specks in use, 0..capacity
    int32_t capacity; // specks allocated
    float sizeFactor;
    float height;
    float baseRadius;
    float topRadius;
    float radiusSlope; // (top - base) / height
    uint32_t swirl;
    float fade; // 0..1
    MV2DirtSpeck* specks;
};

// The column record of a live type-135 object, or null.
MV2DirtColumn* MV2GetDirtColumn(MV2Object* object);
// Setters: the count is clamped to 0..capacity; a height or radius change keeps the slope in
// step; values that are not finite are ignored.
void MV2DirtColumnSetCount(MV2DirtColumn* column, int32_t count);
void MV2DirtColumnSetHeight(MV2DirtColumn* column, float height);
void MV2DirtColumnSetRadii(MV2DirtColumn* column, float base, float top);
void MV2DirtColumnSetFallStep(MV2DirtColumn* column, float step);
void MV2DirtColumnSetSizeFactor(MV2DirtColumn* column, float factor);

intptr_t MV2DirtColumnHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Draws the column's specks as camera-facing translucent sprites (the effect pass).
void MV2DrawDirtColumn(MV2Object* object);
void MV2RegisterDirtColumnHandler();
