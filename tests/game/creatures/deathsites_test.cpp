#include "game/objects/levels.h"
#include "tests/game/creatures/creature_fixture.h"

#include "game/creatures/deathsites.h"

TEST_F(CreatureTest, DeathSites) {
    ASSERT_EQ(MV2InitialiseDeathSites(), 1);
    ModelType(68, 0.5f); // the eater
    const TvV3d origin{0, 0, 0};
    EXPECT_EQ(MV2FindNearestDeathSite(&origin, 1e9f), nullptr);
    // 15 sites, one a little later each; site k at x = k + 1.
    for (int32_t k = 0; k < kMV2DeathSites; ++k) {
        const TvV3d at{float(k + 1), 0, 0};
        MV2PostDeathSite(&at);
        gMV2FrameTimer.frameClock += 10;
    }
    const TvV3d* nearest = MV2FindNearestDeathSite(&origin, 2.0f);
    ASSERT_NE(nearest, nullptr);
    EXPECT_FLOAT_EQ(nearest->x, 1.0f);
    EXPECT_EQ(MV2FindNearestDeathSite(&origin, 1.0f), nullptr); // squared distance 1 is not below
    // The 16th posting reuses the site that expires first: the one at x = 1.
    const TvV3d far{100, 0, 0};
    MV2PostDeathSite(&far);
    nearest = MV2FindNearestDeathSite(&origin, 1e9f);
    ASSERT_NE(nearest, nullptr);
    EXPECT_FLOAT_EQ(nearest->x, 2.0f);

    // Expired sites leave at the next sweep.
    gMV2FrameTimer.frameClock += 20000;
    MV2ExpireDeathSites();
    EXPECT_EQ(MV2FindNearestDeathSite(&origin, 1e9f), nullptr);
}

TEST_F(CreatureTest, DeathSitesKeepAnEaterInWorldZero) {
    // Eaters live in the levels of world 0 only.
    const uint32_t savedLevel = gMV2Level.currentLevelId;
    gMV2Level.currentLevelId = kMV2TitleLevel;
    ASSERT_EQ(MV2InitialiseDeathSites(), 1);
    ModelType(68, 0.5f);
    const TvV3d at{3, -5, 0};
    MV2PostDeathSite(&at);
    int32_t eaters = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        eaters += (o->typeWord & kMV2ObjectTypeMask) == 68;
    EXPECT_EQ(eaters, 1);
    // Within 20 s no second eater comes.
    MV2PostDeathSite(&at);
    eaters = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        eaters += (o->typeWord & kMV2ObjectTypeMask) == 68;
    EXPECT_EQ(eaters, 1);
    gMV2Level.currentLevelId = savedLevel;
}
