// Stand-in for the Direct3D interfaces the engine's device driver calls: one HAL device
// drawing pre-transformed, clipped vertices through OpenGL 3.3 core.
#pragma once

#include "platform/ddraw/ddraw.h"

using D3DCOLOR = DWORD;
using D3DVALUE = float;
using D3DMATERIALHANDLE = DWORD;
using D3DTEXTUREHANDLE = DWORD;
using D3DCOLORMODEL = DWORD;

constexpr D3DCOLORMODEL D3DCOLOR_MONO = 1;
constexpr D3DCOLORMODEL D3DCOLOR_RGB = 2;

// Primitive types.
enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

// Vertex format and draw flags. Only the pre-transformed vertex below is drawn.
constexpr DWORD D3DFVF_XYZRHW = 0x4;
constexpr DWORD D3DFVF_DIFFUSE = 0x40;
constexpr DWORD D3DFVF_SPECULAR = 0x80;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_TLVERTEX = 0x1C4;
constexpr DWORD D3DDP_WAIT = 0x1;
constexpr DWORD D3DDP_DONOTCLIP = 0x4;

// Screen-space vertex: position, reciprocal of w, ARGB diffuse, ARGB specular whose alpha
// is the fog factor, texture coordinates.
struct D3DTLVERTEX {
    float sx, sy, sz, rhw;
    D3DCOLOR color;
    D3DCOLOR specular;
    float tu, tv;
};
static_assert(sizeof(D3DTLVERTEX) == 32, "TL vertex is 32 bytes");

// Render states. The names are numbered by this layer; the values follow the enums below.
enum D3DRENDERSTATETYPE : DWORD {
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 1,
    D3DRENDERSTATE_WRAP0,
    D3DRENDERSTATE_ZENABLE,
    D3DRENDERSTATE_ZWRITEENABLE,
    D3DRENDERSTATE_ZFUNC,
    D3DRENDERSTATE_SHADEMODE,
    D3DRENDERSTATE_ALPHAFUNC,
    D3DRENDERSTATE_ALPHAREF,
    D3DRENDERSTATE_ALPHATESTENABLE,
    D3DRENDERSTATE_SRCBLEND,
    D3DRENDERSTATE_DESTBLEND,
    D3DRENDERSTATE_ALPHABLENDENABLE,
    D3DRENDERSTATE_COLORKEYENABLE,
    D3DRENDERSTATE_DITHERENABLE,
    D3DRENDERSTATE_FOGENABLE,
    D3DRENDERSTATE_FOGCOLOR,
    D3DRENDERSTATE_FOGTABLEMODE,
    D3DRENDERSTATE_STIPPLEENABLE,
    D3DRENDERSTATE_CULLMODE,
    D3DRENDERSTATE_FILLMODE,
    D3DRENDERSTATE_SPECULARENABLE,
    D3DRENDERSTATE_ANTIALIAS,
    D3DRENDERSTATE_COUNT
};

enum D3DTEXTURESTAGESTATETYPE : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1,
    D3DTSS_COLORARG2,
    D3DTSS_ALPHAOP,
    D3DTSS_ALPHAARG1,
    D3DTSS_ALPHAARG2,
    D3DTSS_ADDRESS,
    D3DTSS_BORDERCOLOR,
    D3DTSS_MAGFILTER,
    D3DTSS_MINFILTER,
    D3DTSS_MIPFILTER,
    D3DTSS_COUNT
};

enum D3DLIGHTSTATETYPE : DWORD { D3DLIGHTSTATE_FOGMODE = 1 };

// Value enums, with the platform's published numbers.
constexpr DWORD D3DCMP_NEVER = 1, D3DCMP_LESS = 2, D3DCMP_EQUAL = 3, D3DCMP_LESSEQUAL = 4,
                D3DCMP_GREATER = 5, D3DCMP_NOTEQUAL = 6, D3DCMP_GREATEREQUAL = 7, D3DCMP_ALWAYS = 8;
