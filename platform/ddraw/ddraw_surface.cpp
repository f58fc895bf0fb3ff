#include "platform/ddraw/ddraw_surface.h"

#include "platform/ddraw/ddraw_gl.h"
#include "platform/ddraw/ddraw_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int g_liveObjects = 0;
uint64_t g_videoBytes = 0;

constexpr DWORD kMaxSurfaceSide = 4096;
constexpr DWORD kMaxTextureSide = 1024;

bool IsRgbFormat(const DDPIXELFORMAT& f) {
    if (!(f.dwFlags & DDPF_RGB) || (f.dwFlags & 0x1838)) return false;
    DWORD bits = f.dwRGBBitCount;
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
           (f.dwRBitMask | f.dwGBitMask | f.dwBBitMask) != 0;
}

bool IsZFormat(const DDPIXELFORMAT& f) {
    DWORD bits = f.dwZBufferBitDepth;
    return (f.dwFlags & DDPF_ZBUFFER) && (bits == 16 || bits == 24 || bits == 32);
}

bool Usable(const DDPIXELFORMAT& f, bool z) {
    return z ? IsZFormat(f) : IsRgbFormat(f) || DDrawIsDxt(f);
}

bool VideoMemory(const DDSURFACEDESC2& d) {
    return !(d.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
}

} // namespace

void DDrawCountObject(int delta) {
    g_liveObjects += delta;
    // With the last object gone the OpenGL side lets go of everything it holds.
    if (delta < 0 && g_liveObjects == 0) DDrawGlRelease();
}
int DDrawLiveObjects() {
    return g_liveObjects;
}
uint64_t DDrawVideoBytesInUse() {
    return g_videoBytes;
}

// ---- Creation ----

DDrawSurface::DDrawSurface(const std::shared_ptr<DDrawDisplay>& display, DDrawRole role,
                           const DDSURFACEDESC2& desc)
    : display_(display), role_(role), desc_(desc) {
    DDPIXELFORMAT& f = desc_.ddpfPixelFormat;
    f.dwSize = sizeof(DDPIXELFORMAT);
    desc_.dwSize = sizeof(DDSURFACEDESC2);
    desc_.lpSurface = nullptr;
    size_t bytes;
    if (DDrawIsDxt(f)) {
        bytes = DDrawDxtLevelSize(f.dwFourCC, desc_.dwWidth, desc_.dwHeight);
        desc_.dwLinearSize = static_cast<DWORD>(bytes);
        desc_.dwFlags = (desc_.dwFlags & ~DDSD_PITCH) | DDSD_LINEARSIZE;
    } else {
        // Rows padded to 4 bytes, as display memory usually is.
        int bpp = role == DDrawRole::ZBuffer ? static_cast<int>((f.dwZBufferBitDepth + 7) / 8)
                                             : DDrawBytesPerPixel(f);
        DWORD pitch = (desc_.dwWidth * static_cast<DWORD>(bpp) + 3) & ~3u;
        desc_.lPitch = static_cast<LONG>(pitch);
        desc_.dwFlags = (desc_.dwFlags & ~DDSD_LINEARSIZE) | DDSD_PITCH;
        bytes = static_cast<size_t>(pitch) * desc_.dwHeight;
    }
    desc_.dwFlags |= DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    memory_.assign(bytes, 0);
    if (VideoMemory(desc_)) g_videoBytes += bytes;
}

DDrawSurface::~DDrawSurface() {
    if (VideoMemory(desc_)) g_videoBytes -= memory_.size();
    for (DDrawSurface* member : chain_) {
        member->root_ = nullptr;
        delete member;
    }
    for (DDrawSurface* s : attached_) {
        if (s->zOwner_ == this) s->zOwner_ = nullptr;
        s->Release();
    }
    if (palette_) palette_->Release();
    if (clipper_) clipper_->Release();
    DDrawGlDeleteTexture(gl_);
}

