#include "engine/core/d3d/device.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cstdio>
#include <cstring>

#include "engine/core/d3d/d3dpipe.h"
#include "engine/core/d3d/renderstate.h"
#include "engine/core/d3d/surface.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"

TvD3DDriverState TvD3DDriver = [] {
    TvD3DDriverState d{};
    d.curMode = -1;
    d.replayOrder = 2;
    return d;
}();

IDirectDraw4* TvD3DGetDirectDraw() {
    return TvD3DDriver.dd;
}

namespace {

// Flags and caps the driver passes, by their platform values.
constexpr DWORD kCoopNormal = DDSCL_NORMAL | DDSCL_FPUSETUP; // 0x808
constexpr DWORD kCoopExclusive =
    DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP; // 0x813
constexpr DWORD kVidMemCaps = 0x10006200;
constexpr DWORD kFlipChainCaps = 0x2218;
constexpr DWORD kZBufferCaps = 0x26000;
constexpr DWORD kRenderTargetCaps = 0x6040;
constexpr DWORD kTemplateFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT; // 0x1007
constexpr DWORD kNoKeyFormatFlags = 0x29; // alpha pixels, 4- or 8-bit palette
constexpr DWORD kPaletteFormatFlags = 0x1838;
constexpr uint32_t kDefaultVideoMemory = 0x1000000;

int32_t Im2DNothingLine(TvIm2DVertex*, int32_t, int32_t, int32_t) {
    return 1;
}
int32_t Im2DNothingTriangle(TvIm2DVertex*, int32_t, int32_t, int32_t, int32_t) {
    return 1;
}
int32_t Im2DNothingPrimitive(int32_t, TvIm2DVertex*, int32_t) {
    return 1;
}
int32_t Im2DNothingIndexed(int32_t, TvIm2DVertex*, int32_t, uint16_t*, int32_t) {
    return 1;
}

TvDeviceRecord g_deviceRecord = {1.0f,
                                 TvDeviceControl,
                                 0.0f,
                                 0.9999f,
                                 TvRenderStateSetD3D,
                                 TvRenderStateGetD3D,
                                 Im2DNothingLine,
                                 Im2DNothingTriangle,
                                 Im2DNothingPrimitive,
                                 Im2DNothingIndexed,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr};

// The driver's standard functions, each reached through a wrapper that first draws the
// gathered immediate-mode triangles.
TvStandardFn g_standard[kTvNumStandardFunctions];
template <int N> int32_t Flushing(void* out, void* in, int32_t number) {
    TvD3DIm3DFlushPending();
    return g_standard[N](out, in, number);
}
template <int... N>
constexpr std::array<TvStandardFn, sizeof...(N)> MakeFlushing(std::integer_sequence<int, N...>) {
    return {Flushing<N>...};
}
constexpr auto kFlushingStandard =
    MakeFlushing(std::make_integer_sequence<int, kTvNumStandardFunctions>());

int32_t ReturnZero(void*, void*, int32_t) {
    return 0;
}

DDSURFACEDESC2 Describe(DWORD flags, DWORD caps, DWORD width = 0, DWORD height = 0) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.ddsCaps.dwCaps = caps;
    d.dwWidth = width;
    d.dwHeight = height;
    return d;
}

// ---- Enumeration ----

IDirectDraw4* CreateDirectDraw4(GUID* guid) {
    IDirectDraw* first = nullptr;
    if (FAILED(DirectDrawCreate(guid, &first, nullptr)) || !first) return nullptr;
    IDirectDraw4* dd4 = nullptr;
    HRESULT r = first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd4));
    first->Release();
    return SUCCEEDED(r) ? dd4 : nullptr;
}

BOOL TvD3DDriverEnumCallBack(GUID* guid, char* description, char* name, void*) {
    TvD3DDriverState& d = TvD3DDriver;
    if (d.numSubSystems >= kTvD3DMaxSubSystems) return DDENUMRET_OK;
    IDirectDraw4* dd4 = CreateDirectDraw4(guid);
    if (!dd4) return DDENUMRET_OK;
    IDirect3D3* d3d = nullptr;
    if (FAILED(dd4->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d3d))) || !d3d) {
        dd4->Release();
        return DDENUMRET_OK;
    }
    TvD3DDeviceEnumContext context = {};
    context.d3d = d3d;
    HRESULT r = d3d->EnumDevices(TvD3DDeviceEnumCallBack, &context);
    d3d->Release();
    if (FAILED(r) || !context.found) {
        dd4->Release();
        return DDENUMRET_OK;
    }
    TvD3DSubSystem s = {};
    s.noZBuffer = context.noZ;
    s.deviceDesc = context.desc;
    s.zFormat = context.zFormat;
    DDSCAPS2 vidCaps = {kVidMemCaps, 0, 0, 0};
    DWORD total = 0;
    s.videoMemory =
        SUCCEEDED(dd4->GetAvailableVidMem(&vidCaps, &total, nullptr)) ? total : kDefaultVideoMemory;
    DDCAPS hal = {}, hel = {};
    hal.dwSize = hel.dwSize = sizeof(DDCAPS);
    r = dd4->GetCaps(&hal, &hel);
    dd4->Release();
    if (FAILED(r)) return DDENUMRET_OK;
    s.halCaps = hal.dwCaps;
    s.halFXCaps = hal.dwFXCaps;
    const char* desc = description ? description : "";
    if (name && *name) {
        std::snprintf(s.name, sizeof s.name, "%s (%s)", desc, name);
    } else {
        std::snprintf(s.name, sizeof s.name, "%s", desc);
    }
    TvD3DSubSystem& slot = d.subSystems[d.numSubSystems];
    slot = s;
    if (guid) {
        slot.driverGuid = *guid;
        slot.guid = &slot.driverGuid;
    }
    d.numSubSystems++;
    return DDENUMRET_OK;
}