constexpr DWORD D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2;
constexpr DWORD D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2, D3DBLEND_SRCCOLOR = 3,
                D3DBLEND_INVSRCCOLOR = 4, D3DBLEND_SRCALPHA = 5, D3DBLEND_INVSRCALPHA = 6,
                D3DBLEND_DESTALPHA = 7, D3DBLEND_INVDESTALPHA = 8, D3DBLEND_DESTCOLOR = 9,
                D3DBLEND_INVDESTCOLOR = 10, D3DBLEND_SRCALPHASAT = 11;
constexpr DWORD D3DFOG_NONE = 0;
constexpr DWORD D3DCULL_NONE = 1;
constexpr DWORD D3DFILL_SOLID = 3;
constexpr DWORD D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3,
                D3DTOP_MODULATE = 4;
constexpr DWORD D3DTA_DIFFUSE = 0, D3DTA_CURRENT = 1, D3DTA_TEXTURE = 2;
constexpr DWORD D3DTADDRESS_WRAP = 1, D3DTADDRESS_MIRROR = 2, D3DTADDRESS_CLAMP = 3,
                D3DTADDRESS_BORDER = 4;
constexpr DWORD D3DTFG_POINT = 1, D3DTFG_LINEAR = 2;
constexpr DWORD D3DTFN_POINT = 1, D3DTFN_LINEAR = 2;
constexpr DWORD D3DTFP_NONE = 1, D3DTFP_POINT = 2, D3DTFP_LINEAR = 3;

// Clear flags.
constexpr DWORD D3DCLEAR_TARGET = 1;
constexpr DWORD D3DCLEAR_ZBUFFER = 2;

// Capability bits.
constexpr DWORD D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x100;
constexpr DWORD D3DDEVCAPS_TEXTUREVIDEOMEMORY = 0x200;
constexpr DWORD D3DDEVCAPS_TEXTURENONLOCALVIDMEM = 0x1000;
constexpr DWORD D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x400;
constexpr DWORD D3DDEVCAPS_HWRASTERIZATION = 0x80000;
constexpr DWORD D3DPRASTERCAPS_DITHER = 0x1;
constexpr DWORD D3DPRASTERCAPS_ZTEST = 0x10;
constexpr DWORD D3DPRASTERCAPS_FOGVERTEX = 0x80;
constexpr DWORD D3DPRASTERCAPS_ZBUFFERLESSHSR = 0x8000;
constexpr DWORD D3DPCMPCAPS_LESSEQUAL = 0x8;
constexpr DWORD D3DPCMPCAPS_GREATER = 0x10;
constexpr DWORD D3DPCMPCAPS_NOTEQUAL = 0x20;
constexpr DWORD D3DPCMPCAPS_ALWAYS = 0x80;
constexpr DWORD D3DPSHADECAPS_COLORFLATRGB = 0x2;
constexpr DWORD D3DPSHADECAPS_COLORGOURAUDRGB = 0x8;
constexpr DWORD D3DPSHADECAPS_ALPHAFLATBLEND = 0x1000;
constexpr DWORD D3DPSHADECAPS_ALPHAGOURAUDBLEND = 0x4000;
constexpr DWORD D3DPSHADECAPS_FOGFLAT = 0x40000;
constexpr DWORD D3DPSHADECAPS_FOGGOURAUD = 0x80000;
constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x2;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x4;
constexpr DWORD D3DPTEXTURECAPS_TRANSPARENCY = 0x8;
constexpr DWORD D3DPTEXTURECAPS_BORDER = 0x10;
constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x20;
constexpr DWORD D3DPTEXTURECAPS_ALPHAPALETTE = 0x80;
constexpr DWORD D3DPTFILTERCAPS_NEAREST = 0x1;
constexpr DWORD D3DPTFILTERCAPS_LINEAR = 0x2;
constexpr DWORD D3DPTFILTERCAPS_MIPNEAREST = 0x4;
constexpr DWORD D3DPTFILTERCAPS_MIPLINEAR = 0x8;
constexpr DWORD D3DPTFILTERCAPS_LINEARMIPNEAREST = 0x10;
constexpr DWORD D3DPTFILTERCAPS_LINEARMIPLINEAR = 0x20;
constexpr DWORD D3DPTBLENDCAPS_MODULATEALPHA = 0x8;
constexpr DWORD D3DPTADDRESSCAPS_WRAP = 0x1;
constexpr DWORD D3DPTADDRESSCAPS_MIRROR = 0x2;
constexpr DWORD D3DPTADDRESSCAPS_CLAMP = 0x4;
constexpr DWORD D3DPTADDRESSCAPS_BORDER = 0x8;

