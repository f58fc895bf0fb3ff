#include "engine/core/d3d/sortbuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/d3d/d3dpipe.h"
#include "engine/core/d3d/device.h"
#include "engine/core/error.h"

static_assert(sizeof(TvIm2DVertex) == sizeof(D3DTLVERTEX) &&
                  offsetof(TvIm2DVertex, colour) == offsetof(D3DTLVERTEX, color) &&
                  offsetof(TvIm2DVertex, u) == offsetof(D3DTLVERTEX, tu),
              "screen vertices are the device's transformed-and-lit vertices");

namespace {

constexpr DWORD kDrawFlags = D3DDP_WAIT | D3DDP_DONOTCLIP;
// Sequences are indexed with 16 bits.
constexpr int32_t kMaxSequence = 0x10000;

// A deferred primitive: its head, then the vertices, then the indices it is drawn with (line and
// triangle strips are stored as lists, so every sub-primitive is a run of its own indices).
struct Entry {
    TvD3DDeferredEntry head;
    int32_t type; // D3DPT_LINELIST, D3DPT_TRIANGLELIST or D3DPT_TRIANGLEFAN
    int32_t indexCount;
    uint16_t* indices;
};
static_assert(sizeof(Entry) % alignof(D3DTLVERTEX) == 0);

struct SortBuffer {
    TvD3DCallBuffer* calls;
    int32_t expected; // sub-primitives recorded
    uint8_t fogCurves[3][256];
};
SortBuffer g_sort;

IDirect3DDevice3* Device() {
    return TvD3DDriver.curTarget ? TvD3DDriver.curTarget->device : nullptr;
}

D3DTLVERTEX* AsDevice(TvIm2DVertex* v) {
    return reinterpret_cast<D3DTLVERTEX*>(v);
}

bool Deferring() {
    const TvD3DRenderStateCache& s = TvD3DRenderStates;
    return s.deferral && s.block.texture && (s.block.vertexAlpha || s.block.textureAlpha);
}

// Stored indices and sub-primitives of `n` indices of a Direct3D primitive type.
struct Shape {
    int32_t stored;
    int32_t parts;
};
Shape ShapeOf(int32_t d3dType, int32_t n) {
    switch (d3dType) {
    case D3DPT_LINELIST: return {n / 2 * 2, n / 2};
    case D3DPT_LINESTRIP: return {std::max(0, n - 1) * 2, std::max(0, n - 1)};
    case D3DPT_TRIANGLELIST: return {n / 3 * 3, n / 3};
    case D3DPT_TRIANGLESTRIP: return {std::max(0, n - 2) * 3, std::max(0, n - 2)};
    case D3DPT_TRIANGLEFAN: return {n >= 3 ? n : 0, std::max(0, n - 2)};
    default: return {0, 0};
    }
}

int32_t StoredType(int32_t d3dType) {
    switch (d3dType) {
    case D3DPT_LINELIST:
    case D3DPT_LINESTRIP: return D3DPT_LINELIST;
    case D3DPT_TRIANGLEFAN: return D3DPT_TRIANGLEFAN;
    default: return D3DPT_TRIANGLELIST;
    }
}

uint16_t* EntryIndices(Entry* e, int32_t vertices) {
    return reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(e + 1) +
                                       size_t(vertices) * sizeof(D3DTLVERTEX));
}

// Expands a deferred entry into sort records when the buffer is replayed; a fan is drawn at
// once with its own states.
void Expand(void* arguments) {
    auto* e = static_cast<Entry*>(arguments);
    // The buffer may have moved since recording: pointers are fixed up here.
    e->head.vertices = reinterpret_cast<D3DTLVERTEX*>(e + 1);
    e->indices = EntryIndices(e, e->head.vertexCount);
    if (e->type == D3DPT_TRIANGLEFAN) {
        TvD3DApplyRenderStates(&e->head.states);
        if (IDirect3DDevice3* device = Device())
            device->DrawIndexedPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, e->head.vertices,
                                         DWORD(e->head.vertexCount), e->indices,
                                         DWORD(e->indexCount), kDrawFlags);
        return;
    }
    const uint16_t per = e->type == D3DPT_LINELIST ? 2 : 3;
    for (int32_t i = 0; i + per <= e->indexCount; i += per) {
        float key = 0.0f;
        for (int32_t k = 0; k < per; k++)
            key += e->head.vertices[e->indices[i + k]].sz;
        if (!TvD3DSortRecordAdd({&e->head, e->indices + i, per, uint16_t(e->type), key})) return;
    }
}

