// Direct3D world pipeline: the stages of the default atomic and sector render pipes that turn a
// geometry or a world sector into vertices and indices for the driver's immediate 3-D pipeline:
// instancing into the resource arena, pre-light colours, lighting, colour packing and drawing.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "engine/world/geometry.h"

struct TvPipe;
struct TvD3DMeshHeader;
struct TpLight;
struct TpLightBatch;

// One instanced vertex; the layout flags say which of the optional parts are filled.
struct TpD3DWorldVertex {
    TvV3d position;
    TvV3d normal;
    uint32_t colour;       // pre-light colour, 0xAARRGGBB
    TpTexCoords uv;        // layout flag 2
    uint8_t modulation[4]; // layout flag 4: r, g, b, a
};

// Layout flags of instanced vertices, from the format flags AND 6.
inline constexpr uint32_t kTpD3DLayoutTextured = 0x2;
inline constexpr uint32_t kTpD3DLayoutModulated = 0x4;

// Instanced data of an atomic or a sector: the data of a resource-arena entry.
struct TpD3DWorldInstance {
    uint16_t meshSerial;
    uint32_t layoutFlags;
    uint32_t layoutSize;
    int32_t numVertices;
    int32_t numIndices;
    TvD3DMeshHeader* mesh;
    TpD3DWorldVertex* vertices;
    uint16_t* indices; // each mesh's triangles as three indices, or its strip, in mesh order
};

// The per-light function handed to the lighting stages through the pipe's parameter word.
using TpD3DWorldLightFn = void (*)(const TpLight* light, const TpLightBatch* batch);

// Fills the stages of the default atomic and sector render pipes; the pipe or null.
TvPipe* TpD3DWorldAtomicSetup(TvPipe* pipe);
TvPipe* TpD3DWorldSectorSetup(TvPipe* pipe);
// Called last by the world-objects attach; above 0 on success.
int32_t TpD3DWorldObjectsSetup();

// While set, the default drawing stage draws nothing; while lighting is off, lights add nothing.
void TpD3DWorldSetSkipDrawing(bool skip);
void TpD3DWorldSetLightingOff(bool off);