HRESULT DDrawSurface::Create(const std::shared_ptr<DDrawDisplay>& display, const DDSURFACEDESC2& in,
                             DDrawSurface** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!(in.dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
    DDSURFACEDESC2 d = in;
    DWORD caps = d.ddsCaps.dwCaps;
    if (caps & DDSCAPS_NONLOCALVIDMEM) return DDERR_OUTOFVIDEOMEMORY; // none on this display

    DDPIXELFORMAT display565 = DDrawRgbFormat(16, 0, 5, 6, 5);
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        d.dwWidth = display->width;
        d.dwHeight = display->height;
        d.ddpfPixelFormat = display565;
        bool flip = (caps & DDSCAPS_FLIP) != 0;
        if (flip && (!(d.dwFlags & DDSD_BACKBUFFERCOUNT) || d.dwBackBufferCount < 1))
            return DDERR_INVALIDPARAMS;
        d.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_3DDEVICE;
        if (flip) d.ddsCaps.dwCaps |= DDSCAPS_FRONTBUFFER;
        auto* primary = new DDrawSurface(display, DDrawRole::Primary, d);
        if (flip) {
            DDSURFACEDESC2 b = d;
            b.dwFlags &= ~DDSD_BACKBUFFERCOUNT;
            b.dwBackBufferCount = 0;
            b.ddsCaps.dwCaps =
                (d.ddsCaps.dwCaps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) |
                DDSCAPS_BACKBUFFER;
            auto* back = new DDrawSurface(display, DDrawRole::BackBuffer, b);
            back->root_ = primary;
            back->refs_ = 0; // held by its chain, not by a caller
            primary->next_ = back;
            primary->chain_.push_back(back);
        }
        *out = primary;
        return DD_OK;
    }

    if ((d.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || !d.dwWidth ||
        !d.dwHeight || d.dwWidth > kMaxSurfaceSide || d.dwHeight > kMaxSurfaceSide)
        return DDERR_INVALIDPARAMS;
    const bool z = (caps & DDSCAPS_ZBUFFER) != 0;
    if (!(d.dwFlags & DDSD_PIXELFORMAT)) {
        if (z) return DDERR_INVALIDPIXELFORMAT;
        d.ddpfPixelFormat = display565;
    }
    if (!Usable(d.ddpfPixelFormat, z)) return DDERR_INVALIDPIXELFORMAT;

    if (z) {
        *out = new DDrawSurface(display, DDrawRole::ZBuffer, d);
        return DD_OK;
    }
    if (caps & DDSCAPS_TEXTURE) {
        if (d.dwWidth > kMaxTextureSide || d.dwHeight > kMaxTextureSide) return DDERR_INVALIDPARAMS;
        DWORD levels = 1;
        if ((d.dwFlags & DDSD_MIPMAPCOUNT) && (caps & DDSCAPS_MIPMAP)) {
            DWORD most = 1;
            for (DWORD side = std::max(d.dwWidth, d.dwHeight); side > 1; side >>= 1)
                ++most;
            levels = d.dwMipMapCount;
            if (levels < 1 || levels > most) return DDERR_INVALIDPARAMS;
        } else {
            d.dwFlags &= ~DDSD_MIPMAPCOUNT;
            d.ddsCaps.dwCaps &= ~DDSCAPS_MIPMAP;
        }
        d.dwMipMapCount = levels;
        auto* top = new DDrawSurface(display, DDrawRole::Texture, d);
        DDrawSurface* previous = top;
        for (DWORD k = 1; k < levels; ++k) {
            DDSURFACEDESC2 l = d;
            l.dwWidth = std::max<DWORD>(1, d.dwWidth >> k);
            l.dwHeight = std::max<DWORD>(1, d.dwHeight >> k);
            l.dwMipMapCount = levels - k;
            l.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX |
                               (d.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
            auto* level = new DDrawSurface(display, DDrawRole::Texture, l);
            level->root_ = top;
            level->refs_ = 0;
            top->chain_.push_back(level);
            previous->next_ = level;
            previous = level;
        }
        *out = top;
        return DD_OK;
    }
    if (DDrawIsDxt(d.ddpfPixelFormat)) return DDERR_INVALIDPIXELFORMAT;
    DDrawRole role = (caps & DDSCAPS_3DDEVICE) ? DDrawRole::RenderTarget : DDrawRole::Plain;
    *out = new DDrawSurface(display, role, d);
    return DD_OK;
}

DDrawSurface* DDrawSurface::FromTexture(IDirect3DTexture2* texture) {
    return static_cast<DDrawSurface*>(texture);
}

DDrawSurface* DDrawSurface::FromSurface(IDirectDrawSurface4* surface) {
    return static_cast<DDrawSurface*>(surface);
}

// ---- IUnknown ----

HRESULT DDrawSurface::QueryInterface(REFIID iid, void** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDirectDrawSurface4) {
        *out = static_cast<IDirectDrawSurface4*>(this);
    } else if (iid == IID_IDirect3DTexture2) {
        if (role_ != DDrawRole::Texture) return E_NOINTERFACE;
        *out = static_cast<IDirect3DTexture2*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return DD_OK;
}

ULONG DDrawSurface::Release() {
    if (!refs_) return 0; // a chain member already at 0 waits for its chain
    ULONG left = --refs_;
    if (!left && !root_) delete this;
    return left;
}

// ---- Attachments ----

HRESULT DDrawSurface::AddAttachedSurface(IDirectDrawSurface4* surface) {
    if (!surface || surface == this) return DDERR_INVALIDPARAMS;
    DDrawSurface* s = FromSurface(surface);
    if (s->role_ != DDrawRole::ZBuffer || !IsColorTarget()) return DDERR_INVALIDCAPS;
    if (s->Width() != Width() || s->Height() != Height()) return DDERR_INVALIDPARAMS;
    // Attaching the same pair again (a target rebuilt on the same rasters) changes nothing; a
    // z-buffer may serve several colour surfaces of its size, one colour surface one z-buffer.
    if (AttachedZ() == s) return DD_OK;
    if (AttachedZ()) return DDERR_SURFACEALREADYATTACHED;
    s->AddRef();
    s->zOwner_ = this;
    attached_.push_back(s);
    return DD_OK;
}

HRESULT DDrawSurface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** out) {
    if (!caps || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    auto matches = [caps](DDrawSurface* s) {
        return s && (s->desc_.ddsCaps.dwCaps & caps->dwCaps) == caps->dwCaps;
    };
    DDrawSurface* found = matches(next_) ? next_ : nullptr;
    for (DDrawSurface* s : attached_)
        if (!found && matches(s)) found = s;
    if (!found) return DDERR_NOTFOUND;
    found->AddRef();
    *out = found;
    return DD_OK;
}

DDrawSurface* DDrawSurface::AttachedZ() const {
    for (DDrawSurface* s : attached_)
        if (s->role_ == DDrawRole::ZBuffer) return s;
    return nullptr;
}

bool DDrawSurface::IsColorTarget() const {
    return role_ == DDrawRole::Primary || role_ == DDrawRole::BackBuffer ||
           role_ == DDrawRole::RenderTarget;
}

bool DDrawSurface::HasAlpha() const {
    const DDPIXELFORMAT& f = desc_.ddpfPixelFormat;
    return DDrawIsDxt(f) || ((f.dwFlags & DDPF_ALPHAPIXELS) && f.dwRGBAlphaBitMask);
}

// ---- Description, lock ----

HRESULT DDrawSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = desc_;
    desc->lpSurface = nullptr;
    return DD_OK;
}

bool DDrawSurface::ValidRect(const RECT* rect, RECT* out) const {
    RECT r = {0, 0, static_cast<LONG>(Width()), static_cast<LONG>(Height())};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > r.right || rect->bottom > r.bottom ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return false;
        r = *rect;
    }
    *out = r;
    return true;
}

