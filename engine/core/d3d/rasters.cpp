#include "engine/core/d3d/rasters.h"

#include <algorithm>
#include <cstring>

#include "engine/core/d3d/d3dtexture.h"
#include "engine/core/d3d/device.h"
#include "engine/core/d3d/fpu.h"
#include "engine/core/d3d/pixels.h"
#include "engine/core/d3d/renderstate.h"
#include "engine/core/d3d/surface.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/error.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"

namespace {

TvD3DDriverState& D() {
    return TvD3DDriver;
}

TvD3DRasterData* Data(const TvRaster* r) {
    return TvD3DGetRasterData(r);
}

void DropFormatBlock(TvD3DPixelFormatBlock*& block) {
    if (block && --block->refCount <= 0) TvFree(block);
    block = nullptr;
}

TvD3DTextureFormat* FindFormat(uint32_t code) {
    for (TvD3DTextureFormat* f = D().formats; f; f = f->next)
        if (f->code == code) return f;
    return nullptr;
}

uint32_t DisplayDepth() {
    return D().primaryDesc.ddpfPixelFormat.dwRGBBitCount;
}

bool DepthError() {
    TvErrorReport(0, E_TV_RASTERDEPTH);
    return false;
}
bool FormatError() {
    TvErrorReport(0, E_TV_RASTERFORMAT);
    return false;
}

// Resolves the texture format of a create request and sets depth and format byte.
bool ResolveTexture(TvRaster* r, uint32_t flags) {
    const TvD3DTextureDefaults& t = D().defaults;
    TvD3DTextureFormat* fmt = nullptr;
    if (flags & 0x0F00) {
        fmt = FindFormat(flags & 0x6F00);
        if (!fmt) return FormatError();
    } else {
        const uint32_t palette = flags & 0x6000;
        if (palette == 0x6000) return FormatError();
        if (palette == 0x4000) {
            if (r->depth != 0 && r->depth != 4) return DepthError();
            if (!(fmt = t.pal4)) return FormatError();
        } else if (palette == 0x2000) {
            if (r->depth != 0 && r->depth != 8) return DepthError();
            if (!(fmt = t.pal8)) return FormatError();
        } else {
            switch (r->depth) {
            case 0:
            case 16: fmt = t.default16; break;
            case 24: fmt = t.default24; break;
            case 32: fmt = t.default32; break;
            case 4: fmt = t.pal4; break;
            case 8: fmt = t.pal8; break;
            default: return DepthError();
            }
            if (!fmt) return DepthError();
        }
    }
    const int32_t bits = int32_t(fmt->desc.ddpfPixelFormat.dwRGBBitCount);
    if (r->depth == 0) {
        r->depth = bits;
    } else if (r->depth != bits) {
        return DepthError();
    }
    r->format = uint8_t((fmt->code >> 8) | ((flags & kTvRasterFormatMipMap) ? 0x80 : 0));
    return true;
}

// Normal, camera and z rasters take the display's (or z-buffer's) own format.
bool ResolveOwnFormat(TvRaster* r, uint32_t flags, uint32_t code, int32_t depth) {
    if (flags & kTvRasterFormatMipMap) return FormatError();
    const uint32_t bits = flags & 0x6F00;
    if (bits != 0 && bits != code) return FormatError();
    if (r->depth == 0) {
        r->depth = depth;
    } else if (r->depth != depth) {
        return DepthError();
    }
    r->format = uint8_t(code >> 8);
    return true;
}

int32_t MipCount(uint32_t width, uint32_t height) {
    uint32_t side = std::min(width, height);
    int32_t count = 1;
    while (side > 1) {
        side >>= 1;
        ++count;
    }
    return count;
}

bool CreateTextureSurface(TvRaster* r, TvD3DRasterData* rd) {
    TvD3DDriverState& d = D();
    TvD3DTextureFormat* fmt = FindFormat(uint32_t(r->format & 0x7F) << 8);
    if (!fmt) fmt = d.defaults.default16;
    DDSURFACEDESC2 desc = fmt->desc;
    desc.dwWidth = DWORD(r->width);
    desc.dwHeight = DWORD(r->height);
    if (r->format & 0x80) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
        desc.dwMipMapCount = DWORD(MipCount(desc.dwWidth, desc.dwHeight));
    }
    bool ok = SUCCEEDED(d.dd->CreateSurface(&desc, &rd->surface, nullptr)) && rd->surface;
    if (ok && fmt->paletteCaps) {
        PALETTEENTRY entries[256] = {};
        ok = SUCCEEDED(d.dd->CreatePalette(fmt->paletteCaps, entries, &rd->palette, nullptr)) &&
             rd->palette && SUCCEEDED(rd->surface->SetPalette(rd->palette));
    }
    ok = ok &&
         SUCCEEDED(rd->surface->QueryInterface(IID_IDirect3DTexture2,
                                               reinterpret_cast<void**>(&rd->texture))) &&
         rd->texture;
    if (!ok) {
        TvD3DRelease(rd->texture);
        TvD3DRelease(rd->palette);
        TvD3DRelease(rd->surface);
        DropFormatBlock(rd->format);
        TvD3DError("Failed to create DD Surface for Texture");
        return false;
    }
    rd->format->format = desc.ddpfPixelFormat;
    rd->colourKeyed = desc.dwFlags & DDSD_CKSRCBLT;
    r->depth = int32_t(desc.ddpfPixelFormat.dwRGBBitCount);
    r->stride = 0;
    TvD3DTextureChainAdd(rd->surface, rd);
    return true;
}

