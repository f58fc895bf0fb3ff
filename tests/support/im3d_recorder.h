// A recording immediate-mode device for game tests on the null engine: immediate 3-D
// transforms succeed (or are refused on demand) and keep the vertices they were given; the
// draw calls, 2-D primitives and render states are recorded with the texture raster set at the
// time. Install it in a test's set-up, after the engine is up; the engine of the next test
// starts afresh.
#pragma once

#include <map>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/pipe.h"

struct Im3DCall {
    enum Kind { kIndexed, kPrimitive, kTriangle, kIm2D } kind;
    int32_t type;
    intptr_t raster;
    std::vector<TvIm3DVertex> vertices; // the batch transformed last (3-D) or drawn (2-D: x, y)
    std::vector<uint16_t> indices;
    std::vector<TvIm2DVertex> screen; // 2-D primitives
};

struct Im3DRecorder {
    std::vector<Im3DCall> calls;
    std::vector<TvIm3DVertex> batch; // the vertices of the last transform
    int32_t transforms = 0;
    bool refuse = false; // transforms fail
    std::map<int32_t, intptr_t> states;

    static Im3DRecorder*& Current() {
        static Im3DRecorder* current = nullptr;
        return current;
    }

    void Install() {
        Current() = this;
        TvPipeStackSetHooks(Push, Pop);
        TvDeviceRecord& r = TV_ENGINE->deviceRecord;
        r.renderStateSet = SetState;
        r.renderStateGet = GetState;
        r.im3DIndexedPrimitive = Indexed;
        r.im3DPrimitive = Primitive;
        r.im3DTriangle = Triangle;
        r.im2DPrimitive = Primitive2D;
    }
    void Remove() { Current() = nullptr; }

    intptr_t State(int32_t state) const {
        auto it = states.find(state);
        return it == states.end() ? 0 : it->second;
    }
    // Draw calls of a kind, in order.
    std::vector<const Im3DCall*> Of(Im3DCall::Kind kind) const {
        std::vector<const Im3DCall*> out;
        for (const Im3DCall& c : calls)
            if (c.kind == kind) out.push_back(&c);
        return out;
    }

private:
    static void* Start(void* data) {
        auto* d = static_cast<TvIm3DTransformData*>(data);
        if (Im3DRecorder* r = Current()) {
            r->batch.assign(d->vertices, d->vertices + d->count);
            r->transforms++;
        }
        return nullptr; // no further stages
    }
    static int32_t Push(TvPipe* pipe) {
        Im3DRecorder* r = Current();
        if (!r || r->refuse) return 0;
        pipe->start = Start;
        return 1;
    }
    static int32_t Pop() { return 1; }
    static int32_t SetState(int32_t state, intptr_t value) {
        if (Im3DRecorder* r = Current()) r->states[state] = value;
        return 1;
    }
    static int32_t GetState(int32_t state, void* out) {
        Im3DRecorder* r = Current();
        const intptr_t value = r ? r->State(state) : 0;
        // As the driver answers: pointers for the texture raster and the fog table, else a word.
        if (state == kTvRenderStateTextureRaster || state == kTvRenderStateFogTable)
            *static_cast<intptr_t*>(out) = value;
        else
            *static_cast<int32_t*>(out) = int32_t(value);
        return 1;
    }
    static void Add(Im3DCall::Kind kind, int32_t type, const uint16_t* indices, int32_t n) {
        Im3DRecorder* r = Current();
        if (!r) return;
        Im3DCall c{kind, type, r->State(kTvRenderStateTextureRaster), r->batch, {}, {}};
        if (indices) c.indices.assign(indices, indices + n);
        r->calls.push_back(c);
    }
    static int32_t Indexed(int32_t type, uint16_t* indices, int32_t n) {
        Add(Im3DCall::kIndexed, type, indices, n);
        return 1;
    }
    static int32_t Primitive(int32_t type) {
        Add(Im3DCall::kPrimitive, type, nullptr, 0);
        return 1;
    }
    static int32_t Triangle(int32_t a, int32_t b, int32_t c) {
        const uint16_t list[3] = {uint16_t(a), uint16_t(b), uint16_t(c)};
        Add(Im3DCall::kTriangle, 3, list, 3);
        return 1;
    }
    static int32_t Primitive2D(int32_t type, TvIm2DVertex* v, int32_t n) {
        Im3DRecorder* r = Current();
        if (!r) return 1;
        Im3DCall c{Im3DCall::kIm2D, type, r->State(kTvRenderStateTextureRaster), {}, {}, {}};
        c.screen.assign(v, v + n);
        r->calls.push_back(c);
        return 1;
    }
};
