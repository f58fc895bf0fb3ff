#include "engine/core/d3d/d3dtexture.h"

#include <cstring>

#include "engine/core/d3d/dds.h"
#include "engine/core/d3d/device.h"
#include "engine/core/d3d/surface.h"
#include "engine/core/error.h"
#include "engine/core/raster.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"
#include "engine/core/texture_stream.h"

namespace {

constexpr uint8_t kPlatformId[4] = {'D', '3', 'D', 0};
constexpr uint32_t kFirstStructSize = 8;

uint32_t PaletteEntries(const TvRaster* raster) {
    switch (raster->format & 0x60) {
    case 0x20: return 256;
    case 0x40: return 16;
    default: return 0;
    }
}

// Bytes the levels of a surface's chain take as stored.
uint64_t LevelBytes(const DDSURFACEDESC2& desc) {
    return TvD3DDDSLevelBytes(desc.ddpfPixelFormat, desc.dwWidth, desc.dwHeight, 0);
}

uint64_t SurfaceBlockSize(const TvRaster* raster, IDirectDrawSurface4* top) {
    uint64_t bytes = kTvDDSHeaderSize;
    for (IDirectDrawSurface4* level = top; level; level = TvD3DSurfaceNextMipLevel(level)) {
        DDSURFACEDESC2 desc{};
        if (FAILED(level->GetSurfaceDesc(&desc))) return 0;
        bytes += LevelBytes(desc);
    }
    const uint32_t entries = PaletteEntries(raster);
    return bytes + (entries ? 4 + 4 * uint64_t(entries) : 0);
}

IDirectDrawSurface4* Surface(const TvTexture* texture) {
    if (!texture || !texture->raster) return nullptr;
    return TvD3DGetRasterData(texture->raster)->surface;
}

bool WriteLevels(TvStream* stream, IDirectDrawSurface4* top) {
    for (IDirectDrawSurface4* level = top; level; level = TvD3DSurfaceNextMipLevel(level)) {
        DDSURFACEDESC2 desc;
        auto* pixels = static_cast<const uint8_t*>(TvD3DSurfaceLockRead(level, &desc));
        if (!pixels) return false;
        const uint64_t bytes = LevelBytes(desc);
        bool ok = bytes > 0 && bytes <= UINT32_MAX;
        if (ok && (desc.dwFlags & DDSD_LINEARSIZE)) {
            ok = TvStreamWrite(stream, pixels, uint32_t(bytes)) != nullptr;
        } else if (ok) {
            const uint32_t row = uint32_t(bytes / desc.dwHeight);
            for (DWORD y = 0; ok && y < desc.dwHeight; y++)
                ok = TvStreamWrite(stream, pixels + size_t(y) * uint32_t(desc.lPitch), row) !=
                     nullptr;
        }
        TvD3DSurfaceUnlock(level);
        if (!ok) return false;
    }
    return true;
}

bool FindStruct(TvStream* stream, uint32_t* length) {
    uint32_t version;
    if (!TvStreamFindChunk(stream, TV_ID_STRUCT, length, &version)) return false;
    if (version < kTvChunkVersionMin || version > kTvChunkVersion) {
        TvErrorCore(E_TV_BADVERSION);
        return false;
    }
    return true;
}

} // namespace

int32_t TvD3DNativeTextureSize(void* out, void* in, int32_t) {
    auto* texture = static_cast<TvTexture*>(in);
    IDirectDrawSurface4* surface = Surface(texture);
    if (!out || !surface) return 0;
    const uint64_t size = 20 + 12 + uint64_t(TvStringStreamGetSize(texture->name)) + 12 +
                          TvStringStreamGetSize(texture->maskName) + 12 +
                          SurfaceBlockSize(texture->raster, surface);
    *static_cast<uint32_t*>(out) = uint32_t(size);
    return 1;
}

