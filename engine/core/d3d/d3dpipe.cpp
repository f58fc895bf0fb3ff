#include "engine/core/d3d/d3dpipe.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "engine/core/d3d/fpu.h"
#include "engine/core/d3d/renderstate.h"
#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"

TvD3DIm3DState TvD3DIm3D;

namespace {

TvModuleGlobals g_module;
TvD3DIm3DState& S = TvD3DIm3D;
// Triangles of the current batch gathered and not yet drawn.
bool g_pending = false;

constexpr int32_t kInitialVertices = 256;
constexpr int32_t kInitialTriangleIndices = 66;
constexpr int32_t kInitialLineIndices = 64;
// Batch indices are 16 bits; clipping needs room for the records it adds.
constexpr int32_t kMaxBatch = 0xFFFF - 1024;
// A polygon clipped against six planes gains at most one vertex per plane.
constexpr int kMaxRing = 16;

struct StageWork {
    const TvIm3DTransformData* data;
    TvMatrix combined;
};

// ---- Arrays ----

TvIm2DVertex* Dev(int32_t i) {
    return S.device + S.current->first + i;
}
TvD3DIm3DWorkVertex* Work(int32_t i) {
    return S.work + S.current->first + i;
}
int32_t FreeRecords() {
    return S.reserved - S.current->count;
}

template <class T> bool Grow(T*& array, int32_t& capacity, int32_t wanted) {
    if (wanted <= capacity) return true;
    auto* grown = static_cast<T*>(TvRealloc(array, size_t(wanted) * sizeof(T)));
    if (!grown) {
        TvErrorCore(E_TV_NOMEM);
        return false;
    }
    array = grown;
    capacity = wanted;
    return true;
}

bool AddIndices(TvD3DIndexList& list, int32_t n, int32_t keep, int32_t step,
                const uint16_t* indices) {
    if (list.capacity - list.count < keep && !TvD3DReserveIndices(&list, list.count + step))
        return false;
    std::memcpy(list.data + list.count, indices, size_t(n) * sizeof(uint16_t));
    list.count += n;
    return true;
}

// ---- Clip codes and projection ----

// Integer key of a float's bits that orders like the float for every sign.
int32_t Key(float f) {
    int32_t bits = std::bit_cast<int32_t>(f);
    return bits < 0 ? int32_t(0x80000000u - uint32_t(bits)) : bits;
}

void Project(int32_t i) {
    const TvD3DIm3DCamera& c = S.cam;
    const TvD3DIm3DWorkVertex& w = *Work(i);
    TvIm2DVertex& d = *Dev(i);
    if (c.parallel) {
        d.x = w.x * c.width + c.offsetX;
        d.y = w.y * c.height + c.offsetY;
        d.z = w.z * c.zScale + c.zShift;
        d.recipZ = 1.0f;
    } else {
        const float q = 1.0f / w.z;
        d.x = w.x * q * c.width + c.offsetX;
        d.y = w.y * q * c.height + c.offsetY;
        d.z = q * c.zScale + c.zShift;
        d.recipZ = q;
    }
    d.specular = TvD3DFogTable[TvD3DIm3DFogIndex(w.z)];
}

// A clipped vertex lying on a view plane sits exactly on the screen's edge.
void ProjectClipped(int32_t i) {
    Project(i);
    const TvD3DIm3DCamera& c = S.cam;
    const TvD3DIm3DWorkVertex& w = *Work(i);
    TvIm2DVertex& d = *Dev(i);
    if ((w.on & 3) == kTvClipLeft) d.x = c.offsetX;
    if ((w.on & 3) == kTvClipRight) d.x = c.offsetX + c.width;
    if ((w.on & 12) == kTvClipTop) d.y = c.offsetY;
    if ((w.on & 12) == kTvClipBottom) d.y = c.offsetY + c.height;
    if ((w.on & 63) == kTvClipNear) d.z = c.zNear;
    if ((w.on & 63) == kTvClipFar) d.z = c.zFar;
    d.colour = w.colour;
    d.u = w.u;
    d.v = w.v;
}

// ---- Clipping ----

// Planes in clipping order.
constexpr uint8_t kPlanes[6] = {kTvClipNear,   kTvClipFar,  kTvClipTop,
                                kTvClipBottom, kTvClipLeft, kTvClipRight};

// Signed distance to a plane, not negative inside.
float Distance(uint8_t plane, const TvD3DIm3DWorkVertex& w) {
    const float side = S.cam.parallel ? 1.0f : w.z;
    switch (plane) {
    case kTvClipNear: return w.z - S.cam.nearClip;
    case kTvClipFar: return S.cam.farClip - w.z;
    case kTvClipTop: return w.y;
    case kTvClipBottom: return side - w.y;
    case kTvClipLeft: return w.x;
    default: return side - w.x;
    }
}

uint32_t LerpColour(uint32_t a, uint32_t b, float t) {
    const uint32_t f = uint32_t(t * 255.0f);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int32_t ca = int32_t((a >> shift) & 0xFF), cb = int32_t((b >> shift) & 0xFF);
        out |= uint32_t(ca + (cb - ca) * int32_t(f) / 255) << shift;
    }
    return out;
}

