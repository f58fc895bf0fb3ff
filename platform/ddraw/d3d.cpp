#include "platform/ddraw/d3d.h"

#include "platform/ddraw/ddraw_gl.h"
#include "platform/ddraw/ddraw_pixels.h"
#include "platform/ddraw/ddraw_surface.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

class Device;
class Material;

// Material handles, for SetBackground.
std::map<D3DMATERIALHANDLE, Material*> g_materials;
D3DMATERIALHANDLE g_nextMaterial = 1;

// The one device this display offers: a hardware rasteriser over OpenGL.
D3DDEVICEDESC HalDescription() {
    D3DDEVICEDESC d = {};
    d.dwSize = sizeof d;
    d.dcmColorModel = D3DCOLOR_RGB;
    d.dwDevCaps =
        D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_TEXTUREVIDEOMEMORY;
    D3DPRIMCAPS& t = d.dpcTriCaps;
    t.dwSize = sizeof t;
    t.dwRasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX;
    t.dwZCmpCaps = 0xFF;
    t.dwSrcBlendCaps = 0x7FF;
    t.dwDestBlendCaps = 0x7FF;
    t.dwAlphaCmpCaps = 0xFF;
    t.dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB |
                    D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                    D3DPSHADECAPS_FOGFLAT | D3DPSHADECAPS_FOGGOURAUD;
    t.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA |
                      D3DPTEXTURECAPS_TRANSPARENCY | D3DPTEXTURECAPS_BORDER;
    t.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR |
                            D3DPTFILTERCAPS_MIPNEAREST | D3DPTFILTERCAPS_MIPLINEAR |
                            D3DPTFILTERCAPS_LINEARMIPNEAREST | D3DPTFILTERCAPS_LINEARMIPLINEAR;
    t.dwTextureBlendCaps = D3DPTBLENDCAPS_MODULATEALPHA;
    t.dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR |
                             D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
    d.dpcLineCaps = t;
    d.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    d.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24;
    d.dwMinTextureWidth = 1;
    d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = 1024;
    d.dwMaxTextureHeight = 1024;
    return d;
}

void CopyDescription(D3DDEVICEDESC* out, const D3DDEVICEDESC& from) {
    if (!out) return;
    *out = from;
}

class Material final : public DDrawObject<IDirect3DMaterial3> {
public:
    Material() : handle_(g_nextMaterial++) { g_materials[handle_] = this; }
    HRESULT SetMaterial(D3DMATERIAL* material) override {
        if (!material) return DDERR_INVALIDPARAMS;
        material_ = *material;
        return D3D_OK;
    }
    HRESULT GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* out) override {
        if (!device || !out) return DDERR_INVALIDPARAMS;
        *out = handle_;
        return D3D_OK;
    }
    const D3DMATERIAL& Value() const { return material_; }

private:
    ~Material() override { g_materials.erase(handle_); }
    D3DMATERIALHANDLE handle_;
    D3DMATERIAL material_ = {};
};

class Viewport final : public DDrawObject<IDirect3DViewport3> {
public:
    HRESULT SetViewport2(D3DVIEWPORT2* viewport) override {
        if (!viewport || !viewport->dwWidth || !viewport->dwHeight) return DDERR_INVALIDPARAMS;
        viewport_ = *viewport;
        return D3D_OK;
    }
    HRESULT SetBackground(D3DMATERIALHANDLE material) override {
        if (!g_materials.count(material)) return DDERR_INVALIDPARAMS;
        background_ = material;
        return D3D_OK;
    }
    HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags) override;

    Device* device_ = nullptr; // set by AddViewport, cleared when the device goes

private:
    D3DVIEWPORT2 viewport_ = {};
    D3DMATERIALHANDLE background_ = 0;
};

