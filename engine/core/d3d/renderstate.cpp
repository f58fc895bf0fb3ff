#include "engine/core/d3d/renderstate.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/core/d3d/d3dpipe.h"
#include "engine/core/d3d/device.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"

TvD3DRenderStateCache TvD3DRenderStates;
float TvD3DFogStart;
float TvD3DFogEnd;
float TvD3DFogScale;
D3DCOLOR TvD3DFogTable[256];

namespace {

enum : int32_t {
    kStateTexture = 1,
    kStateAddress,
    kStatePerspective,
    kStateZTest,
    kStateShade,
    kStateZWrite,
    kStateFilter,
    kStateSrcBlend,
    kStateDestBlend,
    kStateVertexAlpha,
    kStateBorder,
    kStateFogEnable,
    kStateFogColour,
    kStateFogType,
    kStateFogTable,
    kStateDeferral,
};

constexpr DWORD kFogCaps = D3DPSHADECAPS_FOGFLAT | D3DPSHADECAPS_FOGGOURAUD;
constexpr DWORD kAlphaShadeCaps = D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND;

// (mag, min, mip) of filter values 1-6 and the filter cap each needs.
struct Filter {
    uint32_t mag, min, mip;
    DWORD cap;
};
constexpr Filter kFilters[7] = {
    {0, 0, 0, 0},
    {D3DTFG_POINT, D3DTFN_POINT, D3DTFP_NONE, 0},
    {D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_NONE, D3DPTFILTERCAPS_LINEAR},
    {D3DTFG_POINT, D3DTFN_POINT, D3DTFP_POINT, D3DPTFILTERCAPS_MIPNEAREST},
    {D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_POINT, D3DPTFILTERCAPS_MIPLINEAR},
    {D3DTFG_POINT, D3DTFN_POINT, D3DTFP_LINEAR, D3DPTFILTERCAPS_LINEARMIPNEAREST},
    {D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_LINEAR, D3DPTFILTERCAPS_LINEARMIPLINEAR},
};

TvD3DRenderStateCache& C() {
    return TvD3DRenderStates;
}

const D3DPRIMCAPS& Caps() {
    return TvD3DDriver.caps.dpcTriCaps;
}

IDirect3DDevice3* CurrentDevice() {
    TvD3DRenderTarget* t = TvD3DDriver.curTarget;
    return t ? t->device : nullptr;
}

void RS(IDirect3DDevice3* dev, D3DRENDERSTATETYPE state, uint32_t value, uint32_t& cached) {
    if (cached == value) return;
    dev->SetRenderState(state, value);
    cached = value;
}

void TSS(IDirect3DDevice3* dev, D3DTEXTURESTAGESTATETYPE state, uint32_t value, uint32_t& cached) {
    if (cached == value) return;
    dev->SetTextureStageState(0, state, value);
    cached = value;
}

int32_t BestFilter(int32_t value) {
    while (value > 1 && !(Caps().dwTextureFilterCaps & kFilters[value].cap))
        --value;
    return value;
}

void SetFilter(IDirect3DDevice3* dev, int32_t value) {
    const Filter& f = kFilters[BestFilter(value)];
    TvD3DRenderStateBlock& b = C().block;
    TSS(dev, D3DTSS_MAGFILTER, f.mag, b.magFilter);
    TSS(dev, D3DTSS_MINFILTER, f.min, b.minFilter);
    TSS(dev, D3DTSS_MIPFILTER, f.mip, b.mipFilter);
}

void BlendRule(IDirect3DDevice3* dev) {
    TvD3DRenderStateCache& c = C();
    const bool vertex = c.block.vertexAlpha != 0, texture = c.block.textureAlpha != 0;
    const bool blend = vertex || texture;
    RS(dev, D3DRENDERSTATE_ALPHABLENDENABLE, blend, c.alphaBlend);
    RS(dev, D3DRENDERSTATE_ALPHATESTENABLE, blend && c.alphaTestUsable, c.alphaTest);
    if (vertex && texture) {
        TSS(dev, D3DTSS_ALPHAOP, D3DTOP_MODULATE, c.alphaOp);
    } else if (texture) {
        TSS(dev, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1, c.alphaOp);
    } else if (vertex) {
        TSS(dev, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2, c.alphaOp);
    }
}

void SetTextureRaster(IDirect3DDevice3* dev, TvRaster* raster) {
    TvD3DRenderStateCache& c = C();
    if (raster == c.block.texture) return;
    if (raster) {
        const TvD3DRasterData* rd = TvD3DGetRasterData(raster);
        dev->SetTexture(0, rd->texture);
        TSS(dev, D3DTSS_COLOROP, D3DTOP_MODULATE, c.colourOp);
        c.block.textureAlpha = rd->format && (rd->format->format.dwFlags & DDPF_ALPHAPIXELS);
        RS(dev, D3DRENDERSTATE_COLORKEYENABLE, rd->colourKeyed ? 1 : 0, c.block.colourKey);
    } else {
        dev->SetTexture(0, nullptr);
        TSS(dev, D3DTSS_COLOROP, D3DTOP_SELECTARG2, c.colourOp);
        c.block.textureAlpha = 0;
        RS(dev, D3DRENDERSTATE_COLORKEYENABLE, 0, c.block.colourKey);
    }
    c.block.texture = raster;
    BlendRule(dev);
}

// ---- Deferred drawing ----

struct SortRecords {
    TvD3DSortRecord* records;
    int32_t capacity;
    int32_t count;
    uint16_t* indices;
    int32_t indexCapacity;
};
SortRecords g_sort;

bool ReserveIndices(int32_t count) {
    if (count <= g_sort.indexCapacity) return true;
    const int32_t capacity = count + 20;
    auto* indices =
        static_cast<uint16_t*>(TvRealloc(g_sort.indices, size_t(capacity) * sizeof(uint16_t)));
    if (!indices) return false;
    g_sort.indices = indices;
    g_sort.indexCapacity = capacity;
    return true;
}

void DrawSortRecords(IDirect3DDevice3* dev) {
    TvD3DSortRecord* records = g_sort.records;
    const int32_t count = g_sort.count;
    // Farther first: screen z is never negative, so the bit patterns order like the values.
    std::stable_sort(records, records + count,
                     [](const TvD3DSortRecord& a, const TvD3DSortRecord& b) {
                         return std::bit_cast<uint32_t>(a.key) > std::bit_cast<uint32_t>(b.key);
                     });
    const TvD3DDeferredEntry* applied = nullptr;
    for (int32_t i = 0; i < count;) {
        const TvD3DSortRecord& first = records[i];
        int32_t j = i, n = 0;
        while (j < count && records[j].entry == first.entry &&
               records[j].primitiveType == first.primitiveType) {
            n += records[j].verticesPer;
            ++j;
        }
        if (!ReserveIndices(n)) return;
        int32_t at = 0;
        for (int32_t k = i; k < j; ++k) {
            std::memcpy(g_sort.indices + at, records[k].indices,
                        sizeof(uint16_t) * records[k].verticesPer);
            at += records[k].verticesPer;
        }
        if (first.entry != applied) {
            TvD3DApplyRenderStates(&first.entry->states);
            applied = first.entry;
        }
        dev->DrawIndexedPrimitive(D3DPRIMITIVETYPE(first.primitiveType), D3DFVF_TLVERTEX,
                                  first.entry->vertices, DWORD(first.entry->vertexCount),
                                  g_sort.indices, DWORD(n), D3DDP_WAIT | D3DDP_DONOTCLIP);
        i = j;
    }
}

// The specular colours vertices take their fog from, kept in step with the fog table.
void PublishFogTable() {
    for (int32_t i = 0; i < 256; ++i)
        TvD3DFogTable[i] = D3DCOLOR(255 - C().fogTable[i]) << 24;
}

} // namespace

