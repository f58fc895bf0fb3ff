// The effect pass draws the energy stations' orbs while a station lives, and none otherwise.
#include "game/missions/orbstation.h"
#include "tests/game/effects/effects_fixture.h"

TEST_F(EffectsTest, StationOrbsAreDrawnOnlyWhileAStationLives) {
    MV2EffectDetail = 1; // no plankton, which also draws with the corona texture
    const MV2OrbPool saved = gMV2OrbPool;
    gMV2OrbPool = MV2OrbPool{};
    const uint32_t now = gMV2FrameTimer.frameClock;
    for (int32_t i = 0; i < 3; i++)
        gMV2OrbPool.orbs[i] = {1, now, Rel(float(i), 0, 10), {0, 0, 0}};
    const intptr_t corona = intptr_t(TvTextureGetRaster(gMV2CoronaTexture));
    auto drawn = [&] {
        recorder_.calls.clear();
        MV2RenderEffects(camera_);
        int32_t n = 0;
        for (const Im3DCall& c : recorder_.calls)
            n += c.raster == corona ? 1 : 0;
        return n;
    };
    EXPECT_EQ(drawn(), 0);
    gMV2OrbPool.liveStations = 1;
    EXPECT_EQ(drawn(), 3);
    MV2ResetOrbPool(); // the level start: no station lives
    EXPECT_EQ(drawn(), 0);
    gMV2OrbPool = saved;
}
