#include "platform/ddraw/ddraw.h"

#include "platform/ddraw/ddraw_gl.h"
#include "platform/ddraw/ddraw_surface.h"
#include "platform/crt/modules.h"
#include "platform/win32/win32_sdl.h"

#include <cstdlib>
#include <cstring>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDirectDraw = {0x4D415201, 0x0001, 0x0001, {'M', 'V', 'D', 'D', 0, 0, 0, 1}};
const IID IID_IDirectDraw2 = {0x4D415201, 0x0001, 0x0001, {'M', 'V', 'D', 'D', 0, 0, 0, 2}};
const IID IID_IDirectDraw4 = {0x4D415201, 0x0001, 0x0001, {'M', 'V', 'D', 'D', 0, 0, 0, 4}};
const IID IID_IDirectDrawSurface4 = {0x4D415201, 0x0002, 0x0001, {'M', 'V', 'D', 'D', 0, 0, 0, 4}};
const IID IID_IDirect3D3 = {0x4D415201, 0x0003, 0x0001, {'M', 'V', 'D', '3', 0, 0, 0, 3}};
const IID IID_IDirect3DTexture2 = {0x4D415201, 0x0004, 0x0001, {'M', 'V', 'D', '3', 0, 0, 0, 2}};
const IID IID_IDirect3DHALDevice = {
    0x4D415201, 0x0005, 0x0001, {'M', 'V', 'D', '3', 'H', 'A', 'L', 0}};

namespace {

constexpr DWORD kVideoMemory = 64u << 20;

bool Windowed() {
    const char* v = getenv("MAROVANT_WINDOWED");
    return v && strcmp(v, "1") == 0;
}

// The desktop: its real size when there is a display, else the smallest full-screen mode.
void DesktopSize(DWORD* width, DWORD* height) {
    *width = DDRAW_DISPLAY_MODES[0].width;
    *height = DDRAW_DISPLAY_MODES[0].height;
    SDL_DisplayMode mode;
    if (!PlatformIsHeadless() && Win32EnsureVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0 &&
        mode.w > 0 && mode.h > 0) {
        *width = static_cast<DWORD>(mode.w);
        *height = static_cast<DWORD>(mode.h);
    }
}

// A display mode set with the exclusive level fills the screen (the picture is scaled when
// presented); MAROVANT_WINDOWED=1 asks for a window of the mode's size instead.
void ShowMode(HWND hwnd, DWORD width, DWORD height, bool fullScreen) {
    SDL_Window* sdl = hwnd && Win32EnsureVideo() ? Win32SdlWindow(hwnd) : nullptr;
    if (!sdl) return;
    if (fullScreen && !Windowed()) {
        // The window covers the desktop before asking for the full screen, so that it does so
        // where nothing grants the request (an X server without a window manager).
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(sdl), &desktop) == 0) {
            SDL_SetWindowBordered(sdl, SDL_FALSE);
            SDL_SetWindowPosition(sdl, 0, 0);
            SDL_SetWindowSize(sdl, desktop.w, desktop.h);
        }
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(sdl, 0);
        SDL_SetWindowSize(sdl, static_cast<int>(width), static_cast<int>(height));
    }
}

// Back from a display mode: the window leaves the full screen and keeps its size.
void LeaveMode(HWND hwnd) {
    SDL_Window* sdl = hwnd && Win32EnsureVideo() ? Win32SdlWindow(hwnd) : nullptr;
    if (sdl) SDL_SetWindowFullscreen(sdl, 0);
}

class DirectDraw final : public DDrawCounted<IDirectDraw, IDirectDraw2, IDirectDraw4> {
public:
    DirectDraw() : display_(std::make_shared<DDrawDisplay>()) {
        DesktopSize(&display_->width, &display_->height);
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDirectDraw) {
            *out = static_cast<IDirectDraw*>(this);
        } else if (iid == IID_IDirectDraw2) {
            *out = static_cast<IDirectDraw2*>(this);
        } else if (iid == IID_IDirectDraw4) {
            *out = static_cast<IDirectDraw4*>(this);
        } else if (iid == IID_IDirect3D3) {
            *out = D3DCreateDirect3D(this, display_);
            return *out ? DD_OK : DDERR_OUTOFMEMORY;
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return DD_OK;
    }

