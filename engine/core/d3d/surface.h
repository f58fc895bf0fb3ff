// The driver's DirectDraw surface helpers: locking, unlocking and walking mip chains, the
// conversion format that turns 8-bit colours into pixels of any RGB pixel format (keeping
// opaque dark colours off the transparent key 0), the colour-key thresholds, the raster
// format code of a pixel format, and the texture chain of the driver's texture surfaces.
#pragma once

#include "platform/ddraw/ddraw.h"

#include <cstdint>

struct TvD3DConversionChannel {
    uint32_t mask;
    uint16_t shiftLeft; // 1 shift left, 0 shift right
    uint16_t shift;
    uint16_t bits; // number of set bits of the mask
};

// Red, green, blue, alpha. Alpha is all zero when the format has no alpha pixels.
struct TvD3DConversionFormat {
    TvD3DConversionChannel red, green, blue, alpha;
};

// Per channel, indexed by the channel's bit count; every entry starts at 8.
struct TvD3DColourKeyThresholds {
    uint32_t red[32], green[32], blue[32];
};

// Element of the texture chain: a texture surface and the driver data of its raster.
struct TvD3DTexChainElement {
    TvD3DTexChainElement* next;
    IDirectDrawSurface4* surface;
    void* rasterData;
};

// Lock the whole surface (wait; read-only, write-only or both) into a cleared description
// and return the pixels. Null surface or description: error E_TV_NULLP and null; a failed
// lock: null.
void* TvD3DSurfaceLockRead(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc);
void* TvD3DSurfaceLockWrite(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc);
void* TvD3DSurfaceLock(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc);
bool TvD3DSurfaceUnlock(IDirectDrawSurface4* surface);
// The next level of a mip chain, or null at its end. The level is borrowed: the chain's top
// keeps it alive, so a walk releases nothing.
IDirectDrawSurface4* TvD3DSurfaceNextMipLevel(IDirectDrawSurface4* surface);

void TvD3DSetConversionFormat(const DDPIXELFORMAT* format);
const TvD3DConversionFormat* TvD3DGetConversionFormat();
uint32_t TvD3DRGBAToPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
void TvD3DRaiseColourKeyThresholds(uint32_t red, uint32_t green, uint32_t blue);
// The thresholds in force (tests may save and restore them).
TvD3DColourKeyThresholds* TvD3DGetColourKeyThresholds();

// Raster format code of a pixel format: the FourCC itself, or by bit count and the ARGB
// bit counts 0x200 565, 0x100 1555, 0x300 4444, 0x500 8888, 0x600 888, 0x700/0x800/0x900
// other 16/24/32-bit layouts, 0x4600 and 0x2600 for 4- and 8-bit palettes, else 0.
uint32_t TvD3DPixelFormatToRasterFormat(const DDPIXELFORMAT* format);

// Appends {surface, raster driver data}; on allocation failure reports to the debugger
// output and adds nothing.
void TvD3DTextureChainAdd(IDirectDrawSurface4* surface, void* rasterData);
// Unlinks and frees every element of the raster's driver data.
void TvD3DTextureChainRemove(void* rasterData);
// Empties the chain; 1.
int32_t TvD3DTextureChainClear();
const TvD3DTexChainElement* TvD3DTextureChainFirst();
