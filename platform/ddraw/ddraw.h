// Stand-in for the DirectDraw and Direct3D interfaces the engine's device driver calls.
// Surfaces keep a copy of their pixels in memory for Lock; textures and render targets live
// in OpenGL 3.3 core (see ddraw_gl.h). Interfaces are abstract classes with QueryInterface,
// AddRef and Release first and real reference counts; only the methods in use exist.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

using HRESULT = int32_t;
using ULONG = uint32_t;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// Interface ids the driver asks for. Their values are this layer's own.
extern const IID IID_IUnknown;
extern const IID IID_IDirectDraw;
extern const IID IID_IDirectDraw2;
extern const IID IID_IDirectDraw4;
extern const IID IID_IDirectDrawSurface4;
extern const IID IID_IDirect3D3;
extern const IID IID_IDirect3DTexture2;
extern const IID IID_IDirect3DHALDevice;

// ---- Result codes ----
constexpr HRESULT MakeDDResult(uint32_t code) {
    return static_cast<HRESULT>(0x88760000u | code);
}
constexpr HRESULT DD_OK = 0;
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDDResult(130);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDDResult(145);
constexpr HRESULT DDERR_INVALIDRECT = MakeDDResult(150);
constexpr HRESULT DDERR_NOTFOUND = MakeDDResult(255);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDDResult(430);
constexpr HRESULT DDERR_NOTLOCKED = MakeDDResult(584);
constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDDResult(540);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDDResult(582);
constexpr HRESULT DDERR_SURFACEALREADYATTACHED = MakeDDResult(410);
constexpr HRESULT DDERR_NODIRECTDRAWHW = MakeDDResult(565);
constexpr HRESULT DDERR_NOCOLORKEY = MakeDDResult(215);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = MakeDDResult(380);
constexpr HRESULT DDERR_INVALIDMODE = MakeDDResult(90);
constexpr HRESULT DDERR_INVALIDCAPS = MakeDDResult(100);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MakeDDResult(780);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MakeDDResult(781);
constexpr HRESULT D3DERR_INVALIDVERTEXTYPE = MakeDDResult(2167);
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = MakeDDResult(2166);
constexpr HRESULT D3DERR_MATERIAL_CREATE_FAILED = MakeDDResult(790);
constexpr HRESULT D3DERR_VIEWPORTHASNODEVICE = MakeDDResult(2163);

constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;
constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

inline bool FAILED(HRESULT r) {
    return r < 0;
}
inline bool SUCCEEDED(HRESULT r) {
    return r >= 0;
}

// ---- Flags ----
// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD DDSCL_FPUSETUP = 0x800;

// Surface description fields.
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_CKSRCBLT = 0x10000;
constexpr DWORD DDSD_MIPMAPCOUNT = 0x20000;
constexpr DWORD DDSD_LINEARSIZE = 0x80000;

// Surface capabilities.
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD DDSCAPS_MIPMAP = 0x400000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS_NONLOCALVIDMEM = 0x20000000;
constexpr DWORD DDSCAPS2_TEXTUREMANAGE = 0x10;

// Pixel-format flags.
constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_FOURCC = 0x4;
constexpr DWORD DDPF_PALETTEINDEXED4 = 0x8;
constexpr DWORD DDPF_PALETTEINDEXEDTO8 = 0x10;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_ZBUFFER = 0x400;
constexpr DWORD DDPF_PALETTEINDEXED1 = 0x800;
constexpr DWORD DDPF_PALETTEINDEXED2 = 0x1000;

constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
    return static_cast<DWORD>(static_cast<uint8_t>(a)) |
           (static_cast<DWORD>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<DWORD>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<DWORD>(static_cast<uint8_t>(d)) << 24);
}
constexpr DWORD FOURCC_DXT1 = MakeFourCC('D', 'X', 'T', '1');
constexpr DWORD FOURCC_DXT2 = MakeFourCC('D', 'X', 'T', '2');
constexpr DWORD FOURCC_DXT3 = MakeFourCC('D', 'X', 'T', '3');
constexpr DWORD FOURCC_DXT4 = MakeFourCC('D', 'X', 'T', '4');
constexpr DWORD FOURCC_DXT5 = MakeFourCC('D', 'X', 'T', '5');

// Palette capabilities.
constexpr DWORD DDPCAPS_4BIT = 0x1;
constexpr DWORD DDPCAPS_8BIT = 0x4;
constexpr DWORD DDPCAPS_ALLOW256 = 0x40;
constexpr DWORD DDPCAPS_ALPHA = 0x400;

// Lock, Blt, Flip and flip-status flags.
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_KEYSRC = 0x8000;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLT_DEPTHFILL = 0x2000000;
constexpr DWORD DDFLIP_WAIT = 0x1;
constexpr DWORD DDFLIP_NOVSYNC = 0x8;
constexpr DWORD DDGFS_CANFLIP = 0x1;
constexpr DWORD DDGFS_ISFLIPDONE = 0x2;

