// A recording 2-D sink: the engine's device record answers the immediate-mode 2-D calls by
// keeping what they were given, with the texture raster set at the time.
#pragma once

#include "engine/core/engine.h"
#include "engine/core/im2d.h"

#include <gtest/gtest.h>

#include <vector>

struct Sink2DCall {
    enum Kind { kPrimitive, kTriangle, kLine, kIndexed } kind;
    int32_t type;
    intptr_t raster;
    std::vector<TvIm2DVertex> vertices; // as drawn, in index order for triangles and lines
    std::vector<uint16_t> indices;
};

class Sink2DTest : public ::testing::Test {
protected:
    static std::vector<Sink2DCall>* calls;
    static intptr_t raster;

    static int32_t SetState(int32_t state, intptr_t value) {
        if (state == kTvRenderStateTextureRaster) raster = value;
        return 1;
    }
    static int32_t Primitive(int32_t type, TvIm2DVertex* v, int32_t n) {
        calls->push_back({Sink2DCall::kPrimitive, type, raster, {v, v + n}, {}});
        return 1;
    }
    static int32_t Triangle(TvIm2DVertex* v, int32_t, int32_t a, int32_t b, int32_t c) {
        calls->push_back({Sink2DCall::kTriangle, 3, raster, {v[a], v[b], v[c]}, {}});
        return 1;
    }
    static int32_t Line(TvIm2DVertex* v, int32_t, int32_t a, int32_t b) {
        calls->push_back({Sink2DCall::kLine, 1, raster, {v[a], v[b]}, {}});
        return 1;
    }
    static int32_t Indexed(int32_t type, TvIm2DVertex* v, int32_t n, uint16_t* idx, int32_t ni) {
        calls->push_back({Sink2DCall::kIndexed, type, raster, {v, v + n}, {idx, idx + ni}});
        return 1;
    }

    void SetUp() override {
        calls = &recorded;
        raster = 0;
        saved = TV_ENGINE->deviceRecord;
        savedCamera = TV_ENGINE->curCamera;
        TV_ENGINE->deviceRecord.renderStateSet = SetState;
        TV_ENGINE->deviceRecord.im2DPrimitive = Primitive;
        TV_ENGINE->deviceRecord.im2DTriangle = Triangle;
        TV_ENGINE->deviceRecord.im2DLine = Line;
        TV_ENGINE->deviceRecord.im2DIndexedPrimitive = Indexed;
        TV_ENGINE->curCamera = reinterpret_cast<TvCamera*>(&camera);
    }
    void TearDown() override {
        TV_ENGINE->deviceRecord = saved;
        TV_ENGINE->curCamera = savedCamera;
        calls = nullptr;
    }

    std::vector<Sink2DCall> recorded;

private:
    TvDeviceRecord saved = {};
    TvCamera* savedCamera = nullptr;
    int camera = 0; // a stand-in current camera: the render-state call only needs one
};

inline std::vector<Sink2DCall>* Sink2DTest::calls = nullptr;
inline intptr_t Sink2DTest::raster = 0;
