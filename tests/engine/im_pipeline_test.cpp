#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/d3d/d3dpipe.h"
#include "engine/core/d3d/renderstate.h"
#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

// What reached the device record's 2-D indexed-primitive slot.
struct Submitted {
    int32_t type;
    std::vector<TvIm2DVertex> vertices;
    std::vector<uint16_t> indices;
};
std::vector<Submitted> g_submitted;

int32_t RecordIndexed(int32_t type, TvIm2DVertex* v, int32_t count, uint16_t* idx, int32_t n) {
    g_submitted.push_back({type, {v, v + count}, {idx, idx + n}});
    return 1;
}

int32_t g_shadeMode;
int32_t GetShade(int32_t state, void* out) {
    if (state != kTvRenderStateShadeMode) return 0;
    *static_cast<int32_t*>(out) = g_shadeMode;
    return 1;
}

// Camera-space (view window 0..z) vertices are given directly: the camera sits at the origin
// with an identity frame, so world x maps to z/2 - x/2 and y to z/2 - y/2.
TvIm3DVertex At(float sx, float sy, float z, uint8_t alpha = 255) {
    return {{(0.5f - sx) * 2.0f * z, (0.5f - sy) * 2.0f * z, z}, sx, sy, 10, 20, 30, alpha};
}

class ImPipelineTest : public ::testing::Test {
protected:
    NullEngine engine;
    TvCamera* camera = nullptr;
    TvFrame* frame = nullptr;
    TvRaster* fb = nullptr;
    TvRaster* sub = nullptr;

    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        g_submitted.clear();
        g_shadeMode = 0;
        TV_ENGINE->deviceRecord.im2DIndexedPrimitive = RecordIndexed;
        TV_ENGINE->deviceRecord.renderStateGet = GetShade;
        TvD3DFogStart = 5.0f;
        TvD3DFogEnd = 10.0f;
        TvD3DFogScale = 51.0f;
        for (int i = 0; i < 256; i++)
            TvD3DFogTable[i] = D3DCOLOR(255 - i) << 24;
        camera = TvCameraCreate();
        ASSERT_NE(camera, nullptr);
        frame = TvFrameCreate();
        fb = TvRasterCreate(200, 100, 0, kTvRasterTypeCamera);
        sub = TvRasterCreate(0, 0, 0, kTvRasterTypeCamera | kTvRasterDontAllocate);
        sub->createFlags = kTvRasterDontAllocate; // the null device leaves the flags to us
        TvRect rect{20, 10, 100, 50};
        ASSERT_NE(TvRasterSubRaster(sub, fb, &rect), nullptr);
        TvCameraSetFrame(camera, frame);
        TvCameraSetRaster(camera, sub);
        TvCameraSetNearClipPlane(camera, 1.0f);
        TvCameraSetFarClipPlane(camera, 10.0f);
        ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    }
    void TearDown() override {
        TvCameraEndUpdate(camera);
        TvObjectHasFrameReleaseFrame(&camera->object);
        TvFrameDestroy(frame);
        TvRasterDestroy(sub);
        TvRasterDestroy(fb);
    }
    // Triangles that reached the device, as screen vertices.
    static std::vector<std::array<TvIm2DVertex, 3>> Triangles() {
        std::vector<std::array<TvIm2DVertex, 3>> out;
        for (const Submitted& s : g_submitted) {
            EXPECT_EQ(s.type, kTvPrimitiveTriangleList);
            for (size_t i = 0; i + 2 < s.indices.size(); i += 3) {
                for (size_t k = 0; k < 3; k++)
                    EXPECT_LT(s.indices[i + k], s.vertices.size());
                out.push_back({s.vertices[s.indices[i]], s.vertices[s.indices[i + 1]],
                               s.vertices[s.indices[i + 2]]});
            }
        }
        return out;
    }
};

