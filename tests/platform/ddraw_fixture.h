// Shared set-up for the DirectDraw/Direct3D stand-in tests: a DirectDraw object with its
// Direct3D object, render targets with a device, textures, and pixel read-back.
#pragma once

#include "platform/ddraw/d3d.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

struct Rgb {
    int r, g, b;
};

// Widens a 565 pixel to 8-bit channels.
inline Rgb From565(uint32_t p) {
    return {static_cast<int>((p >> 11) & 31) * 255 / 31, static_cast<int>((p >> 5) & 63) * 255 / 63,
            static_cast<int>(p & 31) * 255 / 31};
}

inline ::testing::AssertionResult Near(Rgb got, Rgb want, int tolerance = 12) {
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << got.r << ", " << got.g << ", " << got.b << ") want (" << want.r << ", "
           << want.g << ", " << want.b << ")";
}

inline D3DTLVERTEX Vertex(float x, float y, float z, D3DCOLOR color, float u = 0, float v = 0,
                          D3DCOLOR specular = 0xFF000000) {
    return {x, y, z, 1.0f, color, specular, u, v};
}

inline DDSURFACEDESC2 Describe(DWORD flags, DWORD caps, DWORD width = 0, DWORD height = 0) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.ddsCaps.dwCaps = caps;
    d.dwWidth = width;
    d.dwHeight = height;
    return d;
}

class DDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        baseline_ = DDrawLiveObjects();
        IDirectDraw* first = nullptr;
        ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd_)), DD_OK);
        first->Release();
        ASSERT_EQ(dd_->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d3d_)), DD_OK);
        ASSERT_EQ(dd_->SetCooperativeLevel(nullptr, DDSCL_NORMAL | DDSCL_FPUSETUP), DD_OK);
        // Without OpenGL there is no device: stop here rather than in every helper.
        int devices = 0;
        d3d_->EnumDevices(
            [](GUID*, char*, char*, D3DDEVICEDESC*, D3DDEVICEDESC*, void* ctx) -> HRESULT {
                ++*static_cast<int*>(ctx);
                return D3DENUMRET_OK;
            },
            &devices);
        ASSERT_EQ(devices, 1) << "no OpenGL 3.3 core context here";
    }

    void TearDown() override {
        ReleaseTarget();
        for (IUnknown* u : owned_)
            u->Release();
        owned_.clear();
        if (d3d_) d3d_->Release();
        if (dd_) dd_->Release();
        EXPECT_EQ(DDrawLiveObjects(), baseline_) << "stand-in objects leaked";
    }

    template <class T> T* Keep(T* object) {
        owned_.push_back(object);
        return object;
    }

    // An off-screen 3-D target with a 16-bit z-buffer, a device and a viewport.
    void MakeTarget(DWORD width, DWORD height, bool withZ = true) {
        DDSURFACEDESC2 d = Describe(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, 0x6040, width, height);
        ASSERT_EQ(dd_->CreateSurface(&d, &color_, nullptr), DD_OK);
        if (withZ) {
            DDSURFACEDESC2 z = Describe(0x1007, 0x26000, width, height);
            z.ddpfPixelFormat = DDrawZFormat(16);
            ASSERT_EQ(dd_->CreateSurface(&z, &z_, nullptr), DD_OK);
            ASSERT_EQ(color_->AddAttachedSurface(z_), DD_OK);
        }
        BindDevice();
    }

    void BindDevice() {
        ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DHALDevice, color_, &device_, nullptr), DD_OK);
        ASSERT_EQ(d3d_->CreateViewport(&viewport_, nullptr), DD_OK);
        ASSERT_EQ(device_->AddViewport(viewport_), DD_OK);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        color_->GetSurfaceDesc(&desc);
        D3DVIEWPORT2 vp = {sizeof(D3DVIEWPORT2),
                           0,
                           0,
                           desc.dwWidth,
                           desc.dwHeight,
                           -1.0f,
                           1.0f,
                           2.0f,
                           2.0f,
                           0.0f,
                           1.0f};
        ASSERT_EQ(viewport_->SetViewport2(&vp), DD_OK);
        ASSERT_EQ(device_->SetCurrentViewport(viewport_), DD_OK);
        // The states a textureless Gouraud draw starts from.
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }

    void ReleaseTarget() {
        if (viewport_) viewport_->Release();
        if (device_) device_->Release();
        if (z_) z_->Release();
        if (color_) color_->Release();
        viewport_ = nullptr;
        device_ = nullptr;
        z_ = nullptr;
        color_ = nullptr;
    }

    // Clears colour to a 565 value and z to the far value.
    void Clear(DWORD color565 = 0) {
        DDBLTFX fx = {};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = color565;
        ASSERT_EQ(color_->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        if (z_) {
            fx.dwFillDepth = 0xFFFF;
            ASSERT_EQ(z_->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx), DD_OK);
        }
    }

    // A rectangle as two indexed triangles; u and v run 0..1 unless given.
    HRESULT Quad(float x0, float y0, float x1, float y1, float z, D3DCOLOR color,
                 D3DCOLOR specular = 0xFF000000, float u0 = 0, float v0 = 0, float u1 = 1,
                 float v1 = 1) {
        D3DTLVERTEX v[4] = {
            Vertex(x0, y0, z, color, u0, v0, specular), Vertex(x1, y0, z, color, u1, v0, specular),
            Vertex(x1, y1, z, color, u1, v1, specular), Vertex(x0, y1, z, color, u0, v1, specular)};
        WORD idx[6] = {0, 1, 2, 0, 2, 3};
        device_->BeginScene();
        HRESULT r = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 4, idx, 6,
                                                  D3DDP_WAIT | D3DDP_DONOTCLIP);
        device_->EndScene();
        return r;
    }

    // Reads one pixel of any surface through Lock.
    static uint32_t Pixel(IDirectDrawSurface4* s, int x, int y) {
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        if (s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) {
            ADD_FAILURE() << "lock failed";
            return 0xDEADBEEF;
        }
        int bytes = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
        const uint8_t* p = static_cast<const uint8_t*>(d.lpSurface) + y * d.lPitch + x * bytes;
        uint32_t v = 0;
        memcpy(&v, p, static_cast<size_t>(bytes));
        s->Unlock(nullptr);
        return v;
    }

    Rgb At(int x, int y) { return From565(Pixel(color_, x, y)); }

    // A texture of one pixel format, every texel set by fill(x, y) as a raw value.
    template <class F>
    IDirectDrawSurface4* Texture(const DDPIXELFORMAT& format, DWORD width, DWORD height, F fill,
                                 bool keyed = false) {
        DDSURFACEDESC2 d =
            Describe(0x1007 | (keyed ? DDSD_CKSRCBLT : 0), DDSCAPS_TEXTURE, width, height);
        d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
        d.ddpfPixelFormat = format;
        IDirectDrawSurface4* s = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
        if (!s) return nullptr;
        Keep(s);
        DDSURFACEDESC2 l = {};
        l.dwSize = sizeof l;
        EXPECT_EQ(s->Lock(nullptr, &l, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        int bytes = static_cast<int>((format.dwRGBBitCount + 7) / 8);
        for (DWORD y = 0; y < height; ++y)
            for (DWORD x = 0; x < width; ++x) {
                uint32_t v = fill(x, y);
                memcpy(static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch + x * bytes, &v,
                       static_cast<size_t>(bytes));
            }
        s->Unlock(nullptr);
        return s;
    }

    // Binds a texture with the given stage-0 operations and point filtering.
    void UseTexture(IDirectDrawSurface4* surface, DWORD colorOp = D3DTOP_SELECTARG1,
                    DWORD alphaOp = D3DTOP_SELECTARG1) {
        IDirect3DTexture2* t = nullptr;
        ASSERT_EQ(surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t)),
                  DD_OK);
        device_->SetTexture(0, t);
        t->Release();
        device_->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
        device_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
        device_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_NONE);
    }

    int baseline_ = 0;
    IDirectDraw4* dd_ = nullptr;
    IDirect3D3* d3d_ = nullptr;
    IDirectDrawSurface4* color_ = nullptr;
    IDirectDrawSurface4* z_ = nullptr;
    IDirect3DDevice3* device_ = nullptr;
    IDirect3DViewport3* viewport_ = nullptr;
    std::vector<IUnknown*> owned_;
};

inline DDPIXELFORMAT Format565() {
    return DDrawRgbFormat(16, 0, 5, 6, 5);
}
inline DDPIXELFORMAT Format1555() {
    return DDrawRgbFormat(16, 1, 5, 5, 5);
}
inline DDPIXELFORMAT Format4444() {
    return DDrawRgbFormat(16, 4, 4, 4, 4);
}
inline DDPIXELFORMAT Format8888() {
    return DDrawRgbFormat(32, 8, 8, 8, 8);
}