// A new record where the edge from `a` (outside) to `b` crosses `plane`; -1 when there is no
// room. `remaining` masks the planes still to be clipped.
int32_t Intersect(int32_t a, int32_t b, uint8_t plane, uint8_t remaining) {
    if (FreeRecords() < 1 || S.current->count >= 0xFFFF) return -1;
    const TvD3DIm3DWorkVertex wa = *Work(a), wb = *Work(b);
    const float da = Distance(plane, wa), db = Distance(plane, wb);
    const float t = da / (da - db);
    const int32_t n = S.current->count++;
    TvD3DIm3DWorkVertex& w = *Work(n);
    w.x = wa.x + (wb.x - wa.x) * t;
    w.y = wa.y + (wb.y - wa.y) * t;
    w.z = wa.z + (wb.z - wa.z) * t;
    const float side = S.cam.parallel ? 1.0f : w.z;
    switch (plane) {
    case kTvClipNear: w.z = S.cam.nearClip; break;
    case kTvClipFar: w.z = S.cam.farClip; break;
    case kTvClipTop: w.y = 0.0f; break;
    case kTvClipBottom: w.y = side; break;
    case kTvClipLeft: w.x = 0.0f; break;
    default: w.x = side; break;
    }
    if (S.textured) {
        w.u = wa.u + (wb.u - wa.u) * t;
        w.v = wa.v + (wb.v - wa.v) * t;
    } else {
        w.u = w.v = 0.0f;
    }
    w.colour = LerpColour(wa.colour, wb.colour, t);
    w.on = uint8_t(plane | (wa.on & wb.on));
    w.clip = TvD3DIm3DClipCode(S.cam, w.x, w.y, w.z) & remaining;
    w.pad[0] = w.pad[1] = 0;
    return n;
}

void MakeRoom() {
    if (FreeRecords() < 20) TvD3DIm3DReserveVertices(S.reserved + 50);
}

