// Cameras: objects on frames that look along their frame's at axis, render into a frame-buffer
// raster and keep a view matrix, the six planes of their view volume and its bounding box.
#pragma once

#include <cstdint>

#include "engine/core/frame.h"
#include "engine/core/raster.h"
#include "engine/core/vector.h"

inline constexpr uint8_t kTvCameraObjectType = 4;

enum TvCameraProjection : int32_t {
    kTvPerspective = 1,
    kTvParallel = 2,
};

struct TvCamera;
using TvCameraUpdateFn = TvCamera* (*)(TvCamera* camera);

struct TvPlane {
    TvV3d normal;
    float distance;
};

// For x, y and z: 1 when the normal's component is not negative (picks a box's corner).
struct TvFrustumPlane {
    TvPlane plane;
    uint8_t closestX;
    uint8_t closestY;
    uint8_t closestZ;
    uint8_t pad;
};

enum TvFrustumTest : int32_t {
    kTvSphereOutside = 0,
    kTvSphereBoundary = 1,
    kTvSphereInside = 2,
};

struct TvCamera {
    TvObjectHasFrame object;
    int32_t projectionType;
    TvCameraUpdateFn beginUpdate;
    TvCameraUpdateFn endUpdate;
    TvMatrix viewMatrix;
    TvRaster* frameBuffer;
    TvRaster* zBuffer;
    TvV2d viewWindow; // half-width and half-height at distance 1
    TvV2d recipViewWindow;
    TvV2d viewOffset;
    float nearPlane;
    float farPlane;
    float fogPlane;
    float zScale; // screen z = zShift + zScale x (1 / depth), or x depth when parallel
    float zShift;
    uint8_t counter;
    TvFrustumPlane frustumPlanes[6]; // far, near, then the four sides
    TvBBox frustumBoundBox;
    TvV3d frustumCorners[8]; // four near, then four far
    // camera plug-in data follows
};

// Camera module data (module 0x405).
struct TvCameraModule {
    TvFreeList* freeList;
};

extern TvPluginRegistry TvCameraRegistry;

TvCamera* TvCameraCreate();
TvCamera* TvCameraSetFrame(TvCamera* camera, TvFrame* frame);
TvCamera* TvCameraSetRaster(TvCamera* camera, TvRaster* raster);
TvRaster* TvCameraGetRaster(const TvCamera* camera);
TvCamera* TvCameraSetZRaster(TvCamera* camera, TvRaster* raster);
TvRaster* TvCameraGetZRaster(const TvCamera* camera);
TvCamera* TvCameraSetViewWindow(TvCamera* camera, const TvV2d* window);
TvV2d* TvCameraGetViewWindow(TvCamera* camera);
TvV2d* TvCameraGetViewOffset(TvCamera* camera);
TvMatrix* TvCameraGetViewMatrix(TvCamera* camera);
TvCamera* TvCameraSetNearClipPlane(TvCamera* camera, float distance);
TvCamera* TvCameraSetFarClipPlane(TvCamera* camera, float distance);
TvCamera* TvCameraSetFogDistance(TvCamera* camera, float distance);
TvCamera* TvCameraBeginUpdate(TvCamera* camera);
TvCamera* TvCameraEndUpdate(TvCamera* camera);
TvCamera* TvCameraClear(TvCamera* camera, const TvRGBA* colour, int32_t clearFlags);
TvCamera* TvCameraShowRaster(TvCamera* camera, void* window, uint32_t flags);
int32_t TvCameraFrustumTestSphere(const TvCamera* camera, const TvSphere* sphere);
int32_t TvCameraRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