TEST_F(ImPipelineTest, ClipCodesOfEachPlane) {
    TvD3DIm3DCamera persp{};
    persp.nearClip = 1.0f;
    persp.farClip = 10.0f;
    TvD3DIm3DCamera parallel = persp;
    parallel.parallel = true;
    struct Case {
        const TvD3DIm3DCamera* cam;
        float x, y, z;
        uint8_t code;
    } cases[] = {
        {&persp, 1.0f, 1.0f, 2.0f, 0},
        {&persp, -0.0f, 0.0f, 2.0f, 0},
        {&persp, 2.0f, 2.0f, 2.0f, 0},
        {&persp, -0.1f, 1.0f, 2.0f, 1},
        {&persp, 2.5f, 1.0f, 2.0f, 2},
        {&persp, 1.0f, -3.0f, 2.0f, 4},
        {&persp, 1.0f, 2.1f, 2.0f, 8},
        {&persp, 0.2f, 0.2f, 0.5f, 16},
        {&persp, 5.0f, 5.0f, 11.0f, 32},
        {&persp, 1.0f, 1.0f, -2.0f, 2 | 8 | 16},
        {&persp, -3.0f, -3.0f, -2.0f, 1 | 4 | 16},
        {&parallel, 0.5f, 0.5f, 5.0f, 0},
        {&parallel, 1.5f, 0.5f, 5.0f, 2},
        {&parallel, 0.5f, 1.01f, 0.5f, 8 | 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TvD3DIm3DClipCode(*c.cam, c.x, c.y, c.z), c.code)
            << c.x << ", " << c.y << ", " << c.z;
}

TEST_F(ImPipelineTest, PerspectiveProjectionScreenZAndFog) {
    TvIm3DVertex v[3] = {At(0.25f, 0.5f, 2.0f), At(0.75f, 0.25f, 7.5f), At(0.5f, 1.0f, 9.99f)};
    ASSERT_EQ(TvIm3DTransform(v, 3, nullptr, kTvIm3DVertexUV), v);
    EXPECT_EQ(TvD3DIm3D.clipOr, 0);
    const TvIm2DVertex* d = TvD3DIm3D.device + TvD3DIm3D.current->first;
    const struct {
        float x, y, z;
        uint32_t fog;
    } expected[3] = {{20 + 25, 10 + 25, 2.0f, 0},
                     {20 + 75, 10 + 12.5f, 7.5f, 128},
                     {20 + 50, 10 + 50, 9.99f, 254}};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(d[i].x, expected[i].x, 1e-3);
        EXPECT_NEAR(d[i].y, expected[i].y, 1e-3);
        EXPECT_NEAR(d[i].recipZ, 1.0f / expected[i].z, 1e-6);
        EXPECT_NEAR(d[i].z, camera->zScale / expected[i].z + camera->zShift, 1e-6);
        EXPECT_GT(d[i].z, TvIm2DGetNearScreenZ());
        EXPECT_LT(d[i].z, TvIm2DGetFarScreenZ());
        EXPECT_EQ(d[i].specular, (255 - expected[i].fog) << 24);
        EXPECT_EQ(d[i].colour, 0xFF0A141Eu);
        EXPECT_EQ(d[i].u, v[i].u);
    }
    EXPECT_TRUE(TvIm3DEnd());
}

TEST_F(ImPipelineTest, FogIndexBands) {
    const struct {
        float z;
        int32_t index;
    } cases[] = {{-1.0f, 0},   {5.0f, 0},    {5.01f, 1},  {7.5f, 128},
                 {9.99f, 254}, {10.0f, 255}, {20.0f, 255}};
    for (const auto& c : cases)
        EXPECT_EQ(TvD3DIm3DFogIndex(c.z), c.index) << c.z;
}

TEST_F(ImPipelineTest, ParallelProjection) {
    camera->projectionType = kTvParallel;
    TvCameraBeginUpdate(camera);
    TvD3DIm3DCamera cam = TvD3DIm3D.cam;
    EXPECT_TRUE(cam.parallel);
    TvIm3DVertex v[1] = {{{0, 0, 0}, 0, 0, 1, 2, 3, 4}};
    TvMatrix m;
    TvMatrixSetIdentity(&m);
    camera->viewMatrix = m; // camera space is the world here
    v[0].objVertex = {0.5f, 0.25f, 4.0f};
    ASSERT_NE(TvIm3DTransform(v, 1, nullptr, 0), nullptr);
    const TvIm2DVertex& d = TvD3DIm3D.device[TvD3DIm3D.current->first];
    EXPECT_FLOAT_EQ(d.x, 20 + 50);
    EXPECT_FLOAT_EQ(d.y, 10 + 12.5f);
    EXPECT_FLOAT_EQ(d.z, 4.0f * camera->zScale + camera->zShift);
    EXPECT_EQ(d.recipZ, 1.0f);
    EXPECT_TRUE(TvIm3DEnd());
}