// Clips a polygon against the planes its vertices lie outside; the rest is drawn as a fan.
void ClipPolygon(int32_t* ring, int n) {
    int32_t other[kMaxRing];
    int32_t* in = ring;
    int32_t* out = other;
    for (int p = 0; p < 6 && n >= 3; p++) {
        const uint8_t plane = kPlanes[p];
        uint8_t any = 0;
        for (int k = 0; k < n; k++)
            any |= Work(in[k])->clip;
        if (!(any & plane)) continue;
        uint8_t after = 0;
        for (int k = p + 1; k < 6; k++)
            after |= kPlanes[k];
        int m = 0;
        for (int k = 0; k < n && m < kMaxRing - 1; k++) {
            const int32_t cur = in[k], next = in[(k + 1) % n];
            const bool curIn = !(Work(cur)->clip & plane), nextIn = !(Work(next)->clip & plane);
            if (curIn) out[m++] = cur;
            if (curIn != nextIn) {
                const int32_t v =
                    curIn ? Intersect(next, cur, plane, after) : Intersect(cur, next, plane, after);
                if (v < 0) return;
                out[m++] = v;
            }
        }
        n = m;
        std::swap(in, out);
    }
    if (n < 3) return;
    for (int k = 0; k < n; k++)
        if (in[k] >= S.current->stageCount) ProjectClipped(in[k]);
    for (int k = 1; k + 1 < n; k++)
        TvD3DIm3DAddTriangle(uint16_t(in[0]), uint16_t(in[k]), uint16_t(in[k + 1]));
}

void ClipLine(int32_t a, int32_t b) {
    for (int p = 0; p < 6; p++) {
        const uint8_t plane = kPlanes[p];
        const bool aOut = Work(a)->clip & plane, bOut = Work(b)->clip & plane;
        if (aOut && bOut) return;
        if (!aOut && !bOut) continue;
        uint8_t after = 0;
        for (int k = p + 1; k < 6; k++)
            after |= kPlanes[k];
        const int32_t v = aOut ? Intersect(a, b, plane, after) : Intersect(b, a, plane, after);
        if (v < 0) return;
        (aOut ? a : b) = v;
    }
    for (int32_t i : {a, b})
        if (i >= S.current->stageCount) ProjectClipped(i);
    TvD3DIm3DAddLine(uint16_t(a), uint16_t(b));
}

// ---- Back-face tests ----

// Screen-clockwise triangles face the viewer; degenerate ones are culled only when untextured.
bool FacesAway3D(int32_t a, int32_t b, int32_t c) {
    const TvD3DIm3DWorkVertex &p = *Work(a), &q = *Work(b), &r = *Work(c);
    const TvV3d cross = TvV3dCross({q.x, q.y, q.z}, {r.x, r.y, r.z});
    const float triple = TvV3dDot({p.x, p.y, p.z}, cross);
    return S.textured ? triple < 0.0f : triple <= 0.0f;
}

bool FacesAway2D(int32_t a, int32_t b, int32_t c) {
    const TvIm2DVertex &p = *Dev(a), &q = *Dev(b), &r = *Dev(c);
    const float area = (q.x - p.x) * (r.y - p.y) - (r.x - p.x) * (q.y - p.y);
    return S.textured ? area < 0.0f : area <= 0.0f;
}

// ---- Submission ----

void SubmitLine(int32_t a, int32_t b) {
    const uint8_t ca = Work(a)->clip, cb = Work(b)->clip;
    if (ca & cb) return;
    if (!(ca | cb)) {
        TvD3DIm3DAddLine(uint16_t(a), uint16_t(b));
        return;
    }
    MakeRoom();
    ClipLine(a, b);
}

void SubmitTriangle(int32_t a, int32_t b, int32_t c) {
    const uint8_t ca = Work(a)->clip, cb = Work(b)->clip, cc = Work(c)->clip;
    if (ca & cb & cc) return;
    if (ca | cb | cc) {
        if (FacesAway3D(a, b, c)) return;
        MakeRoom();
        int32_t ring[kMaxRing] = {a, b, c};
        ClipPolygon(ring, 3);
        return;
    }
    if (FacesAway2D(a, b, c)) return;
    TvD3DIm3DAddTriangle(uint16_t(a), uint16_t(b), uint16_t(c));
}

