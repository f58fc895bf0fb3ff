// Driver render states: the engine's 16 render states turned into Direct3D render and texture
// stage states of the current render target's device, checked against the device's caps and
// cached so that a Direct3D call is made only when a value changes; the default states, state
// blocks, and the drawing of deferred (sorted) primitives.
#pragma once

#include <cstdint>

#include "engine/core/d3d/callbuffer.h"
#include "engine/core/raster.h"
#include "platform/ddraw/d3d.h"

// The state a deferred primitive is drawn with, and what a flush restores afterwards.
struct TvD3DRenderStateBlock {
    TvRaster* texture;
    uint32_t address;
    uint32_t borderColour;
    uint32_t magFilter, minFilter, mipFilter;
    uint32_t fogColour;
    uint32_t fogEnable;
    uint32_t srcBlend, destBlend;
    uint32_t shadeMode;
    uint32_t zTest, zWrite;
    uint32_t perspective;
    uint32_t vertexAlpha;
    uint32_t textureAlpha;
    uint32_t colourKey;
};

struct TvD3DRenderStateCache {
    TvD3DRenderStateBlock block;
    uint32_t alphaBlend;
    uint32_t alphaTest;
    uint32_t colourOp, alphaOp;
    uint32_t fogType;
    uint8_t fogTable[256];
    uint32_t deferral;
    bool alphaTestUsable;
};

extern TvD3DRenderStateCache TvD3DRenderStates;

// Fog data of the camera being drawn, read directly by vertex code: distances below the start
// take table entry 0, beyond the end 255, else (d - start) x scale.
extern float TvD3DFogStart;
extern float TvD3DFogEnd;
extern float TvD3DFogScale;
extern D3DCOLOR TvD3DFogTable[256];
// Publishes the fog data of a camera from the driver's fog table.
void TvD3DPublishFog(float fogStart, float farDistance);

int32_t TvRenderStateSetD3D(int32_t state, intptr_t value);
int32_t TvRenderStateGetD3D(int32_t state, void* out);
void TvD3DSetDefaultRenderStates(IDirect3DDevice3* device);
void TvD3DApplyRenderStates(const TvD3DRenderStateBlock* block);

// Every deferred entry starts with this head: the states it is drawn with and its vertices.
struct TvD3DDeferredEntry {
    TvD3DRenderStateBlock states;
    D3DTLVERTEX* vertices;
    int32_t vertexCount;
};

// One line or triangle of a deferred entry, sorted by key (the sum of its vertices' screen z).
struct TvD3DSortRecord {
    const TvD3DDeferredEntry* entry;
    const uint16_t* indices;
    uint16_t verticesPer;   // 2 or 3
    uint16_t primitiveType; // D3DPT_LINELIST or D3DPT_TRIANGLELIST
    float key;
};

// Room for `count` records; the records are emptied. False when the array cannot grow.
bool TvD3DSortRecordsReserve(int32_t count);
// Appends a record (the expansion callbacks of deferred entries call this); false when full.
bool TvD3DSortRecordAdd(const TvD3DSortRecord& record);
// Draws the deferred primitives: runs the sort buffer's call buffer in the replay order, sorts
// the records farther-first, draws them and empties the buffer, restoring the current states.
void TvD3DDeferredFlush();
// Frees the record array and the index buffer (device stop).
void TvD3DSortRecordsFree();

// The sort buffer of deferred primitives and the immediate 3-D pipe stage (their own modules).
bool TvD3DSortBufferOpen();
void TvD3DSortBufferClose();
TvD3DCallBuffer* TvD3DSortBufferCallBuffer();
int32_t TvD3DSortBufferExpected();
void TvD3DSortBufferReset();
// Whether a deferred primitive is to be drawn with this raster as its texture.
bool TvD3DSortBufferUses(const TvRaster* raster);
// Fog curve 1, 2 or 3 (256 bytes) built by the sort buffer's open.
const uint8_t* TvD3DSortBufferFogCurve(int32_t type);
struct TvPipe;
TvPipe* TvD3DIm3DBuildPipe(TvPipe* pipe);