HRESULT DDrawSurface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE) {
    if (!desc) return DDERR_INVALIDPARAMS;
    if (locked_) return DDERR_SURFACEBUSY;
    RECT r;
    if (!ValidRect(rect, &r)) return DDERR_INVALIDRECT;
    if (rect && DDrawIsDxt(Format())) return DDERR_INVALIDPARAMS;
    if (!EnsureCpu()) return DDERR_GENERIC;
    locked_ = true;
    lockFlags_ = flags;
    *desc = desc_;
    size_t offset = 0;
    if (!DDrawIsDxt(Format())) {
        int bpp = role_ == DDrawRole::ZBuffer
                      ? static_cast<int>((Format().dwZBufferBitDepth + 7) / 8)
                      : DDrawBytesPerPixel(Format());
        offset = static_cast<size_t>(r.top) * static_cast<size_t>(desc_.lPitch) +
                 static_cast<size_t>(r.left) * static_cast<size_t>(bpp);
    }
    desc->lpSurface = memory_.data() + offset;
    return DD_OK;
}

HRESULT DDrawSurface::Unlock(RECT*) {
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    if (!(lockFlags_ & DDLOCK_READONLY)) {
        gpuValid_ = false;
        cpuValid_ = true;
        PresentIfVisible({0, 0, static_cast<LONG>(Width()), static_cast<LONG>(Height())});
    }
    return DD_OK;
}

HRESULT DDrawSurface::SetClipper(IDirectDrawClipper* clipper) {
    auto* c = static_cast<DDrawClipper*>(clipper);
    if (c) c->AddRef();
    if (clipper_) clipper_->Release();
    clipper_ = c;
    if (c && c->Window()) display_->window = c->Window();
    return DD_OK;
}

HRESULT DDrawSurface::SetPalette(IDirectDrawPalette* palette) {
    auto* p = static_cast<DDrawPalette*>(palette);
    if (p) p->AddRef();
    if (palette_) palette_->Release();
    palette_ = p;
    return DD_OK;
}

// ---- Memory and OpenGL copies ----

DWORD DDrawSurface::ZMax() const {
    DWORD bits = Format().dwZBufferBitDepth;
    return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
}