// A new surface from a template at the raster's size, or a shared one with a reference added;
// format, depth and stride come from its description.
bool TakeSurface(TvRaster* r, TvD3DRasterData* rd, const DDSURFACEDESC2* newFrom,
                 IDirectDrawSurface4* shared) {
    if (newFrom) {
        DDSURFACEDESC2 desc = *newFrom;
        desc.dwWidth = DWORD(r->width);
        desc.dwHeight = DWORD(r->height);
        if (FAILED(D().dd->CreateSurface(&desc, &rd->surface, nullptr)) || !rd->surface) {
            rd->surface = nullptr;
            DropFormatBlock(rd->format);
            return false;
        }
    } else {
        if (!shared) {
            DropFormatBlock(rd->format);
            return false;
        }
        shared->AddRef();
        rd->surface = shared;
    }
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    rd->surface->GetSurfaceDesc(&desc);
    rd->format->format = desc.ddpfPixelFormat;
    r->depth = int32_t(desc.ddpfPixelFormat.dwRGBBitCount);
    r->stride = desc.lPitch;
    return true;
}

// Leaves the ring of targets bound to one raster; the raster's first target moves on.
void Unbind(TvD3DRenderTarget* t) {
    if (t->raster && t->raster->target == t) t->raster->target = t->next != t ? t->next : nullptr;
    TvD3DRenderTarget* p = t;
    while (p->next != t)
        p = p->next;
    p->next = t->next;
    t->next = t;
    t->raster = nullptr;
}

void ReleaseTargetObjects(TvD3DRenderTarget* t) {
    TvD3DRelease(t->viewport);
    TvD3DRelease(t->device);
    TvD3DRelease(t->z);
    TvD3DRelease(t->colour);
}