// Bit depths (render and z depths of a device).
constexpr DWORD DDBD_8 = 0x800;
constexpr DWORD DDBD_16 = 0x400;
constexpr DWORD DDBD_24 = 0x200;
constexpr DWORD DDBD_32 = 0x100;

// DirectDraw capabilities reported by GetCaps.
constexpr DWORD DDCAPS_3D = 0x1;
constexpr DWORD DDCAPS_BLT = 0x40;
constexpr DWORD DDCAPS_BLTCOLORFILL = 0x4000000;
constexpr DWORD DDCAPS_BLTDEPTHFILL = 0x10000000;
constexpr DWORD DDCAPS_BLTSTRETCH = 0x200;
constexpr DWORD DDCAPS_COLORKEY = 0x400000;
constexpr DWORD DDFXCAPS_BLTSTRETCHX = 0x200000;
constexpr DWORD DDFXCAPS_BLTSTRETCHY = 0x2000000;

// ---- Structures ----
struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwZBufferBitDepth;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwStencilBitDepth;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwZBitMask;
    };
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS {
    DWORD dwCaps;
};
struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

// In-memory surface description. Files hold a 124-byte form with a 4-byte pointer slot;
// readers parse that field by field into this structure.
struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    DWORD dwBackBufferCount;
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};

struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwPalCaps;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DDSCAPS ddsCaps;
};

struct DDBLTFX {
    DWORD dwSize;
    DWORD dwFillColor;
    DWORD dwFillDepth;
};

// ---- Interfaces ----
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IDirectDrawSurface4;
struct IDirectDrawPalette;
struct IDirectDrawClipper;

using LPDDENUMCALLBACKA = BOOL (*)(GUID* guid, char* description, char* name, void* context);
using LPDDENUMMODESCALLBACK2 = HRESULT (*)(DDSURFACEDESC2* desc, void* context);

// The first DirectDraw interface: only a way to the newer ones.
struct IDirectDraw : IUnknown {
protected:
    ~IDirectDraw() = default;
};

struct IDirectDraw2 : IUnknown {
    virtual HRESULT GetAvailableVidMem(DDSCAPS* caps, DWORD* total, DWORD* free) = 0;

protected:
    ~IDirectDraw2() = default;
};

struct IDirectDraw4 : IUnknown {
    virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer) = 0;
    virtual HRESULT CreatePalette(DWORD caps, PALETTEENTRY* entries, IDirectDrawPalette** out,
                                  IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** out,
                                  IUnknown* outer) = 0;
    virtual HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context,
                                     LPDDENUMMODESCALLBACK2 callback) = 0;
    virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
    virtual HRESULT GetCaps(DDCAPS* hal, DDCAPS* hel) = 0;
    virtual HRESULT RestoreAllSurfaces() = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD refresh,
                                   DWORD flags) = 0;

protected:
    ~IDirectDraw4() = default;
};

struct IDirectDrawSurface4 : IUnknown {
    virtual HRESULT AddAttachedSurface(IDirectDrawSurface4* surface) = 0;
    virtual HRESULT Blt(RECT* dst, IDirectDrawSurface4* src, RECT* srcRect, DWORD flags,
                        DDBLTFX* fx) = 0;
    virtual HRESULT Flip(IDirectDrawSurface4* target, DWORD flags) = 0;
    virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** out) = 0;
    virtual HRESULT GetFlipStatus(DWORD flags) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;

protected:
    ~IDirectDrawSurface4() = default;
};

struct IDirectDrawPalette : IUnknown {
    virtual HRESULT GetCaps(DWORD* caps) = 0;
    virtual HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* out) = 0;
    virtual HRESULT SetEntries(DWORD flags, DWORD start, DWORD count,
                               const PALETTEENTRY* entries) = 0;

protected:
    ~IDirectDrawPalette() = default;
};

struct IDirectDrawClipper : IUnknown {
    virtual HRESULT SetHWnd(DWORD flags, HWND hwnd) = 0;

protected:
    ~IDirectDrawClipper() = default;
};

// Calls back once per DirectDraw driver: here only the primary display driver (null GUID).
HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context);
// Creates the DirectDraw object of a driver; null GUID = the primary display driver.
HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer);

// ---- Services of the layer for tests and the other platform modules ----

// The display modes offered by EnumDisplayModes (all 16-bit 565).
struct DDrawDisplayMode {
    DWORD width, height;
};
constexpr DDrawDisplayMode DDRAW_DISPLAY_MODES[] = {{640, 480}, {800, 600}, {1024, 768}};

// Fills a pixel format: 16-bit 565 (the display format), or one of the texture formats
// by its ARGB bit counts (0x1555, 0x4444, 0x8888), or a FourCC format.
DDPIXELFORMAT DDrawRgbFormat(DWORD bits, DWORD a, DWORD r, DWORD g, DWORD b);
DDPIXELFORMAT DDrawFourCCFormat(DWORD fourCC);
DDPIXELFORMAT DDrawZFormat(DWORD bits);

// Number of live stand-in objects (surfaces, palettes, clippers, DirectDraw and Direct3D
// objects); tests use it to find reference leaks.
int DDrawLiveObjects();