void AddVideoMode(const DDSURFACEDESC2* desc, uint32_t flags) {
    TvD3DDriverState& d = TvD3DDriver;
    const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
    if (!(pf.dwFlags & DDPF_RGB) || (pf.dwFlags & kPaletteFormatFlags)) return;
    const DWORD depth = pf.dwRGBBitCount;
    DWORD bit = 0;
    switch (depth) {
    case 8: bit = DDBD_8; break;
    case 16: bit = DDBD_16; break;
    case 24: bit = DDBD_24; break;
    case 32: bit = DDBD_32; break;
    default: return;
    }
    const TvD3DSubSystem& s = d.subSystems[d.curSubSystem];
    if (!(s.deviceDesc.dwDeviceRenderBitDepth & bit)) return;
    if (flags & 1) {
        const uint64_t bytes = uint64_t((depth + 7) / 8) * desc->dwWidth * desc->dwHeight * 3;
        if (bytes > s.videoMemory) return;
    }
    auto* modes = static_cast<TvVideoMode*>(
        d.modes ? TvRealloc(d.modes, sizeof(TvVideoMode) * size_t(d.numModes + 1))
                : TvMalloc(sizeof(TvVideoMode)));
    if (!modes) return;
    d.modes = modes;
    d.modes[d.numModes++] = {desc->dwWidth, desc->dwHeight, depth, flags};
}

HRESULT ModeEnumCallBack(DDSURFACEDESC2* desc, void*) {
    if (desc) AddVideoMode(desc, 1);
    return DDENUMRET_OK;
}

void FreeModes() {
    TvD3DDriverState& d = TvD3DDriver;
    TvFree(d.modes);
    d.modes = nullptr;
    d.numModes = 0;
    d.curMode = -1;
    d.curModeEntry = nullptr;
}

// ---- Texture formats ----

TvD3DTextureFormat*& ChoiceFor(uint32_t code, bool* known) {
    TvD3DTextureChoices& c = TvD3DDriver.choices;
    static TvD3DTextureFormat* none;
    *known = true;
    switch (code) {
    case 0x100: return c.f1555;
    case 0x200: return c.f565;
    case 0x300: return c.f4444;
    case 0x500: return c.f8888;
    case 0x600: return c.f888;
    case 0x4600: return c.pal4;
    case 0x2600: return c.pal8;
    default: *known = false; return none;
    }
}

bool Transparency() {
    return (TvD3DDriver.caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_TRANSPARENCY) != 0;
}

HRESULT TextureFormatEnumCallBack(DDPIXELFORMAT* format, void*) {
    TvD3DDriverState& d = TvD3DDriver;
    if (!format) return D3DENUMRET_OK;
    auto* f = static_cast<TvD3DTextureFormat*>(TvFreeListAlloc(d.formatList));
    if (!f) return D3DENUMRET_OK;
    *f = {};
    f->desc = Describe(kTemplateFlags, DDSCAPS_TEXTURE);
    f->desc.dwMipMapCount = 1;
    f->desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    f->desc.ddpfPixelFormat = *format;
    if (Transparency() && !(format->dwFlags & kNoKeyFormatFlags)) {
        f->desc.dwFlags |= DDSD_CKSRCBLT;
        f->desc.ddckCKSrcBlt = {0, 0};
    }
    f->code = TvD3DPixelFormatToRasterFormat(format);
    f->paletteCaps = (f->code & 0x4000)   ? DDPCAPS_4BIT | DDPCAPS_ALLOW256
                     : (f->code & 0x2000) ? DDPCAPS_8BIT | DDPCAPS_ALLOW256
                                          : 0;
    f->next = d.formats;
    d.formats = f;
    bool known;
    TvD3DTextureFormat*& choice = ChoiceFor(f->code, &known);
    if (known) choice = f;
    return D3DENUMRET_OK;
}