void TvD3DPublishFog(float fogStart, float farDistance) {
    TvD3DFogStart = fogStart;
    TvD3DFogEnd = farDistance;
    TvD3DFogScale = farDistance > fogStart ? 255.0f / (farDistance - fogStart) : 0.0f;
    PublishFogTable();
}

int32_t TvRenderStateSetD3D(int32_t state, intptr_t value) {
    TvD3DIm3DFlushPending(); // gathered triangles are drawn with the states they were given
    IDirect3DDevice3* dev = CurrentDevice();
    if (!dev) return 0;
    TvD3DRenderStateCache& c = C();
    TvD3DRenderStateBlock& b = c.block;
    const D3DPRIMCAPS& caps = Caps();
    const auto v = uint32_t(value);
    switch (state) {
    case kStateTexture: SetTextureRaster(dev, reinterpret_cast<TvRaster*>(value)); return 1;
    case kStateAddress: {
        constexpr DWORD kBits[5] = {0, D3DPTADDRESSCAPS_WRAP, D3DPTADDRESSCAPS_MIRROR,
                                    D3DPTADDRESSCAPS_CLAMP, D3DPTADDRESSCAPS_BORDER};
        if (value < 1 || value > 4 || !(caps.dwTextureAddressCaps & kBits[value])) return 0;
        TSS(dev, D3DTSS_ADDRESS, v, b.address);
        return 1;
    }
    case kStatePerspective:
        if (v && !(caps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE)) return 0;
        RS(dev, D3DRENDERSTATE_TEXTUREPERSPECTIVE, v, b.perspective);
        return 1;
    case kStateZTest:
        if (!caps.dwZCmpCaps) return 0;
        if (!v) TvD3DDeferredFlush();
        RS(dev, D3DRENDERSTATE_ZENABLE, v ? 1 : 0, b.zTest);
        return 1;
    case kStateShade: {
        const bool flat = v == 1;
        if (!(caps.dwShadeCaps &
              (flat ? D3DPSHADECAPS_COLORFLATRGB : D3DPSHADECAPS_COLORGOURAUDRGB)))
            return 0;
        RS(dev, D3DRENDERSTATE_SHADEMODE, flat ? D3DSHADE_FLAT : D3DSHADE_GOURAUD, b.shadeMode);
        return 1;
    }
    case kStateZWrite:
        if (!caps.dwZCmpCaps) return 0;
        RS(dev, D3DRENDERSTATE_ZWRITEENABLE, v ? 1 : 0, b.zWrite);
        return 1;
    case kStateFilter:
        if (value < 1 || value > 6) return 0;
        SetFilter(dev, int32_t(value));
        return 1;
    case kStateSrcBlend:
    case kStateDestBlend: {
        if (value < 1 || value > 11) return 0;
        const bool src = state == kStateSrcBlend;
        if (!((src ? caps.dwSrcBlendCaps : caps.dwDestBlendCaps) & (1u << (v - 1)))) return 0;
        RS(dev, src ? D3DRENDERSTATE_SRCBLEND : D3DRENDERSTATE_DESTBLEND, v,
           src ? b.srcBlend : b.destBlend);
        return 1;
    }
    case kStateVertexAlpha:
        // The flag is kept even when the device cannot blend, for the next texture change.
        b.vertexAlpha = v ? 1 : 0;
        if (!(caps.dwShadeCaps & kAlphaShadeCaps)) return 0;
        BlendRule(dev);
        return 1;
    case kStateBorder:
        if (!(caps.dwTextureCaps & D3DPTEXTURECAPS_BORDER)) return 0;
        TSS(dev, D3DTSS_BORDERCOLOR, v, b.borderColour);
        return 1;
    case kStateFogEnable:
    case kStateFogColour:
    case kStateFogType:
    case kStateFogTable:
        if (!(caps.dwShadeCaps & kFogCaps)) return 0;
        if (state == kStateFogEnable) {
            RS(dev, D3DRENDERSTATE_FOGENABLE, v ? 1 : 0, b.fogEnable);
        } else if (state == kStateFogColour) {
            RS(dev, D3DRENDERSTATE_FOGCOLOR, v, b.fogColour);
        } else if (state == kStateFogType) {
            const uint8_t* curve = value >= 1 && value <= 3 ? TvD3DSortBufferFogCurve(v) : nullptr;
            if (!curve) return 0;
            std::memcpy(c.fogTable, curve, sizeof c.fogTable);
            c.fogType = v;
        } else {
            if (!value) return 0;
            std::memcpy(c.fogTable, reinterpret_cast<const uint8_t*>(value), sizeof c.fogTable);
            c.fogType = 0;
        }
        if (state == kStateFogType || state == kStateFogTable) PublishFogTable();
        return 1;
    case kStateDeferral:
        if (v) {
            c.deferral = 1;
        } else {
            if (c.deferral) TvD3DDeferredFlush();
            c.deferral = 0;
        }
        return 1;
    default: return 0;
    }
}

