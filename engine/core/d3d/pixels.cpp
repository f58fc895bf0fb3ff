#include "engine/core/d3d/pixels.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/core/d3d/device.h"
#include "engine/core/d3d/rasters.h"
#include "engine/core/d3d/surface.h"

namespace {

constexpr DWORD kBltWait = DDBLT_WAIT;
constexpr DWORD kBltKeyed = DDBLT_WAIT | DDBLT_KEYSRC;

TvD3DRasterData* Data(const TvRaster* r) {
    return TvD3DGetRasterData(r);
}

bool ContextUsable() {
    const TvRaster* c = TvD3DDriver.context;
    return c && Data(c)->surface;
}

int32_t BytesPerPixel(const TvRaster* r) {
    return (r->depth + 7) / 8;
}

uint32_t Load(const uint8_t* p, int32_t bytes) {
    uint32_t v = 0;
    std::memcpy(&v, p, size_t(bytes));
    return v;
}
void Store(uint8_t* p, int32_t bytes, uint32_t v) {
    std::memcpy(p, &v, size_t(bytes));
}

// Whether a source pixel of a keyed or scaled draw shows, by its depth.
bool Visible(const uint8_t* p, int32_t depth) {
    switch (depth) {
    case 16: {
        const uint32_t v = Load(p, 2);
        const DDPIXELFORMAT& fb = TvD3DDriver.primaryDesc.ddpfPixelFormat;
        if ((fb.dwFlags & DDPF_ALPHAPIXELS) && fb.dwRGBAlphaBitMask)
            return (v & fb.dwRGBAlphaBitMask) != 0;
        return v != 0;
    }
    case 24: return p[0] || p[1] || p[2];
    case 32: return p[3] != 0;
    default: return false;
    }
}

// Raster-relative rectangles of a draw, after clipping to the context.
struct DrawRects {
    int64_t dx, dy, dw, dh; // in the context raster
    int64_t sx, sy, sw, sh; // in the source raster
};

bool ClipPosition(const TvRaster* src, int32_t x, int32_t y, DrawRects* out) {
    const TvRect& c = TvD3DDriver.clip;
    DrawRects r = {x, y, src->width, src->height, 0, 0, 0, 0};
    const int64_t right = int64_t(c.x) + c.w, bottom = int64_t(c.y) + c.h;
    if (r.dx + r.dw <= c.x || r.dy + r.dh <= c.y || r.dx >= right || r.dy >= bottom) return false;
    if (r.dx < c.x) {
        r.dw -= c.x - r.dx;
        r.sx += c.x - r.dx;
        r.dx = c.x;
    }
    if (r.dy < c.y) {
        r.dh -= c.y - r.dy;
        r.sy += c.y - r.dy;
        r.dy = c.y;
    }
    if (r.dx + r.dw > right) r.dw = right - r.dx;
    if (r.dy + r.dh > bottom) r.dh = bottom - r.dy;
    r.sw = r.dw;
    r.sh = r.dh;
    *out = r;
    return r.dw >= 1 && r.dh >= 1;
}

bool ClipScaled(const TvRaster* src, const TvRect& to, DrawRects* out) {
    const TvRect& c = TvD3DDriver.clip;
    const int64_t dw0 = to.w, dh0 = to.h, sw0 = src->width, sh0 = src->height;
    if (dw0 < 1 || dh0 < 1 || sw0 < 1 || sh0 < 1) return false;
    DrawRects r = {to.x, to.y, dw0, dh0, 0, 0, sw0, sh0};
    const int64_t right = int64_t(c.x) + c.w, bottom = int64_t(c.y) + c.h;
    if (r.dx + r.dw <= c.x || r.dy + r.dh <= c.y || r.dx >= right || r.dy >= bottom) return false;
    if (r.dx < c.x) {
        const int64_t cut = c.x - r.dx, s = cut * sw0 / dw0;
        r.sx += s;
        r.sw -= s;
        r.dw -= cut;
        r.dx = c.x;
    }
    if (r.dy < c.y) {
        const int64_t cut = c.y - r.dy, s = cut * sh0 / dh0;
        r.sy += s;
        r.sh -= s;
        r.dh -= cut;
        r.dy = c.y;
    }
    if (r.dx + r.dw > right) {
        const int64_t cut = r.dx + r.dw - right;
        r.sw -= cut * sw0 / dw0;
        r.dw -= cut;
    }
    if (r.dy + r.dh > bottom) {
        const int64_t cut = r.dy + r.dh - bottom;
        r.sh -= cut * sh0 / dh0;
        r.dh -= cut;
    }
    *out = r;
    return r.dw >= 1 && r.dh >= 1 && r.sw >= 1 && r.sh >= 1;
}

HRESULT BltRects(TvRaster* src, const DrawRects& r, DWORD flags) {
    const TvD3DDriverState& d = TvD3DDriver;
    RECT dst = {LONG(r.dx + d.contextX), LONG(r.dy + d.contextY), LONG(r.dx + d.contextX + r.dw),
                LONG(r.dy + d.contextY + r.dh)};
    RECT from = {LONG(r.sx + src->offsetX), LONG(r.sy + src->offsetY),
                 LONG(r.sx + src->offsetX + r.sw), LONG(r.sy + src->offsetY + r.sh)};
    IDirectDrawSurface4* target = Data(d.context)->surface;
    IDirectDrawSurface4* source = Data(src)->surface;
    if (!source) return DDERR_INVALIDPARAMS;
    return target->Blt(&dst, source, &from, flags, nullptr);
}

// The software fall-back: both rasters locked, pixels copied row by row (plain) or, when
// `keyed` or scaled, only the visible ones. Rasters of different depths draw nothing.
void CopyLocked(TvRaster* src, const DrawRects& r, bool keyed) {
    TvRaster* dst = TvD3DDriver.context;
    if (src->depth != dst->depth) return;
    uint8_t* from = nullptr;
    uint8_t* to = nullptr;
    if (!TvD3DRasterLock(&from, src, 2)) return;
    if (!TvD3DRasterLock(&to, dst, 1)) {
        TvD3DRasterUnlock(nullptr, src, 0);
        return;
    }
    const int32_t bpp = BytesPerPixel(src);
    const bool scaled = r.sw != r.dw || r.sh != r.dh;
    for (int64_t y = 0; y < r.dh; ++y) {
        const int64_t sy = r.sy + (scaled ? y * r.sh / r.dh : y);
        const uint8_t* srow = from + sy * src->stride;
        uint8_t* drow = to + (r.dy + y) * dst->stride + r.dx * bpp;
        if (!keyed && !scaled) {
            std::memcpy(drow, srow + r.sx * bpp, size_t(r.dw * bpp));
            continue;
        }
        for (int64_t x = 0; x < r.dw; ++x) {
            const int64_t sx = r.sx + (scaled ? x * r.sw / r.dw : x);
            const uint8_t* p = srow + sx * bpp;
            if (Visible(p, src->depth)) std::memcpy(drow + x * bpp, p, size_t(bpp));
        }
    }
    TvD3DRasterUnlock(nullptr, dst, 0);
    TvD3DRasterUnlock(nullptr, src, 0);
}

int32_t DrawAt(TvRaster* raster, const int32_t* position, DWORD flags, bool keyed) {
    if (!ContextUsable()) return 0;
    DrawRects r;
    if (!raster || !position || !ClipPosition(raster, position[0], position[1], &r)) return 1;
    if (FAILED(BltRects(raster, r, flags))) CopyLocked(raster, r, keyed);
    return 1;
}

// ---- Colour conversion ----

uint32_t ConvertWithDisplay(const TvRGBA& c) {
    TvD3DSetConversionFormat(&TvD3DDriver.primaryDesc.ddpfPixelFormat);
    return TvD3DRGBAToPixel(c.red, c.green, c.blue, c.alpha);
}

bool ColourToPixel(const TvRGBA& c, uint32_t code, bool frameBuffer, uint32_t* out) {
    const uint32_t r = c.red, g = c.green, b = c.blue, a = c.alpha;
    uint32_t p = 0;
    switch (code) {
    case 0x100: *out = (a & 0x80) << 8 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3; return true;
    case 0x200: p = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3; break;
    case 0x300: *out = (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4; return true;
    case 0x500: *out = a << 24 | r << 16 | g << 8 | b; return true;
    case 0x600: p = r << 16 | g << 8 | b; break;
    case 0x700:
    case 0x800:
    case 0x900:
        if (!frameBuffer) return false;
        p = ConvertWithDisplay(c);
        break;
    default: return false;
    }
    *out = a == 0 ? 0 : (p == 0 ? 1 : p);
    return true;
}

bool PixelToColour(uint32_t p, uint32_t code, bool frameBuffer, TvRGBA* out) {
    const uint8_t opaque = p ? 255 : 0;
    switch (code) {
    case 0x100:
        *out = {uint8_t((p >> 7) & 0xF8), uint8_t((p >> 2) & 0xF8), uint8_t((p << 3) & 0xFF),
                uint8_t((p & 0x8000) ? 255 : 0)};
        return true;
    case 0x200:
        *out = {uint8_t((p >> 8) & 0xF8), uint8_t((p >> 3) & 0xFC), uint8_t((p << 3) & 0xFF),
                opaque};
        return true;
    case 0x300:
        *out = {uint8_t((p >> 4) & 0xF0), uint8_t(p & 0xF0), uint8_t((p << 4) & 0xFF),
                uint8_t((p >> 8) & 0xF0)};
        return true;
    case 0x500:
        *out = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)};
        return true;
    case 0x600: *out = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), opaque}; return true;
    case 0x700:
    case 0x800:
    case 0x900:
        if (!frameBuffer) return false;
        *out = TvD3DPixelFormatToRGBA(TvD3DDriver.primaryDesc.ddpfPixelFormat, p);
        out->alpha = opaque;
        return true;
    default: return false;
    }
}

