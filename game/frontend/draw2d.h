// 2-D drawing of the front end: the screen scale and HUD sprites.
#pragma once

#include <cstdint>

struct MV2SpriteRecord {
    float x, y;
    int32_t sprite; // 0..319; others draw nothing
    int32_t reserved;
    float scaleX, scaleY;
};

// Sets the 2-D scale factors width x 0.0015625 and height x 0.0020833334.
void MV2SetScreenScale(int32_t width, int32_t height);
void MV2GetScreenScale(float* x, float* y);
void MV2Draw2DSprite(const MV2SpriteRecord* record, int32_t colour0, int32_t colour1);

// A filled 2-D rectangle at a depth, in the current 2-D colour.
void MV2Draw2DRectAtDepth(float x0, float y0, float x1, float y1, float depth, float rhw,
                          int32_t gradient);
// Sets the colour of the 2-D quad.
void MV2Set2DColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
// Sets the 2-D render states; given a raster, draws it over the main camera's frame buffer.
void MV2DrawBackgroundRaster(struct TvRaster* raster);
