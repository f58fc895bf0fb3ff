// The driver's 2-D drawing functions and its sort buffer: translucent primitives drawn while
// deferral is on are recorded with their render states and drawn at the end of the camera
// update, farther first; everything else is drawn at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/d3d/renderstate.h"
#include "engine/core/im2d.h"

// The Direct3D primitive type of an engine primitive type, or 0 when there is none.
int32_t TvD3DPrimitiveType(int32_t engineType);

// Bytes a deferred primitive of `vertices` vertices and `indices` stored indices takes.
size_t TvD3DSortEntryBytes(int32_t vertices, int32_t indices);

// The device record's 2-D slots: 1 on success, 0 on failure (no device, bad type, an index
// outside the vertices given).
int32_t TvD3DIm2DLine(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2);
int32_t TvD3DIm2DTriangle(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2,
                          int32_t i3);
int32_t TvD3DIm2DPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count);
int32_t TvD3DIm2DIndexedPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count,
                                  uint16_t* indices, int32_t indexCount);