// ---- Image to raster ----

struct PaletteSearch {
    TvRGBA palette[256];
    bool used[256];
};

uint8_t NearestIndex(PaletteSearch& s, const TvRGBA& c) {
    int64_t best = -1;
    int32_t index = 0;
    for (int32_t i = 0; i < 256; ++i) {
        const int64_t dr = int64_t(c.red) - s.palette[i].red;
        const int64_t dg = int64_t(c.green) - s.palette[i].green;
        const int64_t db = int64_t(c.blue) - s.palette[i].blue;
        const int64_t da = int64_t(c.alpha) - s.palette[i].alpha;
        const int64_t dist = 30 * dr * dr + 59 * dg * dg + 11 * db * db + 50 * da * da;
        if (best < 0 || dist < best) {
            best = dist;
            index = i;
        }
    }
    if (best > 1000000) {
        for (int32_t i = 0; i < 256; ++i) {
            if (!s.used[i]) {
                s.used[i] = true;
                s.palette[i] = c;
                return uint8_t(i);
            }
        }
    }
    return uint8_t(index);
}

// Texels whose alpha bits are 0 take the colour of an opaque neighbour (left, right, above,
// below), alpha still 0, so that filtering does not pull key colours into visible edges.
void BleedEdges(uint8_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t bytes,
                uint32_t alphaMask) {
    auto at = [&](int32_t x, int32_t y) {
        return pixels + size_t(y) * size_t(pitch) + size_t(x) * bytes;
    };
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = at(x, y);
            if (Load(p, bytes) & alphaMask) continue;
            const int32_t nx[4] = {x - 1, x + 1, x, x};
            const int32_t ny[4] = {y, y, y - 1, y + 1};
            for (int32_t k = 0; k < 4; ++k) {
                if (nx[k] < 0 || nx[k] >= width || ny[k] < 0 || ny[k] >= height) continue;
                const uint32_t v = Load(at(nx[k], ny[k]), bytes);
                if (v & alphaMask) {
                    Store(p, bytes, v & ~alphaMask);
                    break;
                }
            }
        }
    }
}