struct D3DPRIMCAPS {
    DWORD dwSize;
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
};

struct D3DDEVICEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    D3DCOLORMODEL dcmColorModel;
    DWORD dwDevCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMinTextureWidth;
    DWORD dwMinTextureHeight;
    DWORD dwMaxTextureWidth;
    DWORD dwMaxTextureHeight;
};

struct D3DVIEWPORT2 {
    DWORD dwSize;
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DVALUE dvClipX;
    D3DVALUE dvClipY;
    D3DVALUE dvClipWidth;
    D3DVALUE dvClipHeight;
    D3DVALUE dvMinZ;
    D3DVALUE dvMaxZ;
};

struct D3DCOLORVALUE {
    D3DVALUE r, g, b, a;
};

struct D3DMATERIAL {
    DWORD dwSize;
    D3DCOLORVALUE diffuse;
    D3DCOLORVALUE ambient;
    D3DCOLORVALUE specular;
    D3DCOLORVALUE emissive;
    D3DVALUE power;
    D3DTEXTUREHANDLE hTexture;
    DWORD dwRampSize;
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

struct IDirect3DDevice3;
struct IDirect3DViewport3;
struct IDirect3DMaterial3;
struct IDirect3DTexture2;

using LPD3DENUMDEVICESCALLBACK = HRESULT (*)(GUID* guid, char* description, char* name,
                                             D3DDEVICEDESC* hal, D3DDEVICEDESC* hel, void* context);
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);

struct IDirect3D3 : IUnknown {
    virtual HRESULT CreateDevice(REFCLSID type, IDirectDrawSurface4* target, IDirect3DDevice3** out,
                                 IUnknown* outer) = 0;
    virtual HRESULT CreateMaterial(IDirect3DMaterial3** out, IUnknown* outer) = 0;
    virtual HRESULT CreateViewport(IDirect3DViewport3** out, IUnknown* outer) = 0;
    virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;
    virtual HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                       void* context) = 0;
    virtual HRESULT EvictManagedTextures() = 0;

protected:
    ~IDirect3D3() = default;
};

struct IDirect3DDevice3 : IUnknown {
    virtual HRESULT AddViewport(IDirect3DViewport3* viewport) = 0;
    virtual HRESULT SetCurrentViewport(IDirect3DViewport3* viewport) = 0;
    virtual HRESULT GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) = 0;
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DTexture2* texture) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                         DWORD value) = 0;
    virtual HRESULT SetLightState(D3DLIGHTSTATETYPE state, DWORD value) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                                  DWORD vertexCount, DWORD flags) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                                         DWORD vertexCount, WORD* indices, DWORD indexCount,
                                         DWORD flags) = 0;

protected:
    ~IDirect3DDevice3() = default;
};

struct IDirect3DViewport3 : IUnknown {
    virtual HRESULT SetViewport2(D3DVIEWPORT2* viewport) = 0;
    virtual HRESULT SetBackground(D3DMATERIALHANDLE material) = 0;
    virtual HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags) = 0;

protected:
    ~IDirect3DViewport3() = default;
};

struct IDirect3DMaterial3 : IUnknown {
    virtual HRESULT SetMaterial(D3DMATERIAL* material) = 0;
    virtual HRESULT GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* out) = 0;

protected:
    ~IDirect3DMaterial3() = default;
};

// The texture side of a texture surface, passed to SetTexture.
struct IDirect3DTexture2 : IUnknown {
protected:
    ~IDirect3DTexture2() = default;
};