void FreeFormats() {
    TvD3DDriverState& d = TvD3DDriver;
    if (d.formatList) {
        for (TvD3DTextureFormat* f = d.formats; f;) {
            TvD3DTextureFormat* next = f->next;
            TvFreeListFree(d.formatList, f);
            f = next;
        }
        TvFreeListDestroy(d.formatList);
    }
    d.formatList = nullptr;
    d.formats = nullptr;
    d.choices = {};
    d.defaults = {};
}

void ChooseDefaults() {
    TvD3DDriverState& d = TvD3DDriver;
    const TvD3DTextureChoices& c = d.choices;
    TvD3DTextureDefaults& t = d.defaults;
    const bool ma = (d.caps.dpcTriCaps.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATEALPHA) != 0;
    const bool tr = Transparency();
    t = {};
    t.default16 = c.f565 ? c.f565 : c.f1555 ? c.f1555 : c.f4444;
    t.default24 = c.f888;
    t.default32 = c.f8888;
    auto first = [](std::initializer_list<TvD3DTextureFormat*> list, TvD3DTextureFormat* other) {
        for (TvD3DTextureFormat* f : list)
            if (f) return f;
        return other;
    };
    TvD3DTextureFormat* choice1 =
        first({ma ? c.f4444 : nullptr, ma ? c.f1555 : nullptr, tr ? c.f565 : nullptr}, t.default16);
    TvD3DTextureFormat* choice2 =
        first({ma ? c.f1555 : nullptr, tr ? c.f565 : nullptr, ma ? c.f4444 : nullptr}, t.default16);
    TvD3DTextureFormat* choice3 = first({c.f565, c.f1555, c.f4444}, t.default16);
    t.alpha[0][0] = t.alpha[0][1] = t.alpha[0][2] = choice1;
    t.alpha[1][0] = t.alpha[1][1] = t.alpha[1][2] = choice2;
    t.alpha[2][0] = choice3;
    t.alpha[2][1] = c.pal4 ? c.pal4 : choice3;
    t.alpha[2][2] = c.pal8 ? c.pal8 : choice3;
}

bool AddAlphaPaletteCopy(TvD3DTextureFormat* from, uint32_t code) {
    TvD3DDriverState& d = TvD3DDriver;
    if (!from) return true;
    auto* f = static_cast<TvD3DTextureFormat*>(TvFreeListAlloc(d.formatList));
    if (!f) return false;
    *f = *from;
    f->code = code;
    f->paletteCaps |= DDPCAPS_ALPHA;
    f->next = d.formats;
    d.formats = f;
    return true;
}

// Fill value of one channel at an 8-bit level in the conversion format, alpha full.
uint32_t ProbeFill(int channel, uint32_t level) {
    const TvD3DConversionFormat* f = TvD3DGetConversionFormat();
    const TvD3DConversionChannel* ch[3] = {&f->red, &f->green, &f->blue};
    auto place = [](uint32_t v, const TvD3DConversionChannel& c) {
        return (c.shiftLeft ? v << c.shift : v >> c.shift) & c.mask;
    };
    return place(level, *ch[channel]) | place(255, f->alpha);
}

void ColourKeyProbeAll() {
    for (TvD3DTextureFormat* f = TvD3DDriver.formats; f; f = f->next) {
        if (f->paletteCaps != 0) continue;
        uint32_t levels[3];
        if (TvD3DColourKeyProbe(f, levels) && levels[0] < 32 && levels[1] < 32 && levels[2] < 32)
            TvD3DRaiseColourKeyThresholds(levels[0], levels[1], levels[2]);
    }
}

// ---- Start ----

bool Fail(const char* message) {
    TvD3DError(message);
    TvD3DReleaseObjects();
    return false;
}

D3DVIEWPORT2 ViewportFor(DWORD width, DWORD height) {
    D3DVIEWPORT2 vp = {};
    vp.dwSize = sizeof vp;
    vp.dwWidth = width;
    vp.dwHeight = height;
    const float aspect = width ? float(height) / float(width) : 1.0f;
    vp.dvClipX = -1.0f;
    vp.dvClipY = aspect;
    vp.dvClipWidth = 2.0f;
    vp.dvClipHeight = 2.0f * aspect;
    vp.dvMinZ = 0.0f;
    vp.dvMaxZ = 1.0f;
    return vp;
}