TvRGBA ImageColour(const TvImage* image, int32_t x, int32_t y) {
    const uint8_t* row = image->pixels + size_t(y) * size_t(image->stride);
    if (image->depth == 8) return image->palette[row[x]];
    TvRGBA c;
    std::memcpy(&c, row + size_t(x) * 4, 4);
    return c;
}

// The average colour of the 2^k x 2^k box of image pixels that texel (tx, ty) covers.
TvRGBA BoxAverage(const TvImage* image, int32_t tx, int32_t ty, int32_t k) {
    uint32_t sum[4] = {};
    const int32_t side = 1 << k;
    for (int32_t y = 0; y < side; ++y) {
        const int32_t iy = std::min((ty << k) + y, image->height - 1);
        for (int32_t x = 0; x < side; ++x) {
            const int32_t ix = std::min((tx << k) + x, image->width - 1);
            const TvRGBA c = ImageColour(image, ix, iy);
            sum[0] += c.red;
            sum[1] += c.green;
            sum[2] += c.blue;
            sum[3] += c.alpha;
        }
    }
    return {uint8_t(sum[0] >> (2 * k)), uint8_t(sum[1] >> (2 * k)), uint8_t(sum[2] >> (2 * k)),
            uint8_t(sum[3] >> (2 * k))};
}