// The sub-primitives of an engine primitive over `n` positions; `at` maps a position to a
// vertex of the batch.
template <class At> bool Submit(int32_t type, int32_t n, At at) {
    switch (type) {
    case kTvPrimitiveLineList:
        for (int32_t k = 0; k + 1 < n; k += 2)
            SubmitLine(at(k), at(k + 1));
        return true;
    case kTvPrimitivePolyLine:
        for (int32_t k = 0; k + 1 < n; k++)
            SubmitLine(at(k), at(k + 1));
        return true;
    case kTvPrimitiveTriangleList:
        for (int32_t k = 0; k + 2 < n; k += 3)
            SubmitTriangle(at(k), at(k + 1), at(k + 2));
        return true;
    case kTvPrimitiveTriangleStrip:
        for (int32_t k = 0; k + 2 < n; k++) {
            if (k % 2)
                SubmitTriangle(at(k), at(k + 2), at(k + 1));
            else
                SubmitTriangle(at(k), at(k + 1), at(k + 2));
        }
        return true;
    case kTvPrimitiveTriangleFan:
        for (int32_t k = 1; k + 1 < n; k++)
            SubmitTriangle(at(0), at(k), at(k + 1));
        return true;
    default: return false;
    }
}

// A batch to draw into: one is current and not wholly outside the view.
bool Open() {
    TvD3DIm3DFlushPending();
    if (!S.current || !S.drawn) return false;
    S.triangles.count = 0;
    S.lines.count = 0;
    return true;
}

bool Inside(int32_t i) {
    return i >= 0 && i < S.current->stageCount;
}

// ---- Pipe stages ----

void* Begin(void* data) {
    auto* d = static_cast<const TvIm3DTransformData*>(data);
    auto* sw = static_cast<StageWork*>(S.stageWork);
    S.drawn = false;
    if (!S.current || !sw || d->count < 0 || d->count > kMaxBatch || (d->count && !d->vertices))
        return nullptr;
    // Only the camera being drawn has transform parameters (and a view matrix still alive).
    if (!S.cam.camera || S.cam.camera != TV_ENGINE->curCamera) return nullptr;
    TvD3DIm3DContext& ctx = *S.current;
    ctx.source = d->vertices;
    ctx.sourceCount = d->count;
    ctx.sourceStride = int32_t(sizeof(TvIm3DVertex));
    ctx.count = 0;
    ctx.stageCount = 0;
    const int32_t wanted = d->count + d->count / 4 + 24;
    if (S.reserved < wanted && !TvD3DIm3DReserveVertices(wanted)) return nullptr;
    ctx.count = d->count;
    ctx.stageCount = d->count;
    TvD3DIm3DSelectUVStage(d->flags);
    const TvMatrix* view = &S.cam.camera->viewMatrix;
    if (d->matrix)
        TvD3DMatrixMultiply(&sw->combined, d->matrix, view);
    else
        sw->combined = *view;
    sw->data = d;
    return sw;
}

void* TransformAndClip(void* work) {
    auto* sw = static_cast<StageWork*>(work);
    const TvMatrix& m = sw->combined;
    const TvIm3DVertex* src = sw->data->vertices;
    uint8_t clipOr = 0, clipAnd = 63;
    for (int32_t i = 0; i < S.current->stageCount; i++) {
        const TvV3d& p = src[i].objVertex;
        TvD3DIm3DWorkVertex& w = *Work(i);
        w.x = p.x * m.right.x + p.y * m.up.x + p.z * m.at.x + m.pos.x;
        w.y = p.x * m.right.y + p.y * m.up.y + p.z * m.at.y + m.pos.y;
        w.z = p.x * m.right.z + p.y * m.up.z + p.z * m.at.z + m.pos.z;
        w.clip = TvD3DIm3DClipCode(S.cam, w.x, w.y, w.z);
        w.on = 0;
        w.pad[0] = w.pad[1] = 0;
        w.u = w.v = 0.0f;
        clipOr |= w.clip;
        clipAnd &= w.clip;
        if (!w.clip) Project(i);
    }
    S.clipOr = clipOr;
    S.clipAnd = clipAnd;
    S.drawn = S.current->drawn = S.current->stageCount > 0 && clipAnd == 0;
    return work;
}