bool StartFullScreen(TvD3DRenderTarget& t) {
    TvD3DDriverState& d = TvD3DDriver;
    const TvVideoMode& mode = *d.curModeEntry;
    d.exclusive = true;
    if (FAILED(d.dd->SetCooperativeLevel(d.window, kCoopExclusive)))
        return Fail("Failed to set Direct Draw Cooperative Level");
    if (FAILED(d.dd->SetDisplayMode(mode.width, mode.height, mode.depth, 0, 0)))
        return Fail("Failed to set Display Mode");
    d.modeSet = true;
    DDSURFACEDESC2 desc = Describe(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, kFlipChainCaps);
    desc.dwBackBufferCount = 1;
    if (FAILED(d.dd->CreateSurface(&desc, &d.primary, nullptr)) || !d.primary)
        return Fail("Failed to create Primary Surface");
    DDSCAPS2 back = {DDSCAPS_BACKBUFFER, 0, 0, 0};
    if (FAILED(d.primary->GetAttachedSurface(&back, &t.colour)) || !t.colour)
        return Fail("Failed to create Primary Surface");
    d.primaryDesc = Describe(0, 0);
    d.primary->GetSurfaceDesc(&d.primaryDesc);
    if (!d.noZ) {
        DDSURFACEDESC2 z =
            Describe(kTemplateFlags, kZBufferCaps, d.primaryDesc.dwWidth, d.primaryDesc.dwHeight);
        z.ddpfPixelFormat = d.subSystems[d.curSubSystem].zFormat;
        if (FAILED(d.dd->CreateSurface(&z, &t.z, nullptr)) || !t.z)
            return Fail("Failed to create Z buffer Surface");
        d.zBufferDesc = Describe(0, 0);
        t.z->GetSurfaceDesc(&d.zBufferDesc);
        if (FAILED(t.colour->AddAttachedSurface(t.z)))
            return Fail("Failed to attach Z buffer surface");
    }
    if (FAILED(d.d3d->CreateDevice(IID_IDirect3DHALDevice, t.colour, &t.device, nullptr)) ||
        !t.device)
        return Fail("Failed to create D3D3 Device");
    if (FAILED(d.d3d->CreateViewport(&t.viewport, nullptr)) || !t.viewport)
        return Fail("Failed to create viewport");
    if (FAILED(t.device->AddViewport(t.viewport))) return Fail("Failed to add viewport");
    D3DVIEWPORT2 vp = ViewportFor(d.primaryDesc.dwWidth, d.primaryDesc.dwHeight);
    if (FAILED(t.viewport->SetViewport2(&vp)) || FAILED(t.device->SetCurrentViewport(t.viewport)))
        return Fail("Failed to set the viewport");
    t.backRed = t.backGreen = t.backBlue = 0;
    if (FAILED(d.d3d->CreateMaterial(&t.material, nullptr)) || !t.material)
        return Fail("Failed to create background material");
    D3DMATERIAL m = {};
    m.dwSize = sizeof m;
    m.dwRampSize = 1;
    D3DMATERIALHANDLE handle = 0;
    if (FAILED(t.material->SetMaterial(&m)) || FAILED(t.material->GetHandle(t.device, &handle)))
        return Fail("Failed to create background material");
    if (FAILED(t.viewport->SetBackground(handle))) return Fail("Failed to set Background");
    return TvD3DReadDeviceCaps() || (TvD3DReleaseObjects(), false);
}

bool StartWindowed(TvD3DRenderTarget& t) {
    TvD3DDriverState& d = TvD3DDriver;
    if (FAILED(d.dd->SetCooperativeLevel(d.window, kCoopNormal)))
        return Fail("Failed to set cooperative level");
    DDSURFACEDESC2 desc = Describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    if (FAILED(d.dd->CreateSurface(&desc, &d.primary, nullptr)) || !d.primary)
        return Fail("Failed to create Primary Surface");
    d.primaryDesc = Describe(0, 0);
    d.primary->GetSurfaceDesc(&d.primaryDesc);
    if (FAILED(d.dd->CreateClipper(0, &d.clipper, nullptr)) || !d.clipper)
        return Fail("Failed to create Direct Draw clipper");
    d.primary->SetClipper(d.clipper);

    // A small target only for reading the device's capabilities.
    bool ok = false;
    DDSURFACEDESC2 probe =
        Describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, kRenderTargetCaps, 100, 100);
    if (SUCCEEDED(d.dd->CreateSurface(&probe, &t.colour, nullptr)) && t.colour &&
        SUCCEEDED(d.d3d->CreateDevice(IID_IDirect3DHALDevice, t.colour, &t.device, nullptr)) &&
        t.device && SUCCEEDED(d.d3d->CreateViewport(&t.viewport, nullptr)) && t.viewport &&
        SUCCEEDED(t.device->AddViewport(t.viewport))) {
        D3DVIEWPORT2 vp = ViewportFor(100, 100);
        vp.dvClipY = 1.0f;
        vp.dvClipHeight = 2.0f;
        ok = SUCCEEDED(t.viewport->SetViewport2(&vp)) &&
             SUCCEEDED(t.device->SetCurrentViewport(t.viewport)) && TvD3DReadDeviceCaps();
    }
    TvD3DRelease(t.viewport);
    TvD3DRelease(t.device);
    TvD3DRelease(t.colour);
    if (!ok) TvD3DReleaseObjects();
    return ok;
}