bool RebuildTarget(TvCamera* camera, TvD3DRenderTarget* t) {
    TvD3DDriverState& d = D();
    ReleaseTargetObjects(t);
    Unbind(t);
    TvD3DRasterData* fb = Data(camera->frameBuffer);
    if (TvD3DRenderTarget* other = fb->target) {
        // Cameras drawing into the same raster share one device and viewport.
        TvD3DRelease(t->material);
        t->colour = other->colour;
        t->z = other->z;
        t->device = other->device;
        t->viewport = other->viewport;
        t->material = other->material;
        for (IUnknown* u : {static_cast<IUnknown*>(t->colour), static_cast<IUnknown*>(t->z),
                            static_cast<IUnknown*>(t->device), static_cast<IUnknown*>(t->viewport),
                            static_cast<IUnknown*>(t->material)})
            if (u) u->AddRef();
        t->backRed = other->backRed;
        t->backGreen = other->backGreen;
        t->backBlue = other->backBlue;
        t->next = other->next;
        other->next = t;
        t->raster = fb;
        return true;
    }
    if (!fb->surface || !t->material) return false;
    t->colour = fb->surface;
    t->colour->AddRef();
    if (camera->zBuffer && Data(camera->zBuffer)->surface) {
        t->z = Data(camera->zBuffer)->surface;
        t->z->AddRef();
        HRESULT r = t->colour->AddAttachedSurface(t->z);
        if (FAILED(r) && r != DDERR_SURFACEALREADYATTACHED) {
            ReleaseTargetObjects(t);
            return false;
        }
    }
    const TvRaster* top =
        camera->frameBuffer->parent ? camera->frameBuffer->parent : camera->frameBuffer;
    D3DVIEWPORT2 vp = {};
    vp.dwSize = sizeof vp;
    vp.dwWidth = DWORD(top->width);
    vp.dwHeight = DWORD(top->height);
    const float aspect = top->width ? float(top->height) / float(top->width) : 1.0f;
    vp.dvClipX = -1.0f;
    vp.dvClipY = aspect;
    vp.dvClipWidth = 2.0f;
    vp.dvClipHeight = 2.0f * aspect;
    vp.dvMaxZ = 1.0f;
    D3DMATERIALHANDLE handle = 0;
    const bool ok =
        SUCCEEDED(d.d3d->CreateDevice(IID_IDirect3DHALDevice, t->colour, &t->device, nullptr)) &&
        t->device && SUCCEEDED(d.d3d->CreateViewport(&t->viewport, nullptr)) && t->viewport &&
        SUCCEEDED(t->device->AddViewport(t->viewport)) &&
        SUCCEEDED(t->viewport->SetViewport2(&vp)) &&
        SUCCEEDED(t->device->SetCurrentViewport(t->viewport)) &&
        SUCCEEDED(t->material->GetHandle(t->device, &handle)) &&
        SUCCEEDED(t->viewport->SetBackground(handle));
    if (!ok) {
        ReleaseTargetObjects(t);
        return false;
    }
    TvD3DSetDefaultRenderStates(t->device);
    t->raster = fb;
    fb->target = t;
    return true;
}

// The target a camera draws through: the start-up one in full-screen mode, else its own,
// rebuilt when its surfaces are no longer the camera's rasters'.
TvD3DRenderTarget* ChooseTarget(TvCamera* camera) {
    TvD3DDriverState& d = D();
    if (d.fullScreen) return &d.startTarget;
    if (!camera->frameBuffer) return nullptr;
    TvD3DRenderTarget* t = TvD3DGetCameraTarget(camera);
    const bool stale = t->colour != Data(camera->frameBuffer)->surface ||
                       (camera->zBuffer && Data(camera->zBuffer)->surface != t->z);
    if (stale && !RebuildTarget(camera, t)) return nullptr;
    return t;
}

void SetFPU() {
    if (!D().fpuSet) {
        TvD3DFPUSetPrecision();
        D().fpuSet = true;
    }
}

int32_t PaletteCount(const TvRaster* r) {
    switch (r->format & 0x60) {
    case 0x20: return 256;
    case 0x40: return 16;
    default: return 0;
    }
}

} // namespace

void* TvD3DCameraTargetConstructor(void* object, int32_t offset, int32_t) {
    auto* t = reinterpret_cast<TvD3DRenderTarget*>(static_cast<uint8_t*>(object) + offset);
    *t = {};
    t->next = t;
    IDirect3D3* d3d = D().d3d;
    if (!d3d || FAILED(d3d->CreateMaterial(&t->material, nullptr)) || !t->material) {
        t->material = nullptr;
        return nullptr;
    }
    D3DMATERIAL m = {};
    m.dwSize = sizeof m;
    m.dwRampSize = 1;
    if (FAILED(t->material->SetMaterial(&m))) {
        TvD3DRelease(t->material);
        return nullptr;
    }
    return object;
}

