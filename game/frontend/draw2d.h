// 2-D drawing of the front end and HUD: the 2-D textures and sprite table, the shared colour,
// clip rectangle and pen, and immediate-mode rectangles, lines, rings and sprites.
#pragma once

#include <cstdint>

#include "engine/core/im2d.h"

struct TvTexture;
struct TvRaster;
struct TvCamera;

// A row of the 2-D texture table.
struct MV2Texture2D {
    const char* name;
    const char* maskName; // or null
    TvTexture* texture;
    TvRaster* raster;
};
inline constexpr int32_t kMV2Texture2DRows = 25;
extern MV2Texture2D gMV2Texture2D[kMV2Texture2DRows];

// A row of the sprite table: a uv rectangle of a 2-D texture row (none for row 0).
struct MV2Sprite2D {
    float uLeft, vTop, uRight, vBottom;
    MV2Texture2D* texture;
};
inline constexpr int32_t kMV2Sprite2DRows = 320;
extern const MV2Sprite2D* const gMV2Sprite2D; // kMV2Sprite2DRows rows

// Every 2-D texture is drawn on a square page of this many pixels.
inline constexpr int32_t kMV2Texture2DSize = 256;
// The sprite rectangle of a row in pixels of its texture page (row 0: the whole page).
struct MV2SpriteCell {
    int32_t textureRow; // -1 for row 0
    int32_t left, top, right, bottom;
};
MV2SpriteCell MV2GetSpriteCell(int32_t sprite);

// A sprite draw request. The partial and bar forms read the fractions, the bar its mode; the
// sweep reads `sweep`; the rotated form `cosine` and `sine`.
struct MV2SpriteDraw {
    int32_t x, y;
    int32_t sprite; // 0..319; others draw nothing
    uint32_t colour0, colour1;
    float scaleX, scaleY;
    float left, right, top, bottom;
    int32_t mode;
    float sweep;
    float cosine, sine;
};

// The menu picture record.
struct MV2ImageDraw {
    uint32_t topColour, bottomColour;
    float xLeft, xRight, yTop, yBottom;
    TvRaster* raster;
    float uLeft, vTop, uRight, vBottom;
};

struct MV2Rect2D {
    int32_t left, top, right, bottom;
};

// The camera the game renders through now; null counts as the main camera.
extern TvCamera* gMV2RenderCamera;

int32_t MV2Create2DTextures();
void MV2Destroy2DTextures();
TvRaster* MV2Get2DTextureRaster(int32_t row);

// Sets the one 2-D scale: width x 0.0015625 and height x 0.0020833334.
void MV2Set2DScreenScale(int32_t width, int32_t height);
void MV2GetScreenScale(float* x, float* y);
void MV2Set2DClipRect(const MV2Rect2D* rect);
void MV2Get2DClipRect(MV2Rect2D* out);
void MV2Set2DColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
void MV2Set2DColourARGB(uint32_t colour);
uint32_t MV2Get2DColour();
void MV2Set2DSecondColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
void MV2Move2DPen(int32_t x, int32_t y);
void MV2Setup2DVertices(TvIm2DVertex* vertices, int32_t count);
// The fog word of a depth from the current camera's fog table.
uint32_t MV2FogWord(float depth);
bool MV2Is2DMainCamera();

void MV2Draw2DRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t gradient);
void MV2Draw2DRectAtDepth(int32_t x0, int32_t y0, int32_t x1, int32_t y1, float depth, float rhw,
                          int32_t gradient);
void MV2Draw2DScreenShade();
void MV2Draw2DScreenFill(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
void MV2Draw2DPoint(int32_t x, int32_t y);
void MV2Draw2DRectOutline(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void MV2Draw2DRing(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t thickness,
                   int32_t gradient);
void MV2Draw2DLineTo(int32_t x, int32_t y);
void MV2Draw2DLineToScaled(int32_t x, int32_t y);
// Lines (x0, y0, x1, y1 each in `xy`), each in its colour and clipped as MV2Draw2DLineTo clips
// them, sent as line lists; the pen and colour are left as the last line leaves them.
void MV2Draw2DLineList(const int32_t* xy, const uint32_t* colours, int32_t count);
void MV2Draw2DIcon(int32_t x, int32_t y, int32_t sprite, uint32_t colour);
void MV2Draw2DSpriteSmall(int32_t x, int32_t y, int32_t sprite, uint32_t colour);
void MV2Draw2DSpriteSized(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sprite,
                          uint32_t colour);
void MV2Draw2DSprite(const MV2SpriteDraw* request);
void MV2Draw2DSpritePart(const MV2SpriteDraw* request);
void MV2Draw2DSpriteBar(const MV2SpriteDraw* request);
void MV2Draw2DSpriteSweep(const MV2SpriteDraw* request);
void MV2Draw2DSpriteRotated(const MV2SpriteDraw* request);
void MV2Draw2DImage(const MV2ImageDraw* image);
// Sets the 2-D render states; given a raster, draws it over the main camera's frame buffer.
// 0 when the frame buffer cannot be made the current context.
int32_t MV2DrawBackgroundRaster(TvRaster* raster);

// The clipped path: the three vertices in 640 x 480 units, drawn with the raster.
void MV2Draw2DTriangleClipped(const TvIm2DVertex* vertices, TvRaster* raster);

// The talking face of the HUD messages.
struct MV2TalkingFace {
    int32_t row; // -1: none
    int32_t frame;
    uint32_t nextChange;
};
extern MV2TalkingFace gMV2TalkingFace;
void MV2ResetTalkingFace();