uint32_t FreeTextureMemory(uint32_t* out) {
    TvD3DDriverState& d = TvD3DDriver;
    if (!d.dd) return 0;
    IDirectDraw2* dd2 = nullptr;
    if (FAILED(d.dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2))) || !dd2)
        return 0;
    DWORD caps = d.defaults.default16 ? d.defaults.default16->desc.ddsCaps.dwCaps : 0;
    DDSCAPS ddsCaps = {caps & 0x20005000};
    DWORD total = 0, free = 0;
    HRESULT r = dd2->GetAvailableVidMem(&ddsCaps, &total, &free);
    dd2->Release();
    if (FAILED(r)) return 0;
    if (out) *out = free;
    return 1;
}

int32_t Focus(bool activate) {
    TvD3DDriverState& d = TvD3DDriver;
    if (!d.dd || !d.fullScreen) return 1;
    if (activate) {
        if (d.modeSet) return 1;
        if (FAILED(d.dd->SetCooperativeLevel(d.window, kCoopExclusive))) return 0;
        d.exclusive = true;
        const TvVideoMode& mode = *d.curModeEntry;
        if (FAILED(d.dd->SetDisplayMode(mode.width, mode.height, mode.depth, 0, 0))) return 0;
        d.modeSet = true;
        d.dd->RestoreAllSurfaces();
        d.d3d->EvictManagedTextures();
        return 1;
    }
    if (!d.modeSet) return 1;
    if (FAILED(d.dd->RestoreDisplayMode())) return 0;
    d.modeSet = false;
    if (FAILED(d.dd->SetCooperativeLevel(d.window, kCoopNormal))) return 0;
    d.exclusive = false;
    return 1;
}

int32_t Stop() {
    TvD3DSortBufferClose();
    TvD3DSortRecordsFree();
    FreeFormats();
    TvD3DReleaseObjects();
    return 1;
}

void* RasterDataConstructor(void* object, int32_t, int32_t) {
    return object;
}

} // namespace

HRESULT TvD3DZBufferEnumCallBack(DDPIXELFORMAT* format, void* context) {
    auto* c = static_cast<TvD3DDeviceEnumContext*>(context);
    if (!format) return D3DENUMRET_OK;
    const DWORD d = format->dwZBufferBitDepth;
    const DWORD cur = c->zFormat.dwZBufferBitDepth;
    if (!c->zAccepted || (cur < 16 && d >= 16) || (cur >= 16 && d >= 16 && d < cur)) {
        c->zFormat = *format;
        c->zAccepted = true;
    }
    return D3DENUMRET_OK;
}

HRESULT TvD3DDeviceEnumCallBack(GUID* guid, char*, char*, D3DDEVICEDESC* hal, D3DDEVICEDESC*,
                                void* context) {
    auto* c = static_cast<TvD3DDeviceEnumContext*>(context);
    if (c->found || !hal || !guid) return D3DENUMRET_OK;
    if (!(hal->dcmColorModel & D3DCOLOR_RGB) ||
        !(hal->dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE))
        return D3DENUMRET_OK;
    c->desc = *hal;
    if (hal->dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ZBUFFERLESSHSR) {
        c->noZ = true;
        c->found = true;
        return D3DENUMRET_OK;
    }
    c->noZ = false;
    c->zAccepted = false;
    c->d3d->EnumZBufferFormats(*guid, TvD3DZBufferEnumCallBack, c);
    if (c->zAccepted) c->found = true;
    return D3DENUMRET_OK;
}

// Camera plug-in data: one render target per camera.
void* TvD3DCameraTargetConstructor(void* object, int32_t offset, int32_t size);
void* TvD3DCameraTargetDestructor(void* object, int32_t offset, int32_t size);

void TvD3DError(const char* message) {
    TvErrorCore(E_TV_DXERROR, message);
}

TvD3DRasterData* TvD3DGetRasterData(const TvRaster* raster) {
    return reinterpret_cast<TvD3DRasterData*>(
        reinterpret_cast<uint8_t*>(const_cast<TvRaster*>(raster)) + TvD3DDriver.rasterDataOffset);
}

TvD3DRenderTarget* TvD3DGetCameraTarget(const TvCamera* camera) {
    return reinterpret_cast<TvD3DRenderTarget*>(
        reinterpret_cast<uint8_t*>(const_cast<TvCamera*>(camera)) + TvD3DDriver.cameraDataOffset);
}

TvDeviceRecord* TvD3DGetDeviceRecord() {
    return &g_deviceRecord;
}

TvStandardFn TvD3DStandardFunction(int32_t index) {
    return index >= 0 && index < kTvNumStandardFunctions ? g_standard[index] : nullptr;
}

void TvD3DFillStandardFunctions(TvStandardFn* table, int32_t slots, const TvD3DStandardPair* pairs,
                                int32_t count) {
    for (int32_t i = 0; i < slots; ++i)
        table[i] = ReturnZero;
    for (int32_t k = 0; k < count; ++k)
        if (pairs[k].index >= 0 && pairs[k].index < slots)
            table[pairs[k].index] = pairs[k].function;
    // Every standard function first draws the immediate-mode triangles gathered so far.
    for (int32_t i = 0; i < std::min(slots, kTvNumStandardFunctions); ++i) {
        g_standard[i] = table[i];
        table[i] = kFlushingStandard[size_t(i)];
    }
}