void* TvD3DCameraTargetDestructor(void* object, int32_t offset, int32_t) {
    auto* t = reinterpret_cast<TvD3DRenderTarget*>(static_cast<uint8_t*>(object) + offset);
    TvD3DRelease(t->material);
    ReleaseTargetObjects(t);
    Unbind(t);
    return object;
}

int32_t TvD3DCameraBeginUpdate(void*, void* in, int32_t) {
    TvD3DDriverState& d = D();
    auto* camera = static_cast<TvCamera*>(in);
    TvMatrixSetMultiplyFunction(TvD3DMatrixMultiply);
    SetFPU();
    d.curCamera = camera;
    TvD3DRenderTarget* t = ChooseTarget(camera);
    if (!t) return 0;
    d.curTarget = t;
    TvD3DPublishFog(camera->fogPlane, camera->farPlane);
    if (d.flipPending && d.primary) {
        while (d.primary->GetFlipStatus(DDGFS_ISFLIPDONE) == DDERR_WASSTILLDRAWING) {
        }
    }
    d.flipPending = false;
    return SUCCEEDED(t->device->BeginScene()) ? 1 : 0;
}

int32_t TvD3DCameraEndUpdate(void*, void*, int32_t) {
    TvD3DDriverState& d = D();
    if (d.curTarget) TvD3DDeferredFlush();
    // The rounding mode is restored even without a scene to end (a clear outside an update).
    if (d.fpuSet) {
        TvD3DFPURestore();
        d.fpuSet = false;
    }
    d.curCamera = nullptr;
    if (!d.curTarget) return 0;
    const bool ended = SUCCEEDED(d.curTarget->device->EndScene());
    d.curTarget = nullptr;
    return ended ? 1 : 0;
}

int32_t TvD3DCameraClear(void* out, void* in, int32_t flags) {
    auto* camera = static_cast<TvCamera*>(out);
    const auto* colour = static_cast<const TvRGBA*>(in);
    SetFPU();
    TvD3DRenderTarget* t = ChooseTarget(camera);
    if (!t || !camera->frameBuffer) return 0;
    if (flags & 1) {
        const TvD3DRasterData* bound = t->raster;
        const bool differs =
            colour->red != t->backRed || colour->green != t->backGreen ||
            colour->blue != t->backBlue ||
            (bound && (colour->red != bound->backRed || colour->green != bound->backGreen ||
                       colour->blue != bound->backBlue));
        if (differs) {
            D3DMATERIAL m = {};
            m.dwSize = sizeof m;
            m.diffuse = {colour->red / 255.0f, colour->green / 255.0f, colour->blue / 255.0f, 0};
            m.dwRampSize = 1;
            D3DMATERIALHANDLE handle = 0;
            if (SUCCEEDED(t->material->SetMaterial(&m)) &&
                SUCCEEDED(t->material->GetHandle(t->device, &handle)) &&
                SUCCEEDED(t->viewport->SetBackground(handle))) {
                if (t->raster) {
                    t->raster->backRed = colour->red;
                    t->raster->backGreen = colour->green;
                    t->raster->backBlue = colour->blue;
                }
                t->backRed = colour->red;
                t->backGreen = colour->green;
                t->backBlue = colour->blue;
            }
        }
    }
    const TvRaster* fb = camera->frameBuffer;
    D3DRECT rect = {fb->offsetX, fb->offsetY, fb->offsetX + fb->width, fb->offsetY + fb->height};
    const DWORD clear = ((flags & 1) ? D3DCLEAR_TARGET : 0) | ((flags & 2) ? D3DCLEAR_ZBUFFER : 0);
    if (FAILED(t->viewport->Clear(1, &rect, clear))) return 0;
    TvD3DSetDefaultRenderStates(t->device);
    return 1;
}

