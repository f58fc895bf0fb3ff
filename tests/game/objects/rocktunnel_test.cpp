#include <algorithm>
#include <cmath>
#include <string>

#include "game/objects/rocktunnel.h"
#include "tests/game/objects/world_fixture.h"

namespace {

class TunnelTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        TvRandomSeed(7);
        MV2StartRockTunnel(nullptr);
    }
    static void ExpectNear(const TvV3d& a, const TvV3d& b, float e = 1e-4f) {
        EXPECT_NEAR(a.x, b.x, e);
        EXPECT_NEAR(a.y, b.y, e);
        EXPECT_NEAR(a.z, b.z, e);
    }
    static TvMatrix TunnelPoint(float x, float y, float z) {
        TvMatrix m{};
        m.right = {1, 0, 0};
        m.up = {0, 1, 0};
        m.at = {0, 0, 1};
        m.pos = {x, y, z};
        return m;
    }
    // Each patch row as "first-end" rings, from the patch lists (half 0 entries).
    static std::vector<std::string> Rows() {
        MV2BuildTunnelPatches();
        std::vector<std::pair<int32_t, int32_t>> rows;
        for (const MV2TunnelPatchList& l : gMV2RockTunnel.patches)
            for (int32_t i = 0; i < l.count; i++)
                if (l.firstPoint[i] == 0) rows.push_back({l.firstRing[i], l.endRing[i]});
        std::sort(rows.begin(), rows.end());
        std::vector<std::string> out;
        for (auto [a, b] : rows)
            out.push_back(std::to_string(a) + "-" + std::to_string(b));
        return out;
    }
};

} // namespace

TEST_F(TunnelTest, StartPutsRingZeroAtThePosition) {
    const MV2RockTunnel& t = gMV2RockTunnel;
    ExpectNear(t.frames[0].pos, {0, 0, 0});
    ExpectNear(t.frames[0].at, {0, 0, 1});
    ExpectNear(t.frames[0].right, {1, 0, 0});
    // Ring 1: 1.4 along +z, then 1.4 along the at axis turned by ring 0's rotation.
    const float* q = t.rings[0].rotation;
    const TvV3d turnedAt{q[1] * q[2] * q[5] + q[0] * q[4], q[1] * q[2] * q[4] - q[0] * q[5],
                         q[1] * q[3]};
    ExpectNear(t.frames[1].at, turnedAt);
    ExpectNear(t.frames[1].pos, TvV3dAdd({0, 0, 1.4f}, TvV3dScale(turnedAt, 1.4f)));
    for (const MV2TunnelRing& r : t.rings) {
        for (float radius : r.radii) {
            EXPECT_GE(radius, 3.4f);
            EXPECT_LE(radius, 6.9f);
        }
        EXPECT_GE(r.cloudSize, 4.76f - 1e-4f);
        EXPECT_LE(r.cloudSize, 7.0f);
        EXPECT_GE(r.pitch, 0.0f);
        EXPECT_GE(r.yaw, 0.0f);
    }
    for (int32_t texture : t.textureTable) {
        EXPECT_GE(texture, 0);
        EXPECT_LT(texture, 6);
    }
    const TvV3d at{5, 6, 7};
    MV2StartRockTunnel(&at);
    ExpectNear(gMV2RockTunnel.frames[0].pos, at);
}

TEST_F(TunnelTest, SpeedRunsDownByTwoHundredthsPerTick) {
    gMV2FrameTimer.ticks = 1.0f;
    MV2SetRockTunnelSpeed(0.0f);
    const TvV3d ring1 = gMV2RockTunnel.frames[1].pos;
    MV2UpdateRockTunnel();
    ExpectNear(gMV2RockTunnel.frames[1].pos, ring1, 0.0f);
    EXPECT_EQ(gMV2RockTunnel.distance, 0.0f);
    MV2SetRockTunnelSpeed(-1.0f);
    MV2UpdateRockTunnel();
    EXPECT_EQ(gMV2RockTunnel.distance, 0.0f);
    MV2SetRockTunnelSpeed(0.5f);
    MV2UpdateRockTunnel();
    EXPECT_NEAR(gMV2RockTunnel.distance, 0.5f, 1e-5f);
    EXPECT_NEAR(gMV2RockTunnel.speed, 0.48f, 1e-6f);
    gMV2FrameTimer.ticks = 2.0f;
    MV2UpdateRockTunnel();
    EXPECT_NEAR(gMV2RockTunnel.distance, 1.46f, 1e-5f);
    EXPECT_NEAR(gMV2RockTunnel.speed, 0.44f, 1e-6f);
    gMV2FrameTimer.ticks = 1.0f;
}

TEST_F(TunnelTest, ShortAdvanceSlidesTheTunnelWithoutDroppingRings) {
    const MV2TunnelRing ring3 = gMV2RockTunnel.rings[3];
    TvMatrix before{};
    TvMatrix point = TunnelPoint(0, 0, 2.0f);
    ASSERT_EQ(MV2TunnelToWorld(&before, &point), kMV2TunnelPlaced);
    MV2AdvanceRockTunnel(2.0f);
    EXPECT_EQ(gMV2RockTunnel.scroll, 0);
    EXPECT_NEAR(gMV2RockTunnel.distance, 2.0f, 1e-5f);
    EXPECT_EQ(gMV2RockTunnel.rings[3].radii[0], ring3.radii[0]);
    // The reference point (tunnel z 0) now lies where ring 0 lay.
    TvMatrix now{};
    point = TunnelPoint(0, 0, 0);
    ASSERT_EQ(MV2TunnelToWorld(&now, &point), kMV2TunnelPlaced);
    ExpectNear(now.pos, {0, 0, 0}, 1e-3f);
}

