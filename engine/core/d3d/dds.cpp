#include "engine/core/d3d/dds.h"

#include <bit>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/d3d/device.h"
#include "engine/core/d3d/surface.h"
#include "engine/core/error.h"
#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"

namespace {

constexpr DWORD kMipFilterCaps = 0x3C;
constexpr uint32_t kMaxPaletteEntries = 256;

bool IsDXT(const DDPIXELFORMAT& f) {
    return (f.dwFlags & DDPF_FOURCC) && f.dwFourCC >= FOURCC_DXT1 && f.dwFourCC <= FOURCC_DXT5 &&
           (f.dwFourCC & 0x00FFFFFF) == (FOURCC_DXT1 & 0x00FFFFFF);
}

// Alpha bits a substitute for a DXT format should have.
uint32_t WantedAlphaBits(DWORD fourCC) {
    if (fourCC == FOURCC_DXT1) return 1;
    if (fourCC == FOURCC_DXT2 || fourCC == FOURCC_DXT3) return 4;
    return 8;
}

int Bits(DWORD mask) {
    return std::popcount(mask);
}

TvD3DTextureFormat* DeviceFormat(uint32_t code) {
    for (TvD3DTextureFormat* f = TvD3DDriver.formats; f; f = f->next)
        if (f->code == code) return f;
    return nullptr;
}

// The first format with exactly the wanted alpha bits and 4 or more bits of each colour, else
// the one of those with the most alpha bits.
TvD3DTextureFormat* Substitute(DWORD fourCC) {
    const int wanted = int(WantedAlphaBits(fourCC));
    TvD3DTextureFormat* best = nullptr;
    for (TvD3DTextureFormat* f = TvD3DDriver.formats; f; f = f->next) {
        const DDPIXELFORMAT& p = f->desc.ddpfPixelFormat;
        if ((p.dwFlags & DDPF_FOURCC) || Bits(p.dwRBitMask) < 4 || Bits(p.dwGBitMask) < 4 ||
            Bits(p.dwBBitMask) < 4)
            continue;
        const int alpha = Bits(p.dwRGBAlphaBitMask);
        if (alpha == wanted) return f;
        if (!best || alpha > Bits(best->desc.ddpfPixelFormat.dwRGBAlphaBitMask)) best = f;
    }
    return best;
}

int32_t MaxLevels(uint32_t width, uint32_t height) {
    int32_t levels = 1;
    for (uint32_t side = width > height ? width : height; side > 1; side >>= 1)
        levels++;
    return levels;
}

// Checks a description read from outside: sizes within the device's limits, a format the
// reader knows, a mip count that fits the sizes and a linear size that matches the format.
bool DescriptionOk(const DDSURFACEDESC2& d) {
    const D3DDEVICEDESC& caps = TvD3DDriver.caps;
    const DWORD maxW = caps.dwMaxTextureWidth ? caps.dwMaxTextureWidth : 4096;
    const DWORD maxH = caps.dwMaxTextureHeight ? caps.dwMaxTextureHeight : 4096;
    if (d.dwSize != kTvDDSDescSize || d.dwWidth < 1 || d.dwHeight < 1 || d.dwWidth > maxW ||
        d.dwHeight > maxH)
        return false;
    const DDPIXELFORMAT& f = d.ddpfPixelFormat;
    if (f.dwFlags & DDPF_FOURCC) {
        if (!IsDXT(f)) return false;
    } else {
        const DWORD bits = f.dwRGBBitCount;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    }
    if ((d.dwFlags & DDSD_MIPMAPCOUNT) &&
        (d.dwMipMapCount < 1 || int64_t(d.dwMipMapCount) > MaxLevels(d.dwWidth, d.dwHeight)))
        return false;
    if ((d.dwFlags & DDSD_LINEARSIZE) &&
        d.dwLinearSize != TvD3DDDSLevelBytes(f, d.dwWidth, d.dwHeight, 0))
        return false;
    return true;
}

// The format byte for a raster of this pixel format: DXT1 as 1555, DXT2-5 as 4444, others by
// their code; 0 when there is none.
uint8_t FormatByte(const DDPIXELFORMAT& f, uint32_t code) {
    if (IsDXT(f)) return f.dwFourCC == FOURCC_DXT1 ? 0x01 : 0x03;
    if (f.dwFlags & DDPF_FOURCC) return 0;
    return uint8_t(code >> 8);
}

// Reads the pixels of every level of the chain from the stream.
bool ReadLevels(TvStream* stream, IDirectDrawSurface4* top, uint32_t& consumed) {
    for (IDirectDrawSurface4* level = top; level; level = TvD3DSurfaceNextMipLevel(level)) {
        DDSURFACEDESC2 desc;
        auto* pixels = static_cast<uint8_t*>(TvD3DSurfaceLockWrite(level, &desc));
        if (!pixels) return false;
        const uint64_t bytes =
            TvD3DDDSLevelBytes(desc.ddpfPixelFormat, desc.dwWidth, desc.dwHeight, 0);
        bool ok = bytes > 0;
        if (ok && (desc.dwFlags & DDSD_LINEARSIZE)) {
            ok = bytes == desc.dwLinearSize &&
                 TvStreamRead(stream, pixels, uint32_t(bytes)) == bytes;
            consumed += uint32_t(bytes);
        } else if (ok) {
            const uint32_t row = uint32_t(bytes / desc.dwHeight);
            ok = desc.lPitch >= 0 && row <= uint32_t(desc.lPitch);
            for (DWORD y = 0; ok && y < desc.dwHeight; y++) {
                ok = TvStreamRead(stream, pixels + size_t(y) * uint32_t(desc.lPitch), row) == row;
                consumed += row;
            }
        }
        TvD3DSurfaceUnlock(level);
        if (!ok) return false;
    }
    return true;
}

// Copies every level of a loaded chain into a new surface of a format the device offers.
bool CopyToSubstitute(TvRaster* raster, TvD3DRasterData* rd, const DDSURFACEDESC2& file,
                      const TvD3DTextureFormat* sub) {
    DDSURFACEDESC2 desc = sub->desc;
    desc.dwWidth = file.dwWidth;
    desc.dwHeight = file.dwHeight;
    const DWORD kept = DDSD_CKSRCBLT | DDSD_MIPMAPCOUNT;
    desc.dwFlags = (desc.dwFlags & ~kept) | (file.dwFlags & kept);
    desc.dwMipMapCount = file.dwMipMapCount;
    desc.ddckCKSrcBlt = file.ddckCKSrcBlt;
    desc.ddsCaps.dwCaps |= file.ddsCaps.dwCaps & (DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
    IDirectDrawSurface4* copy = nullptr;
    if (FAILED(TvD3DDriver.dd->CreateSurface(&desc, &copy, nullptr)) || !copy) return false;
    IDirectDrawSurface4* from = rd->surface;
    for (IDirectDrawSurface4 *s = from, *d = copy; s && d;
         s = TvD3DSurfaceNextMipLevel(s), d = TvD3DSurfaceNextMipLevel(d)) {
        if (FAILED(d->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr))) {
            copy->Release();
            return false;
        }
    }
    TvD3DTextureChainRemove(rd);
    TvD3DRelease(rd->surface);
    rd->surface = copy;
    TvD3DTextureChainAdd(copy, rd);
    rd->format->format = sub->desc.ddpfPixelFormat;
    raster->depth = int32_t(sub->desc.ddpfPixelFormat.dwRGBBitCount);
    raster->format = uint8_t(sub->code >> 8) | (raster->format & 0x80);
    return true;
}

bool ReadPalette(TvStream* stream, TvRaster* raster, TvD3DRasterData* rd, uint32_t& consumed) {
    const uint32_t count = (raster->format & 0x60) == 0x20   ? 256
                           : (raster->format & 0x60) == 0x40 ? 16
                                                             : 0;
    if (count == 0) return true;
    uint8_t stored[4 + 4 * kMaxPaletteEntries];
    const uint32_t bytes = 4 + 4 * count;
    if (TvStreamRead(stream, stored, bytes) != bytes) return false;
    consumed += bytes;
    PALETTEENTRY entries[kMaxPaletteEntries] = {};
    std::memcpy(entries, stored + 4, 4 * size_t(count));
    return SUCCEEDED(
               TvD3DDriver.dd->CreatePalette(TvLoadU32(stored), entries, &rd->palette, nullptr)) &&
           rd->palette && SUCCEEDED(rd->surface->SetPalette(rd->palette));
}

} // namespace

