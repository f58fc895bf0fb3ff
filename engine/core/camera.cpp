#include "engine/core/camera.h"

#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/immediate.h"
#include "engine/core/link.h"
#include "engine/core/memory.h"
#include "engine/core/resources.h"

TvPluginRegistry TvCameraRegistry = TvPluginRegistryInitial(sizeof(TvCamera));

namespace {

TvModuleGlobals cameraModule;

TvCameraModule* CameraModuleData() {
    return TvEngineModuleData<TvCameraModule>(cameraModule);
}

enum : int32_t {
    kStdCameraBeginUpdate = 1,
    kStdCameraEndUpdate = 10,
    kStdCameraClear = 21,
};

int32_t Standard(int32_t index, void* out, void* in, int32_t number) {
    return TV_ENGINE->standardFunctions[index](out, in, number);
}

// Screen z runs from just above the device's near z (near plane) to just below its far z.
void UpdateDepthScale(TvCamera* c) {
    const float zn = TvIm2DGetNearScreenZ();
    const float zf = TvIm2DGetFarScreenZ();
    const float upper = zf + (zn - zf) * 0.0001f;
    const float lower = zn + (upper - zn) * 0.0001f;
    const bool parallel = c->projectionType == kTvParallel;
    const float a = parallel ? c->farPlane : 1.0f / c->farPlane;
    const float b = parallel ? c->nearPlane : 1.0f / c->nearPlane;
    c->zScale = (upper - lower) / (a - b);
    c->zShift = upper - c->zScale * a;
}

// The planes and corners follow at the camera's next frame synchronisation.
TvCamera* SetClipDistance(TvCamera* c, float* field, float distance) {
    *field = distance;
    UpdateDepthScale(c);
    c->counter++;
    return c;
}

void SetPlane(TvFrustumPlane* fp, const TvV3d& normal, const TvV3d& through) {
    fp->plane.normal = normal;
    fp->plane.distance = TvV3dDot(normal, through);
    fp->closestX = normal.x >= 0.0f;
    fp->closestY = normal.y >= 0.0f;
    fp->closestZ = normal.z >= 0.0f;
    fp->pad = 0;
}

// Writes the view matrix from its three columns and constant terms.
void SetView(TvMatrix* view, const TvV3d& colX, const TvV3d& colY, const TvV3d& colZ,
             const TvV3d& constant) {
    view->right = {colX.x, colY.x, colZ.x};
    view->up = {colX.y, colY.y, colZ.y};
    view->at = {colX.z, colY.z, colZ.z};
    view->pos = constant;
    TvMatrixUpdate(view);
}

void UpdatePerspective(TvCamera* c, const TvMatrix* ltm) {
    const TvV3d& right = ltm->right;
    const TvV3d& up = ltm->up;
    const TvV3d& at = ltm->at;
    const TvV3d& eye = ltm->pos;
    const float r = c->recipViewWindow.x, s = c->recipViewWindow.y;
    const float ox = c->viewOffset.x, oy = c->viewOffset.y;

    // X = -r/2 (right.d) + (1/2 + r ox/2)(at.d) - r ox/2, with d = p - eye; likewise Y and Z.
    const TvV3d colX = TvV3dAdd(TvV3dScale(right, -0.5f * r), TvV3dScale(at, 0.5f + 0.5f * r * ox));
    const TvV3d colY = TvV3dAdd(TvV3dScale(up, -0.5f * s), TvV3dScale(at, 0.5f - 0.5f * s * oy));
    SetView(&c->viewMatrix, colX, colY, at,
            {-TvV3dDot(colX, eye) - 0.5f * r * ox, -TvV3dDot(colY, eye) + 0.5f * s * oy,
             -TvV3dDot(at, eye)});

    const float w = c->viewWindow.x, h = c->viewWindow.y;
    const TvV3d o = TvV3dSub(TvV3dScale(up, oy), TvV3dScale(right, ox));
    const float sx[4] = {1, -1, -1, 1};
    const float sy[4] = {1, 1, -1, -1};
    const TvV3d base = TvV3dAdd(eye, o);
    for (int i = 0; i < 4; ++i) {
        const TvV3d dir =
            TvV3dAdd(at, TvV3dAdd(TvV3dScale(right, sx[i] * w), TvV3dScale(up, sy[i] * h)));
        const TvV3d rel = TvV3dSub(dir, o);
        c->frustumCorners[i] = TvV3dAdd(base, TvV3dScale(rel, c->nearPlane));
        c->frustumCorners[i + 4] = TvV3dAdd(base, TvV3dScale(rel, c->farPlane));
    }
    SetPlane(&c->frustumPlanes[0], at, c->frustumCorners[4]);
    SetPlane(&c->frustumPlanes[1], TvV3dScale(at, -1.0f), c->frustumCorners[0]);

    // Sides: two adjacent near corners and a far corner, normals pointing out of the volume.
    TvV3d centre = {0, 0, 0};
    for (const TvV3d& p : c->frustumCorners)
        centre = TvV3dAdd(centre, TvV3dScale(p, 0.125f));
    for (int k = 0; k < 4; ++k) {
        const TvV3d& n0 = c->frustumCorners[k];
        const TvV3d& n1 = c->frustumCorners[(k + 1) % 4];
        const TvV3d& f0 = c->frustumCorners[k + 4];
        TvV3d normal;
        const TvV3d cross = TvV3dCross(TvV3dSub(n1, n0), TvV3dSub(f0, n0));
        TvV3dNormalizeFast(&normal, &cross);
        if (TvV3dDot(normal, TvV3dSub(centre, n0)) > 0.0f) normal = TvV3dScale(normal, -1.0f);
        SetPlane(&c->frustumPlanes[2 + k], normal, n0);
    }
}

void UpdateParallel(TvCamera* c, const TvMatrix* ltm) {
    const TvV3d& right = ltm->right;
    const TvV3d& up = ltm->up;
    const TvV3d& at = ltm->at;
    const TvV3d& eye = ltm->pos;
    const float r = c->recipViewWindow.x, s = c->recipViewWindow.y;
    const float ox = c->viewOffset.x, oy = c->viewOffset.y;

    const TvV3d colX = TvV3dAdd(TvV3dScale(right, -0.5f * r), TvV3dScale(at, 0.5f * r * ox));
    const TvV3d colY = TvV3dAdd(TvV3dScale(up, -0.5f * s), TvV3dScale(at, -0.5f * s * oy));
    SetView(&c->viewMatrix, colX, colY, at,
            {-TvV3dDot(colX, eye) + 0.5f - 0.5f * r * ox,
             -TvV3dDot(colY, eye) + 0.5f + 0.5f * s * oy, -TvV3dDot(at, eye)});

    const float w = c->viewWindow.x, h = c->viewWindow.y;
    const TvV3d local[8] = {{w, h, c->nearPlane},  {-w, h, c->nearPlane}, {-w, -h, c->nearPlane},
                            {w, -h, c->nearPlane}, {w, h, c->farPlane},   {-w, h, c->farPlane},
                            {-w, -h, c->farPlane}, {w, -h, c->farPlane}};
    TvV3dTransformPoints(c->frustumCorners, local, 8, ltm);
    SetPlane(&c->frustumPlanes[0], at, c->frustumCorners[4]);
    SetPlane(&c->frustumPlanes[1], TvV3dScale(at, -1.0f), c->frustumCorners[0]);
    SetPlane(&c->frustumPlanes[2], up, c->frustumCorners[0]);
    SetPlane(&c->frustumPlanes[3], TvV3dScale(right, -1.0f), c->frustumCorners[1]);
    SetPlane(&c->frustumPlanes[4], TvV3dScale(up, -1.0f), c->frustumCorners[2]);
    SetPlane(&c->frustumPlanes[5], right, c->frustumCorners[3]);
}

// Frame synchronisation callback: rebuilds the view matrix, the corners, planes and box.
TvObjectHasFrame* CameraSync(TvObjectHasFrame* object) {
    auto* c = reinterpret_cast<TvCamera*>(object);
    c->counter++;
    if (c->object.frame) {
        const TvMatrix* ltm = TvFrameGetLTM(c->object.frame);
        if (c->projectionType == kTvPerspective) {
            UpdatePerspective(c, ltm);
        } else if (c->projectionType == kTvParallel) {
            UpdateParallel(c, ltm);
        }
    }
    TvBBoxCalculate(&c->frustumBoundBox, c->frustumCorners, 8);
    return object;
}

TvCamera* EngineBeginUpdate(TvCamera* camera) {
    if (!camera) {
        TvErrorCore(E_TV_NOCAMERA);
        return nullptr;
    }
    if (!camera->frameBuffer) {
        TvErrorCore(E_TV_NOFRAMEBUFFER);
        return nullptr;
    }
    if (camera->zBuffer) {
        const TvRaster* fb = camera->frameBuffer->parent;
        const TvRaster* zb = camera->zBuffer->parent;
        if (fb->width != zb->width || fb->height != zb->height) {
            TvErrorCore(E_TV_BUFFERSIZEMISMATCH);
            return nullptr;
        }
    }
    TV_ENGINE->curCamera = camera;
    TvFrameSyncDirty();
    if (!Standard(kStdCameraBeginUpdate, nullptr, camera, 0)) return nullptr;
    TvEngineDriverCameraHook(camera);
    return camera;
}

TvCamera* EngineEndUpdate(TvCamera* camera) {
    if (!Standard(kStdCameraEndUpdate, nullptr, camera, 0)) return nullptr;
    TV_ENGINE->curCamera = nullptr;
    return camera;
}

} // namespace