TEST_F(TunnelTest, LongAdvancesDropTwelveRingsAtMostAtATime) {
    MV2AdvanceRockTunnel(5.0f);
    EXPECT_EQ(gMV2RockTunnel.scroll, 1);
    EXPECT_NEAR(gMV2RockTunnel.distance, 2.2f, 1e-4f);
    // 100 units: 36 rings and a part, dropped in parts of fewer than 12.
    MV2AdvanceRockTunnel(100.0f);
    EXPECT_NEAR(float(gMV2RockTunnel.scroll) * 2.8f + gMV2RockTunnel.distance, 105.0f, 1e-2f);
    EXPECT_GE(gMV2RockTunnel.distance, 0.0f);
    EXPECT_LT(gMV2RockTunnel.distance, 2.8f);
    for (const MV2TunnelRing& r : gMV2RockTunnel.rings)
        EXPECT_GE(r.radii[0], 3.4f);
    for (int32_t texture : gMV2RockTunnel.textureTable) {
        EXPECT_GE(texture, 0);
        EXPECT_LT(texture, 6);
    }
}

TEST_F(TunnelTest, TunnelPointsOutsideTheTunnel) {
    TvMatrix out{};
    out.pos = {9, 9, 9};
    struct Case {
        float z;
        int32_t result;
    } cases[] = {{-0.001f, kMV2TunnelBehind}, {-50.0f, kMV2TunnelBehind},
                 {33.6f, kMV2TunnelBeyond},   {40.0f, kMV2TunnelBeyond},
                 {33.5f, kMV2TunnelPlaced}};
    for (const Case& c : cases) {
        TvMatrix tm = TunnelPoint(0, 0, c.z);
        TvMatrix o = out;
        EXPECT_EQ(MV2TunnelToWorld(&o, &tm), c.result) << c.z;
        if (c.result != kMV2TunnelPlaced) ExpectNear(o.pos, {9, 9, 9}, 0.0f);
    }
    // s exactly 0: frame 0's axes at ring 0's centre, moved across and up.
    TvMatrix tm = TunnelPoint(1.0f, 2.0f, 0.0f);
    ASSERT_EQ(MV2TunnelToWorld(&out, &tm), kMV2TunnelPlaced);
    ExpectNear(out.pos, {1, 2, 0});
    ExpectNear(out.at, {0, 0, 1});
    // At a whole ring the point is that ring's centre with its axes.
    tm = TunnelPoint(0, 0, 2.8f * 3);
    ASSERT_EQ(MV2TunnelToWorld(&out, &tm), kMV2TunnelPlaced);
    ExpectNear(out.pos, gMV2RockTunnel.frames[3].pos, 1e-3f);
    ExpectNear(out.up, gMV2RockTunnel.frames[3].up, 1e-3f);
}

TEST_F(TunnelTest, PatchRowsFollowTheScroll) {
    EXPECT_EQ(Rows(), (std::vector<std::string>{"0-4", "4-8", "8-12"}));
    gMV2RockTunnel.scroll = 1;
    EXPECT_EQ(Rows(), (std::vector<std::string>{"0-3", "3-7", "7-11", "11-12"}));
    gMV2RockTunnel.scroll = 4;
    EXPECT_EQ(Rows(), (std::vector<std::string>{"0-4", "4-8", "8-12"}));
    // Both halves of a row are listed under the row's textures.
    gMV2RockTunnel.scroll = 0;
    for (int32_t& t : gMV2RockTunnel.textureTable)
        t = 2;
    MV2BuildTunnelPatches();
    EXPECT_EQ(gMV2RockTunnel.patches[2].count, 6);
    EXPECT_EQ(gMV2RockTunnel.patches[0].count, 0);
}

class TunnelTextureTest : public WorldModuleTest {
protected:
    void TearDown() override {
        MV2ShutdownRocksAndClouds();
        WorldModuleTest::TearDown();
    }
};

// Loading stops at the first missing texture with its box and keeps what it loaded.
TEST_F(TunnelTextureTest, FirstMissingTextureStopsTheLoad) {
    textures_.missing = {"*|vrocks3"};
    EXPECT_EQ(MV2InitialiseRocksAndClouds(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Failed to load texture"});
    EXPECT_NE(gMV2RockTunnel.rocks[1], nullptr);
    EXPECT_EQ(gMV2RockTunnel.rocks[2], nullptr);
    PlatformClearMessageBoxes();
    textures_.missing = {"*|cloud5m"};
    textures_.reads.clear();
    EXPECT_EQ(MV2InitialiseRocksAndClouds(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Failed to load cloud texture"});
    EXPECT_EQ(textures_.reads.front(), ".\\texture\\|vrocks3|");
    EXPECT_EQ(textures_.reads.back(), ".\\texture\\|cloud5m|cloud5m");
    textures_.missing.clear();
    EXPECT_EQ(MV2InitialiseRocksAndClouds(), 1);
    EXPECT_NE(gMV2RockTunnel.cloudRasters[7], nullptr);
}
