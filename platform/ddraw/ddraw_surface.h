// Surfaces, palettes and clippers of the DirectDraw stand-in. For the Direct3D side of the
// layer only; the driver sees the interfaces of ddraw.h.
//
// Every surface keeps its pixels in memory in its own format, with a pitch, for Lock.
// Render targets (the primary, its back buffer, 3-D off-screen surfaces) and z-buffers also
// live in OpenGL; a pair of flags says which copy is current, and each side is brought up to
// date from the other only when it is needed. Texture levels upload when next drawn with.
#pragma once

#include "platform/ddraw/d3d.h"

#include <memory>
#include <vector>

// What the surfaces of one DirectDraw object share: the window and the display size.
struct DDrawDisplay {
    HWND window = nullptr;
    DWORD width = 640, height = 480;
};

// Live-object count behind DDrawLiveObjects.
void DDrawCountObject(int delta);

// Reference counting shared by every object of the layer; the object goes with its last
// reference. Objects with several interfaces answer QueryInterface themselves.
template <class... Interfaces> class DDrawCounted : public Interfaces... {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }

protected:
    DDrawCounted() { DDrawCountObject(1); }
    virtual ~DDrawCounted() { DDrawCountObject(-1); }

protected:
    ULONG refs_ = 1;
};

// An object with one interface: QueryInterface knows only IUnknown besides.
template <class Interface> class DDrawObject : public DDrawCounted<Interface> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!(iid == IID_IUnknown)) return E_NOINTERFACE;
        *out = static_cast<IUnknown*>(this);
        this->AddRef();
        return DD_OK;
    }
};

enum class DDrawRole { Plain, Primary, BackBuffer, RenderTarget, ZBuffer, Texture };

class DDrawPalette;
class DDrawClipper;

class DDrawSurface final : public DDrawCounted<IDirectDrawSurface4, IDirect3DTexture2> {
public:
    // Creates the surface (and its back buffer or mip chain) a description asks for.
    static HRESULT Create(const std::shared_ptr<DDrawDisplay>& display, const DDSURFACEDESC2& desc,
                          DDrawSurface** out);
    static DDrawSurface* FromTexture(IDirect3DTexture2* texture);
    static DDrawSurface* FromSurface(IDirectDrawSurface4* surface);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    // Surfaces made with a chain (back buffer, mip levels) live as long as the chain's first
    // surface, whatever their own count, and go with it.
    ULONG Release() override;

    HRESULT AddAttachedSurface(IDirectDrawSurface4* surface) override;
    HRESULT Blt(RECT* dst, IDirectDrawSurface4* src, RECT* srcRect, DWORD flags,
                DDBLTFX* fx) override;
    HRESULT Flip(IDirectDrawSurface4* target, DWORD flags) override;
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** out) override;
    HRESULT GetFlipStatus(DWORD flags) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
    HRESULT SetClipper(IDirectDrawClipper* clipper) override;
    HRESULT SetPalette(IDirectDrawPalette* palette) override;
    HRESULT Unlock(RECT* rect) override;

    // ---- For the Direct3D side ----
    DDrawRole Role() const { return role_; }
    DWORD Width() const { return desc_.dwWidth; }
    DWORD Height() const { return desc_.dwHeight; }
    const DDPIXELFORMAT& Format() const { return desc_.ddpfPixelFormat; }
    bool IsLocked() const { return locked_; }
    bool IsColorTarget() const;
    bool HasAlpha() const;
    bool IsKeyed() const { return (desc_.dwFlags & DDSD_CKSRCBLT) != 0; }
    // The z-buffer attached to this colour surface, or null.
    DDrawSurface* AttachedZ() const;
    // The OpenGL texture of a colour target or z-buffer, up to date; 0 when OpenGL fails.
    uint32_t GpuTarget();
    // Called after OpenGL drew into the target: the memory copy is now stale.
    void GpuWritten() { cpuValid_ = false; }
    // The OpenGL texture of a texture surface with every level uploaded; 0 on failure.
    uint32_t GpuTexture();
    // Fills a rectangle of a colour target or z-buffer through OpenGL.
    void GpuClear(const RECT& rect, bool color, const uint8_t rgba[4], bool depth, float z);
    const std::shared_ptr<DDrawDisplay>& Display() const { return display_; }