void TvD3DParseSurfaceDesc(const uint8_t s[kTvDDSDescSize], DDSURFACEDESC2* d) {
    *d = {};
    d->dwSize = TvLoadU32(s);
    d->dwFlags = TvLoadU32(s + 4);
    d->dwHeight = TvLoadU32(s + 8);
    d->dwWidth = TvLoadU32(s + 12);
    d->dwLinearSize = TvLoadU32(s + 16);
    d->dwBackBufferCount = TvLoadU32(s + 20);
    d->dwMipMapCount = TvLoadU32(s + 24);
    d->dwAlphaBitDepth = TvLoadU32(s + 28);
    d->dwReserved = TvLoadU32(s + 32);
    // s + 36: the stored surface pointer, never trusted.
    DDCOLORKEY* keys[] = {&d->ddckCKDestOverlay, &d->ddckCKDestBlt, &d->ddckCKSrcOverlay,
                          &d->ddckCKSrcBlt};
    for (int i = 0; i < 4; i++)
        *keys[i] = {TvLoadU32(s + 40 + 8 * i), TvLoadU32(s + 44 + 8 * i)};
    DDPIXELFORMAT& f = d->ddpfPixelFormat;
    f.dwSize = TvLoadU32(s + 72);
    f.dwFlags = TvLoadU32(s + 76);
    f.dwFourCC = TvLoadU32(s + 80);
    f.dwRGBBitCount = TvLoadU32(s + 84);
    f.dwRBitMask = TvLoadU32(s + 88);
    f.dwGBitMask = TvLoadU32(s + 92);
    f.dwBBitMask = TvLoadU32(s + 96);
    f.dwRGBAlphaBitMask = TvLoadU32(s + 100);
    d->ddsCaps = {TvLoadU32(s + 104), TvLoadU32(s + 108), TvLoadU32(s + 112), TvLoadU32(s + 116)};
    d->dwTextureStage = TvLoadU32(s + 120);
}

