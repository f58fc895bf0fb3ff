// The driver's standard functions that move pixels: colour to pixel and back, image to raster
// with mip levels and clean colour-keyed edges, the 2-D drawing context, clearing and drawing one
// raster into it plainly, keyed or scaled. Each drawing operation asks DirectDraw first and
// falls back to a copy of its own through locked surfaces.
#pragma once

#include <cstdint>

#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "platform/ddraw/ddraw.h"

int32_t TvD3DColourToPixel(void* pixel, void* colour, int32_t format);
int32_t TvD3DPixelToColour(void* colour, void* pixel, int32_t format);
int32_t TvD3DRasterFromImage(void* raster, void* image, int32_t);
int32_t TvD3DSetContext(void*, void* raster, int32_t);
int32_t TvD3DClearRect(void*, void* rect, int32_t value);
int32_t TvD3DClearAll(void*, void*, int32_t value);
int32_t TvD3DRenderKeyed(void* raster, void* position, int32_t);
int32_t TvD3DRenderScaled(void* raster, void* rect, int32_t);
int32_t TvD3DRenderPlain(void* raster, void* position, int32_t);

// The colour of a pixel value in any RGB pixel format (alpha 255 when the format has none).
TvRGBA TvD3DPixelFormatToRGBA(const DDPIXELFORMAT& format, uint32_t pixel);
