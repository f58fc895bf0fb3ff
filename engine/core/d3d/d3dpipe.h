// The driver's side of immediate 3-D: the pipe stages that transform and clip a batch of
// object-space vertices into camera-space working records and device-ready screen vertices, the
// batch contexts that the pipe stack pushes and pops, the vertex arrays and index lists they
// share, and the submission of lines and triangles with clipping against the view volume.
#pragma once

#include <cstdint>

#include "engine/core/camera.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/pipe.h"

inline constexpr int32_t kTvD3DIm3DMaxContexts = 10;

// Clip codes: outside bits of a vertex; on new clipped vertices, also the planes they lie on.
enum TvD3DClipCode : uint8_t {
    kTvClipLeft = 0x01,   // x < 0
    kTvClipRight = 0x02,  // x > z (parallel: 1)
    kTvClipTop = 0x04,    // y < 0
    kTvClipBottom = 0x08, // y > z (parallel: 1)
    kTvClipNear = 0x10,
    kTvClipFar = 0x20,
};

// Camera-space working record of a vertex.
struct TvD3DIm3DWorkVertex {
    float x, y, z;
    uint8_t clip; // outside bits
    uint8_t on;   // planes a clipped vertex lies on
    uint8_t pad[2];
    float u, v;
    uint32_t colour; // ARGB
};

struct TvD3DIm3DContext {
    const TvIm3DVertex* source;
    int32_t sourceCount;
    int32_t sourceStride;
    int32_t first;      // of this batch in the shared arrays
    int32_t count;      // records of this batch, clipped ones included
    int32_t stageCount; // vertices of the batch as transformed
    bool drawn;         // not wholly outside one plane
    bool textured;
};

struct TvD3DIndexList {
    uint16_t* data;
    int32_t capacity;
    int32_t count;
};

// Transform parameters of the camera being drawn.
struct TvD3DIm3DCamera {
    const TvCamera* camera;
    bool parallel;
    float zScale, zShift;
    float width, height;
    float offsetX, offsetY;
    float nearClip, farClip;
    TvV2d recipViewWindow;
    float zNear, zFar; // of the device
};

struct TvD3DIm3DState {
    TvD3DIm3DContext contexts[kTvD3DIm3DMaxContexts];
    int32_t depth;
    TvD3DIm3DContext* current;

    TvIm2DVertex* device; // shared arrays; a batch's records start at its first index
    TvD3DIm3DWorkVertex* work;
    int32_t deviceCapacity;
    int32_t workCapacity;
    int32_t reserved; // records reserved for the current batch

    uint8_t* vertexBits;
    int32_t numVertexBits;

    TvD3DIndexList triangles;
    TvD3DIndexList lines;

    TvD3DIm3DCamera cam;
    uint8_t clipOr, clipAnd; // of the last transformed batch (AND starts at 63)
    bool textured;           // the current batch's texture coordinates are copied and clipped
    bool drawn;              // the current batch is not wholly outside one plane
    void* stageWork;         // the record the stages pass along
};

extern TvD3DIm3DState TvD3DIm3D;

// Registers the module (id 0x40E, no instance data) on the engine registry.
bool TvD3DIm3DAttach();
void* _TvD3DIm3DModuleOpen(void* instance, int32_t offset, int32_t size);
void* _TvD3DIm3DModuleClose(void* instance, int32_t offset, int32_t size);

// Room for the current batch's first record plus `extra` in both arrays; false when either
// cannot grow (the other keeps its new size).
bool TvD3DIm3DReserveVertices(int32_t extra);
bool TvD3DReserveIndices(TvD3DIndexList* list, int32_t count);
// (Re)allocates a cleared bit per vertex.
bool TvD3DReserveVertexBits(int32_t count);
void TvD3DIm3DAddTriangle(uint16_t a, uint16_t b, uint16_t c);
void TvD3DIm3DAddLine(uint16_t a, uint16_t b);
// Draws and empties the index lists over the current batch's screen vertices.
void TvD3DIm3DFlush();
// Triangle calls of one batch gather into one draw: the triangles gathered so far are drawn
// before anything else reaches the device (a state change, another draw, a raster operation,
// the batch's end).
void TvD3DIm3DFlushPending();
// Bit 0 of the flags: texture coordinates are copied (the UV stage) and clipped.
void TvD3DIm3DSelectUVStage(uint32_t flags);
// The UV stage's variant that leaves the vertices flagged in the per-vertex bits alone, for a
// pipe that installs it in place of the plain one.
void* TvD3DIm3DCopyUVUnflagged(void* work);
// Per-camera function of camera begin update: takes the camera's transform parameters.
void TvD3DIm3DCameraUpdate(TvCamera* camera);
// Fills a new pipe's stages (device request 9).
TvPipe* TvD3DIm3DBuildPipe(TvPipe* pipe);

// Clip code of a camera-space position.
uint8_t TvD3DIm3DClipCode(const TvD3DIm3DCamera& cam, float x, float y, float z);
// Fog table index of a camera-space depth, from the published fog data.
int32_t TvD3DIm3DFogIndex(float z);

// The device record's 3-D slots, over the current batch.
int32_t TvD3DIm3DLine(int32_t i1, int32_t i2);
int32_t TvD3DIm3DTriangle(int32_t i1, int32_t i2, int32_t i3);
int32_t TvD3DIm3DPrimitive(int32_t type);
int32_t TvD3DIm3DIndexedPrimitive(int32_t type, uint16_t* indices, int32_t indexCount);