int32_t TvRenderStateGetD3D(int32_t state, void* out) {
    if (!out) return 0;
    const TvD3DRenderStateCache& c = C();
    const TvD3DRenderStateBlock& b = c.block;
    auto put = [out](uint32_t v) {
        *static_cast<int32_t*>(out) = int32_t(v);
        return 1;
    };
    switch (state) {
    case kStateTexture: *static_cast<TvRaster**>(out) = b.texture; return 1;
    case kStateAddress: return put(b.address);
    case kStatePerspective: return put(b.perspective);
    case kStateZTest: return put(b.zTest);
    case kStateShade: return put(b.shadeMode == D3DSHADE_GOURAUD ? 2 : 1);
    case kStateZWrite: return put(b.zWrite);
    case kStateFilter: {
        const uint32_t linear = b.magFilter == D3DTFG_LINEAR ? 1 : 0;
        switch (b.mipFilter) {
        case D3DTFP_NONE: return put(1 + linear);
        case D3DTFP_POINT: return put(3 + linear);
        case D3DTFP_LINEAR: return put(5 + linear);
        default: return 0;
        }
    }
    case kStateSrcBlend: return put(b.srcBlend);
    case kStateDestBlend: return put(b.destBlend);
    case kStateVertexAlpha: return put(b.vertexAlpha);
    case kStateBorder: return put(b.borderColour);
    case kStateFogEnable: return put(b.fogEnable);
    case kStateFogColour: return put(b.fogColour);
    case kStateFogType: return put(c.fogType);
    case kStateFogTable: *static_cast<const uint8_t**>(out) = c.fogTable; return 1;
    case kStateDeferral: return put(c.deferral);
    default: return 0;
    }
}