int32_t TvD3DRasterCreate(void*, void* in, int32_t number) {
    TvD3DDriverState& d = D();
    auto* r = static_cast<TvRaster*>(in);
    const uint32_t flags = uint32_t(number);
    TvD3DRasterData* rd = Data(r);
    *rd = {};
    r->pixels = nullptr;
    r->type = uint8_t(flags & kTvRasterTypeMask);
    r->createFlags = uint8_t(flags & 0xF8);
    bool resolved = false;
    switch (r->type) {
    case kTvRasterTypeTexture: resolved = ResolveTexture(r, flags); break;
    case kTvRasterTypeNormal:
    case kTvRasterTypeCamera:
        resolved = ResolveOwnFormat(r, flags, d.frameBufferCode, int32_t(DisplayDepth()));
        break;
    case kTvRasterTypeZBuffer:
        resolved = ResolveOwnFormat(r, flags, d.zBufferCode,
                                    int32_t(d.zTemplate.ddpfPixelFormat.dwZBufferBitDepth));
        break;
    default: resolved = FormatError(); break;
    }
    if (!resolved) return 0;

    rd->format = static_cast<TvD3DPixelFormatBlock*>(TvMalloc(sizeof(TvD3DPixelFormatBlock)));
    if (!rd->format) {
        TvErrorReport(0, E_TV_NOMEM);
        return 0;
    }
    rd->format->refCount = 1;
    rd->format->format = d.primaryDesc.ddpfPixelFormat;

    if (r->width <= 0 || r->height <= 0) {
        r->createFlags = kTvRasterDontAllocate;
        r->stride = 0;
        if (r->depth == 0) r->depth = 16;
        return 1;
    }
    if (r->createFlags & kTvRasterDontAllocate) {
        if (r->type == kTvRasterTypeZBuffer || r->type == kTvRasterTypeCamera)
            rd->format->format = {};
        return 1;
    }
    switch (r->type) {
    case kTvRasterTypeTexture: return CreateTextureSurface(r, rd) ? 1 : 0;
    case kTvRasterTypeNormal: return TakeSurface(r, rd, &d.systemTemplate, nullptr) ? 1 : 0;
    case kTvRasterTypeZBuffer:
        if (d.noZ) {
            rd->format->format = {};
            r->depth = 0;
            r->stride = 0;
            return 1;
        }
        if (d.fullScreen) {
            if (!TakeSurface(r, rd, nullptr, d.startTarget.z)) return 0;
            r->depth = int32_t(d.zBufferDesc.ddpfPixelFormat.dwZBufferBitDepth);
            return 1;
        }
        return TakeSurface(r, rd, &d.zTemplate, nullptr) ? 1 : 0;
    default: // camera
        if (d.fullScreen) return TakeSurface(r, rd, nullptr, d.startTarget.colour) ? 1 : 0;
        return TakeSurface(r, rd, &d.targetTemplate, nullptr) ? 1 : 0;
    }
}

int32_t TvD3DRasterDestroy(void*, void* in, int32_t) {
    auto* r = static_cast<TvRaster*>(in);
    TvD3DRasterData* rd = Data(r);
    // Deferred primitives drawn with this raster are drawn while it still exists.
    if (TvD3DSortBufferUses(r)) TvD3DDeferredFlush();
    if (TvD3DRenderStates.block.texture == r) {
        // During a camera update the device lets go of it too, so that the cache stays true.
        if (!TvD3DDriver.curTarget || !TvRenderStateSetD3D(1, 0))
            TvD3DRenderStates.block.texture = nullptr;
    }
    if (TvD3DDriver.context == r) TvD3DDriver.context = nullptr;
    if (!(r->createFlags & kTvRasterDontAllocate)) {
        TvD3DRelease(rd->texture);
        TvD3DRelease(rd->palette);
        TvD3DRelease(rd->surface);
    }
    rd->surface = nullptr;
    TvD3DTextureChainRemove(rd);
    DropFormatBlock(rd->format);
    for (TvD3DRenderTarget* t = rd->target; t && t->raster; t = t->next)
        t->raster = nullptr;
    rd->target = nullptr;
    TvFree(r->palette);
    r->palette = nullptr;
    r->type = 0;
    r->stride = 0;
    r->width = 0;
    r->height = 0;
    return 1;
}

