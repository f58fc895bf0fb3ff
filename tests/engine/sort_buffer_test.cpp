#include <gtest/gtest.h>

#include <vector>

#include "engine/core/d3d/device.h"
#include "engine/core/d3d/renderstate.h"
#include "engine/core/d3d/sortbuffer.h"
#include "engine/core/error.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

// A device that records what it is asked to draw.
struct Draw {
    D3DPRIMITIVETYPE type;
    std::vector<int> ids; // ids of the vertices drawn, in index order
};

struct RecordingDevice : IDirect3DDevice3 {
    std::vector<Draw> draws;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT AddViewport(IDirect3DViewport3*) override { return DD_OK; }
    HRESULT SetCurrentViewport(IDirect3DViewport3*) override { return DD_OK; }
    HRESULT GetCaps(D3DDEVICEDESC*, D3DDEVICEDESC*) override { return DD_OK; }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK, void*) override { return DD_OK; }
    HRESULT BeginScene() override { return DD_OK; }
    HRESULT EndScene() override { return DD_OK; }
    HRESULT SetTexture(DWORD, IDirect3DTexture2*) override { return DD_OK; }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return DD_OK; }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return DD_OK; }
    HRESULT SetLightState(D3DLIGHTSTATETYPE, DWORD) override { return DD_OK; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD, void* vertices, DWORD count,
                          DWORD) override {
        Draw d{type, {}};
        for (DWORD i = 0; i < count; i++)
            d.ids.push_back(int(static_cast<D3DTLVERTEX*>(vertices)[i].sx));
        draws.push_back(d);
        return DD_OK;
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD, void* vertices, DWORD count,
                                 WORD* indices, DWORD n, DWORD) override {
        Draw d{type, {}};
        for (DWORD i = 0; i < n; i++) {
            EXPECT_LT(indices[i], count);
            d.ids.push_back(int(static_cast<D3DTLVERTEX*>(vertices)[indices[i]].sx));
        }
        draws.push_back(d);
        return DD_OK;
    }
};

// Vertex i of a set at depth `base` (in hundredths) has screen z (base + i) / 100 and the id
// base + i in its x.
std::vector<TvIm2DVertex> Vertices(int n, int base) {
    std::vector<TvIm2DVertex> v(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        v[size_t(i)] = {float(base + i), 0, float(base + i) / 100.0f, 1.0f, 0x80FFFFFF, 0, 0, 0};
    return v;
}
using Ids = std::vector<int>;

class SortBufferTest : public ::testing::Test {
protected:
    NullEngine engine;
    RecordingDevice device;
    TvD3DRenderTarget target{};
    TvD3DRenderStateCache savedStates = TvD3DRenderStates;

    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        ASSERT_TRUE(TvD3DSortBufferOpen());
        target.device = &device;
        TvD3DDriver.curTarget = &target;
        TvD3DDriver.replayOrder = 1;
        Translucent(true);
    }
    void TearDown() override {
        TvD3DDriver.curTarget = nullptr;
        TvD3DSortBufferClose();
        TvD3DSortRecordsFree();
        TvD3DRenderStates = savedStates;
    }
    // Deferral on with a texture and vertex alpha: translucent drawing is collected.
    static void Translucent(bool on) {
        TvD3DRenderStates.deferral = on;
        TvD3DRenderStates.block.texture = reinterpret_cast<TvRaster*>(&savedTexture);
        TvD3DRenderStates.block.vertexAlpha = 1;
    }
    static inline int savedTexture;
};

TEST_F(SortBufferTest, TranslucentTrianglesComeOutFarthestFirst) {
    auto nearV = Vertices(3, 10), farV = Vertices(3, 80);
    EXPECT_EQ(TvD3DIm2DTriangle(nearV.data(), 3, 0, 1, 2), 1);
    EXPECT_EQ(TvD3DIm2DTriangle(farV.data(), 3, 2, 1, 0), 1);
    EXPECT_TRUE(device.draws.empty()) << "deferred until the flush";
    TvD3DDeferredFlush();
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].ids, (Ids{82, 81, 80}));
    EXPECT_EQ(device.draws[1].ids, (Ids{10, 11, 12}));
    EXPECT_EQ(TvD3DSortBufferCallBuffer()->count, 0) << "emptied by the flush";
}

TEST_F(SortBufferTest, StripsSplitIntoTrianglesFansStayWhole) {
    // A strip of 5 yields 3 records; a nearer fan is drawn whole, before the sorted records.
    auto strip = Vertices(5, 50), fan = Vertices(4, 20);
    EXPECT_EQ(TvD3DIm2DPrimitive(kTvPrimitiveTriangleStrip, strip.data(), 5), 1);
    EXPECT_EQ(TvD3DSortBufferExpected(), 3);
    EXPECT_EQ(TvD3DIm2DPrimitive(kTvPrimitiveTriangleFan, fan.data(), 4), 1);
    TvD3DDeferredFlush();
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].type, D3DPT_TRIANGLEFAN);
    EXPECT_EQ(device.draws[0].ids, (Ids{20, 21, 22, 23}));
    // The strip's triangles, merged into one list farthest first, odd ones with swapped order.
    EXPECT_EQ(device.draws[1].type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(device.draws[1].ids, (Ids{52, 53, 54, 51, 53, 52, 50, 51, 52}));
}

