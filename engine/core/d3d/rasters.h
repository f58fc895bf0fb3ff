// Driver rasters and cameras: raster create, destroy, sub-raster, lock and palette lock, the
// raster format an image needs, images read back from rasters, camera begin update, end update
// and clear, showing a raster, and the deferred replay order.
#pragma once

#include <cstdint>

int32_t TvD3DCameraBeginUpdate(void*, void* camera, int32_t);
int32_t TvD3DRasterCreate(void*, void* raster, int32_t flags);
int32_t TvD3DRasterDestroy(void*, void* raster, int32_t);
int32_t TvD3DImageFromRaster(void* image, void* raster, int32_t);
int32_t TvD3DTextureSetRaster(void* slot, void* raster, int32_t);
int32_t TvD3DImageRasterFormat(void* raster, void* image, int32_t flags);
int32_t TvD3DCameraEndUpdate(void*, void* camera, int32_t);
int32_t TvD3DSubRaster(void* raster, void* parent, int32_t);
int32_t TvD3DRasterLock(void* pixels, void* raster, int32_t mode);
int32_t TvD3DRasterUnlock(void*, void* raster, int32_t);
int32_t TvD3DShowRaster(void* raster, void* window, int32_t flags);
int32_t TvD3DCameraClear(void* camera, void* colour, int32_t flags);
int32_t TvD3DSetReplayOrder(void*, void*, int32_t flag);
int32_t TvD3DPaletteLock(void* palette, void* raster, int32_t);
int32_t TvD3DPaletteUnlock(void*, void* raster, int32_t);
