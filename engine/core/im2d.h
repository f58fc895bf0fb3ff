// Immediate mode 2-D: screen-space vertices handed straight to the driver, and the render states
// set and read through the engine instance's device record.
#pragma once

#include <cstdint>

#include "engine/core/immediate.h"

// A screen-space vertex in the device's transformed-and-lit layout.
struct TvIm2DVertex {
    float x, y;      // pixels
    float z;         // screen depth between the near and far screen z
    float recipZ;    // reciprocal of w
    uint32_t colour; // ARGB, alpha in the top byte
    uint32_t specular;
    float u, v;
};
static_assert(sizeof(TvIm2DVertex) == 32, "a screen vertex is 32 bytes");

// Engine primitive types.
enum TvPrimitiveType : int32_t {
    kTvPrimitiveNone = 0,
    kTvPrimitiveLineList = 1,
    kTvPrimitivePolyLine = 2,
    kTvPrimitiveTriangleList = 3,
    kTvPrimitiveTriangleStrip = 4,
    kTvPrimitiveTriangleFan = 5,
};

// Render states (the driver documents each one's values).
enum TvRenderState : int32_t {
    kTvRenderStateTextureRaster = 1,
    kTvRenderStateTextureAddress = 2,
    kTvRenderStateTexturePerspective = 3,
    kTvRenderStateZTestEnable = 4,
    kTvRenderStateShadeMode = 5,
    kTvRenderStateZWriteEnable = 6,
    kTvRenderStateTextureFilter = 7,
    kTvRenderStateSrcBlend = 8,
    kTvRenderStateDestBlend = 9,
    kTvRenderStateVertexAlphaEnable = 10,
    kTvRenderStateBorderColour = 11,
    kTvRenderStateFogEnable = 12,
    kTvRenderStateFogColour = 13,
    kTvRenderStateFogType = 14,
    kTvRenderStateFogTable = 15,
    kTvRenderStateDeferral = 16,
};

// Needs a current camera (else error 20 and false).
bool TvRenderStateSet(int32_t state, intptr_t value);
bool TvRenderStateGet(int32_t state, void* value);

// The device record's 2-D drawing functions; the results are the driver's.
int32_t TvIm2DRenderLine(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2);
int32_t TvIm2DRenderTriangle(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2,
                             int32_t i3);
int32_t TvIm2DRenderPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count);
int32_t TvIm2DRenderIndexedPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count,
                                     uint16_t* indices, int32_t indexCount);