int32_t TvD3DSubRaster(void* out, void* in, int32_t) {
    auto* child = static_cast<TvRaster*>(out);
    auto* parent = static_cast<TvRaster*>(in);
    TvD3DRasterData* cd = Data(child);
    TvD3DRasterData* pd = Data(parent);
    cd->target = nullptr;
    DropFormatBlock(cd->format);
    child->stride = parent->stride;
    child->depth = parent->depth;
    child->type = parent->type;
    child->format = parent->format;
    child->pixels = nullptr;
    cd->format = pd->format;
    if (cd->format) cd->format->refCount++;
    cd->surface = pd->surface;
    return 1;
}

int32_t TvD3DTextureSetRaster(void* out, void* in, int32_t) {
    *static_cast<TvRaster**>(out) = static_cast<TvRaster*>(in);
    return 1;
}

int32_t TvD3DRasterLock(void* out, void* in, int32_t mode) {
    auto* r = static_cast<TvRaster*>(in);
    TvD3DRasterData* rd = Data(r);
    if (!rd->surface || (rd->format && (rd->format->format.dwFlags & DDPF_FOURCC))) return 0;
    DDSURFACEDESC2 desc;
    void* memory = nullptr;
    switch (mode & 3) {
    case 1: memory = TvD3DSurfaceLockWrite(rd->surface, &desc); break;
    case 2: memory = TvD3DSurfaceLockRead(rd->surface, &desc); break;
    case 3: memory = TvD3DSurfaceLock(rd->surface, &desc); break;
    default: break;
    }
    if (!memory) {
        TvD3DError("Failed to lock D3D surface");
        return 0;
    }
    // The raster's rectangle must lie inside the surface it hands out.
    if (r->width < 0 || r->height < 0 || uint32_t(r->offsetX) + uint32_t(r->width) > desc.dwWidth ||
        uint32_t(r->offsetY) + uint32_t(r->height) > desc.dwHeight) {
        rd->surface->Unlock(nullptr);
        TvD3DError("Failed to lock D3D surface");
        return 0;
    }
    const size_t bpp = size_t((r->depth + 7) / 8);
    r->pixels = static_cast<uint8_t*>(memory) + size_t(r->offsetY) * size_t(desc.lPitch) +
                size_t(r->offsetX) * bpp;
    r->stride = desc.lPitch;
    if (out) *static_cast<uint8_t**>(out) = r->pixels;
    return 1;
}

int32_t TvD3DRasterUnlock(void*, void* in, int32_t) {
    auto* r = static_cast<TvRaster*>(in);
    TvD3DRasterData* rd = Data(r);
    if (!rd->surface) return 0;
    if (!TvD3DSurfaceUnlock(rd->surface)) {
        TvD3DError("Failed to unlock D3D surface");
        return 0;
    }
    r->pixels = nullptr;
    return 1;
}

int32_t TvD3DPaletteLock(void* out, void* in, int32_t) {
    auto* r = static_cast<TvRaster*>(in);
    TvD3DRasterData* rd = Data(r);
    TvFree(r->palette);
    r->palette = nullptr;
    const int32_t count = PaletteCount(r);
    if (count == 0 || !rd->palette) {
        if (out) *static_cast<uint32_t**>(out) = nullptr;
        return 0;
    }
    auto* copy = static_cast<uint32_t*>(TvMalloc(size_t(count) * 4));
    if (!copy) {
        TvErrorReport(0, E_TV_NOMEM);
        return 0;
    }
    PALETTEENTRY entries[256] = {};
    rd->palette->GetEntries(0, 0, DWORD(count), entries);
    for (int32_t i = 0; i < count; ++i)
        copy[i] = uint32_t(entries[i].peFlags) << 24 | uint32_t(entries[i].peRed) << 16 |
                  uint32_t(entries[i].peGreen) << 8 | entries[i].peBlue;
    r->palette = reinterpret_cast<uint8_t*>(copy);
    if (out) *static_cast<uint32_t**>(out) = copy;
    return 1;
}