private:
    DDrawSurface(const std::shared_ptr<DDrawDisplay>& display, DDrawRole role,
                 const DDSURFACEDESC2& desc);
    ~DDrawSurface() override;

    bool EnsureCpu();
    bool EnsureGpu();
    bool ValidRect(const RECT* rect, RECT* out) const;
    // Clips a copy's destination to this surface and its source in proportion; false when
    // nothing is left.
    // Blt into a target whose pixels are in OpenGL, with the memory path's pixels.
    bool DrawThroughGl(const RECT& d, DDrawSurface* src, const RECT& s, bool keyed);
    bool ClipToSurface(const RECT& dst, DDrawSurface* src, const RECT* srcRect, RECT* outDst,
                       RECT* outSrc) const;
    HRESULT Fill(const RECT& rect, DWORD value, bool depth);
    HRESULT Copy(const RECT& dst, DDrawSurface* src, const RECT& srcRect, bool keyed);
    // The source byte offset of each of dw destination columns for a copy of sw source columns
    // from `left` (kept in columns_).
    const size_t* ColumnMap(LONG left, LONG sw, LONG dw, int bytesPerPixel);
    void PresentIfVisible(const RECT& rect);
    DWORD ZMax() const;
    DDrawSurface* Root() { return root_ ? root_ : this; }

    std::shared_ptr<DDrawDisplay> display_;
    DDrawRole role_;
    DDSURFACEDESC2 desc_;
    std::vector<uint8_t> memory_;
    bool locked_ = false;
    DWORD lockFlags_ = 0;
    // Which copy holds the current pixels (render targets and z-buffers).
    bool cpuValid_ = true;
    bool gpuValid_ = false;
    uint32_t gl_ = 0;
    // Surfaces attached by AddAttachedSurface (the z-buffer) hold a reference.
    std::vector<DDrawSurface*> attached_;
    // Chains made with the surface: the first surface owns the others (chain_, in order);
    // each knows the first (root_) and the one after it (next_: back buffer, next mip level).
    DDrawSurface* root_ = nullptr;
    DDrawSurface* next_ = nullptr;
    std::vector<DDrawSurface*> chain_;
    // A z-buffer knows the colour surface it is attached to.
    DDrawSurface* zOwner_ = nullptr;
    DDrawPalette* palette_ = nullptr;
    DDrawClipper* clipper_ = nullptr;
    // A blit's scratch, kept between blits: the source byte offset of each destination column
    // and the RGBA pixels drawn through OpenGL.
    std::vector<size_t> columns_;
    std::vector<uint8_t> rgba_;
};

class DDrawPalette final : public DDrawObject<IDirectDrawPalette> {
public:
    DDrawPalette(DWORD caps, const PALETTEENTRY* entries);
    HRESULT GetCaps(DWORD* caps) override;
    HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* out) override;
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) override;

private:
    DWORD caps_;
    DWORD size_;
    PALETTEENTRY entries_[256] = {};
};

class DDrawClipper final : public DDrawObject<IDirectDrawClipper> {
public:
    HRESULT SetHWnd(DWORD flags, HWND hwnd) override;
    HWND Window() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Bytes of video memory held by live surfaces (for GetAvailableVidMem).
uint64_t DDrawVideoBytesInUse();

// The Direct3D object behind IDirectDraw4::QueryInterface(IID_IDirect3D3); it holds a
// reference on the DirectDraw object.
IDirect3D3* D3DCreateDirect3D(IDirectDraw4* owner, const std::shared_ptr<DDrawDisplay>& display);