bool DDrawSurface::EnsureCpu() {
    if (cpuValid_) return true;
    if (!gl_) return false;
    DDrawNearestRounding nearest;
    const DWORD w = Width(), h = Height();
    const size_t pitch = static_cast<size_t>(desc_.lPitch);
    if (role_ == DDrawRole::ZBuffer) {
        std::vector<float> depth(static_cast<size_t>(w) * h);
        DDrawGlReadDepth(gl_, static_cast<int>(w), static_cast<int>(h), depth.data());
        int bpp = static_cast<int>((Format().dwZBufferBitDepth + 7) / 8);
        double zmax = ZMax();
        for (DWORD y = 0; y < h; ++y)
            for (DWORD x = 0; x < w; ++x) {
                double v = std::clamp<double>(depth[y * w + x], 0.0, 1.0) * zmax + 0.5;
                DDrawStorePixel(&memory_[y * pitch + x * static_cast<size_t>(bpp)], bpp,
                                static_cast<uint32_t>(v));
            }
    } else {
        std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
        DDrawGlReadRgba(gl_, static_cast<int>(w), static_cast<int>(h), rgba.data());
        for (DWORD y = 0; y < h; ++y)
            DDrawEncodeRow(Format(), &rgba[static_cast<size_t>(y) * w * 4], w, &memory_[y * pitch]);
    }
    cpuValid_ = true;
    return true;
}

bool DDrawSurface::EnsureGpu() {
    DDrawNearestRounding nearest;
    const DWORD w = Width(), h = Height();
    if (!gl_) {
        gl_ = DDrawGlCreateTexture(role_ == DDrawRole::ZBuffer ? DDRAW_GL_DEPTH
                                                               : DDRAW_GL_COLOR_TARGET,
                                   static_cast<int>(w), static_cast<int>(h), 1);
        if (!gl_) return false;
        gpuValid_ = false;
    }
    if (gpuValid_) return true;
    const size_t pitch = static_cast<size_t>(desc_.lPitch);
    if (role_ == DDrawRole::ZBuffer) {
        std::vector<float> depth(static_cast<size_t>(w) * h);
        int bpp = static_cast<int>((Format().dwZBufferBitDepth + 7) / 8);
        double zmax = ZMax();
        for (DWORD y = 0; y < h; ++y)
            for (DWORD x = 0; x < w; ++x)
                depth[y * w + x] = static_cast<float>(
                    DDrawLoadPixel(&memory_[y * pitch + x * static_cast<size_t>(bpp)], bpp) / zmax);
        DDrawGlWriteDepth(gl_, static_cast<int>(w), static_cast<int>(h), depth.data());
    } else {
        std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
        for (DWORD y = 0; y < h; ++y)
            DDrawDecodeRow(Format(), &memory_[y * pitch], w, &rgba[static_cast<size_t>(y) * w * 4],
                           false, 0);
        DDrawGlUploadRgba(gl_, 0, static_cast<int>(w), static_cast<int>(h), rgba.data());
    }
    gpuValid_ = true;
    return true;
}

uint32_t DDrawSurface::GpuTarget() {
    if (role_ != DDrawRole::ZBuffer && !IsColorTarget()) return 0;
    return EnsureGpu() ? gl_ : 0;
}

void DDrawSurface::GpuClear(const RECT& rect, bool color, const uint8_t rgba[4], bool depth,
                            float z) {
    if (!EnsureGpu()) return;
    // Cleared through the colour and z pair that drawing uses, when both are on the GPU.
    DDrawSurface* partner = role_ == DDrawRole::ZBuffer ? zOwner_ : AttachedZ();
    uint32_t other = partner && partner->gpuValid_ ? partner->gl_ : 0;
    // A format without alpha keeps alpha 1 (see DDrawGlDrawState).
    const uint8_t fill[4] = {rgba[0], rgba[1], rgba[2], HasAlpha() ? rgba[3] : uint8_t(255)};
    rgba = fill;
    if (role_ == DDrawRole::ZBuffer)
        DDrawGlClear(other, gl_, static_cast<int>(Width()), static_cast<int>(Height()), rect, false,
                     rgba, depth, z);
    else
        DDrawGlClear(gl_, other, static_cast<int>(Width()), static_cast<int>(Height()), rect, color,
                     rgba, false, z);
    cpuValid_ = false;
}

uint32_t DDrawSurface::GpuTexture() {
    if (role_ != DDrawRole::Texture) return 0;
    if (root_) return root_->GpuTexture();
    const int levels = 1 + static_cast<int>(chain_.size());
    if (!gl_) {
        gl_ = DDrawGlCreateTexture(DDRAW_GL_TEXTURE, static_cast<int>(Width()),
                                   static_cast<int>(Height()), levels);
        if (!gl_) return 0;
    }
    for (int k = 0; k < levels; ++k) {
        DDrawSurface* level = k == 0 ? this : chain_[static_cast<size_t>(k - 1)];
        if (level->gpuValid_) continue;
        const DWORD w = level->Width(), h = level->Height();
        const DDPIXELFORMAT& f = level->Format();
        bool done = false;
        if (DDrawIsDxt(f)) {
            done = DDrawGlUploadDxt(gl_, k, f.dwFourCC, static_cast<int>(w), static_cast<int>(h),
                                    level->memory_.data(), static_cast<int>(level->memory_.size()));
        }
        if (!done) {
            std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
            if (DDrawIsDxt(f)) {
                DDrawDecodeDxt(f.dwFourCC, level->memory_.data(), w, h, rgba.data());
            } else {
                const size_t pitch = static_cast<size_t>(level->desc_.lPitch);
                for (DWORD y = 0; y < h; ++y)
                    DDrawDecodeRow(f, &level->memory_[y * pitch], w,
                                   &rgba[static_cast<size_t>(y) * w * 4], IsKeyed(),
                                   desc_.ddckCKSrcBlt.dwColorSpaceLowValue);
            }
            DDrawGlUploadRgba(gl_, k, static_cast<int>(w), static_cast<int>(h), rgba.data());
        }
        level->gpuValid_ = true;
    }
    return gl_;
}