// Copies u and v into the working records and into the device records of unclipped
// vertices; the flag variant skips vertices whose per-vertex bit is set.
template <bool skipFlagged> void* CopyUVStage(void* work) {
    if (!S.textured) return work;
    auto* sw = static_cast<StageWork*>(work);
    const TvIm3DVertex* src = sw->data->vertices;
    const int32_t first = S.current->first;
    for (int32_t i = 0; i < S.current->stageCount; i++) {
        TvD3DIm3DWorkVertex& w = *Work(i);
        w.u = src[i].u;
        w.v = src[i].v;
        const bool flagged = skipFlagged && first + i < S.numVertexBits &&
                             (S.vertexBits[(first + i) >> 3] >> ((first + i) & 7)) & 1;
        if (!w.clip && !flagged) {
            Dev(i)->u = w.u;
            Dev(i)->v = w.v;
        }
    }
    return work;
}

// The plain variant: bits left set by an earlier batch (one whose drawing was skipped) do not
// keep that batch's coordinates.
void* CopyUV(void* work) {
    return CopyUVStage<false>(work);
}

void* Colour(void* work) {
    auto* sw = static_cast<StageWork*>(work);
    const TvIm3DVertex* src = sw->data->vertices;
    for (int32_t i = 0; i < S.current->stageCount; i++) {
        const TvIm3DVertex& v = src[i];
        const uint32_t c = uint32_t(v.alpha) << 24 | uint32_t(v.red) << 16 |
                           uint32_t(v.green) << 8 | uint32_t(v.blue);
        Work(i)->colour = c;
        if (!S.textured) Dev(i)->u = Dev(i)->v = 0.0f;
        Dev(i)->colour = c;
    }
    return work;
}

void* Nothing(void* work) {
    return work;
}
void* NothingParam(void* work, intptr_t) {
    return work;
}

// ---- Contexts ----

int32_t ContextPush(TvPipe*) {
    TvD3DIm3DFlushPending();
    if (S.depth >= kTvD3DIm3DMaxContexts) return 0;
    const TvD3DIm3DContext* prev = S.depth ? &S.contexts[S.depth - 1] : nullptr;
    TvD3DIm3DContext& ctx = S.contexts[S.depth];
    ctx = TvD3DIm3DContext{};
    ctx.first = prev ? prev->first + prev->count : 0;
    S.current = &ctx;
    S.drawn = false;
    S.reserved = std::min(S.deviceCapacity, S.workCapacity) - ctx.first;
    if (S.reserved < 0) S.reserved = 0;
    S.depth++;
    return 1;
}

int32_t ContextPop() {
    TvD3DIm3DFlushPending();
    if (S.depth <= 0) return 0;
    S.depth--;
    S.current = S.depth ? &S.contexts[S.depth - 1] : nullptr;
    if (S.current) S.reserved = std::min(S.deviceCapacity, S.workCapacity) - S.current->first;
    S.drawn = S.current && S.current->drawn;
    S.textured = S.current && S.current->textured;
    return 1;
}

void FreeAll() {
    g_pending = false;
    TvFree(S.vertexBits);
    TvFree(S.device);
    TvFree(S.work);
    TvFree(S.triangles.data);
    TvFree(S.lines.data);
    TvFree(S.stageWork);
    S = TvD3DIm3DState{};
}

} // namespace

uint8_t TvD3DIm3DClipCode(const TvD3DIm3DCamera& cam, float x, float y, float z) {
    const int32_t kx = Key(x), ky = Key(y), kz = Key(z);
    const int32_t side = cam.parallel ? Key(1.0f) : kz;
    uint8_t code = 0;
    if (kx < 0) code |= kTvClipLeft;
    if (kx > side) code |= kTvClipRight;
    if (ky < 0) code |= kTvClipTop;
    if (ky > side) code |= kTvClipBottom;
    if (kz < Key(cam.nearClip)) code |= kTvClipNear;
    if (kz > Key(cam.farClip)) code |= kTvClipFar;
    return code;
}