TEST_F(ImPipelineTest, BatchOutsideOnePlaneDrawsNothingInsideNeedsNoClipping) {
    TvIm3DVertex left[3] = {At(-0.5f, 0.2f, 2), At(-0.1f, 0.5f, 2), At(-0.3f, 0.9f, 3)};
    ASSERT_NE(TvIm3DTransform(left, 3, nullptr, 0), nullptr);
    EXPECT_EQ(TvD3DIm3D.clipAnd, kTvClipLeft);
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 2), 1);
    EXPECT_EQ(TvIm3DRenderPrimitive(kTvPrimitiveTriangleList), 1);
    EXPECT_TRUE(TvIm3DEnd());
    EXPECT_TRUE(g_submitted.empty());

    // Each vertex outside a different plane: the AND is 0, the triangle is clipped.
    TvIm3DVertex spread[3] = {At(-0.5f, 0.5f, 2), At(1.5f, 0.2f, 2), At(0.5f, 1.5f, 2)};
    ASSERT_NE(TvIm3DTransform(spread, 3, nullptr, 0), nullptr);
    EXPECT_EQ(TvD3DIm3D.clipOr, kTvClipLeft | kTvClipRight | kTvClipBottom);
    EXPECT_EQ(TvD3DIm3D.clipAnd, 0);
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 2), 1);
    EXPECT_TRUE(TvIm3DEnd());
    auto tris = Triangles();
    ASSERT_GE(tris.size(), 3u); // the clipped polygon as a fan
    bool onLeft = false, onRight = false, onBottom = false;
    for (const auto& t : tris)
        for (const TvIm2DVertex& p : t) {
            EXPECT_GE(p.x, 20.0f - 1e-3f);
            EXPECT_LE(p.x, 120.0f + 1e-3f);
            EXPECT_GE(p.y, 10.0f - 1e-3f);
            EXPECT_LE(p.y, 60.0f + 1e-3f);
            onLeft |= p.x == 20.0f;
            onRight |= p.x == 120.0f;
            onBottom |= p.y == 60.0f;
        }
    EXPECT_TRUE(onLeft && onRight && onBottom) << "clipped vertices snap to the edges";
}

TEST_F(ImPipelineTest, NearPlaneClipGivesNearScreenZAndInterpolatedColour) {
    TvIm3DVertex v[3] = {At(0.2f, 0.2f, 3, 255), At(0.8f, 0.3f, 3, 255), At(0.5f, 0.5f, 0.5f, 0)};
    ASSERT_NE(TvIm3DTransform(v, 3, nullptr, kTvIm3DVertexUV), nullptr);
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 2), 1);
    EXPECT_TRUE(TvIm3DEnd());
    int onNear = 0;
    for (const auto& t : Triangles())
        for (const TvIm2DVertex& p : t)
            if (p.z == TvIm2DGetNearScreenZ()) {
                onNear++;
                const uint32_t alpha = p.colour >> 24;
                EXPECT_GT(alpha, 0u);
                EXPECT_LT(alpha, 255u);
            }
    EXPECT_GE(onNear, 2);
}

