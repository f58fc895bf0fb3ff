// World atomics drawn through the driver over the display stand-in and read back from the frame
// buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/resources.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "engine/world/world_plugin.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/world_writer.h"

namespace {

class D3DWorldDrawTest : public D3DTest {
protected:
    bool Attach() override { return TpWorldPluginAttach() == 1; }
    // Instanced vertices are made in the resource arena, which the game sets up at start.
    void SetUp() override {
        D3DTest::SetUp();
        arena_.resize(1 << 16);
        TvResourcesArenaMemory = arena_.data();
        TvResourcesSetArenaSize(arena_.size());
    }
    void TearDown() override {
        TvResourcesSetArenaSize(0);
        TvResourcesArenaMemory = nullptr;
        D3DTest::TearDown();
    }
    std::vector<uint8_t> arena_;
};

// A white and blue checker: a square of two triangles, one blue and one white, over four
// white pre-lit vertices, two of them shared. Each triangle is flat in its own colour; a white
// group that kept the blue group's colours on the shared vertices would draw a gradient.
TEST_F(D3DWorldDrawTest, WhiteAndBlueGroupsSharingVerticesDrawInTheirOwnColours) {
    TpGeometry* g = TpGeometryCreate(4, 4, kTpGeometryPreLit);
    ASSERT_NE(g, nullptr);
    const TvV3d v[4] = {{-1, -1, 10}, {1, -1, 10}, {1, 1, 10}, {-1, 1, 10}};
    std::copy(v, v + 4, TpGeometryGetMorphTarget(g, 0)->vertices);
    std::fill_n(TpGeometryGetPreLightColors(g), 16, uint8_t(255));
    for (TpRGBA colour : {TpRGBA{0, 0, 255, 255}, TpRGBA{255, 255, 255, 255}})
        AppendColouredMaterial(&g->materials, colour);
    // Both windings of each triangle, so one of them faces the camera.
    g->triangles[0] = {{0, 1, 2}, 0};
    g->triangles[1] = {{0, 2, 1}, 0};
    g->triangles[2] = {{0, 2, 3}, 1};
    g->triangles[3] = {{0, 3, 2}, 1};
    TvFrame* atomicFrame = nullptr;
    TpAtomic* atomic = AtomicOnOwnFrame(g, &atomicFrame);

    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    TvFrame* cameraFrame = TvFrameCreate();
    TvCameraSetFrame(camera, cameraFrame);
    TvCameraSetNearClipPlane(camera, 1.0f);
    TvCameraSetFarClipPlane(camera, 100.0f);
    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    const TvRGBA black = {0, 0, 0, 255};
    ASSERT_NE(TvCameraClear(camera, &black, 3), nullptr);
    TpAtomicRender(atomic);
    ASSERT_NE(TvCameraEndUpdate(camera), nullptr);

    // Every pixel is the background, flat blue or flat white (565); both triangles show.
    std::map<uint32_t, int> seen;
    TvRaster* fb = TvCameraGetRaster(camera);
    ASSERT_EQ(fb->depth, 16);
    const uint8_t* pixels = TvRasterLock(fb, 2);
    ASSERT_NE(pixels, nullptr);
    for (int32_t y = 0; y < 480; y += 2)
        for (int32_t x = 0; x < 640; x += 2) {
            uint16_t p;
            std::memcpy(&p, pixels + y * fb->stride + 2 * x, 2);
            seen[p]++;
        }
    TvRasterUnlock(fb);
    EXPECT_GT(seen[0x001Fu], 0) << "blue";
    EXPECT_GT(seen[0xFFFFu], 0) << "white";
    for (const auto& [pixel, count] : seen)
        EXPECT_TRUE(pixel == 0 || pixel == 0x001Fu || pixel == 0xFFFFu)
            << std::hex << pixel << " at " << std::dec << count << " points";

    TvObjectHasFrameReleaseFrame(&camera->object);
    TvFrameDestroy(cameraFrame);
    TpAtomicDestroy(atomic);
    TvFrameDestroy(atomicFrame);
}

} // namespace