int32_t TvD3DIm3DFogIndex(float z) {
    if (z <= TvD3DFogStart) return 0;
    if (z < TvD3DFogEnd) {
        const long index = std::lround((z - TvD3DFogStart) * TvD3DFogScale);
        return index < 0 ? 0 : index > 255 ? 255 : int32_t(index);
    }
    return 255;
}

bool TvD3DIm3DReserveVertices(int32_t extra) {
    const int32_t first = S.current ? S.current->first : 0;
    const int32_t wanted = first + extra;
    const bool ok =
        Grow(S.device, S.deviceCapacity, wanted) && Grow(S.work, S.workCapacity, wanted);
    if (ok) S.reserved = extra;
    return ok;
}

bool TvD3DReserveIndices(TvD3DIndexList* list, int32_t count) {
    return Grow(list->data, list->capacity, count);
}

bool TvD3DReserveVertexBits(int32_t count) {
    const size_t bytes = (size_t(count) + 31) / 8;
    auto* bits = static_cast<uint8_t*>(TvRealloc(S.vertexBits, bytes));
    if (!bits) {
        TvErrorCore(E_TV_NOMEM);
        return false;
    }
    std::memset(bits, 0, bytes);
    S.vertexBits = bits;
    S.numVertexBits = count;
    return true;
}

void TvD3DIm3DAddTriangle(uint16_t a, uint16_t b, uint16_t c) {
    const uint16_t t[3] = {a, b, c};
    AddIndices(S.triangles, 3, 6, 66, t);
}

void TvD3DIm3DAddLine(uint16_t a, uint16_t b) {
    const uint16_t l[2] = {a, b};
    AddIndices(S.lines, 2, 4, 64, l);
}

void TvD3DIm3DFlush() {
    if (!S.current) return;
    TvDeviceRecord& record = TV_ENGINE->deviceRecord;
    TvIm2DVertex* vertices = Dev(0);
    if (S.triangles.count && record.im2DIndexedPrimitive)
        record.im2DIndexedPrimitive(kTvPrimitiveTriangleList, vertices, S.current->count,
                                    S.triangles.data, S.triangles.count);
    if (S.lines.count && record.im2DIndexedPrimitive)
        record.im2DIndexedPrimitive(kTvPrimitiveLineList, vertices, S.current->count, S.lines.data,
                                    S.lines.count);
    S.triangles.count = 0;
    S.lines.count = 0;
}

void TvD3DIm3DFlushPending() {
    if (!g_pending) return;
    g_pending = false;
    TvD3DIm3DFlush();
}

void* TvD3DIm3DCopyUVUnflagged(void* work) {
    return CopyUVStage<true>(work);
}

void TvD3DIm3DSelectUVStage(uint32_t flags) {
    S.textured = (flags & kTvIm3DVertexUV) != 0;
    if (S.current) S.current->textured = S.textured;
}

void TvD3DIm3DCameraUpdate(TvCamera* camera) {
    TvD3DIm3DCamera& c = S.cam;
    c.camera = camera;
    c.parallel = camera->projectionType == kTvParallel;
    c.zScale = camera->zScale;
    c.zShift = camera->zShift;
    c.nearClip = camera->nearPlane;
    c.farClip = camera->farPlane;
    c.recipViewWindow = camera->recipViewWindow;
    const TvRaster* fb = camera->frameBuffer;
    c.width = fb ? float(fb->width) : 0.0f;
    c.height = fb ? float(fb->height) : 0.0f;
    c.offsetX = fb ? float(fb->offsetX) : 0.0f;
    c.offsetY = fb ? float(fb->offsetY) : 0.0f;
    c.zNear = TV_ENGINE->deviceRecord.zNear;
    c.zFar = TV_ENGINE->deviceRecord.zFar;
}

