// The engine's Direct3D/DirectDraw device driver: its device record, the device-control entry
// the engine sends numbered requests to, the enumeration of DirectDraw drivers (sub-systems) and
// video modes, the start and stop of a DirectDraw4/Direct3D3 device with its capabilities,
// texture formats and colour-key probe, and the state every driver module shares.
#pragma once

#include <cstdint>

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/raster.h"
#include "platform/ddraw/d3d.h"

inline constexpr int32_t kTvD3DMaxSubSystems = 10;
inline constexpr uint32_t kTvD3DPluginId = 0x40C;

struct TvD3DRasterData;

// The Direct3D objects one render target uses. Records bound to the same colour raster form a
// ring through `next` (a record alone points at itself).
struct TvD3DRenderTarget {
    IDirectDrawSurface4* colour;
    IDirectDrawSurface4* z;
    IDirect3DDevice3* device;
    IDirect3DViewport3* viewport;
    IDirect3DMaterial3* material;
    uint8_t backRed, backGreen, backBlue;
    TvD3DRenderTarget* next;
    TvD3DRasterData* raster; // the raster bound to, or null
};

// The pixel format of a raster's surface, shared by a raster and its sub-rasters.
struct TvD3DPixelFormatBlock {
    int32_t refCount;
    DDPIXELFORMAT format;
};

// The driver's data behind every raster (raster plug-in data).
struct TvD3DRasterData {
    uint8_t backRed, backGreen, backBlue; // background colour last set for clearing
    uint32_t colourKeyed;                 // DDSD_CKSRCBLT of the texture template used
    IDirectDrawSurface4* surface;         // null for rasters without pixels
    IDirect3DTexture2* texture;           // textures only
    TvD3DPixelFormatBlock* format;
    IDirectDrawPalette* palette; // palettised textures
    TvD3DRenderTarget* target;   // first render target bound to this raster
};

struct TvD3DSubSystem {
    GUID* guid; // null for the primary display driver, else &driverGuid
    GUID driverGuid;
    DWORD halCaps;
    DWORD halFXCaps;
    char name[80];
    DDPIXELFORMAT zFormat;
    bool noZBuffer; // hidden surfaces removed without a z-buffer
    D3DDEVICEDESC deviceDesc;
    uint32_t videoMemory;
};

// A texture pixel format the device offers, with the template its surfaces are made from.
struct TvD3DTextureFormat {
    DDSURFACEDESC2 desc;
    DWORD paletteCaps;
    uint32_t code; // raster format code
    TvD3DTextureFormat* next;
};

struct TvD3DTextureChoices {
    TvD3DTextureFormat *f1555, *f4444, *f565, *f8888, *f888, *pal4, *pal8;
};

// What raster creation looks formats up in. alpha[t][k]: triple t (translucent, masked, opaque)
// entry k (true colour, 4-bit palette, 8-bit palette).
struct TvD3DTextureDefaults {
    TvD3DTextureFormat *default16, *default24, *default32, *pal4, *pal8;
    TvD3DTextureFormat* alpha[3][3];
};

struct TvD3DDriverState {
    HWND window;
    TvDeviceRecord* deviceRecord; // the instance's copy
    int32_t rasterDataOffset;
    int32_t cameraDataOffset;

    TvD3DSubSystem subSystems[kTvD3DMaxSubSystems];
    int32_t numSubSystems;
    int32_t curSubSystem;

    TvVideoMode* modes;
    int32_t numModes;
    int32_t curMode; // -1 when none
    TvVideoMode* curModeEntry;

    IDirectDraw4* dd;
    IDirect3D3* d3d;
    IDirectDrawSurface4* primary;
    IDirectDrawClipper* clipper;
    bool exclusive;
    bool modeSet;
    bool fullScreen;
    bool noZ;
    DDSURFACEDESC2 primaryDesc;
    DDSURFACEDESC2 zBufferDesc; // the start-up z-buffer's
    D3DDEVICEDESC caps;
    DDSURFACEDESC2 zTemplate, targetTemplate, systemTemplate;
    uint32_t frameBufferCode;
    uint32_t zBufferCode;

    TvFreeList* formatList;
    TvD3DTextureFormat* formats; // newest first
    TvD3DTextureChoices choices;
    TvD3DTextureDefaults defaults;

    TvD3DRenderTarget startTarget;
    TvD3DRenderTarget* curTarget; // set between camera begin and end update

    TvCamera* curCamera;
    bool flipPending;
    bool fpuSet;
    bool matrixInstalled;
    int32_t replayOrder; // deferred call buffer run order

    // 2-D drawing context (standard function 11).
    TvRaster* context;
    int32_t contextX, contextY;
    TvRect clip;
};

extern TvD3DDriverState TvD3DDriver;

// The DirectDraw object of the running device, or null; callers that ask it for its
// capabilities use it only while the device runs.
IDirectDraw4* TvD3DGetDirectDraw();

int32_t TvDeviceControl(int32_t request, void* out, void* in, int32_t number);

struct TvD3DStandardPair {
    int32_t index;
    TvStandardFn function;
};
// Every slot first answers 0, then each pair whose index is inside the table sets its slot.
// The driver function behind a standard-function slot (the table holds wrappers that first
// draw gathered immediate-mode triangles); null outside the table.
TvStandardFn TvD3DStandardFunction(int32_t index);
void TvD3DFillStandardFunctions(TvStandardFn* table, int32_t slots, const TvD3DStandardPair* pairs,
                                int32_t count);
// The driver's standard functions (1-25).
extern const TvD3DStandardPair TvD3DStandardPairs[];
extern const int32_t TvD3DNumStandardPairs;

// What device enumeration keeps for one DirectDraw driver.
struct TvD3DDeviceEnumContext {
    bool found;
    bool noZ;
    bool zAccepted;
    DDPIXELFORMAT zFormat;
    IDirect3D3* d3d;
    D3DDEVICEDESC desc;
};
// Takes the first hardware device with RGB colour and perspective texturing that either needs no
// z-buffer or offers a z format.
HRESULT TvD3DDeviceEnumCallBack(GUID* guid, char* description, char* name, D3DDEVICEDESC* hal,
                                D3DDEVICEDESC* hel, void* context);
// Keeps the smallest z depth of at least 16 bits, else the first format offered.
HRESULT TvD3DZBufferEnumCallBack(DDPIXELFORMAT* format, void* context);

bool TvD3DDeviceStart();
void TvD3DReleaseObjects();
bool TvD3DReadDeviceCaps();
void TvD3DSelectSubSystem();
// Draws a keyed texture over white on the current target; 1 when its texel shows.
int32_t TvD3DColourKeyTest(IDirect3DTexture2* texture);
// Probes one texture format: the first level of red, green and blue (1-32) the card draws
// rather than keys out; false when the probe surface cannot be made.
bool TvD3DColourKeyProbe(const TvD3DTextureFormat* format, uint32_t levels[3]);

// Records the driver's error: core error 11 with its message.
void TvD3DError(const char* message);
TvD3DRasterData* TvD3DGetRasterData(const TvRaster* raster);
TvD3DRenderTarget* TvD3DGetCameraTarget(const TvCamera* camera);
// Releases a COM object and clears the pointer.
template <class T> inline void TvD3DRelease(T*& object) {
    if (object) object->Release();
    object = nullptr;
}