int32_t TvD3DNativeTextureWrite(void* out, void* in, int32_t) {
    auto* stream = static_cast<TvStream*>(out);
    auto* texture = static_cast<TvTexture*>(in);
    IDirectDrawSurface4* surface = Surface(texture);
    if (!stream || !surface) return 0;

    uint8_t first[kFirstStructSize];
    std::memcpy(first, kPlatformId, 4);
    const uint32_t modes = texture->filterMode | texture->addressing << 8;
    for (int i = 0; i < 4; i++)
        first[4 + i] = uint8_t(modes >> (8 * i));
    const uint64_t block = SurfaceBlockSize(texture->raster, surface);
    if (block == 0 || block > UINT32_MAX) return 0;
    if (!TvStreamWriteChunkHeader(stream, TV_ID_STRUCT, kFirstStructSize, kTvChunkVersion) ||
        !TvStreamWrite(stream, first, kFirstStructSize) ||
        !TvStringStreamWrite(texture->name, stream) ||
        !TvStringStreamWrite(texture->maskName, stream) ||
        !TvStreamWriteChunkHeader(stream, TV_ID_STRUCT, uint32_t(block), kTvChunkVersion) ||
        !TvStreamWrite(stream, "DDS ", 4))
        return 0;

    DDSURFACEDESC2 desc{};
    if (FAILED(surface->GetSurfaceDesc(&desc))) return 0;
    desc.ddsCaps.dwCaps &= ~(DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE);
    desc.ddsCaps.dwCaps2 &= ~DDSCAPS2_TEXTUREMANAGE;
    // The pitch stays as the surface reports it; only its flag goes. Rows are stored without
    // padding, and a reader takes the pitch of the surface it creates.
    desc.dwFlags &= ~DDSD_PITCH;
    uint8_t stored[kTvDDSDescSize];
    TvD3DStoreSurfaceDesc(desc, stored);
    if (!TvStreamWrite(stream, stored, kTvDDSDescSize) || !WriteLevels(stream, surface)) return 0;

    const uint32_t entries = PaletteEntries(texture->raster);
    if (entries) {
        IDirectDrawPalette* palette = TvD3DGetRasterData(texture->raster)->palette;
        DWORD caps = 0;
        PALETTEENTRY colours[256] = {};
        if (!palette || FAILED(palette->GetCaps(&caps)) ||
            FAILED(palette->GetEntries(0, 0, entries, colours)))
            return 0;
        uint8_t word[4] = {uint8_t(caps), uint8_t(caps >> 8), uint8_t(caps >> 16),
                           uint8_t(caps >> 24)};
        if (!TvStreamWrite(stream, word, 4) || !TvStreamWrite(stream, colours, 4 * entries))
            return 0;
    }
    return 1;
}

int32_t TvD3DNativeTextureRead(void* in, void* out, int32_t) {
    auto* stream = static_cast<TvStream*>(in);
    auto** result = static_cast<TvTexture**>(out);
    if (!stream || !result) return 0;
    *result = nullptr;
    uint8_t first[kFirstStructSize];
    if (!TvStreamReadStruct(stream, first, kFirstStructSize)) return 0;
    if (std::memcmp(first, kPlatformId, 4) != 0) return 0;
    const uint32_t modes = uint32_t(first[4]) | uint32_t(first[5]) << 8;

    char* name = TvStringStreamRead(stream);
    char* mask = name ? TvStringStreamRead(stream) : nullptr;
    uint32_t length = 0;
    // The surface block's chunk must be long enough for at least its header.
    TvRaster* raster = mask && FindStruct(stream, &length) && length >= kTvDDSHeaderSize
                           ? TvD3DReadDDS(stream, length)
                           : nullptr;
    TvTexture* texture = raster ? TvTextureCreateNamed(raster, name, mask) : nullptr;
    if (name) TvStringFree(name);
    if (mask) TvStringFree(mask);
    if (!texture) return 0;
    // The modes written with the texture come back with it.
    TvTextureSetFilterMode(texture, modes & 0xFF);
    TvTextureSetAddressing(texture, (modes >> 8) & 0xFF);
    *result = texture;
    return 1;
}