TEST_F(ImPipelineTest, BackFacesAreCulledAndStripsAlternateWinding) {
    TvIm3DVertex v[5] = {At(0.1f, 0.1f, 2), At(0.1f, 0.9f, 2), At(0.5f, 0.1f, 2), At(0.5f, 0.9f, 2),
                         At(0.9f, 0.1f, 2)};
    ASSERT_NE(TvIm3DTransform(v, 5, nullptr, 0), nullptr);
    EXPECT_EQ(TvIm3DRenderTriangle(0, 2, 1), 1); // screen-clockwise: drawn
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 2), 1); // facing away
    EXPECT_EQ(Triangles().size(), 0u) << "triangle calls gather until something else comes";
    uint16_t strip[5] = {0, 2, 1, 3, 4};
    EXPECT_EQ(TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleStrip, strip, 5), 1);
    EXPECT_EQ(Triangles().size(), 3u)
        << "the gathered (0 2 1), then (0 2 1) and (1 2 3) of the strip; (1 3 4) faces away";
    EXPECT_TRUE(TvIm3DEnd());
}

TEST_F(ImPipelineTest, IndicesAndCountsAreBoundedByTheBatch) {
    TvIm3DVertex v[3] = {At(0.1f, 0.1f, 2), At(0.9f, 0.1f, 2), At(0.5f, 0.9f, 2)};
    ASSERT_NE(TvIm3DTransform(v, 3, nullptr, 0), nullptr);
    uint16_t beyond[3] = {0, 1, 3};
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 3), 0);
    EXPECT_EQ(TvIm3DRenderLine(-1, 1), 0);
    EXPECT_EQ(TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, beyond, 3), 0);
    EXPECT_EQ(TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, nullptr, 3), 0);
    EXPECT_EQ(TvIm3DRenderPrimitive(6), 0);
    EXPECT_TRUE(TvIm3DEnd());
    ASSERT_NE(TvIm3DTransform(v, 0, nullptr, 0), nullptr);
    EXPECT_EQ(TvIm3DRenderPrimitive(kTvPrimitiveTriangleList), 1);
    EXPECT_TRUE(TvIm3DEnd());
    EXPECT_TRUE(g_submitted.empty());
}

TEST_F(ImPipelineTest, BatchesOutsideACameraUpdateDrawNothing) {
    TvIm3DVertex v[3] = {At(0.1f, 0.1f, 2), At(0.9f, 0.1f, 2), At(0.5f, 0.9f, 2)};
    TvCameraEndUpdate(camera);
    ASSERT_NE(TvIm3DTransform(v, 3, nullptr, 0), nullptr); // the pipe ran and refused the batch
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 2), 1);
    EXPECT_TRUE(TvIm3DEnd());
    EXPECT_TRUE(g_submitted.empty());
    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
}

TEST_F(ImPipelineTest, TenNestedBatchesThenPushFailsAndTheStackStaysAsItWas) {
    std::vector<TvIm3DVertex> v(4, At(0.5f, 0.5f, 2));
    int32_t firsts[10];
    for (int i = 0; i < 10; i++) {
        ASSERT_NE(TvIm3DTransform(v.data(), 4, nullptr, 0), nullptr) << i;
        firsts[i] = TvD3DIm3D.current->first;
    }
    for (int i = 1; i < 10; i++)
        EXPECT_EQ(firsts[i], firsts[i - 1] + 4) << "each batch follows the one below it";
    EXPECT_EQ(TvIm3DTransform(v.data(), 4, nullptr, 0), nullptr);
    EXPECT_EQ(TvIm3DTransform(nullptr, 4, nullptr, 0), nullptr);
    for (int i = 0; i < 10; i++)
        EXPECT_TRUE(TvIm3DEnd()) << i;
    EXPECT_FALSE(TvIm3DEnd());
    EXPECT_EQ(TvD3DIm3D.current, nullptr);
}

TEST_F(ImPipelineTest, ArraysGrowForLargeBatchesAndNeverShrink) {
    std::vector<TvIm3DVertex> v(3000, At(0.5f, 0.5f, 2));
    ASSERT_NE(TvIm3DTransform(v.data(), 3000, nullptr, 0), nullptr);
    EXPECT_GE(TvD3DIm3D.deviceCapacity, 3000);
    const int32_t capacity = TvD3DIm3D.deviceCapacity;
    EXPECT_TRUE(TvIm3DEnd());
    ASSERT_NE(TvIm3DTransform(v.data(), 3, nullptr, 0), nullptr);
    EXPECT_EQ(TvD3DIm3D.deviceCapacity, capacity);
    EXPECT_TRUE(TvIm3DEnd());
}