void TvD3DSelectSubSystem() {
    TvD3DDriverState& d = TvD3DDriver;
    FreeModes();
    IDirectDraw4* dd4 = CreateDirectDraw4(d.subSystems[d.curSubSystem].guid);
    if (dd4) {
        if (!d.subSystems[d.curSubSystem].guid) {
            IDirectDrawSurface4* primary = nullptr;
            DDSURFACEDESC2 desc = Describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
            if (SUCCEEDED(dd4->SetCooperativeLevel(d.window, kCoopNormal)) &&
                SUCCEEDED(dd4->CreateSurface(&desc, &primary, nullptr)) && primary) {
                DDSURFACEDESC2 current = Describe(0, 0);
                if (SUCCEEDED(primary->GetSurfaceDesc(&current))) AddVideoMode(&current, 0);
            }
            TvD3DRelease(primary);
        }
        dd4->EnumDisplayModes(0, nullptr, nullptr, ModeEnumCallBack);
        dd4->Release();
    }
    d.curMode = 0;
    d.curModeEntry = d.modes;
}

bool TvD3DDeviceStart() {
    TvD3DDriverState& d = TvD3DDriver;
    d.startTarget = {};
    d.startTarget.next = &d.startTarget;
    d.curTarget = &d.startTarget;
    d.dd = nullptr;
    d.d3d = nullptr;
    d.primary = nullptr;
    d.clipper = nullptr;
    d.exclusive = d.modeSet = false;
    if (d.numSubSystems == 0 || d.curMode < 0 || d.curMode >= d.numModes) {
        d.curTarget = nullptr;
        TvD3DError("No video mode selected");
        return false;
    }
    d.noZ = d.subSystems[d.curSubSystem].noZBuffer;
    d.fullScreen = (d.curModeEntry->flags & 1) != 0;

    IDirectDraw* first = nullptr;
    if (FAILED(DirectDrawCreate(d.subSystems[d.curSubSystem].guid, &first, nullptr)) || !first)
        return Fail("Failed to create Direct Draw");
    HRESULT r = first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&d.dd));
    first->Release();
    if (FAILED(r) || !d.dd) {
        d.dd = nullptr;
        return Fail("Failed to create Direct Draw4");
    }
    if (FAILED(d.dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d.d3d))) || !d.d3d) {
        d.d3d = nullptr;
        return Fail("Failed to create D3D3");
    }
    if (!(d.fullScreen ? StartFullScreen(d.startTarget) : StartWindowed(d.startTarget))) {
        FreeFormats();
        return false;
    }

    TvD3DTextureChainClear();
    if (!TvD3DSortBufferOpen()) {
        FreeFormats();
        TvD3DReleaseObjects();
        return false;
    }
    if (d.fullScreen) TvD3DSetDefaultRenderStates(d.startTarget.device);
    d.curTarget = nullptr;
    d.curCamera = nullptr;
    d.flipPending = false;
    return true;
}

bool TvD3DReadDeviceCaps() {
    TvD3DDriverState& d = TvD3DDriver;
    const TvD3DSubSystem& s = d.subSystems[d.curSubSystem];
    D3DDEVICEDESC hel = {};
    d.caps = {};
    d.caps.dwSize = hel.dwSize = sizeof(D3DDEVICEDESC);
    if (FAILED(d.curTarget->device->GetCaps(&d.caps, &hel))) {
        TvD3DError("Unable to get D3D device capabilities");
        return false;
    }
    if (!d.noZ) {
        d.zTemplate = Describe(kTemplateFlags, kZBufferCaps);
        d.zTemplate.ddpfPixelFormat = s.zFormat;
        d.zBufferCode = TvD3DPixelFormatToRasterFormat(&s.zFormat);
    } else {
        d.zTemplate = {};
        d.zTemplate.ddpfPixelFormat.dwZBufferBitDepth = 16;
        d.zBufferCode = 0x700;
    }
    const DDPIXELFORMAT& pf = d.primaryDesc.ddpfPixelFormat;
    d.targetTemplate = Describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, kRenderTargetCaps);
    d.targetTemplate.ddpfPixelFormat = pf;
    d.frameBufferCode = TvD3DPixelFormatToRasterFormat(&pf);
    d.systemTemplate = Describe(kTemplateFlags, DDSCAPS_SYSTEMMEMORY);
    d.systemTemplate.ddpfPixelFormat = pf;
    if (Transparency() && !(pf.dwFlags & kNoKeyFormatFlags)) {
        d.systemTemplate.dwFlags |= DDSD_CKSRCBLT;
        d.systemTemplate.ddckCKSrcBlt = {0, 0};
    }
    if (d.caps.dwDevCaps & D3DDEVCAPS_TEXTURENONLOCALVIDMEM) {
        DDSURFACEDESC2 test =
            Describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH,
                     DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_NONLOCALVIDMEM, 128, 128);
        IDirectDrawSurface4* surface = nullptr;
        if (FAILED(d.dd->CreateSurface(&test, &surface, nullptr)) || !surface) {
            d.caps.dwDevCaps &=
                ~(D3DDEVCAPS_TEXTURENONLOCALVIDMEM | D3DDEVCAPS_TEXTURESYSTEMMEMORY);
        }
        TvD3DRelease(surface);
    }
    FreeFormats();
    d.formatList = TvFreeListCreate(sizeof(TvD3DTextureFormat), 5);
    if (!d.formatList) {
        TvD3DError("Unable to create D3D Texture format free list");
        return false;
    }
    if (FAILED(d.curTarget->device->EnumTextureFormats(TextureFormatEnumCallBack, nullptr))) {
        TvD3DError("Unable to enumerate D3D Texture formats");
        return false;
    }
    if (d.caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE) {
        AddAlphaPaletteCopy(d.choices.pal4, 0x4500);
        AddAlphaPaletteCopy(d.choices.pal8, 0x2500);
    }
    ChooseDefaults();
    if (!d.defaults.default16) {
        TvD3DError("Unable to find any suitable texture formats");
        return false;
    }
    if (Transparency()) ColourKeyProbeAll();
    return true;
}