int32_t TvD3DPaletteUnlock(void*, void* in, int32_t) {
    auto* r = static_cast<TvRaster*>(in);
    TvD3DRasterData* rd = Data(r);
    if (!r->palette) return 0;
    const auto* copy = reinterpret_cast<const uint32_t*>(r->palette);
    const int32_t count = PaletteCount(r);
    if (count > 0 && rd->palette) {
        PALETTEENTRY entries[256];
        for (int32_t i = 0; i < count; ++i)
            entries[i] = {uint8_t(copy[i] >> 16), uint8_t(copy[i] >> 8), uint8_t(copy[i]),
                          uint8_t(copy[i] >> 24)};
        rd->palette->SetEntries(0, 0, DWORD(count), entries);
    }
    TvFree(r->palette);
    r->palette = nullptr;
    return 1;
}

int32_t TvD3DImageRasterFormat(void* out, void* in, int32_t number) {
    TvD3DDriverState& d = D();
    auto* r = static_cast<TvRaster*>(out);
    const auto* image = static_cast<const TvImage*>(in);
    const uint32_t flags = uint32_t(number);
    r->width = image->width;
    r->height = image->height;
    r->depth = 0;
    r->type = uint8_t(flags & kTvRasterTypeMask);
    r->createFlags = uint8_t(flags & 0xF8);
    if (r->type <= kTvRasterTypeCamera) return 1;
    if (r->type != kTvRasterTypeTexture) return FormatError() ? 1 : 0;

    // 0 translucent, 1 masked, 2 opaque.
    int32_t kind = 2;
    if (image->pixels && image->width > 0 && image->height > 0 &&
        (image->depth == 32 || (image->depth == 8 && image->palette))) {
        for (int32_t y = 0; y < image->height && kind != 0; ++y) {
            const uint8_t* row = image->pixels + size_t(y) * size_t(image->stride);
            for (int32_t x = 0; x < image->width; ++x) {
                const uint8_t a = image->depth == 8 ? image->palette[row[x]].alpha : row[x * 4 + 3];
                const uint8_t top = image->depth == 8 ? 0xEF : 0xFE;
                if (a >= 0x10 && a <= top) {
                    kind = 0;
                    break;
                }
                if (a <= 0x0F) kind = 1;
            }
        }
    }
    const TvD3DTextureFormat* fmt = d.defaults.alpha[kind][image->depth == 8 ? 2 : 0];
    if (!fmt) return FormatError() ? 1 : 0;
    const bool mip =
        (flags & kTvRasterFormatMipMap) && (d.caps.dpcTriCaps.dwTextureFilterCaps & 0x3C);
    r->format = uint8_t((fmt->code >> 8) | (mip ? 0x80 : 0));

    const D3DDEVICEDESC& c = d.caps;
    auto clamp = [](int32_t v, DWORD lo, DWORD hi) {
        if (hi && v > int32_t(hi)) v = int32_t(hi);
        if (v < int32_t(lo)) v = int32_t(lo);
        return v;
    };
    r->width = clamp(r->width, c.dwMinTextureWidth, c.dwMaxTextureWidth);
    r->height = clamp(r->height, c.dwMinTextureHeight, c.dwMaxTextureHeight);
    if (mip || (c.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2)) {
        auto floorPow2 = [](int32_t v) {
            int32_t p = 1;
            while (v > 0 && p <= v / 2)
                p <<= 1;
            return v > 0 ? p : 0;
        };
        r->width = floorPow2(r->width);
        r->height = floorPow2(r->height);
    }
    if (c.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY)
        r->width = r->height = std::min(r->width, r->height);
    return 1;
}

