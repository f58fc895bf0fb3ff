#include "game/objects/caustics.h"
#include "game/objects/levels.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "shell/frametimer.h"
#include "tests/game/objects/world_fixture.h"

namespace {

// The daylight cases run on level 0, the level whose days pass.
struct DayCase {
    float hour;     // -1: set the clock directly
    uint32_t clock; // ms when hour is -1
    int32_t phase;
    float light;
};

} // namespace

TEST(DayClock, PhasesAndLight) {
    const uint32_t savedLevel = gMV2Level.currentLevelId;
    gMV2Level.currentLevelId = kMV2TitleLevel;
    const DayCase cases[] = {
        {18.0f, 0, kMV2Dusk, 0.2f},              // phase 0.75: 0.1 raised to the minimum
        {-1, 1188000, kMV2Dusk, 1.0f},           // exactly 0.66
        {-1, 1620000, kMV2Dawn, 0.2f},           // exactly 0.9: 0.0 raised to the minimum
        {-1, 0, kMV2Day, 1.0f},
        {-1, 1500000, kMV2Night, 0.2f},
        {-1, 1710000, kMV2Dawn, 0.5f},           // phase 0.95
        {-1, 1800000 + 1260000, kMV2Dusk, 0.6f}, // the clock wraps by the day length
    };
    for (const DayCase& c : cases) {
        MV2ResetDayClock();
        if (c.hour >= 0)
            MV2SetTimeOfDay(c.hour);
        else
            gMV2DayClock.dayClock = c.clock;
        EXPECT_NEAR(MV2GetDaylight(), c.light, 1e-5f) << c.hour << " " << c.clock;
        EXPECT_EQ(gMV2DayClock.phase, c.phase) << c.hour << " " << c.clock;
    }
    MV2SetTimeOfDay(18.0f);
    EXPECT_EQ(gMV2DayClock.dayClock, 1350000u);
    gMV2Level.currentLevelId = savedLevel;
}

TEST(DayClock, AdvancesByTheFrameMilliseconds) {
    EXPECT_EQ(MV2ResetDayClock(), 1);
    EXPECT_EQ(gMV2DayClock.gameClock, 0u);
    const int32_t saved = gMV2FrameTimer.milliseconds;
    gMV2FrameTimer.milliseconds = 33;
    MV2AdvanceDayClock();
    MV2AdvanceDayClock();
    EXPECT_EQ(gMV2DayClock.gameClock, 66u);
    EXPECT_EQ(gMV2DayClock.dayClock, 66u);
    gMV2FrameTimer.milliseconds = saved;
    MV2ResetDayClock();
}

TEST(Caustics, FramesCycleAboutOnceASecond) {
    EXPECT_EQ(MV2CausticFrame(0), 0);
    EXPECT_EQ(MV2CausticFrame(31), 0);
    EXPECT_EQ(MV2CausticFrame(32), 1);
    EXPECT_EQ(MV2CausticFrame(32 * 31 + 5), 31);
    EXPECT_EQ(MV2CausticFrame(32 * 32), 0);
}

class SkyTest : public WorldModuleTest {};

TEST_F(SkyTest, CausticTexturesAndCallbacks) {
    textures_.missing = {"*|CAUST17"};
    EXPECT_EQ(MV2InitialiseCaustics(), 0);
    MV2ShutdownCaustics();
    textures_.missing.clear();
    textures_.reads.clear();
    TpWorld* world = TpWorldGetCurrent();
    TpWorldSectorRenderCallBack before = TpWorldGetSectorRenderCallBack(world);
    ASSERT_EQ(MV2InitialiseCaustics(), 1);
    ASSERT_EQ(textures_.reads.size(), 32u);
    EXPECT_EQ(textures_.reads[7], ".\\texture\\|CAUST07|CAUST07m");
    EXPECT_EQ(TpWorldGetSectorRenderCallBack(world), MV2RenderSectorCaustics);
    MV2SetWorldCaustics(0);
    EXPECT_EQ(TpWorldGetSectorRenderCallBack(world), before);
    MV2SetWorldCaustics(1);
    MV2ShutdownCaustics();
    EXPECT_EQ(TpWorldGetSectorRenderCallBack(world), before);
}

// Caustics switched off and on again while another world is current leave the first world with
// the caustic callback; switched on there again, the callback must still draw through the
// world's own one and never through itself.
int gCountedSectorDraws = 0;

TpWorldSector* CountingSectorDraw(TpWorldSector* sector) {
    ++gCountedSectorDraws;
    return sector;
}

TEST_F(SkyTest, CausticsBackOnAWorldLeftWithTheirCallback) {
    TpWorld* world = TpWorldGetCurrent();
    const TpWorldSectorRenderCallBack before = TpWorldGetSectorRenderCallBack(world);
    TpWorldSetSectorRenderCallBack(world, CountingSectorDraw);
    ASSERT_EQ(MV2InitialiseCaustics(), 1);
    GridWorld other = MakeGridWorld(1);
    TV_ENGINE->worldLibrary = other.world;
    MV2SetWorldCaustics(0);
    MV2SetWorldCaustics(1);
    TV_ENGINE->worldLibrary = world;
    MV2SetWorldCaustics(0);
    MV2SetWorldCaustics(1);
    EXPECT_EQ(TpWorldGetSectorRenderCallBack(world), MV2RenderSectorCaustics);
    TpWorldSector sector{};
    gCountedSectorDraws = 0;
    EXPECT_EQ(MV2RenderSectorCaustics(&sector), &sector);
    EXPECT_EQ(gCountedSectorDraws, 1) << "drawn once, through the world's own callback";
    MV2SetWorldCaustics(0);
    EXPECT_EQ(TpWorldGetSectorRenderCallBack(world), CountingSectorDraw);
    MV2ShutdownCaustics();
    DestroyGridWorld(other);
    TpWorldSetSectorRenderCallBack(world, before);
}

TEST_F(SkyTest, SkyModelSpansEightFarClips) {
    TpClump* sky = MV2BuildSkyModel();
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(MV2BuildSkyModel(), sky); // built once
    TpGeometry* g = TpAtomicGetGeometry(MV2GetFirstAtomic(sky));
    ASSERT_EQ(TpGeometryGetNumVertices(g), 4);
    EXPECT_FLOAT_EQ(TpGeometryGetMorphTarget(g, 0)->vertices[2].x, 8.0f); // no camera: F = 1
    EXPECT_FLOAT_EQ(g->texCoords[1].u, 8.046875f);
    EXPECT_EQ(g->triangles[1].vertex[2], 3);
    MV2FreeSky();
    EXPECT_EQ(MV2GetSkyModel(), nullptr);
}