TEST_F(SortBufferTest, LinesSortByTheirSegments) {
    auto poly = Vertices(3, 30);
    EXPECT_EQ(TvD3DIm2DPrimitive(kTvPrimitivePolyLine, poly.data(), 3), 1);
    EXPECT_EQ(TvD3DIm2DLine(poly.data(), 3, 2, 0), 1);
    EXPECT_EQ(TvD3DSortBufferExpected(), 3);
    TvD3DDeferredFlush();
    Ids all;
    for (const Draw& d : device.draws) {
        EXPECT_EQ(d.type, D3DPT_LINELIST);
        all.insert(all.end(), d.ids.begin(), d.ids.end());
    }
    EXPECT_EQ(all, (Ids{31, 32, 32, 30, 30, 31}));
}

TEST_F(SortBufferTest, IndexedEntryHoldsMoreIndicesThanVertices) {
    // 3 vertices, 30 indices: the entry is sized for both.
    auto v = Vertices(3, 40);
    std::vector<uint16_t> indices;
    for (int t = 0; t < 10; t++)
        indices.insert(indices.end(), {0, 1, 2});
    EXPECT_GT(TvD3DSortEntryBytes(3, 30), TvD3DSortEntryBytes(3, 0) + 59);
    EXPECT_EQ(TvD3DIm2DIndexedPrimitive(kTvPrimitiveTriangleList, v.data(), 3, indices.data(), 30),
              1);
    // Only the vertices the indices reach are copied.
    auto many = Vertices(1000, 100);
    uint16_t tail[3] = {999, 997, 998};
    const size_t before = TvD3DSortBufferCallBuffer()->used;
    EXPECT_EQ(TvD3DIm2DIndexedPrimitive(kTvPrimitiveTriangleList, many.data(), 1000, tail, 3), 1);
    EXPECT_LT(TvD3DSortBufferCallBuffer()->used - before, TvD3DSortEntryBytes(4, 4));
    TvD3DDeferredFlush();
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].ids, (Ids{1099, 1097, 1098}));
    EXPECT_EQ(device.draws[1].ids.size(), 30u);
}

TEST_F(SortBufferTest, OpaqueOrUndeferredDrawingIsImmediate) {
    auto v = Vertices(4, 50);
    TvD3DRenderStates.block.vertexAlpha = 0; // nothing blends
    EXPECT_EQ(TvD3DIm2DPrimitive(kTvPrimitiveTriangleStrip, v.data(), 4), 1);
    Translucent(false);
    EXPECT_EQ(TvD3DIm2DTriangle(v.data(), 4, 0, 1, 2), 1);
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].type, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(TvD3DSortBufferCallBuffer()->count, 0);
}

TEST_F(SortBufferTest, BadCallsDrawNothing) {
    auto v = Vertices(3, 50);
    uint16_t outside[3] = {0, 1, 3};
    for (bool deferred : {true, false}) {
        Translucent(deferred);
        EXPECT_EQ(TvD3DIm2DPrimitive(6, v.data(), 3), 0) << "no such primitive type";
        EXPECT_EQ(TvD3DIm2DTriangle(v.data(), 3, 0, 1, 3), 0);
        EXPECT_EQ(TvD3DIm2DLine(v.data(), 3, -1, 1), 0);
        EXPECT_EQ(TvD3DIm2DIndexedPrimitive(kTvPrimitiveTriangleList, v.data(), 3, outside, 3), 0);
        EXPECT_EQ(TvD3DIm2DPrimitive(kTvPrimitiveTriangleList, v.data(), 0), 1);
        EXPECT_EQ(TvD3DIm2DIndexedPrimitive(kTvPrimitiveTriangleList, v.data(), 3, outside, 0), 1);
    }
    TvD3DDeferredFlush();
    EXPECT_TRUE(device.draws.empty());
    EXPECT_EQ(LastErrorCode(), E_TV_INVALIDPARAM);
}

TEST_F(SortBufferTest, FogCurvesRunFromClearToFull) {
    for (int32_t type : {1, 2, 3}) {
        const uint8_t* curve = TvD3DSortBufferFogCurve(type);
        ASSERT_NE(curve, nullptr);
        EXPECT_EQ(curve[0], 0);
        EXPECT_EQ(curve[255], 255);
        EXPECT_EQ(curve[128] == 128, type == 1);
    }
    EXPECT_EQ(TvD3DSortBufferFogCurve(4), nullptr);
}

} // namespace
