// Texture flags: the texture-read hook's clearing of the alpha-channel flag of textures read
// from ".dds" files.
#pragma once

struct TvRaster;

// Clears the alpha-pixels flag of the pixel format behind the raster's driver data, so that
// the texture counts as having no alpha channel.
void MV2ClearRasterAlphaFlag(TvRaster* raster);
