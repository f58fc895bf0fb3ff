#include "engine/core/im2d.h"

#include "engine/core/engine.h"
#include "engine/core/error.h"

namespace {

TvDeviceRecord& Record() {
    return TV_ENGINE->deviceRecord;
}

} // namespace

float TvIm2DGetNearScreenZ() {
    return Record().zNear;
}

float TvIm2DGetFarScreenZ() {
    return Record().zFar;
}

bool TvRenderStateSet(int32_t state, intptr_t value) {
    if (!TV_ENGINE->curCamera) {
        TvErrorCore(E_TV_NOCAMERA);
        return false;
    }
    return Record().renderStateSet && Record().renderStateSet(state, value);
}

bool TvRenderStateGet(int32_t state, void* value) {
    return Record().renderStateGet && Record().renderStateGet(state, value);
}

int32_t TvIm2DRenderLine(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2) {
    return Record().im2DLine ? Record().im2DLine(vertices, count, i1, i2) : 0;
}

int32_t TvIm2DRenderTriangle(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2,
                             int32_t i3) {
    return Record().im2DTriangle ? Record().im2DTriangle(vertices, count, i1, i2, i3) : 0;
}

int32_t TvIm2DRenderPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count) {
    return Record().im2DPrimitive ? Record().im2DPrimitive(type, vertices, count) : 0;
}

int32_t TvIm2DRenderIndexedPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count,
                                     uint16_t* indices, int32_t indexCount) {
    return Record().im2DIndexedPrimitive
               ? Record().im2DIndexedPrimitive(type, vertices, count, indices, indexCount)
               : 0;
}