bool TvD3DColourKeyProbe(const TvD3DTextureFormat* format, uint32_t levels[3]) {
    TvD3DDriverState& d = TvD3DDriver;
    DDSURFACEDESC2 desc = format->desc;
    desc.dwWidth = desc.dwHeight = 32;
    desc.dwFlags |= DDSD_CKSRCBLT;
    desc.ddckCKSrcBlt = {0, 0};
    IDirectDrawSurface4* surface = nullptr;
    if (FAILED(d.dd->CreateSurface(&desc, &surface, nullptr)) || !surface) return false;
    IDirect3DTexture2* texture = nullptr;
    if (FAILED(
            surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture))) ||
        !texture) {
        surface->Release();
        return false;
    }
    TvD3DSetDefaultRenderStates(d.curTarget->device);
    TvD3DSetConversionFormat(&format->desc.ddpfPixelFormat);
    for (int channel = 0; channel < 3; ++channel) {
        uint32_t level = 1;
        for (; level < 32; ++level) {
            DDBLTFX fx = {};
            fx.dwSize = sizeof fx;
            fx.dwFillColor = ProbeFill(channel, level);
            if (FAILED(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx)))
                break;
            if (TvD3DColourKeyTest(texture)) break;
        }
        levels[channel] = level;
    }
    // The device lets go of the probe texture before it goes.
    d.curTarget->device->SetTexture(0, nullptr);
    texture->Release();
    surface->Release();
    return true;
}

int32_t TvD3DColourKeyTest(IDirect3DTexture2* texture) {
    TvD3DRenderTarget* t = TvD3DDriver.curTarget;
    const DDPIXELFORMAT& pf = TvD3DDriver.primaryDesc.ddpfPixelFormat;
    const uint32_t white = pf.dwRBitMask | pf.dwGBitMask | pf.dwBBitMask;
    RECT area = {0, 0, 100, 100};
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = white;
    t->colour->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    IDirect3DDevice3* dev = t->device;
    if (SUCCEEDED(dev->BeginScene())) {
        dev->SetTexture(0, texture);
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
        dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
        dev->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
        dev->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
        dev->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
        dev->SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
        dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        dev->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
        D3DTLVERTEX v[3] = {{0, 0, 0, 1.0f, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0},
                            {100, 0, 0, 1.0f, 0xFFFFFFFF, 0xFFFFFFFF, 1, 0},
                            {0, 100, 0, 1.0f, 0xFFFFFFFF, 0xFFFFFFFF, 0, 1}};
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 3, D3DDP_WAIT | D3DDP_DONOTCLIP);
        dev->EndScene();
    }
    DDSURFACEDESC2 desc;
    auto* pixels = static_cast<const uint8_t*>(TvD3DSurfaceLockRead(t->colour, &desc));
    if (!pixels) return 0;
    uint32_t p = 0;
    const DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
    if (desc.dwWidth > 2 && desc.dwHeight > 50 && bits >= 8 && bits <= 32) {
        const uint8_t* at = pixels + 50 * size_t(desc.lPitch) + 2 * size_t((bits + 7) / 8);
        std::memcpy(&p, at, (bits + 7) / 8);
    }
    TvD3DSurfaceUnlock(t->colour);
    const bool keyedOut = (p & pf.dwRBitMask) && (p & pf.dwGBitMask) && (p & pf.dwBBitMask);
    return keyedOut ? 0 : 1;
}

