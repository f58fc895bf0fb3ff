#include "game/missions/textureflags.h"

#include "engine/core/d3d/device.h"
#include "platform/ddraw/ddraw.h"

void MV2ClearRasterAlphaFlag(TvRaster* raster) {
    if (!raster) return;
    TvD3DRasterData* data = TvD3DGetRasterData(raster);
    if (data && data->format) data->format->format.dwFlags &= ~DDPF_ALPHAPIXELS;
}
