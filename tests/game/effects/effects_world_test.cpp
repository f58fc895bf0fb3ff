// Gravel, the darting fish, screen cracks and the process object (type 39).
#include "engine/world/clump.h"
#include "game/objects/clumpdata.h"
#include "tests/game/effects/effects_fixture.h"

namespace {

class GravelTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseGravel(), 1);
        ASSERT_EQ(MV2InitialiseBubbles(), 1);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetGravel();
        MV2ShutdownGravel();
        MV2ResetBubbles();
        MV2ShutdownBubbles();
        EffectsTest::TearDown();
    }
};

} // namespace

TEST_F(GravelTest, AGrainOutOfViewGoesAtItsNextUpdate) {
    const TvV3d p = Rel(0, 0, 10);
    const float at[3] = {p.x, p.y, p.z};
    MV2CreateGravel(at, nullptr);
    MV2Grain* g = MV2FirstGrain();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(MV2FindGrain(g->clump), g);
    EXPECT_EQ(MV2GetClumpObject(g->clump), nullptr); // a grain is never taken for an object
    EXPECT_EQ(TpClumpGetWorld(g->clump), MV2World);
    const float sizes[8] = {0.02f, 0.0028571428f, 0.0057142856f, 0.0085714284f, 0.011428571f,
                            0.014285714f, 0.017142856f, 0.02f};
    bool known = false;
    for (float s : sizes)
        known = known || std::fabs(g->size - s) < 1e-6f;
    EXPECT_TRUE(known) << g->size;
    // Seen this frame and the next: kept; it sinks slowly under the water.
    NextFrame();
    MV2UpdateGravel(g->clump, nullptr);
    EXPECT_EQ(g->active, 1u);
    EXPECT_LT(TvFrameGetMatrix(g->clump->frame)->pos.y, p.y);
    MV2DrawGravel();
    EXPECT_EQ(recorder_.calls.size(), 1u);
    // Updated out of the in-view phase: gone, its clump out of the world.
    NextFrame();
    MV2InViewUpdateFlag = 0;
    MV2UpdateGravel(g->clump, nullptr);
    EXPECT_EQ(g->active, 0u);
    EXPECT_EQ(TpClumpGetWorld(g->clump), nullptr);
    EXPECT_EQ(MV2FirstGrain(), nullptr);
    MV2CreateGravel(at, nullptr); // none made outside the in-view phase
    EXPECT_EQ(MV2FirstGrain(), nullptr);
}

TEST_F(GravelTest, TheFishVeersOnlyFromAPlayerWithinFiveUnits) {
    MV2ObjectType* fish = HandledType(kMV2FishType, MV2FishHandler, 0, 0.3f);
    fish->words[31] = 2u << 28;
    MV2SetTypeFloat(fish, 2, 1.0f);
    MV2SetTypeFloat(fish, 3, 1.0f);
    ModelType(1);
    MV2Object* f = Make(kMV2FishType, Rel(0, 0, 10));
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->body, nullptr);
    MV2Object* player = Make(1, Rel(5, 0, 10));
    MV2SetPlayerObject(player);
    const TvV3d right = f->matrix->right;
    MV2ObjectSendMessage(f, 2, 0, 0);
    EXPECT_FLOAT_EQ(f->matrix->right.x, right.x); // 5 units away: no turn
    EXPECT_FLOAT_EQ(f->matrix->right.z, right.z);
    player->matrix->pos = Rel(4, 0, 10);
    MV2ObjectSendMessage(f, 2, 0, 0);
    EXPECT_NE(f->matrix->right.z, right.z);
    // Out of view it goes; killed it leaves a blood cloud.
    MV2ResetBloodClouds();
    f->energy = 0.0f;
    const MV2ObjectHandle handle = f->handle;
    MV2ObjectSendMessage(f, 2, 0, 0);
    EXPECT_EQ(MV2ObjectHandleAlive(handle), 0);
    EXPECT_EQ(gMV2BloodClouds[0].active, 1u);
}

TEST_F(EffectsTest, CracksGrowEverySecondStepAndCreakAtMostEveryOneAndAHalfSeconds) {
    MV2ResetScreenCracks();
    ModelType(1);
    MV2Object* player = Make(1, Rel(0, 0, 0));
    MV2SetPlayerObject(player);
    MV2ScreenCracks& c = gMV2ScreenCracks;
    MV2AddScreenCracks(1);
    const uint32_t creak = c.soundTime;
    EXPECT_EQ(creak, MV2EffectClock() + 1500);
    int32_t started = 0;
    for (int32_t i = 0; i < kMV2CrackRoots; i++)
        started += c.segments[i].stage;
    EXPECT_EQ(started, 1);
    MV2AddScreenCracks(1); // an even step: nothing grows
    started = 0;
    for (int32_t i = 0; i < kMV2CrackRoots; i++)
        started += c.segments[i].stage;
    EXPECT_EQ(started, 1);
    NextFrame(1499);
    MV2AddScreenCracks(1);
    EXPECT_EQ(c.soundTime, creak);
    NextFrame(2);
    MV2AddScreenCracks(1);
    EXPECT_EQ(c.soundTime, MV2EffectClock() + 1500);
    // A fresh crack starts at its edge point, within 120 of the quarter mark.
    for (int32_t i = 0; i < kMV2CrackRoots; i++) {
        const MV2CrackSegment& s = c.segments[i];
        if (s.stage != 1) continue;
        const float e = i < 4 ? 0.25f : 0.75f;
        const float along = (i & 3) < 2 ? s.x - e * 640.0f : s.y - e * 480.0f;
        EXPECT_LE(std::fabs(along), 120.0f + 16.0f) << i;
    }
    // Grown out: every crack at stage 7, no segment past the 56th, and nothing more grows.
    MV2AddScreenCracks(400);
    EXPECT_EQ(c.live, 0);
    EXPECT_EQ(c.count, kMV2CrackSegments);
    for (int32_t i = 0; i < kMV2CrackRoots; i++)
        EXPECT_EQ(c.segments[i].stage, 7);
    MV2AddScreenCracks(10);
    EXPECT_EQ(c.count, kMV2CrackSegments);
    MV2ResetScreenCracks();
    EXPECT_EQ(c.live, kMV2CrackRoots);
    EXPECT_EQ(c.count, kMV2CrackRoots);
}

TEST_F(EffectsTest, TheProcessObjectKeepsAValueAndNeverDies) {
    HandledType(kMV2ProcessType, MV2ProcessObjectHandler, sizeof(MV2ProcessData));
    MV2Object* o = Make(kMV2ProcessType, Rel(0, 0, 10));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->aiCategory, 9);
    intptr_t size = 0;
    EXPECT_EQ(MV2ProcessObjectHandler(o, 96, 0, intptr_t(&size)), 1);
    EXPECT_EQ(size, intptr_t(sizeof(MV2ProcessData)));
    const uint32_t value = 77;
    uint32_t out = 0;
    MV2ObjectSendMessage(o, 12, 0, intptr_t(&value));
    MV2ObjectSendMessage(o, 13, 0, intptr_t(&out));
    EXPECT_EQ(out, 77u);
    EXPECT_EQ(MV2ObjectSendMessage(o, 80, 0, 0), 1);
    o->energy = -5.0f;
    MV2ObjectSendMessage(o, 2, 0, 0);
    EXPECT_EQ(o->energy, 0.0f);
}