void TvD3DStoreSurfaceDesc(const DDSURFACEDESC2& d, uint8_t s[kTvDDSDescSize]) {
    std::memset(s, 0, kTvDDSDescSize);
    TvStoreU32(s, kTvDDSDescSize);
    TvStoreU32(s + 4, d.dwFlags);
    TvStoreU32(s + 8, d.dwHeight);
    TvStoreU32(s + 12, d.dwWidth);
    TvStoreU32(s + 16, d.dwLinearSize);
    TvStoreU32(s + 20, d.dwBackBufferCount);
    TvStoreU32(s + 24, d.dwMipMapCount);
    TvStoreU32(s + 28, d.dwAlphaBitDepth);
    TvStoreU32(s + 32, d.dwReserved);
    const DDCOLORKEY* keys[] = {&d.ddckCKDestOverlay, &d.ddckCKDestBlt, &d.ddckCKSrcOverlay,
                                &d.ddckCKSrcBlt};
    for (int i = 0; i < 4; i++) {
        TvStoreU32(s + 40 + 8 * i, keys[i]->dwColorSpaceLowValue);
        TvStoreU32(s + 44 + 8 * i, keys[i]->dwColorSpaceHighValue);
    }
    const DDPIXELFORMAT& f = d.ddpfPixelFormat;
    TvStoreU32(s + 72, 32);
    TvStoreU32(s + 76, f.dwFlags);
    TvStoreU32(s + 80, f.dwFourCC);
    TvStoreU32(s + 84, f.dwRGBBitCount);
    TvStoreU32(s + 88, f.dwRBitMask);
    TvStoreU32(s + 92, f.dwGBitMask);
    TvStoreU32(s + 96, f.dwBBitMask);
    TvStoreU32(s + 100, f.dwRGBAlphaBitMask);
    TvStoreU32(s + 104, d.ddsCaps.dwCaps);
    TvStoreU32(s + 108, d.ddsCaps.dwCaps2);
    TvStoreU32(s + 112, d.ddsCaps.dwCaps3);
    TvStoreU32(s + 116, d.ddsCaps.dwCaps4);
    TvStoreU32(s + 120, d.dwTextureStage);
}

uint64_t TvD3DDDSLevelBytes(const DDPIXELFORMAT& f, uint32_t width, uint32_t height,
                            uint32_t level) {
    const uint64_t w = level < 32 && (width >> level) > 0 ? width >> level : 1;
    const uint64_t h = level < 32 && (height >> level) > 0 ? height >> level : 1;
    if (f.dwFlags & DDPF_FOURCC) {
        if (!IsDXT(f)) return 0;
        return ((w + 3) / 4) * ((h + 3) / 4) * (f.dwFourCC == FOURCC_DXT1 ? 8 : 16);
    }
    return h * w * ((uint64_t(f.dwRGBBitCount) + 7) >> 3);
}