class Device final : public DDrawObject<IDirect3DDevice3> {
public:
    explicit Device(DDrawSurface* target) : target_(target) {
        target_->AddRef();
        render_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
        render_[D3DRENDERSTATE_ZENABLE] = target->AttachedZ() ? 1 : 0;
        render_[D3DRENDERSTATE_ZWRITEENABLE] = 1;
        render_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
        render_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
        render_[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
        render_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
        render_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
        render_[D3DRENDERSTATE_CULLMODE] = D3DCULL_NONE;
        render_[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
        stage_[D3DTSS_COLOROP] = D3DTOP_MODULATE;
        stage_[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        stage_[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        stage_[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
        stage_[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        stage_[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        stage_[D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
        stage_[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        stage_[D3DTSS_MINFILTER] = D3DTFN_POINT;
        stage_[D3DTSS_MIPFILTER] = D3DTFP_NONE;
    }

    HRESULT AddViewport(IDirect3DViewport3* viewport) override {
        if (!viewport) return DDERR_INVALIDPARAMS;
        auto* v = static_cast<Viewport*>(viewport);
        if (v->device_) return DDERR_INVALIDPARAMS; // already on a device
        v->AddRef();
        v->device_ = this;
        viewports_.push_back(v);
        return D3D_OK;
    }
    HRESULT SetCurrentViewport(IDirect3DViewport3* viewport) override {
        auto* v = static_cast<Viewport*>(viewport);
        if (!v || v->device_ != this) return DDERR_INVALIDPARAMS;
        current_ = v;
        return D3D_OK;
    }
    HRESULT GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) override {
        if (!hal && !hel) return DDERR_INVALIDPARAMS;
        CopyDescription(hal, HalDescription());
        if (hel) {
            *hel = {};
            hel->dwSize = sizeof *hel;
        }
        return D3D_OK;
    }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
        if (!callback) return DDERR_INVALIDPARAMS;
        std::vector<DDPIXELFORMAT> formats = {
            DDrawRgbFormat(16, 0, 5, 6, 5), DDrawRgbFormat(16, 1, 5, 5, 5),
            DDrawRgbFormat(16, 4, 4, 4, 4), DDrawRgbFormat(32, 8, 8, 8, 8)};
        if (DDrawGlHasS3tc())
            for (DWORD f : {FOURCC_DXT1, FOURCC_DXT2, FOURCC_DXT3, FOURCC_DXT4, FOURCC_DXT5})
                formats.push_back(DDrawFourCCFormat(f));
        for (DDPIXELFORMAT& f : formats)
            if (callback(&f, context) == D3DENUMRET_CANCEL) break;
        return D3D_OK;
    }
    HRESULT BeginScene() override {
        if (inScene_) return D3DERR_SCENE_IN_SCENE;
        inScene_ = true;
        return D3D_OK;
    }
    HRESULT EndScene() override {
        if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
        inScene_ = false;
        return D3D_OK;
    }
    HRESULT SetTexture(DWORD stage, IDirect3DTexture2* texture) override {
        if (stage != 0) return DDERR_INVALIDPARAMS;
        DDrawSurface* t = texture ? DDrawSurface::FromTexture(texture) : nullptr;
        if (t) t->AddRef();
        if (texture_) texture_->Release();
        texture_ = t;
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        if (state < 1 || state >= D3DRENDERSTATE_COUNT) return DDERR_INVALIDPARAMS;
        render_[state] = value;
        return D3D_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                 DWORD value) override {
        if (stage != 0 || state < 1 || state >= D3DTSS_COUNT) return DDERR_INVALIDPARAMS;
        stage_[state] = value;
        return D3D_OK;
    }
    HRESULT SetLightState(D3DLIGHTSTATETYPE, DWORD) override { return D3D_OK; }

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                          DWORD vertexCount, DWORD) override {
        return Draw(type, vertexFormat, vertices, vertexCount, nullptr, 0);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                                 DWORD vertexCount, WORD* indices, DWORD indexCount,
                                 DWORD) override {
        if (!indices && indexCount) return DDERR_INVALIDPARAMS;
        for (DWORD i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount) return DDERR_INVALIDPARAMS;
        return Draw(type, vertexFormat, vertices, vertexCount, indices, indexCount);
    }

    DDrawSurface* Target() const { return target_; }

private:
    ~Device() override {
        for (Viewport* v : viewports_) {
            v->device_ = nullptr;
            v->Release();
        }
        if (texture_) texture_->Release();
        target_->Release();
    }

    HRESULT Draw(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices, DWORD vertexCount,
                 WORD* indices, DWORD indexCount) {
        if (vertexFormat != D3DFVF_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
        if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
        if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
        if (!vertices && vertexCount) return DDERR_INVALIDPARAMS;
        if (target_->IsLocked()) return DDERR_SURFACEBUSY;
        if (!vertexCount || (indices && !indexCount)) return D3D_OK;

        DDrawGlDrawState s = {};
        s.colorTarget = target_->GpuTarget();
        if (!s.colorTarget) return DDERR_GENERIC;
        DDrawSurface* z = target_->AttachedZ();
        s.depthTarget = z ? z->GpuTarget() : 0;
        s.targetWidth = static_cast<int>(target_->Width());
        s.targetHeight = static_cast<int>(target_->Height());
        s.targetHasAlpha = target_->HasAlpha();
        s.zEnable = render_[D3DRENDERSTATE_ZENABLE] != 0 && s.depthTarget;
        s.zWrite = render_[D3DRENDERSTATE_ZWRITEENABLE] != 0;
        s.zFunc = render_[D3DRENDERSTATE_ZFUNC];
        s.gouraud = render_[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
        s.perspective = render_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != 0;
        s.colorOp = stage_[D3DTSS_COLOROP];
        s.colorArg1 = stage_[D3DTSS_COLORARG1];
        s.colorArg2 = stage_[D3DTSS_COLORARG2];
        s.alphaOp = stage_[D3DTSS_ALPHAOP];
        s.alphaArg1 = stage_[D3DTSS_ALPHAARG1];
        s.alphaArg2 = stage_[D3DTSS_ALPHAARG2];
        s.alphaTest = render_[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
        s.alphaFunc = render_[D3DRENDERSTATE_ALPHAFUNC];
        s.alphaRef = render_[D3DRENDERSTATE_ALPHAREF];
        s.blend = render_[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
        s.srcBlend = render_[D3DRENDERSTATE_SRCBLEND];
        s.destBlend = render_[D3DRENDERSTATE_DESTBLEND];
        s.fog = render_[D3DRENDERSTATE_FOGENABLE] != 0;
        s.fogColor = render_[D3DRENDERSTATE_FOGCOLOR];
        if (texture_) {
            s.texture = texture_->GpuTexture();
            s.textureHasAlpha = texture_->HasAlpha();
            s.colorKey = render_[D3DRENDERSTATE_COLORKEYENABLE] != 0 && texture_->IsKeyed() &&
                         !s.textureHasAlpha;
        }
        s.address = stage_[D3DTSS_ADDRESS];
        s.borderColor = stage_[D3DTSS_BORDERCOLOR];
        s.magFilter = stage_[D3DTSS_MAGFILTER];
        s.minFilter = stage_[D3DTSS_MINFILTER];
        s.mipFilter = stage_[D3DTSS_MIPFILTER];
        if (!DDrawGlDraw(s, type, static_cast<const D3DTLVERTEX*>(vertices), vertexCount,
                         indices, indexCount))
            return DDERR_GENERIC;
        target_->GpuWritten();
        if (z && s.zEnable && s.zWrite) z->GpuWritten();
        return D3D_OK;
    }

    DDrawSurface* target_;
    DDrawSurface* texture_ = nullptr;
    std::vector<Viewport*> viewports_;
    Viewport* current_ = nullptr;
    bool inScene_ = false;
    DWORD render_[D3DRENDERSTATE_COUNT] = {};
    DWORD stage_[D3DTSS_COUNT] = {};
};

HRESULT Viewport::Clear(DWORD count, D3DRECT* rects, DWORD flags) {
    if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
    if (count && !rects) return DDERR_INVALIDPARAMS;
    DDrawSurface* target = device_->Target();
    DDrawSurface* z = target->AttachedZ();
    uint8_t rgba[4] = {0, 0, 0, 0};
    auto it = g_materials.find(background_);
    if (it != g_materials.end()) {
        const D3DCOLORVALUE& c = it->second->Value().diffuse;
        auto byte = [](float v) {
            return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
        };
        rgba[0] = byte(c.r);
        rgba[1] = byte(c.g);
        rgba[2] = byte(c.b);
        rgba[3] = byte(c.a);
    }
    for (DWORD i = 0; i < count; ++i) {
        RECT r = {std::max<LONG>(0, rects[i].x1), std::max<LONG>(0, rects[i].y1),
                  std::min<LONG>(static_cast<LONG>(target->Width()), rects[i].x2),
                  std::min<LONG>(static_cast<LONG>(target->Height()), rects[i].y2)};
        if (r.left >= r.right || r.top >= r.bottom) continue;
        if (flags & D3DCLEAR_TARGET) target->GpuClear(r, true, rgba, false, 0);
        if ((flags & D3DCLEAR_ZBUFFER) && z) z->GpuClear(r, false, rgba, true, 1.0f);
    }
    return D3D_OK;
}

class Direct3D final : public DDrawObject<IDirect3D3> {
public:
    Direct3D(IDirectDraw4* owner, const std::shared_ptr<DDrawDisplay>& display)
        : owner_(owner), display_(display) {
        owner_->AddRef();
    }
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDirect3D3) {
            *out = static_cast<IDirect3D3*>(this);
            AddRef();
            return D3D_OK;
        }
        return owner_->QueryInterface(iid, out);
    }
    HRESULT CreateDevice(REFCLSID type, IDirectDrawSurface4* target, IDirect3DDevice3** out,
                         IUnknown*) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!(type == IID_IDirect3DHALDevice) || !target) return DDERR_INVALIDPARAMS;
        DDrawSurface* s = DDrawSurface::FromSurface(target);
        if (!s->IsColorTarget()) return DDERR_INVALIDCAPS;
        if (!DDrawGlAcquire(display_->window)) return DDERR_NODIRECTDRAWHW;
        *out = new Device(s);
        return D3D_OK;
    }
    HRESULT CreateMaterial(IDirect3DMaterial3** out, IUnknown*) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = new Material();
        return D3D_OK;
    }
    HRESULT CreateViewport(IDirect3DViewport3** out, IUnknown*) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = new Viewport();
        return D3D_OK;
    }
    HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) override {
        if (!callback) return DDERR_INVALIDPARAMS;
        // Without OpenGL there is no hardware device to offer.
        if (!DDrawGlAcquire(display_->window)) return D3D_OK;
        GUID guid = IID_IDirect3DHALDevice;
        char description[] = "OpenGL 3.3 hardware rasteriser";
        char name[] = "HAL";
        D3DDEVICEDESC hal = HalDescription();
        D3DDEVICEDESC hel = {};
        hel.dwSize = sizeof hel;
        callback(&guid, description, name, &hal, &hel, context);
        return D3D_OK;
    }
    HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                               void* context) override {
        if (!callback || !(device == IID_IDirect3DHALDevice)) return DDERR_INVALIDPARAMS;
        for (DWORD bits : {16u, 24u}) {
            DDPIXELFORMAT f = DDrawZFormat(bits);
            if (callback(&f, context) == D3DENUMRET_CANCEL) break;
        }
        return D3D_OK;
    }
    HRESULT EvictManagedTextures() override { return D3D_OK; }

private:
    ~Direct3D() override { owner_->Release(); }
    IDirectDraw4* owner_;
    std::shared_ptr<DDrawDisplay> display_;
};

} // namespace

IDirect3D3* D3DCreateDirect3D(IDirectDraw4* owner, const std::shared_ptr<DDrawDisplay>& display) {
    return new Direct3D(owner, display);
}