void DDrawSurface::PresentIfVisible(const RECT& rect) {
    // Only a primary without a flip chain (the windowed desktop) shows what is written to it.
    if (role_ != DDrawRole::Primary || next_ || !display_->window) return;
    if (!EnsureGpu()) return;
    DDrawGlPresent(display_->window, gl_, static_cast<int>(Width()), static_cast<int>(Height()),
                   rect, false);
}

// ---- Blt and Flip ----

HRESULT DDrawSurface::Fill(const RECT& r, DWORD value, bool depth) {
    if (depth) {
        if (role_ != DDrawRole::ZBuffer) return DDERR_INVALIDPARAMS;
        uint8_t none[4] = {};
        GpuClear(r, false, none, true, static_cast<float>(static_cast<double>(value) / ZMax()));
        return gl_ ? DD_OK : DDERR_GENERIC;
    }
    if (role_ == DDrawRole::ZBuffer || DDrawIsDxt(Format())) return DDERR_INVALIDPARAMS;
    if (IsColorTarget()) {
        uint8_t rgba[4];
        DDrawPixelToRgba(Format(), value, rgba);
        GpuClear(r, true, rgba, false, 0);
        if (!gl_) return DDERR_GENERIC;
        PresentIfVisible(r);
        return DD_OK;
    }
    if (!EnsureCpu()) return DDERR_GENERIC;
    const int bpp = DDrawBytesPerPixel(Format());
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint8_t* row = &memory_[static_cast<size_t>(y) * static_cast<size_t>(desc_.lPitch)];
        for (LONG x = r.left; x < r.right; ++x)
            DDrawStorePixel(row + static_cast<size_t>(x) * static_cast<size_t>(bpp), bpp, value);
    }
    gpuValid_ = false;
    return DD_OK;
}

namespace {

// The RGBA bytes of every value of a one- or two-byte pixel format, for the large blits of such
// surfaces (a full-screen picture each frame of a loading screen): built when a format is first
// met and kept while the same format comes again.
const uint8_t* SmallFormatRgbaTable(const DDrawPixelLayout& l, int bytesPerPixel) {
    static struct {
        DDrawPixelLayout layout{};
        int bytes = 0;
        std::vector<uint8_t> rgba;
    } cache;
    const auto same = [](const DDrawChannel& a, const DDrawChannel& b) {
        return a.mask == b.mask && a.shift == b.shift && a.bits == b.bits;
    };
    if (cache.rgba.empty() || cache.bytes != bytesPerPixel || cache.layout.alpha != l.alpha ||
        !same(cache.layout.r, l.r) || !same(cache.layout.g, l.g) || !same(cache.layout.b, l.b) ||
        !same(cache.layout.a, l.a)) {
        const uint32_t values = 1u << (8 * bytesPerPixel);
        cache.rgba.resize(size_t(values) * 4);
        for (uint32_t p = 0; p < values; ++p)
            DDrawLayoutToRgba(l, p, &cache.rgba[size_t(p) * 4]);
        cache.layout = l;
        cache.bytes = bytesPerPixel;
    }
    return cache.rgba.data();
}

} // namespace

const size_t* DDrawSurface::ColumnMap(LONG left, LONG sw, LONG dw, int bytesPerPixel) {
    columns_.resize(static_cast<size_t>(dw));
    for (LONG x = 0; x < dw; ++x)
        columns_[static_cast<size_t>(x)] =
            static_cast<size_t>(left + static_cast<LONG>(static_cast<int64_t>(x) * sw / dw)) *
            static_cast<size_t>(bytesPerPixel);
    return columns_.data();
}