void TvD3DSetDefaultRenderStates(IDirect3DDevice3* dev) {
    if (!dev) return;
    TvD3DRenderStateCache& c = C();
    TvD3DRenderStateBlock& b = c.block;
    const D3DPRIMCAPS& caps = Caps();
    auto rs = [dev](D3DRENDERSTATETYPE s, uint32_t v) { dev->SetRenderState(s, v); };
    auto tss = [dev](D3DTEXTURESTAGESTATETYPE s, uint32_t v) {
        dev->SetTextureStageState(0, s, v);
    };
    b.perspective = (caps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE) ? 1 : 0;
    rs(D3DRENDERSTATE_TEXTUREPERSPECTIVE, b.perspective);
    rs(D3DRENDERSTATE_WRAP0, 0);
    rs(D3DRENDERSTATE_ZENABLE, b.zTest = 1);
    rs(D3DRENDERSTATE_ZWRITEENABLE, b.zWrite = 1);
    rs(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    rs(D3DRENDERSTATE_SHADEMODE, b.shadeMode = D3DSHADE_GOURAUD);
    const DWORD alphaCmp = caps.dwAlphaCmpCaps;
    c.alphaTestUsable = (alphaCmp & (D3DPCMPCAPS_GREATER | D3DPCMPCAPS_NOTEQUAL)) != 0;
    rs(D3DRENDERSTATE_ALPHAFUNC, !c.alphaTestUsable                 ? D3DCMP_ALWAYS
                                 : (alphaCmp & D3DPCMPCAPS_GREATER) ? D3DCMP_GREATER
                                                                    : D3DCMP_NOTEQUAL);
    rs(D3DRENDERSTATE_ALPHAREF, 0);
    rs(D3DRENDERSTATE_ALPHATESTENABLE, c.alphaTest = 0);
    rs(D3DRENDERSTATE_SRCBLEND, b.srcBlend = D3DBLEND_SRCALPHA);
    rs(D3DRENDERSTATE_DESTBLEND, b.destBlend = D3DBLEND_INVSRCALPHA);
    rs(D3DRENDERSTATE_ALPHABLENDENABLE, c.alphaBlend = 0);
    b.vertexAlpha = 0;
    rs(D3DRENDERSTATE_COLORKEYENABLE, b.colourKey = 0);
    tss(D3DTSS_ADDRESS, b.address = D3DTADDRESS_WRAP);
    // The border colour too, so the cache never claims a value a newly bound device lacks.
    tss(D3DTSS_BORDERCOLOR, b.borderColour = 0);
    tss(D3DTSS_COLORARG1, D3DTA_TEXTURE);
    tss(D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    tss(D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    tss(D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    tss(D3DTSS_ALPHAOP, c.alphaOp = D3DTOP_SELECTARG2);
    tss(D3DTSS_COLOROP, c.colourOp = D3DTOP_SELECTARG2);
    dev->SetTexture(0, nullptr);
    b.texture = nullptr;
    b.textureAlpha = 0;
    const Filter& f = kFilters[BestFilter(6)];
    tss(D3DTSS_MAGFILTER, b.magFilter = f.mag);
    tss(D3DTSS_MINFILTER, b.minFilter = f.min);
    tss(D3DTSS_MIPFILTER, b.mipFilter = f.mip);
    rs(D3DRENDERSTATE_DITHERENABLE, (caps.dwRasterCaps & D3DPRASTERCAPS_DITHER) ? 1 : 0);
    rs(D3DRENDERSTATE_FOGENABLE, b.fogEnable = 0);
    rs(D3DRENDERSTATE_FOGCOLOR, b.fogColour = 0);
    rs(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE);
    dev->SetLightState(D3DLIGHTSTATE_FOGMODE, D3DFOG_NONE);
    rs(D3DRENDERSTATE_STIPPLEENABLE, 0);
    rs(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    rs(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    rs(D3DRENDERSTATE_SPECULARENABLE, 0);
    rs(D3DRENDERSTATE_ANTIALIAS, 0);
    c.deferral = 0;
}

void TvD3DApplyRenderStates(const TvD3DRenderStateBlock* block) {
    IDirect3DDevice3* dev = CurrentDevice();
    if (!dev || !block) return;
    TvD3DRenderStateBlock& b = C().block;
    const TvD3DRenderStateBlock s = *block;
    TSS(dev, D3DTSS_BORDERCOLOR, s.borderColour, b.borderColour);
    TSS(dev, D3DTSS_ADDRESS, s.address, b.address);
    TSS(dev, D3DTSS_MAGFILTER, s.magFilter, b.magFilter);
    TSS(dev, D3DTSS_MINFILTER, s.minFilter, b.minFilter);
    TSS(dev, D3DTSS_MIPFILTER, s.mipFilter, b.mipFilter);
    if (s.texture != b.texture)
        TvRenderStateSetD3D(kStateTexture, reinterpret_cast<intptr_t>(s.texture));
    RS(dev, D3DRENDERSTATE_FOGCOLOR, s.fogColour, b.fogColour);
    RS(dev, D3DRENDERSTATE_FOGENABLE, s.fogEnable, b.fogEnable);
    RS(dev, D3DRENDERSTATE_SRCBLEND, s.srcBlend, b.srcBlend);
    RS(dev, D3DRENDERSTATE_DESTBLEND, s.destBlend, b.destBlend);
    RS(dev, D3DRENDERSTATE_SHADEMODE, s.shadeMode, b.shadeMode);
    RS(dev, D3DRENDERSTATE_ZENABLE, s.zTest, b.zTest);
    RS(dev, D3DRENDERSTATE_ZWRITEENABLE, s.zWrite, b.zWrite);
    RS(dev, D3DRENDERSTATE_TEXTUREPERSPECTIVE, s.perspective, b.perspective);
    if (s.vertexAlpha != b.vertexAlpha) TvRenderStateSetD3D(kStateVertexAlpha, s.vertexAlpha);
}

bool TvD3DSortRecordsReserve(int32_t count) {
    g_sort.count = 0;
    if (count <= g_sort.capacity) return true;
    auto* records = static_cast<TvD3DSortRecord*>(
        TvRealloc(g_sort.records, size_t(count) * sizeof(TvD3DSortRecord)));
    if (!records) return false;
    g_sort.records = records;
    g_sort.capacity = count;
    return true;
}

bool TvD3DSortRecordAdd(const TvD3DSortRecord& record) {
    if (g_sort.count >= g_sort.capacity) return false;
    g_sort.records[g_sort.count++] = record;
    return true;
}

void TvD3DSortRecordsFree() {
    TvFree(g_sort.records);
    TvFree(g_sort.indices);
    g_sort = {};
}

void TvD3DDeferredFlush() {
    TvD3DCallBuffer* buffer = TvD3DSortBufferCallBuffer();
    IDirect3DDevice3* dev = CurrentDevice();
    if (!buffer || buffer->count == 0 || !dev) {
        TvD3DSortBufferReset();
        return;
    }
    const TvD3DRenderStateBlock saved = C().block;
    if (TvD3DSortRecordsReserve(TvD3DSortBufferExpected())) {
        TvD3DCallBufferRun(buffer, TvD3DDriver.replayOrder);
        DrawSortRecords(dev);
    }
    g_sort.count = 0;
    TvD3DSortBufferReset();
    TvD3DApplyRenderStates(&saved);
}