// Records a primitive over `count` vertices and `n` indices (null: 0 to n - 1), which `base` is
// taken from. False when the buffer cannot take it (the caller draws it at once).
bool Record(int32_t d3dType, const TvIm2DVertex* vertices, int32_t count, const uint16_t* indices,
            int32_t n, uint16_t base = 0) {
    if (!g_sort.calls) return false;
    Shape shape = ShapeOf(d3dType, n);
    if (shape.parts == 0) return true; // nothing to draw
    auto* e = static_cast<Entry*>(
        TvD3DCallBufferAdd(g_sort.calls, TvD3DSortEntryBytes(count, shape.stored), Expand));
    if (!e) return false;
    e->head.states = TvD3DRenderStates.block;
    e->head.vertexCount = count;
    e->head.vertices = reinterpret_cast<D3DTLVERTEX*>(e + 1);
    std::memcpy(e->head.vertices, vertices, size_t(count) * sizeof(D3DTLVERTEX));
    e->type = StoredType(d3dType);
    e->indexCount = shape.stored;
    e->indices = EntryIndices(e, count);
    auto at = [indices, base](int32_t i) { return uint16_t(indices ? indices[i] - base : i); };
    uint16_t* out = e->indices;
    for (int32_t k = 0; k < shape.parts; k++) {
        switch (d3dType) {
        case D3DPT_LINELIST: *out++ = at(2 * k), *out++ = at(2 * k + 1); break;
        case D3DPT_LINESTRIP: *out++ = at(k), *out++ = at(k + 1); break;
        case D3DPT_TRIANGLELIST:
            *out++ = at(3 * k), *out++ = at(3 * k + 1), *out++ = at(3 * k + 2);
            break;
        case D3DPT_TRIANGLESTRIP: // odd triangles swap their last two to keep the winding
            *out++ = at(k);
            *out++ = at(k % 2 ? k + 2 : k + 1);
            *out++ = at(k % 2 ? k + 1 : k + 2);
            break;
        default: break;
        }
    }
    if (d3dType == D3DPT_TRIANGLEFAN)
        for (int32_t i = 0; i < n; i++)
            out[i] = at(i);
    g_sort.expected += shape.parts;
    return true;
}

bool IndicesInside(const uint16_t* indices, int32_t n, int32_t count) {
    for (int32_t i = 0; i < n; i++)
        if (indices[i] >= count) return false;
    return true;
}

bool Refuse() {
    TvErrorCore(E_TV_INVALIDPARAM);
    return false;
}

bool Valid(const TvIm2DVertex* vertices, int32_t count) {
    return count >= 0 && (count == 0 || vertices) ? true : Refuse();
}

int32_t DrawIndexed(int32_t d3dType, TvIm2DVertex* vertices, int32_t count, uint16_t* indices,
                    int32_t n) {
    IDirect3DDevice3* device = Device();
    if (!device) return 0;
    return SUCCEEDED(device->DrawIndexedPrimitive(D3DPRIMITIVETYPE(d3dType), D3DFVF_TLVERTEX,
                                                  AsDevice(vertices), DWORD(count), indices,
                                                  DWORD(n), kDrawFlags))
               ? 1
               : 0;
}

// A line or triangle over chosen vertices: deferred with only those vertices.
int32_t Single(int32_t d3dType, TvIm2DVertex* vertices, int32_t count, uint16_t* indices,
               int32_t n) {
    TvD3DIm3DFlushPending();
    if (!Valid(vertices, count) || !IndicesInside(indices, n, count)) return 0;
    if (Deferring()) {
        TvIm2DVertex copy[3];
        for (int32_t k = 0; k < n; k++)
            copy[k] = vertices[indices[k]];
        if (Record(d3dType, copy, n, nullptr, n)) return 1;
    }
    return DrawIndexed(d3dType, vertices, count, indices, n);
}

} // namespace

int32_t TvD3DPrimitiveType(int32_t engineType) {
    switch (engineType) {
    case kTvPrimitiveLineList: return D3DPT_LINELIST;
    case kTvPrimitivePolyLine: return D3DPT_LINESTRIP;
    case kTvPrimitiveTriangleList: return D3DPT_TRIANGLELIST;
    case kTvPrimitiveTriangleStrip: return D3DPT_TRIANGLESTRIP;
    case kTvPrimitiveTriangleFan: return D3DPT_TRIANGLEFAN;
    default: return 0;
    }
}

size_t TvD3DSortEntryBytes(int32_t vertices, int32_t indices) {
    return sizeof(Entry) + size_t(vertices) * sizeof(D3DTLVERTEX) +
           size_t(indices) * sizeof(uint16_t);
}