bool HasAlpha(const DDPIXELFORMAT& pf) {
    return (pf.dwFlags & DDPF_ALPHAPIXELS) && pf.dwRGBAlphaBitMask;
}

// Converts one level: texel (x, y) from colourOf(x, y), stored by the raster's depth.
template <class ColourOf>
bool FillLevel(IDirectDrawSurface4* surface, int32_t width, int32_t height, int32_t depth,
               PaletteSearch* search, ColourOf colourOf) {
    DDSURFACEDESC2 desc;
    auto* pixels = static_cast<uint8_t*>(TvD3DSurfaceLockWrite(surface, &desc));
    if (!pixels) return false;
    width = std::min<int32_t>(width, int32_t(desc.dwWidth));
    height = std::min<int32_t>(height, int32_t(desc.dwHeight));
    const int32_t bytes = depth / 8;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = pixels + size_t(y) * size_t(desc.lPitch);
        for (int32_t x = 0; x < width; ++x) {
            const TvRGBA c = colourOf(x, y);
            if (depth == 8) {
                row[x] = NearestIndex(*search, c);
            } else {
                Store(row + size_t(x) * bytes, bytes,
                      TvD3DRGBAToPixel(c.red, c.green, c.blue, c.alpha));
            }
        }
    }
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    if ((depth == 16 || depth == 32) && HasAlpha(pf))
        BleedEdges(pixels, width, height, desc.lPitch, bytes, pf.dwRGBAlphaBitMask);
    TvD3DSurfaceUnlock(surface);
    return true;
}

void SetPalette(TvD3DRasterData* rd, const TvRGBA* palette) {
    if (!rd->palette) return;
    PALETTEENTRY entries[256];
    for (int32_t i = 0; i < 256; ++i)
        entries[i] = {palette[i].red, palette[i].green, palette[i].blue, palette[i].alpha};
    rd->palette->SetEntries(0, 0, 256, entries);
}

} // namespace