HRESULT DDrawSurface::Copy(const RECT& d, DDrawSurface* src, const RECT& s, bool keyed) {
    if (role_ == DDrawRole::ZBuffer || src->role_ == DDrawRole::ZBuffer) return DDERR_UNSUPPORTED;
    if (!keyed && src != this && IsColorTarget() && src->IsColorTarget()) {
        // Between render targets (the windowed present above all) the copy stays in OpenGL.
        uint32_t from = src->GpuTarget(), to = GpuTarget();
        if (from && to) {
            DDrawGlCopyColor(from, s, to, d);
            cpuValid_ = false;
            PresentIfVisible(d);
            return DD_OK;
        }
    }
    if (IsColorTarget() && gpuValid_ && !cpuValid_ && !src->IsColorTarget() && src->cpuValid_ &&
        !(keyed && src->HasAlpha())) {
        // Into a target whose pixels are in OpenGL (2-D drawing during a frame): the pixels the
        // memory path below would write go up as a texture and are drawn 1:1, rather than
        // reading the target back. A keyed source with alpha of its own has no byte left to
        // carry the key and takes the memory path.
        if (DrawThroughGl(d, src, s, keyed)) {
            PresentIfVisible(d);
            return DD_OK;
        }
    }
    if (!src->EnsureCpu() || !EnsureCpu()) return DDERR_GENERIC;
    const DDPIXELFORMAT& sf = src->Format();
    const DDPIXELFORMAT& df = Format();
    const LONG dw = d.right - d.left, dh = d.bottom - d.top;
    const LONG sw = s.right - s.left, sh = s.bottom - s.top;

    if (DDrawIsDxt(df)) {
        // Compressed destinations take only a whole copy of the same format.
        if (!DDrawIsDxt(sf) || sf.dwFourCC != df.dwFourCC || dw != sw || dh != sh ||
            static_cast<DWORD>(dw) != Width() || static_cast<DWORD>(dh) != Height() ||
            src->memory_.size() != memory_.size())
            return DDERR_UNSUPPORTED;
        memcpy(memory_.data(), src->memory_.data(), memory_.size());
        gpuValid_ = false;
        return DD_OK;
    }

    // Source pixels as a raw-value reader: either the surface memory or decoded DXT texels.
    std::vector<uint8_t> decoded;
    const uint8_t* sbase = src->memory_.data();
    size_t spitch = static_cast<size_t>(src->desc_.lPitch);
    int sbpp = DDrawBytesPerPixel(sf);
    DDPIXELFORMAT rgbaFormat = DDrawRgbFormat(32, 8, 8, 8, 8);
    // RGBA bytes in memory order r, g, b, a read as a little-endian word.
    rgbaFormat.dwRBitMask = 0x000000FF;
    rgbaFormat.dwGBitMask = 0x0000FF00;
    rgbaFormat.dwBBitMask = 0x00FF0000;
    rgbaFormat.dwRGBAlphaBitMask = 0xFF000000;
    const DDPIXELFORMAT* sourceFormat = &sf;
    if (DDrawIsDxt(sf)) {
        decoded.resize(static_cast<size_t>(src->Width()) * src->Height() * 4);
        DDrawDecodeDxt(sf.dwFourCC, src->memory_.data(), src->Width(), src->Height(),
                       decoded.data());
        sbase = decoded.data();
        spitch = static_cast<size_t>(src->Width()) * 4;
        sbpp = 4;
        sourceFormat = &rgbaFormat;
        keyed = false;
    }
    std::vector<uint8_t> own;
    if (src == this) { // overlapping copies read from a snapshot
        own = memory_;
        sbase = own.data();
    }
    const int dbpp = DDrawBytesPerPixel(df);
    const bool same =
        memcmp(sourceFormat, &df, sizeof(DDPIXELFORMAT)) == 0 ||
        (sbpp == dbpp && sourceFormat->dwRBitMask == df.dwRBitMask &&
         sourceFormat->dwGBitMask == df.dwGBitMask && sourceFormat->dwBBitMask == df.dwBBitMask &&
         sourceFormat->dwRGBAlphaBitMask == df.dwRGBAlphaBitMask &&
         (sourceFormat->dwFlags & DDPF_ALPHAPIXELS) == (df.dwFlags & DDPF_ALPHAPIXELS));
    const uint32_t keyLow = src->desc_.ddckCKSrcBlt.dwColorSpaceLowValue;
    const uint32_t keyHigh = std::max(keyLow, src->desc_.ddckCKSrcBlt.dwColorSpaceHighValue);
    // The source column of each destination column, worked out once for all rows; an unscaled
    // copy of the same format without a key moves whole rows.
    const size_t* columns = ColumnMap(s.left, sw, dw, sbpp);
    const bool rows = same && !keyed && sw == dw;
    const DDrawPixelLayout from = DDrawMakePixelLayout(*sourceFormat);
    const DDrawPixelLayout to = DDrawMakePixelLayout(df);
    for (LONG y = 0; y < dh; ++y) {
        const LONG sy = s.top + static_cast<LONG>(static_cast<int64_t>(y) * sh / dh);
        const uint8_t* srow = sbase + static_cast<size_t>(sy) * spitch;
        uint8_t* drow = &memory_[static_cast<size_t>(d.top + y) * static_cast<size_t>(desc_.lPitch) +
                                 static_cast<size_t>(d.left) * static_cast<size_t>(dbpp)];
        if (rows) {
            memcpy(drow, srow + columns[0], static_cast<size_t>(dw) * static_cast<size_t>(dbpp));
            continue;
        }
        for (LONG x = 0; x < dw; ++x) {
            uint32_t p = DDrawLoadPixel(srow + columns[x], sbpp);
            if (keyed && p >= keyLow && p <= keyHigh) continue;
            if (!same) {
                uint8_t rgba[4];
                DDrawLayoutToRgba(from, p, rgba);
                p = DDrawLayoutToPixel(to, rgba);
            }
            DDrawStorePixel(drow + static_cast<size_t>(x) * static_cast<size_t>(dbpp), dbpp, p);
        }
    }
    gpuValid_ = false;
    PresentIfVisible(d);
    return DD_OK;
}

