// One frame of play in the first sample level, drawn in-process on the offscreen display and
// read back: the landscape must reach the window, and the world passes come in their order.
#include <gtest/gtest.h>

#include "bench/game_level.h"
#include "engine/world/world.h"
#include "game/objects/levels.h"
#include "game/objects/sky.h"
#include "shell/render.h"
#include "engine/core/raster.h"
#include "game/objects/camera.h"
#include "game/missions/missionflow.h"

#include <cmath>

#include <cstring>
#include <vector>

namespace {

struct SectorCount {
    TpWorldSectorRenderCallBack inner = nullptr;
    int32_t calls = 0;
    bool draw = true;
};
SectorCount g_sectors;

TpWorldSector* CountingSectorRender(TpWorldSector* sector) {
    ++g_sectors.calls;
    return g_sectors.draw && g_sectors.inner ? g_sectors.inner(sector) : sector;
}

// One world frame, the main camera's frame buffer read back as its rows of pixels; the sector
// callback counts the sectors drawn and, when `landscape` is false, leaves them out.
std::vector<uint8_t> Frame(bool landscape, int* pixels) {
    TpWorld* world = MV2World;
    g_sectors.inner = TpWorldGetSectorRenderCallBack(world);
    g_sectors.calls = 0;
    g_sectors.draw = landscape;
    TpWorldSetSectorRenderCallBack(world, CountingSectorRender);
    MV2RenderWorld();
    TpWorldSetSectorRenderCallBack(world, g_sectors.inner);
    std::vector<uint8_t> rows;
    TvRaster* raster = TvCameraGetRaster(gMV2MainCamera);
    if (const uint8_t* p = raster ? TvRasterLock(raster, 1) : nullptr) {
        rows.assign(p, p + size_t(raster->stride) * size_t(raster->height));
        *pixels = raster->width * raster->height;
        TvRasterUnlock(raster);
    }
    return rows;
}

// The campaign start enters play between frames, with no world current: the city's camera must
// still find its point in the level and watch the craft leave from there;
// out of the dock, the cockpit looks out of the city, towards the landscape. (One game a
// process: the game is started once for all the checks.)
TEST(WorldFrame, TheCampaignStartsCamerasAndThePlayFrameShowTheLandscape) {
    GameBench game;
    ASSERT_TRUE(game.Start(false));
    {
        MV2Object* point = MV2FindObjectByWorldID(0x40055);
        MV2Object* sub = MV2GetPlayerSub();
        ASSERT_TRUE(point && point->clump && sub && sub->clump);
        EXPECT_EQ(MV2GetCameraMode(), kMV2CameraFixed);
        const TvMatrix* eye = TvFrameGetLTM(gMV2MainCamera->object.frame);
        const TvV3d at = TvFrameGetLTM(MV2GetRootFrame(point->clump))->pos;
        EXPECT_NEAR(eye->pos.x, at.x, 1e-3f);
        EXPECT_NEAR(eye->pos.y, at.y, 1e-3f);
        EXPECT_NEAR(eye->pos.z, at.z, 1e-3f);
        // Looking at the craft, not straight down from where the craft is.
        const TvV3d craft = TvFrameGetLTM(MV2GetRootFrame(sub->clump))->pos;
        const TvV3d to = TvV3dSub(craft, eye->pos);
        EXPECT_GT(TvV3dDot(to, eye->at), 0.95f * std::sqrt(TvV3dDot(to, to)));
    }
    game.LeaveDock();
    EXPECT_EQ(MV2GetCameraMode(), kMV2CameraCockpit);
    EXPECT_LT(TvFrameGetLTM(gMV2MainCamera->object.frame)->at.z, -0.9f);
    // The camera over the middle of the sample landscape (100 x 50, its floor near height 2),
    // looking down: most of the picture is landscape.
    TvFrame* eye = gMV2MainCamera->object.frame;
    TvMatrix* m = TvFrameGetMatrix(eye);
    m->right = {1.0f, 0.0f, 0.0f};
    m->up = {0.0f, 0.0f, 1.0f};
    m->at = {0.0f, -1.0f, 0.0f};
    m->pos = {25.0f, 10.0f, 25.0f};
    TvFrameUpdateObjects(eye);
    int pixels = 0;
    const std::vector<uint8_t> with = Frame(true, &pixels);
    const int32_t sectorsDrawn = g_sectors.calls;
    const std::vector<uint8_t> without = Frame(false, &pixels);
    ASSERT_GT(pixels, 0);
    ASSERT_EQ(with.size(), without.size());
    // The view holds landscape: a good part of the picture changes when the sectors are left out.
    const size_t bytesPerPixel = with.size() / size_t(pixels);
    int changed = 0;
    for (size_t i = 0; i + bytesPerPixel <= with.size(); i += bytesPerPixel)
        changed += std::memcmp(&with[i], &without[i], bytesPerPixel) != 0;
    EXPECT_GT(changed, pixels / 10) << "of " << pixels << " pixels";
    // With a sky the world is drawn a second time over it.
    ASSERT_GT(sectorsDrawn, 0);
    const int32_t passes = MV2GetLevelSkyFlag() && MV2GetSkyModel() ? 2 : 1;
    EXPECT_EQ(g_sectors.calls, sectorsDrawn);
    EXPECT_EQ(sectorsDrawn % passes, 0);
    game.Stop();
}

} // namespace