    HRESULT GetAvailableVidMem(DDSCAPS* caps, DWORD* total, DWORD* free) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        return VidMem(caps->dwCaps, total, free);
    }
    HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        return VidMem(caps->dwCaps, total, free);
    }

    HRESULT CreateClipper(DWORD, IDirectDrawClipper** out, IUnknown*) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = new DDrawClipper();
        return DD_OK;
    }
    HRESULT CreatePalette(DWORD caps, PALETTEENTRY* entries, IDirectDrawPalette** out,
                          IUnknown*) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!entries || !(caps & (DDPCAPS_4BIT | DDPCAPS_8BIT))) return DDERR_INVALIDPARAMS;
        *out = new DDrawPalette(caps, entries);
        return DD_OK;
    }
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** out, IUnknown*) override {
        if (!desc || !out) return DDERR_INVALIDPARAMS;
        DDrawSurface* s = nullptr;
        HRESULT r = DDrawSurface::Create(display_, *desc, &s);
        *out = s;
        return r;
    }
    HRESULT EnumDisplayModes(DWORD, DDSURFACEDESC2*, void* context,
                             LPDDENUMMODESCALLBACK2 callback) override {
        if (!callback) return DDERR_INVALIDPARAMS;
        for (const DDrawDisplayMode& m : DDRAW_DISPLAY_MODES) {
            DDSURFACEDESC2 d = {};
            d.dwSize = sizeof d;
            d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
            d.dwWidth = m.width;
            d.dwHeight = m.height;
            d.lPitch = static_cast<LONG>(m.width * 2);
            d.ddpfPixelFormat = DDrawRgbFormat(16, 0, 5, 6, 5);
            if (callback(&d, context) == DDENUMRET_CANCEL) break;
        }
        return DD_OK;
    }
    HRESULT GetCaps(DDCAPS* hal, DDCAPS* hel) override {
        if (!hal && !hel) return DDERR_INVALIDPARAMS;
        if (hal) {
            DWORD size = hal->dwSize;
            *hal = {};
            hal->dwSize = size;
            hal->dwCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTDEPTHFILL |
                          DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY;
            hal->dwFXCaps = DDFXCAPS_BLTSTRETCHX | DDFXCAPS_BLTSTRETCHY;
            VidMem(DDSCAPS_VIDEOMEMORY, &hal->dwVidMemTotal, &hal->dwVidMemFree);
        }
        if (hel) {
            DWORD size = hel->dwSize;
            *hel = {};
            hel->dwSize = size;
            hel->dwCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY;
        }
        return DD_OK;
    }
    HRESULT RestoreAllSurfaces() override { return DD_OK; }
    HRESULT RestoreDisplayMode() override {
        if (!modeSet_) return DD_OK;
        modeSet_ = false;
        DesktopSize(&display_->width, &display_->height);
        LeaveMode(display_->window);
        return DD_OK;
    }
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
        if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
        if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
        exclusive_ = exclusive;
        if (hwnd) display_->window = hwnd;
        return DD_OK;
    }
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD, DWORD) override {
        bool known = false;
        for (const DDrawDisplayMode& m : DDRAW_DISPLAY_MODES)
            known |= m.width == width && m.height == height;
        if (!known || bpp != 16) return DDERR_INVALIDMODE;
        display_->width = width;
        display_->height = height;
        modeSet_ = true;
        ShowMode(display_->window, width, height, exclusive_);
        return DD_OK;
    }

private:
    ~DirectDraw() override {
        if (modeSet_) RestoreDisplayMode();
    }

    HRESULT VidMem(DWORD caps, DWORD* total, DWORD* free) {
        if (caps & DDSCAPS_NONLOCALVIDMEM) return DDERR_INVALIDCAPS;
        uint64_t used = DDrawVideoBytesInUse();
        if (total) *total = kVideoMemory;
        if (free) *free = used >= kVideoMemory ? 0 : static_cast<DWORD>(kVideoMemory - used);
        return DD_OK;
    }

    std::shared_ptr<DDrawDisplay> display_;
    bool exclusive_ = false;
    bool modeSet_ = false;
};

} // namespace

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context) {
    if (!callback) return DDERR_INVALIDPARAMS;
    char description[] = "OpenGL display";
    char name[] = "display";
    callback(nullptr, description, name, context);
    return DD_OK;
}

HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (guid) return DDERR_INVALIDPARAMS; // only the primary display driver exists
    // The drivers OpenGL loads stay mapped, so leak reports can name them.
    PlatformKeepLoadedModules();
    *out = new DirectDraw();
    return DD_OK;
}

DDPIXELFORMAT DDrawRgbFormat(DWORD bits, DWORD a, DWORD r, DWORD g, DWORD b) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    auto mask = [](DWORD count, DWORD shift) { return ((1u << count) - 1) << shift; };
    f.dwBBitMask = mask(b, 0);
    f.dwGBitMask = mask(g, b);
    f.dwRBitMask = mask(r, b + g);
    f.dwRGBAlphaBitMask = a ? mask(a, b + g + r) : 0;
    return f;
}

DDPIXELFORMAT DDrawFourCCFormat(DWORD fourCC) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_FOURCC;
    f.dwFourCC = fourCC;
    return f;
}

DDPIXELFORMAT DDrawZFormat(DWORD bits) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_ZBUFFER;
    f.dwZBufferBitDepth = bits;
    f.dwZBitMask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return f;
}