bool DDrawSurface::DrawThroughGl(const RECT& d, DDrawSurface* src, const RECT& s, bool keyed) {
    const LONG dw = d.right - d.left, dh = d.bottom - d.top;
    const LONG sw = s.right - s.left, sh = s.bottom - s.top;
    const DDPIXELFORMAT& sf = src->Format();
    std::vector<uint8_t> decoded;
    if (DDrawIsDxt(sf)) {
        decoded.resize(static_cast<size_t>(src->Width()) * src->Height() * 4);
        DDrawDecodeDxt(sf.dwFourCC, src->memory_.data(), src->Width(), src->Height(),
                       decoded.data());
        keyed = false;
    }
    const int sbpp = decoded.empty() ? DDrawBytesPerPixel(sf) : 4;
    const uint8_t* sbase = decoded.empty() ? src->memory_.data() : decoded.data();
    const size_t spitch = decoded.empty() ? static_cast<size_t>(src->desc_.lPitch)
                                          : static_cast<size_t>(src->Width()) * 4;
    const uint32_t keyLow = src->desc_.ddckCKSrcBlt.dwColorSpaceLowValue;
    const uint32_t keyHigh = std::max(keyLow, src->desc_.ddckCKSrcBlt.dwColorSpaceHighValue);
    // The same source pixel for each destination pixel as the memory path takes.
    const size_t* columns = ColumnMap(s.left, sw, dw, sbpp);
    const DDrawPixelLayout from = DDrawMakePixelLayout(sf);
    const bool large = int64_t(dw) * dh >= (int64_t(1) << 16);
    const uint8_t* table =
        decoded.empty() && sbpp <= 2 && large ? SmallFormatRgbaTable(from, sbpp) : nullptr;
    rgba_.resize(static_cast<size_t>(dw) * static_cast<size_t>(dh) * 4);
    uint8_t* out = rgba_.data();
    for (LONG y = 0; y < dh; ++y) {
        const LONG sy = s.top + static_cast<LONG>(static_cast<int64_t>(y) * sh / dh);
        const uint8_t* srow = sbase + static_cast<size_t>(sy) * spitch;
        if (!decoded.empty()) {
            for (LONG x = 0; x < dw; ++x, out += 4)
                memcpy(out, srow + columns[x], 4);
            continue;
        }
        for (LONG x = 0; x < dw; ++x, out += 4) {
            const uint32_t p = DDrawLoadPixel(srow + columns[x], sbpp);
            if (table)
                memcpy(out, table + size_t(p) * 4, 4);
            else
                DDrawLayoutToRgba(from, p, out);
            if (keyed) out[3] = p >= keyLow && p <= keyHigh ? 0 : 255;
        }
    }
    const DDrawGlRgbaAlpha alpha = keyed            ? DDRAW_GL_ALPHA_IS_KEY
                                   : src->HasAlpha() ? DDRAW_GL_ALPHA_IS_ALPHA
                                                     : DDRAW_GL_ALPHA_NONE;
    if (!DDrawGlDrawRgba(gl_, static_cast<int>(Width()), static_cast<int>(Height()), HasAlpha(),
                         rgba_.data(), static_cast<int>(dw), static_cast<int>(dh), d.left, d.top,
                         alpha))
        return false;
    cpuValid_ = false;
    return true;
}