void TvD3DReleaseObjects() {
    TvD3DDriverState& d = TvD3DDriver;
    TvD3DRenderTarget& t = d.startTarget;
    TvD3DRelease(t.material);
    TvD3DRelease(t.viewport);
    TvD3DRelease(t.device);
    TvD3DRelease(t.z);
    // The back buffer reference came from GetAttachedSurface.
    TvD3DRelease(t.colour);
    TvD3DRelease(d.clipper);
    TvD3DRelease(d.primary);
    if (d.dd && d.modeSet) d.dd->RestoreDisplayMode();
    if (d.dd && d.exclusive) d.dd->SetCooperativeLevel(d.window, kCoopNormal);
    d.modeSet = d.exclusive = false;
    TvD3DRelease(d.d3d);
    TvD3DRelease(d.dd);
    d.curTarget = nullptr;
}

int32_t TvDeviceControl(int32_t request, void* out, void* in, int32_t number) {
    TvD3DDriverState& d = TvD3DDriver;
    switch (request) {
    case TV_DEVICE_OPEN:
        d.window = in ? *static_cast<HWND*>(in) : nullptr;
        d.numSubSystems = 0;
        if (FAILED(DirectDrawEnumerateA(TvD3DDriverEnumCallBack, nullptr)) || d.numSubSystems == 0)
            return 0;
        d.curSubSystem = d.numSubSystems - 1;
        TvD3DSelectSubSystem();
        return 1;
    case TV_DEVICE_CLOSE: FreeModes(); return 1;
    case TV_DEVICE_START: return TvD3DDeviceStart() ? 1 : 0;
    case TV_DEVICE_STOP: return Stop();
    case TV_DEVICE_GET_ENGINE_DATA: {
        if (!out) return 0;
        auto* record = static_cast<TvDeviceRecord*>(out);
        *record = g_deviceRecord;
        d.deviceRecord = record;
        d.rasterDataOffset = TvRasterRegisterPlugin(sizeof(TvD3DRasterData), kTvD3DPluginId,
                                                    RasterDataConstructor, nullptr, nullptr);
        d.cameraDataOffset = TvCameraRegisterPlugin(sizeof(TvD3DRenderTarget), kTvD3DPluginId,
                                                    TvD3DCameraTargetConstructor,
                                                    TvD3DCameraTargetDestructor, nullptr);
        return d.rasterDataOffset >= 0 && d.cameraDataOffset >= 0;
    }
    case TV_DEVICE_GET_NUM_VIDEO_MODES:
        if (out) *static_cast<int32_t*>(out) = d.numModes;
        return 1;
    case TV_DEVICE_GET_VIDEO_MODE_INFO:
        if (!out || number < 0 || number >= d.numModes) return 0;
        *static_cast<TvVideoMode*>(out) = d.modes[number];
        return 1;
    case TV_DEVICE_SET_VIDEO_MODE:
        if (d.dd || number < 0 || number >= d.numModes) return 0;
        d.curMode = number;
        d.curModeEntry = &d.modes[number];
        return 1;
    case TV_DEVICE_FOCUS: return Focus(number != 0);
    case TV_DEVICE_BUILD_IM3D_PIPE: TvD3DIm3DBuildPipe(static_cast<TvPipe*>(in)); return 1;
    case TV_DEVICE_GET_CURRENT_VIDEO_MODE:
        if (out) *static_cast<int32_t*>(out) = d.curMode;
        return 1;
    case TV_DEVICE_GET_STANDARD_FUNCTIONS:
        if (!out) return 0;
        TvD3DFillStandardFunctions(static_cast<TvStandardFn*>(out), number, TvD3DStandardPairs,
                                   TvD3DNumStandardPairs);
        return 1;
    case TV_DEVICE_GET_FREE_TEXTURE_MEMORY:
        return int32_t(FreeTextureMemory(static_cast<uint32_t*>(out)));
    case TV_DEVICE_GET_NUM_SUBSYSTEMS:
        if (out) *static_cast<int32_t*>(out) = d.numSubSystems;
        return 1;
    case TV_DEVICE_GET_SUBSYSTEM_INFO:
        if (number < 0 || number >= d.numSubSystems) {
            TvD3DError("Invalid subsystem number");
            return 0;
        }
        if (out) TV_ENGINE->stringFuncs.copy(static_cast<char*>(out), d.subSystems[number].name);
        return 1;
    case TV_DEVICE_GET_CURRENT_SUBSYSTEM:
        if (out) *static_cast<int32_t*>(out) = d.curSubSystem;
        return 1;
    case TV_DEVICE_SET_SUBSYSTEM:
        // The sub-system is chosen before start; changing it later would reset the mode of a
        // running display.
        if (d.dd) return 0;
        if (number < 0 || number >= d.numSubSystems) {
            TvD3DError("Invalid Subsystem number");
            return 0;
        }
        d.curSubSystem = number;
        TvD3DSelectSubSystem();
        return 1;
    case TV_DEVICE_GET_MAX_TEXTURE_SIZE:
        if (out)
            *static_cast<uint32_t*>(out) =
                std::min(d.caps.dwMaxTextureWidth, d.caps.dwMaxTextureHeight);
        return 1;
    default: return 0;
    }
}