TvRGBA TvD3DPixelFormatToRGBA(const DDPIXELFORMAT& format, uint32_t pixel) {
    auto channel = [pixel](uint32_t mask, uint8_t none) -> uint8_t {
        if (!mask) return none;
        const int32_t low = std::countr_zero(mask);
        const int32_t bits = std::popcount(mask);
        uint32_t v = (pixel & mask) >> low;
        if (bits >= 8) return uint8_t(v >> (bits - 8));
        // Widen by repeating the top bits, so full channels give 255.
        uint32_t wide = 0;
        for (int32_t shift = 8 - bits; shift > -bits; shift -= bits)
            wide |= shift >= 0 ? v << shift : v >> -shift;
        return uint8_t(wide);
    };
    const uint32_t alphaMask = (format.dwFlags & DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0;
    return {channel(format.dwRBitMask, 0), channel(format.dwGBitMask, 0),
            channel(format.dwBBitMask, 0), channel(alphaMask, 255)};
}

// Codes 0x700-0x900 convert only as the frame buffer's own format, through its masks.
int32_t TvD3DColourToPixel(void* out, void* in, int32_t format) {
    const TvRGBA c = *static_cast<const TvRGBA*>(in);
    const uint32_t fbCode = TvD3DDriver.frameBufferCode & 0x0F00;
    uint32_t code = uint32_t(format) & 0x0F00;
    const bool viaFrameBuffer = code == 0;
    if (viaFrameBuffer) {
        if (c.alpha == 0) {
            *static_cast<uint32_t*>(out) = 0;
            return 1;
        }
        code = fbCode;
    }
    uint32_t p = 0;
    if (!ColourToPixel(c, code, code == fbCode, &p)) return 0;
    if (viaFrameBuffer && p == 0) p = 1;
    *static_cast<uint32_t*>(out) = p;
    return 1;
}

int32_t TvD3DPixelToColour(void* out, void* in, int32_t format) {
    const uint32_t p = *static_cast<const uint32_t*>(in);
    const uint32_t fbCode = TvD3DDriver.frameBufferCode & 0x0F00;
    uint32_t code = uint32_t(format) & 0x0F00;
    const bool viaFrameBuffer = code == 0;
    if (viaFrameBuffer) code = fbCode;
    TvRGBA c;
    if (!PixelToColour(p, code, code == fbCode, &c)) return 0;
    if (viaFrameBuffer) c.alpha = p ? 255 : 0;
    *static_cast<TvRGBA*>(out) = c;
    return 1;
}

int32_t TvD3DSetContext(void*, void* in, int32_t) {
    auto* r = static_cast<TvRaster*>(in);
    TvD3DDriverState& d = TvD3DDriver;
    if (!r) {
        d.context = nullptr; // the last raster popped: nothing to draw into
        return 0;
    }
    // A raster without pixels is refused and the context stays as it was, as the raster
    // module's stack keeps its top.
    if (!Data(r)->surface) return 0;
    d.context = r;
    d.contextX = r->offsetX;
    d.contextY = r->offsetY;
    d.clip = {0, 0, r->width, r->height};
    return 1;
}

int32_t TvD3DClearRect(void*, void* in, int32_t value) {
    TvD3DDriverState& d = TvD3DDriver;
    if (!ContextUsable() || !in) return 0;
    TvRaster* c = d.context;
    const TvRect& rect = *static_cast<const TvRect*>(in);
    // Only the context raster is cleared.
    const int64_t x0 = std::max<int64_t>(rect.x, 0), y0 = std::max<int64_t>(rect.y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(rect.x) + rect.w, c->width);
    const int64_t y1 = std::min<int64_t>(int64_t(rect.y) + rect.h, c->height);
    if (x0 >= x1 || y0 >= y1) return 1;
    if (c->type == kTvRasterTypeZBuffer || c->type == kTvRasterTypeCamera) {
        RECT area = {LONG(x0 + d.contextX), LONG(y0 + d.contextY), LONG(x1 + d.contextX),
                     LONG(y1 + d.contextY)};
        DDBLTFX fx = {};
        fx.dwSize = sizeof fx;
        DWORD flags = DDBLT_WAIT;
        if (c->type == kTvRasterTypeZBuffer) {
            fx.dwFillDepth = DWORD(value);
            flags |= DDBLT_DEPTHFILL;
        } else {
            fx.dwFillColor = DWORD(value);
            flags |= DDBLT_COLORFILL;
        }
        return SUCCEEDED(Data(c)->surface->Blt(&area, nullptr, nullptr, flags, &fx)) ? 1 : 0;
    }
    uint8_t* pixels = nullptr;
    if (!TvD3DRasterLock(&pixels, c, 1)) return 1;
    const int32_t bpp = BytesPerPixel(c);
    if (bpp >= 1 && bpp <= 4) {
        for (int64_t y = y0; y < y1; ++y) {
            uint8_t* row = pixels + y * c->stride;
            for (int64_t x = x0; x < x1; ++x)
                Store(row + x * bpp, bpp, uint32_t(value));
        }
    }
    TvD3DRasterUnlock(nullptr, c, 0);
    return 1;
}

int32_t TvD3DClearAll(void*, void*, int32_t value) {
    if (!ContextUsable()) return 0;
    TvRect all = {0, 0, TvD3DDriver.context->width, TvD3DDriver.context->height};
    return TvD3DClearRect(nullptr, &all, value);
}

int32_t TvD3DRenderPlain(void* out, void* in, int32_t) {
    return DrawAt(static_cast<TvRaster*>(out), static_cast<const int32_t*>(in), kBltWait, false);
}

int32_t TvD3DRenderKeyed(void* out, void* in, int32_t) {
    return DrawAt(static_cast<TvRaster*>(out), static_cast<const int32_t*>(in), kBltKeyed, true);
}

int32_t TvD3DRenderScaled(void* out, void* in, int32_t) {
    if (!ContextUsable()) return 0;
    auto* raster = static_cast<TvRaster*>(out);
    DrawRects r;
    if (!raster || !in || !ClipScaled(raster, *static_cast<const TvRect*>(in), &r)) return 1;
    if (FAILED(BltRects(raster, r, kBltWait))) CopyLocked(raster, r, true);
    return 1;
}

int32_t TvD3DRasterFromImage(void* out, void* in, int32_t) {
    auto* r = static_cast<TvRaster*>(out);
    const auto* image = static_cast<const TvImage*>(in);
    TvD3DRasterData* rd = Data(r);
    if ((r->createFlags & kTvRasterDontAllocate) || !rd->surface || !image || !image->pixels)
        return 0;
    const int32_t depth = r->depth;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return 0;
    if (image->depth != 8 && image->depth != 32) return 0;
    if (image->depth == 8 && !image->palette) return 0;
    if (depth == 8 && image->depth != 8) return 0;
    const bool mip = (r->format & 0x80) != 0;
    if (depth != 8 && rd->format) TvD3DSetConversionFormat(&rd->format->format);

    PaletteSearch search = {};
    if (depth == 8) {
        std::memcpy(search.palette, image->palette, sizeof search.palette);
        for (int32_t y = 0; y < image->height; ++y)
            for (int32_t x = 0; x < image->width; ++x)
                search.used[image->pixels[size_t(y) * size_t(image->stride) + size_t(x)]] = true;
    }
    const int32_t width = std::min(r->width, image->width);
    const int32_t height = std::min(r->height, image->height);

    if (!mip) {
        if (depth == 8) {
            DDSURFACEDESC2 desc;
            auto* pixels = static_cast<uint8_t*>(TvD3DSurfaceLockWrite(rd->surface, &desc));
            if (!pixels) return 0;
            r->stride = desc.lPitch;
            const int32_t w = std::min<int32_t>(width, int32_t(desc.dwWidth));
            const int32_t h = std::min<int32_t>(height, int32_t(desc.dwHeight));
            for (int32_t y = 0; y < h; ++y)
                std::memcpy(pixels + size_t(y) * size_t(desc.lPitch),
                            image->pixels + size_t(y) * size_t(image->stride), size_t(w));
            TvD3DSurfaceUnlock(rd->surface);
            SetPalette(rd, image->palette);
            return 1;
        }
        return FillLevel(rd->surface, width, height, depth, nullptr,
                         [&](int32_t x, int32_t y) { return ImageColour(image, x, y); })
                   ? 1
                   : 0;
    }
    IDirectDrawSurface4* level = rd->surface;
    for (int32_t k = 0; level && (r->width >> k) && (r->height >> k); ++k) {
        const int32_t w = r->width >> k, h = r->height >> k;
        if (!FillLevel(level, w, h, depth, &search,
                       [&](int32_t x, int32_t y) { return BoxAverage(image, x, y, k); }))
            return 0; // a level that cannot be filled fails the whole raster, first or not
        level = TvD3DSurfaceNextMipLevel(level);
    }
    if (depth == 8) SetPalette(rd, search.palette);
    return 1;
}