TvRaster* TvD3DReadDDS(TvStream* stream, uint32_t expectedSize) {
    TvD3DDriverState& drv = TvD3DDriver;
    uint8_t header[kTvDDSHeaderSize];
    if (TvStreamRead(stream, header, kTvDDSHeaderSize) != kTvDDSHeaderSize ||
        std::memcmp(header, "DDS ", 4) != 0)
        return nullptr;
    uint32_t consumed = kTvDDSHeaderSize;
    DDSURFACEDESC2 desc;
    TvD3DParseSurfaceDesc(header + 4, &desc);
    if (!drv.dd || !DescriptionOk(desc)) return nullptr;

    if (!(drv.caps.dpcTriCaps.dwTextureFilterCaps & kMipFilterCaps)) {
        desc.dwFlags &= ~DDSD_MIPMAPCOUNT;
        desc.dwMipMapCount = 0;
        desc.ddsCaps.dwCaps &= ~(DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
    }
    desc.ddsCaps.dwCaps |= DDSCAPS_TEXTURE;
    desc.ddsCaps.dwCaps2 |= DDSCAPS2_TEXTUREMANAGE;

    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    const uint32_t code = TvD3DPixelFormatToRasterFormat(&pf);
    const uint8_t formatByte = FormatByte(pf, code);
    if (formatByte == 0) return nullptr;

    TvRaster* raster = TvRasterCreate(0, 0, 0, kTvRasterTypeTexture | kTvRasterDontAllocate);
    if (!raster) return nullptr;
    TvD3DRasterData* rd = TvD3DGetRasterData(raster);
    // From here the raster owns its surface, so destroying it releases what was made.
    raster->createFlags &= uint8_t(~kTvRasterDontAllocate);
    raster->width = int32_t(desc.dwWidth);
    raster->height = int32_t(desc.dwHeight);
    raster->depth = int32_t(pf.dwRGBBitCount);
    raster->pixels = nullptr;
    raster->stride = 0;
    raster->format = formatByte | ((desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP) ? 0x80 : 0);
    auto fail = [raster]() -> TvRaster* {
        TvRasterDestroy(raster);
        return nullptr;
    };
    if (!rd->format || FAILED(drv.dd->CreateSurface(&desc, &rd->surface, nullptr)) || !rd->surface)
        return fail();
    rd->colourKeyed = desc.dwFlags & DDSD_CKSRCBLT;
    // The raster keeps the pixel format of its surface. A DXT file on a card that offers DXT
    // therefore stays compressed: it is drawn as it is, and raster locks of it are refused,
    // since its blocks are no pixels of the raster's format code.
    const TvD3DTextureFormat* own = DeviceFormat(code);
    rd->format->format = own ? own->desc.ddpfPixelFormat : pf;
    TvD3DTextureChainAdd(rd->surface, rd);

    if (!ReadLevels(stream, rd->surface, consumed)) return fail();
    if (!own) {
        const TvD3DTextureFormat* sub = IsDXT(pf) ? Substitute(pf.dwFourCC) : nullptr;
        if (!sub || !CopyToSubstitute(raster, rd, desc, sub)) return fail();
    }
    if (!ReadPalette(stream, raster, rd, consumed)) return fail();
    if (FAILED(rd->surface->QueryInterface(IID_IDirect3DTexture2,
                                           reinterpret_cast<void**>(&rd->texture))) ||
        !rd->texture)
        return fail();
    // A block read from a chunk must hold everything read for it.
    if (expectedSize > 0 && consumed > expectedSize) return fail();
    if (expectedSize > consumed && !TvStreamSkip(stream, expectedSize - consumed)) return fail();
    return raster;
}

TvTexture* TvD3DReadDDSTexture(const char* name, const char* maskName) {
    if (!name) {
        TvErrorCore(E_TV_NULLP);
        return nullptr;
    }
    const char* path = TvImageGetPath();
    const size_t pathLength = std::strlen(path), nameLength = std::strlen(name);
    char file[kTvDDSNameBufferSize];
    if (pathLength + nameLength + sizeof ".dds" > sizeof file) {
        TvErrorCore(E_TV_INVALIDPARAM);
        return nullptr;
    }
    std::memcpy(file, path, pathLength);
    std::memcpy(file + pathLength, name, nameLength);
    std::memcpy(file + pathLength + nameLength, ".dds", sizeof ".dds");
    TvStream* stream = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, file);
    if (!stream) return nullptr;
    TvRaster* raster = TvD3DReadDDS(stream, 0);
    TvStreamClose(stream, nullptr);
    if (!raster) return nullptr;
    return TvTextureCreateNamed(raster, name, maskName);
}

bool TvD3DSupportsDXT() {
    for (const TvD3DTextureFormat* f = TvD3DDriver.formats; f; f = f->next) {
        const DDPIXELFORMAT& p = f->desc.ddpfPixelFormat;
        if ((p.dwFlags & DDPF_FOURCC) && (p.dwFourCC & 0x00FFFFFF) == (FOURCC_DXT1 & 0x00FFFFFF))
            return true;
    }
    return false;
}