bool DDrawSurface::ClipToSurface(const RECT& dst, DDrawSurface* src, const RECT* srcRect,
                                 RECT* outDst, RECT* outSrc) const {
    RECT s = srcRect
                 ? *srcRect
                 : RECT{0, 0, static_cast<LONG>(src->Width()), static_cast<LONG>(src->Height())};
    const int64_t dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    const int64_t sw = s.right - s.left, sh = s.bottom - s.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
    RECT d = {std::max<LONG>(dst.left, 0), std::max<LONG>(dst.top, 0),
              std::min<LONG>(dst.right, static_cast<LONG>(Width())),
              std::min<LONG>(dst.bottom, static_cast<LONG>(Height()))};
    if (d.left >= d.right || d.top >= d.bottom) return false;
    // The source loses what the destination lost, in proportion.
    *outSrc = {static_cast<LONG>(s.left + (d.left - dst.left) * sw / dw),
               static_cast<LONG>(s.top + (d.top - dst.top) * sh / dh),
               static_cast<LONG>(s.right - (dst.right - d.right) * sw / dw),
               static_cast<LONG>(s.bottom - (dst.bottom - d.bottom) * sh / dh)};
    *outDst = d;
    return outSrc->left < outSrc->right && outSrc->top < outSrc->bottom;
}

HRESULT DDrawSurface::Blt(RECT* dst, IDirectDrawSurface4* source, RECT* srcRect, DWORD flags,
                          DDBLTFX* fx) {
    if (locked_) return DDERR_SURFACEBUSY;
    RECT clippedDst, clippedSrc;
    if (clipper_ && dst && source && !(flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL))) {
        // A surface with a clipper (the windowed desktop) takes the visible part only.
        if (!ClipToSurface(*dst, FromSurface(source), srcRect, &clippedDst, &clippedSrc))
            return DD_OK;
        dst = &clippedDst;
        srcRect = &clippedSrc;
    }
    RECT d;
    if (!ValidRect(dst, &d)) return DDERR_INVALIDRECT;
    if (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) {
        if (!fx) return DDERR_INVALIDPARAMS;
        bool depth = (flags & DDBLT_DEPTHFILL) != 0;
        return Fill(d, depth ? fx->dwFillDepth : fx->dwFillColor, depth);
    }
    if (!source) return DDERR_INVALIDPARAMS;
    DDrawSurface* src = FromSurface(source);
    if (src->locked_) return DDERR_SURFACEBUSY;
    RECT s;
    if (!src->ValidRect(srcRect, &s)) return DDERR_INVALIDRECT;
    bool keyed = (flags & DDBLT_KEYSRC) != 0;
    if (keyed && !src->IsKeyed()) return DDERR_NOCOLORKEY;
    return Copy(d, src, s, keyed);
}

HRESULT DDrawSurface::Flip(IDirectDrawSurface4*, DWORD flags) {
    if (role_ != DDrawRole::Primary || !next_) return DDERR_NOTFLIPPABLE;
    if (locked_) return DDERR_SURFACEBUSY;
    DDrawSurface* back = next_;
    uint32_t from = back->GpuTarget();
    if (!from) return DDERR_GENERIC;
    if (!gl_) {
        gl_ = DDrawGlCreateTexture(DDRAW_GL_COLOR_TARGET, static_cast<int>(Width()),
                                   static_cast<int>(Height()), 1);
        if (!gl_) return DDERR_GENERIC;
    }
    // The front buffer keeps the shown picture (read back by Lock); the back buffer keeps its
    // pixels too.
    const RECT whole = {0, 0, static_cast<LONG>(Width()), static_cast<LONG>(Height())};
    DDrawGlCopyColor(from, whole, gl_, whole);
    gpuValid_ = true;
    cpuValid_ = false;
    DDrawGlPresent(display_->window, gl_, static_cast<int>(Width()), static_cast<int>(Height()),
                   {0, 0, static_cast<LONG>(Width()), static_cast<LONG>(Height())},
                   !(flags & DDFLIP_NOVSYNC));
    return DD_OK;
}

HRESULT DDrawSurface::GetFlipStatus(DWORD) {
    return DD_OK;
}

// ---- Palette ----

DDrawPalette::DDrawPalette(DWORD caps, const PALETTEENTRY* entries)
    : caps_(caps), size_((caps & DDPCAPS_4BIT) ? 16 : 256) {
    if (entries) memcpy(entries_, entries, size_ * sizeof(PALETTEENTRY));
}

HRESULT DDrawPalette::GetCaps(DWORD* caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}
HRESULT DDrawPalette::GetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* out) {
    if (!out || start > size_ || count > size_ - start) return DDERR_INVALIDPARAMS;
    memcpy(out, entries_ + start, count * sizeof(PALETTEENTRY));
    return DD_OK;
}
HRESULT DDrawPalette::SetEntries(DWORD, DWORD start, DWORD count, const PALETTEENTRY* entries) {
    if (!entries || start > size_ || count > size_ - start) return DDERR_INVALIDPARAMS;
    memcpy(entries_ + start, entries, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

// ---- Clipper ----

HRESULT DDrawClipper::SetHWnd(DWORD, HWND hwnd) {
    window_ = hwnd;
    return DD_OK;
}