TvPipe* TvD3DIm3DBuildPipe(TvPipe* pipe) {
    pipe->start = Begin;
    pipe->stage1 = TransformAndClip;
    pipe->stage2 = CopyUV;
    pipe->param = 0;
    pipe->stage4 = NothingParam;
    pipe->stage5 = Colour;
    pipe->stage6 = Nothing;
    return pipe;
}

int32_t TvD3DIm3DLine(int32_t i1, int32_t i2) {
    if (!Open()) return 1;
    if (!Inside(i1) || !Inside(i2)) return 0;
    SubmitLine(i1, i2);
    TvD3DIm3DFlush();
    return 1;
}

int32_t TvD3DIm3DTriangle(int32_t i1, int32_t i2, int32_t i3) {
    // Gathered with the batch's earlier triangles; drawn when something else comes.
    if (!g_pending && !Open()) return 1;
    if (!Inside(i1) || !Inside(i2) || !Inside(i3)) return 0;
    SubmitTriangle(i1, i2, i3);
    g_pending = S.triangles.count > 0;
    return 1;
}

int32_t TvD3DIm3DPrimitive(int32_t type) {
    if (!Open()) return 1;
    const bool known = Submit(type, S.current->stageCount, [](int32_t k) { return k; });
    TvD3DIm3DFlush();
    return known ? 1 : 0;
}

int32_t TvD3DIm3DIndexedPrimitive(int32_t type, uint16_t* indices, int32_t indexCount) {
    if (!Open()) return 1;
    if (indexCount < 0 || (indexCount && !indices)) return 0;
    for (int32_t k = 0; k < indexCount; k++)
        if (!Inside(indices[k])) return 0;
    const bool known = Submit(type, indexCount, [indices](int32_t k) { return indices[k]; });
    TvD3DIm3DFlush();
    return known ? 1 : 0;
}

bool TvD3DIm3DAttach() {
    return TvEngineRegisterPlugin(0, kTvDriverIm3DModuleId, _TvD3DIm3DModuleOpen,
                                  _TvD3DIm3DModuleClose) >= 0;
}

void* _TvD3DIm3DModuleOpen(void* instance, int32_t offset, int32_t) {
    S = TvD3DIm3DState{};
    S.clipAnd = 63;
    S.stageWork = TvMalloc(sizeof(StageWork));
    const bool ok = S.stageWork && Grow(S.device, S.deviceCapacity, kInitialVertices) &&
                    Grow(S.work, S.workCapacity, kInitialVertices) &&
                    TvD3DReserveIndices(&S.triangles, kInitialTriangleIndices) &&
                    TvD3DReserveIndices(&S.lines, kInitialLineIndices);
    if (!ok) {
        if (!S.stageWork) TvErrorCore(E_TV_NOMEM);
        FreeAll();
        return nullptr;
    }
    TvPipeStackSetHooks(ContextPush, ContextPop);
    TvDeviceRecord& record = static_cast<TvEngineInstance*>(instance)->deviceRecord;
    record.im3DLine = TvD3DIm3DLine;
    record.im3DTriangle = TvD3DIm3DTriangle;
    record.im3DPrimitive = TvD3DIm3DPrimitive;
    record.im3DIndexedPrimitive = TvD3DIm3DIndexedPrimitive;
    return TvModuleOpened(g_module, instance, offset);
}

void* _TvD3DIm3DModuleClose(void* instance, int32_t, int32_t) {
    TvPipeStackSetHooks(nullptr, nullptr);
    FreeAll();
    return TvModuleClosed(g_module, instance);
}

namespace {

// The driver has no use for render-state changes seen by the core.
void ObserveNothing(int32_t, intptr_t) {}

void* CompletePipe(void* pipe) {
    return TvD3DIm3DBuildPipe(static_cast<TvPipe*>(pipe));
}

const TvDriverHooks g_hooks = {TvD3DIm3DAttach, TvD3DIm3DCameraUpdate, ObserveNothing,
                               CompletePipe};

} // namespace

const TvDriverHooks* TvD3DGetDriverHooks() {
    return &g_hooks;
}