int32_t TvD3DIm2DLine(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2) {
    if (i1 < 0 || i2 < 0 || i1 >= count || i2 >= count) return Refuse();
    uint16_t idx[2] = {uint16_t(i1), uint16_t(i2)};
    return Single(D3DPT_LINELIST, vertices, count, idx, 2);
}

int32_t TvD3DIm2DTriangle(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2,
                          int32_t i3) {
    if (std::min({i1, i2, i3}) < 0 || std::max({i1, i2, i3}) >= count) return Refuse();
    uint16_t idx[3] = {uint16_t(i1), uint16_t(i2), uint16_t(i3)};
    return Single(D3DPT_TRIANGLELIST, vertices, count, idx, 3);
}

int32_t TvD3DIm2DPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count) {
    TvD3DIm3DFlushPending();
    int32_t d3dType = TvD3DPrimitiveType(type);
    if (!d3dType || !Valid(vertices, count)) return 0;
    if (count == 0) return 1;
    if (Deferring() && count <= kMaxSequence && Record(d3dType, vertices, count, nullptr, count))
        return 1;
    IDirect3DDevice3* device = Device();
    if (!device) return 0;
    return SUCCEEDED(device->DrawPrimitive(D3DPRIMITIVETYPE(d3dType), D3DFVF_TLVERTEX,
                                           AsDevice(vertices), DWORD(count), kDrawFlags))
               ? 1
               : 0;
}

int32_t TvD3DIm2DIndexedPrimitive(int32_t type, TvIm2DVertex* vertices, int32_t count,
                                  uint16_t* indices, int32_t indexCount) {
    TvD3DIm3DFlushPending(); // does nothing when this draw is the flush itself
    int32_t d3dType = TvD3DPrimitiveType(type);
    if (!d3dType || !Valid(vertices, count)) return 0;
    if (indexCount < 0 || (indexCount > 0 && !indices) ||
        !IndicesInside(indices, indexCount, count))
        return Refuse();
    if (indexCount == 0 || count == 0) return 1;
    if (Deferring()) {
        // Only the vertices the indices reach are kept.
        const auto [low, high] = std::minmax_element(indices, indices + indexCount);
        if (Record(d3dType, vertices + *low, *high - *low + 1, indices, indexCount, *low)) return 1;
    }
    return DrawIndexed(d3dType, vertices, count, indices, indexCount);
}

bool TvD3DSortBufferOpen() {
    g_sort.calls = TvD3DCallBufferCreate();
    if (!g_sort.calls) return false;
    g_sort.expected = 0;
    // Fog curves: linear, then thickening quickly and slowly with distance.
    for (int i = 0; i < 256; i++) {
        double x = i / 255.0;
        g_sort.fogCurves[0][i] = uint8_t(i);
        g_sort.fogCurves[1][i] = uint8_t(std::lround(255.0 * std::pow(x, 0.5)));
        g_sort.fogCurves[2][i] = uint8_t(std::lround(255.0 * std::pow(x, 2.0)));
    }
    // The instance's copy of the device record, which the engine draws through.
    TvDeviceRecord* record = &TV_ENGINE->deviceRecord;
    record->im2DLine = TvD3DIm2DLine;
    record->im2DTriangle = TvD3DIm2DTriangle;
    record->im2DPrimitive = TvD3DIm2DPrimitive;
    record->im2DIndexedPrimitive = TvD3DIm2DIndexedPrimitive;
    return true;
}

void TvD3DSortBufferClose() {
    if (g_sort.calls) TvD3DCallBufferDestroy(g_sort.calls);
    g_sort.calls = nullptr;
    g_sort.expected = 0;
}

TvD3DCallBuffer* TvD3DSortBufferCallBuffer() {
    return g_sort.calls;
}

int32_t TvD3DSortBufferExpected() {
    return g_sort.expected;
}

void TvD3DSortBufferReset() {
    if (g_sort.calls) TvD3DCallBufferEndFrame(g_sort.calls);
    g_sort.expected = 0;
}

bool TvD3DSortBufferUses(const TvRaster* raster) {
    const TvD3DCallBuffer* calls = g_sort.calls;
    if (!calls || !raster) return false;
    for (int32_t k = 0; k < calls->count; k++) {
        const auto* e =
            reinterpret_cast<const Entry*>(calls->data + calls->offsets[k] + sizeof(TvD3DCallFn));
        if (e->head.states.texture == raster) return true;
    }
    return false;
}

const uint8_t* TvD3DSortBufferFogCurve(int32_t type) {
    return type >= 1 && type <= 3 ? g_sort.fogCurves[type - 1] : nullptr;
}