TvCamera* TvCameraCreate() {
    auto* c = static_cast<TvCamera*>(TvFreeListAlloc(CameraModuleData()->freeList));
    if (!c) return nullptr;
    std::memset(c, 0, sizeof(TvCamera));
    c->object.object.type = kTvCameraObjectType;
    TvLinkInit(&c->object.lFrame);
    c->object.sync = CameraSync;
    c->projectionType = kTvPerspective;
    c->beginUpdate = EngineBeginUpdate;
    c->endUpdate = EngineEndUpdate;
    TvMatrixSetIdentity(&c->viewMatrix);
    c->viewMatrix.flags = 0;
    c->viewWindow = {1.0f, 1.0f};
    c->recipViewWindow = {1.0f, 1.0f};
    c->nearPlane = 0.05f;
    c->farPlane = 10.0f;
    c->fogPlane = 5.0f;
    UpdateDepthScale(c);
    if (!TvPluginInitObject(&TvCameraRegistry, c)) {
        TvFreeListFree(CameraModuleData()->freeList, c);
        return nullptr;
    }
    return c;
}

TvCamera* TvCameraSetFrame(TvCamera* camera, TvFrame* frame) {
    TvObjectHasFrameSetFrame(&camera->object, frame);
    return camera;
}

TvCamera* TvCameraSetRaster(TvCamera* camera, TvRaster* raster) {
    camera->frameBuffer = raster;
    camera->counter++;
    return camera;
}