TEST_F(ImPipelineTest, ShadeModeIsReadOnEveryDrawCall) {
    TvIm3DVertex v[3] = {At(0.1f, 0.1f, 2), At(0.9f, 0.1f, 2), At(0.5f, 0.9f, 2)};
    ASSERT_NE(TvIm3DTransform(v, 3, nullptr, 0), nullptr);
    g_shadeMode = 1;
    TvIm3DRenderTriangle(0, 1, 2);
    EXPECT_EQ(TvIm3DGouraud, 0);
    g_shadeMode = 2;
    TvIm3DRenderTriangle(0, 1, 2);
    EXPECT_EQ(TvIm3DGouraud, 1);
    EXPECT_TRUE(TvIm3DEnd());
}

int g_stateSets;
int32_t CountSet(int32_t, intptr_t) {
    return ++g_stateSets, 1;
}

TEST_F(ImPipelineTest, RenderStatesNeedACurrentCameraToBeSet) {
    g_stateSets = 0;
    TV_ENGINE->deviceRecord.renderStateSet = CountSet;
    EXPECT_TRUE(TvRenderStateSet(kTvRenderStateShadeMode, 2));
    TvCameraEndUpdate(camera);
    EXPECT_FALSE(TvRenderStateSet(kTvRenderStateShadeMode, 1));
    EXPECT_EQ(LastErrorCode(), E_TV_NOCAMERA);
    EXPECT_EQ(g_stateSets, 1);
    int32_t shade = 0;
    g_shadeMode = 2;
    EXPECT_TRUE(TvRenderStateGet(kTvRenderStateShadeMode, &shade));
    EXPECT_EQ(shade, 2);
    TvCameraBeginUpdate(camera);
}

} // namespace

namespace {

// Triangle calls of one batch reach the device as one draw when the batch ends.
TEST_F(ImPipelineTest, TriangleCallsOfABatchBecomeOneDraw) {
    TvIm3DVertex v[6] = {At(0.1f, 0.1f, 2), At(0.5f, 0.1f, 2), At(0.1f, 0.9f, 2),
                         At(0.5f, 0.1f, 3), At(0.9f, 0.1f, 3), At(0.5f, 0.9f, 3)};
    ASSERT_NE(TvIm3DTransform(v, 6, nullptr, 0), nullptr);
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 2), 1);
    EXPECT_EQ(TvIm3DRenderTriangle(3, 4, 5), 1);
    EXPECT_TRUE(g_submitted.empty());
    EXPECT_TRUE(TvIm3DEnd());
    ASSERT_EQ(g_submitted.size(), 1u);
    EXPECT_EQ(g_submitted[0].indices, (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
}

// The plain UV stage copies every unclipped vertex's u and v, whatever per-vertex bits an
// earlier batch (a world batch with drawing skipped) left set.
TEST_F(ImPipelineTest, TexturedBatchTakesItsOwnCoordinatesWithVertexBitsLeftSet) {
    TvIm3DVertex v[3] = {At(0.1f, 0.1f, 2), At(0.5f, 0.1f, 2), At(0.1f, 0.9f, 2)};
    for (TvIm3DVertex& x : v)
        x.u = x.v = 0.25f;
    ASSERT_NE(TvIm3DTransform(v, 3, nullptr, kTvIm3DVertexUV), nullptr);
    EXPECT_TRUE(TvIm3DEnd());
    ASSERT_TRUE(TvD3DReserveVertexBits(3));
    TvD3DIm3D.vertexBits[0] = 0x7; // left set
    for (TvIm3DVertex& x : v)
        x.u = x.v = 0.1f;
    ASSERT_NE(TvIm3DTransform(v, 3, nullptr, kTvIm3DVertexUV), nullptr);
    for (int i = 0; i < 3; i++) {
        EXPECT_FLOAT_EQ(TvD3DIm3D.device[i].u, 0.1f) << i;
        EXPECT_FLOAT_EQ(TvD3DIm3D.device[i].v, 0.1f) << i;
    }
    EXPECT_TRUE(TvIm3DEnd());
}

} // namespace
