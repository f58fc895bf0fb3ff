// Immediate mode 3-D: object-space vertices run through the immediate 3-D pipe (transform, clip,
// colour and texture coordinates), then primitives drawn by index over the transformed set.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"

struct TvPipe;

// An object-space vertex as the game fills it.
struct TvIm3DVertex {
    TvV3d objVertex;
    float u, v;
    uint8_t red, green, blue, alpha;
};

// Flags of a transform: the vertices carry texture coordinates.
inline constexpr uint32_t kTvIm3DVertexUV = 0x1;

// What a transform hands the pipe.
struct TvIm3DTransformData {
    TvIm3DVertex* vertices;
    int32_t count;
    uint32_t flags;
    const TvMatrix* matrix; // null: no object transform
};

// Immediate 3-D module data (module 0x40A).
struct TvIm3DModule {
    TvPipe* pipe;
};

// Pushes and runs the module's pipe over the vertices; null (the stack as before) on failure.
// Every successful transform is matched by one TvIm3DEnd.
TvIm3DVertex* TvIm3DTransform(TvIm3DVertex* vertices, int32_t count, const TvMatrix* matrix,
                              uint32_t flags);
// Draw over the vertices of the last transform; indices are positions in that batch.
int32_t TvIm3DRenderLine(int32_t i1, int32_t i2);
int32_t TvIm3DRenderTriangle(int32_t i1, int32_t i2, int32_t i3);
int32_t TvIm3DRenderPrimitive(int32_t type);
int32_t TvIm3DRenderIndexedPrimitive(int32_t type, uint16_t* indices, int32_t indexCount);
bool TvIm3DEnd();

// The driver flag that tells its 3-D submission that shading is Gouraud (render state 5 is 2).
extern int32_t TvIm3DGouraud;