TvRaster* TvCameraGetRaster(const TvCamera* camera) {
    return camera->frameBuffer;
}

TvCamera* TvCameraSetZRaster(TvCamera* camera, TvRaster* raster) {
    camera->zBuffer = raster;
    camera->counter++;
    return camera;
}

TvRaster* TvCameraGetZRaster(const TvCamera* camera) {
    return camera->zBuffer;
}

TvCamera* TvCameraSetViewWindow(TvCamera* camera, const TvV2d* window) {
    camera->viewWindow = *window;
    camera->recipViewWindow = {1.0f / window->x, 1.0f / window->y};
    if (camera->object.frame) TvFrameUpdateObjects(camera->object.frame);
    camera->counter++;
    return camera;
}

TvV2d* TvCameraGetViewWindow(TvCamera* camera) {
    return &camera->viewWindow;
}
TvV2d* TvCameraGetViewOffset(TvCamera* camera) {
    return &camera->viewOffset;
}
TvMatrix* TvCameraGetViewMatrix(TvCamera* camera) {
    return &camera->viewMatrix;
}

TvCamera* TvCameraSetNearClipPlane(TvCamera* camera, float distance) {
    return SetClipDistance(camera, &camera->nearPlane, distance);
}

TvCamera* TvCameraSetFarClipPlane(TvCamera* camera, float distance) {
    return SetClipDistance(camera, &camera->farPlane, distance);
}

TvCamera* TvCameraSetFogDistance(TvCamera* camera, float distance) {
    camera->fogPlane = distance;
    camera->counter++;
    return camera;
}

TvCamera* TvCameraBeginUpdate(TvCamera* camera) {
    // A null camera reaches the engine's callback, which reports it.
    return camera ? camera->beginUpdate(camera) : EngineBeginUpdate(nullptr);
}

TvCamera* TvCameraEndUpdate(TvCamera* camera) {
    return camera->endUpdate(camera);
}

TvCamera* TvCameraClear(TvCamera* camera, const TvRGBA* colour, int32_t clearFlags) {
    TvRGBA c = *colour;
    return Standard(kStdCameraClear, camera, &c, clearFlags) ? camera : nullptr;
}

TvCamera* TvCameraShowRaster(TvCamera* camera, void* window, uint32_t flags) {
    TvResourcesEndFrame();
    if (!camera->frameBuffer) {
        TvErrorCore(E_TV_NOFRAMEBUFFER);
        return nullptr;
    }
    return TvRasterShowRaster(camera->frameBuffer, window, flags) ? camera : nullptr;
}

int32_t TvCameraFrustumTestSphere(const TvCamera* camera, const TvSphere* sphere) {
    bool crossing = false;
    for (const TvFrustumPlane& fp : camera->frustumPlanes) {
        const float e = TvV3dDot(fp.plane.normal, sphere->center) - fp.plane.distance;
        if (e > sphere->radius) return kTvSphereOutside;
        if (e > -sphere->radius) crossing = true;
    }
    return crossing ? kTvSphereBoundary : kTvSphereInside;
}

int32_t TvCameraRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TvCameraRegistry, size, pluginId, ctor, dtor, copy);
}

const int32_t _TvCameraModuleDataSize = sizeof(TvCameraModule);

void* _TvCameraModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvCameraModule*>(TvEngineInstanceData(instance, offset));
    mod->freeList = TvFreeListCreate(size_t(TvCameraRegistry.sizeOfStruct), 4);
    if (!mod->freeList) return nullptr;
    return TvModuleOpened(cameraModule, instance, offset);
}

void* _TvCameraModuleClose(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvCameraModule*>(TvEngineInstanceData(instance, offset));
    TvFreeListDestroy(mod->freeList);
    mod->freeList = nullptr;
    return TvModuleClosed(cameraModule, instance);
}
