#include "engine/core/d3d/surface.h"

#include "engine/core/error.h"
#include "engine/core/memory.h"

#include <bit>

namespace {

TvD3DConversionFormat g_conversion;

TvD3DColourKeyThresholds MakeThresholds() {
    TvD3DColourKeyThresholds t;
    for (int i = 0; i < 32; ++i)
        t.red[i] = t.green[i] = t.blue[i] = 8;
    return t;
}
TvD3DColourKeyThresholds g_thresholds = MakeThresholds();

TvD3DTexChainElement* g_chain = nullptr;

void* LockWith(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc, DWORD flags) {
    if (!surface || !desc) {
        TvErrorReport(0, E_TV_NULLP);
        return nullptr;
    }
    *desc = {};
    desc->dwSize = sizeof(DDSURFACEDESC2);
    if (surface->Lock(nullptr, desc, flags, nullptr) != DD_OK) return nullptr;
    return desc->lpSurface;
}

// Places an 8-bit value with its top bit at the mask's top bit (of its lowest run of bits).
TvD3DConversionChannel MakeChannel(uint32_t mask) {
    TvD3DConversionChannel c{mask, 1, 0, static_cast<uint16_t>(std::popcount(mask))};
    if (mask & 0x80000000u) {
        c.shift = 24;
        return c;
    }
    int top = -1;
    for (int i = 0; i < 31; ++i) {
        if ((mask >> i & 1) && !(mask >> (i + 1) & 1)) {
            top = i;
            break;
        }
    }
    if (top >= 7) {
        c.shift = static_cast<uint16_t>(top - 7);
    } else {
        c.shiftLeft = 0;
        c.shift = static_cast<uint16_t>(top < 0 ? 7 : 7 - top);
    }
    return c;
}

uint32_t Place(uint32_t value, const TvD3DConversionChannel& c) {
    uint32_t v = c.shiftLeft ? value << c.shift : value >> c.shift;
    return v & c.mask;
}

} // namespace

void* TvD3DSurfaceLockRead(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc) {
    return LockWith(surface, desc, DDLOCK_WAIT | DDLOCK_READONLY);
}

void* TvD3DSurfaceLockWrite(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc) {
    return LockWith(surface, desc, DDLOCK_WAIT | DDLOCK_WRITEONLY);
}

void* TvD3DSurfaceLock(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc) {
    return LockWith(surface, desc, DDLOCK_WAIT);
}

bool TvD3DSurfaceUnlock(IDirectDrawSurface4* surface) {
    if (!surface) {
        TvErrorReport(0, E_TV_NULLP);
        return false;
    }
    return surface->Unlock(nullptr) == DD_OK;
}

IDirectDrawSurface4* TvD3DSurfaceNextMipLevel(IDirectDrawSurface4* surface) {
    if (!surface) return nullptr;
    DDSCAPS2 caps = {DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX, 0, 0, 0};
    IDirectDrawSurface4* next = nullptr;
    if (surface->GetAttachedSurface(&caps, &next) != DD_OK || !next) return nullptr;
    next->Release(); // the level above still holds it
    return next;
}

void TvD3DSetConversionFormat(const DDPIXELFORMAT* format) {
    if (!format) return;
    g_conversion.red = MakeChannel(format->dwRBitMask);
    g_conversion.green = MakeChannel(format->dwGBitMask);
    g_conversion.blue = MakeChannel(format->dwBBitMask);
    if (format->dwFlags & DDPF_ALPHAPIXELS)
        g_conversion.alpha = MakeChannel(format->dwRGBAlphaBitMask);
    else
        g_conversion.alpha = {0, 1, 0, 0};
}

const TvD3DConversionFormat* TvD3DGetConversionFormat() {
    return &g_conversion;
}

uint32_t TvD3DRGBAToPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    const TvD3DConversionFormat& f = g_conversion;
    uint32_t r = red, g = green, b = blue;
    if (alpha < 128) {
        if (!f.alpha.mask) r = g = b = 0;
    } else {
        uint32_t tr = g_thresholds.red[f.red.bits & 31];
        uint32_t tg = g_thresholds.green[f.green.bits & 31];
        uint32_t tb = g_thresholds.blue[f.blue.bits & 31];
        if (r < tr && g < tg && b < tb) {
            r = tr;
            g = tg;
            b = tb;
        }
    }
    return Place(alpha, f.alpha) | Place(r, f.red) | Place(g, f.green) | Place(b, f.blue);
}

void TvD3DRaiseColourKeyThresholds(uint32_t red, uint32_t green, uint32_t blue) {
    uint32_t& r = g_thresholds.red[g_conversion.red.bits & 31];
    uint32_t& g = g_thresholds.green[g_conversion.green.bits & 31];
    uint32_t& b = g_thresholds.blue[g_conversion.blue.bits & 31];
    if (red > r) r = red;
    if (green > g) g = green;
    if (blue > b) b = blue;
}

TvD3DColourKeyThresholds* TvD3DGetColourKeyThresholds() {
    return &g_thresholds;
}

uint32_t TvD3DPixelFormatToRasterFormat(const DDPIXELFORMAT* format) {
    if (!format) return 0;
    if (format->dwFlags & DDPF_FOURCC) return format->dwFourCC;
    const uint32_t key = static_cast<uint32_t>(std::popcount(format->dwRGBAlphaBitMask)) << 12 |
                         static_cast<uint32_t>(std::popcount(format->dwRBitMask)) << 8 |
                         static_cast<uint32_t>(std::popcount(format->dwGBitMask)) << 4 |
                         static_cast<uint32_t>(std::popcount(format->dwBBitMask));
    switch (format->dwRGBBitCount) {
    case 4: return 0x4600;
    case 8: return 0x2600;
    case 16:
        if (key == 0x565) return 0x200;
        if (key == 0x1555) return 0x100;
        if (key == 0x4444) return 0x300;
        return 0x700;
    case 24: return key == 0x888 ? 0x600 : 0x800;
    case 32: return key == 0x8888 ? 0x500 : 0x900;
    default: return 0;
    }
}

void TvD3DTextureChainAdd(IDirectDrawSurface4* surface, void* rasterData) {
    auto* e = static_cast<TvD3DTexChainElement*>(TvMalloc(sizeof(TvD3DTexChainElement)));
    if (!e) {
        OutputDebugStringA("Failed to allocate tex chain element\n");
        return;
    }
    *e = {nullptr, surface, rasterData};
    TvD3DTexChainElement** tail = &g_chain;
    while (*tail)
        tail = &(*tail)->next;
    *tail = e;
}

void TvD3DTextureChainRemove(void* rasterData) {
    TvD3DTexChainElement** link = &g_chain;
    while (*link) {
        TvD3DTexChainElement* e = *link;
        if (e->rasterData == rasterData) {
            *link = e->next;
            TvFree(e);
        } else {
            link = &e->next;
        }
    }
}

int32_t TvD3DTextureChainClear() {
    // The elements are freed, not only forgotten, so that each device start does not leak
    // the previous start's chain.
    while (g_chain) {
        TvD3DTexChainElement* next = g_chain->next;
        TvFree(g_chain);
        g_chain = next;
    }
    return 1;
}

const TvD3DTexChainElement* TvD3DTextureChainFirst() {
    return g_chain;
}