int32_t TvD3DImageFromRaster(void* out, void* in, int32_t) {
    auto* image = static_cast<TvImage*>(out);
    auto* r = static_cast<TvRaster*>(in);
    if (!image->pixels) return 0;
    if (image->depth != 32) {
        TvErrorReport(0, E_TV_IMAGEDEPTH);
        return 0;
    }
    uint8_t* pixels = nullptr;
    if (!TvD3DRasterLock(&pixels, r, 2)) return 0;
    const DDPIXELFORMAT pf = Data(r)->format ? Data(r)->format->format : DDPIXELFORMAT{};
    const int32_t bpp = (r->depth + 7) / 8;
    if (bpp >= 2 && bpp <= 4) {
        const int32_t width = std::min(image->width, r->width);
        const int32_t height = std::min(image->height, r->height);
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* src = pixels + size_t(y) * size_t(r->stride);
            auto* dst =
                reinterpret_cast<TvRGBA*>(image->pixels + size_t(y) * size_t(image->stride));
            for (int32_t x = 0; x < width; ++x) {
                uint32_t p = 0;
                std::memcpy(&p, src + x * bpp, size_t(bpp));
                dst[x] = TvD3DPixelFormatToRGBA(pf, p);
            }
        }
    }
    TvD3DRasterUnlock(nullptr, r, 0);
    return 1;
}

int32_t TvD3DShowRaster(void* out, void* in, int32_t flags) {
    TvD3DDriverState& d = D();
    auto* r = static_cast<TvRaster*>(out);
    if (!d.primary) return 0;
    if (d.fullScreen) {
        const DWORD flip = DDFLIP_WAIT | ((flags & 1) ? 0 : DDFLIP_NOVSYNC);
        if (FAILED(d.primary->Flip(nullptr, flip))) return 0;
        d.flipPending = true;
        return 1;
    }
    auto window = static_cast<HWND>(in);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT dst = {origin.x, origin.y, origin.x + r->width, origin.y + r->height};
    RECT src = {r->offsetX, r->offsetY, r->offsetX + r->width, r->offsetY + r->height};
    if (!d.clipper || FAILED(d.clipper->SetHWnd(0, window))) return 0;
    TvD3DRasterData* rd = Data(r);
    return SUCCEEDED(d.primary->Blt(&dst, rd->surface, &src, DDBLT_WAIT, nullptr)) ? 1 : 0;
}

int32_t TvD3DSetReplayOrder(void*, void*, int32_t flag) {
    D().replayOrder = flag ? 2 : 1;
    return 1;
}

const TvD3DStandardPair TvD3DStandardPairs[] = {
    {1, TvD3DCameraBeginUpdate}, {2, TvD3DColourToPixel},    {3, TvD3DPixelToColour},
    {4, TvD3DRasterCreate},      {5, TvD3DRasterDestroy},    {6, TvD3DImageFromRaster},
    {7, TvD3DRasterFromImage},   {8, TvD3DTextureSetRaster}, {9, TvD3DImageRasterFormat},
    {10, TvD3DCameraEndUpdate},  {11, TvD3DSetContext},      {12, TvD3DSubRaster},
    {13, TvD3DClearRect},        {14, TvD3DClearAll},        {15, TvD3DRasterLock},
    {16, TvD3DRasterUnlock},     {17, TvD3DRenderKeyed},     {18, TvD3DRenderScaled},
    {19, TvD3DRenderPlain},      {20, TvD3DShowRaster},      {21, TvD3DCameraClear},
    {22, TvD3DSetReplayOrder},   {23, TvD3DBuildMeshes},     {24, TvD3DPaletteLock},
    {25, TvD3DPaletteUnlock},    {26, TvD3DNativeTextureSize}, {27, TvD3DNativeTextureRead},
    {28, TvD3DNativeTextureWrite},
};
const int32_t TvD3DNumStandardPairs =
    int32_t(sizeof TvD3DStandardPairs / sizeof TvD3DStandardPairs[0]);
