#include "game/creatures/smallmother.h"

#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/effects/effects.h"
#include "tests/game/creatures/boss_fixture.h"

namespace {

// A pre-lit part of four vertices at distances 1, 0.5, 0.7 and 0.6 from its origin, in two
// triangles.
TpClump* PartClump() {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(clump, frame);
    TpGeometry* g = TpGeometryCreate(4, 2, kTpGeometryPreLit | kTpGeometryTextured);
    TpGeometryLock(g, kTpLockAll);
    TvV3d* v = TpGeometryGetMorphTarget(g, 0)->vertices;
    v[0] = {1.0f, 0.0f, 0.0f};
    v[1] = {0.0f, 0.5f, 0.0f};
    v[2] = {0.0f, 0.0f, 0.7f};
    v[3] = {0.0f, -0.6f, 0.0f};
    for (int i = 0; i < 16; ++i)
        g->preLight[i] = 200;
    g->triangles[0] = {{0, 1, 2}, 0};
    g->triangles[1] = {{0, 2, 3}, 0};
    TpGeometryUnlock(g);
    const TvSphere sphere{{0, 0, 0}, 1.0f};
    TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(g, 0), &sphere);
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, g, 0);
    TpGeometryDestroy(g);
    TpAtomicSetFrame(atomic, frame);
    TpClumpAddAtomic(clump, atomic);
    return clump;
}

class SmallMotherTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2InitialiseEffectHooks();
        MV2RegisterSmallMotherHandlers();
        BodyType(434, sizeof(MV2SmallMother), 1.0f);
        for (int32_t t = 435; t <= 437; ++t) {
            MV2ObjectType* type = ModelType(t, 1.0f);
            TpClumpDestroy(type->model);
            type->model = PartClump();
        }
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetSmallMother();
        MV2ShutdownEffectHooks();
        BossTest::TearDown();
    }
    MV2SmallMother* Mother(MV2Object* o) { return static_cast<MV2SmallMother*>(o->privateData); }
};

TEST_F(SmallMotherTest, CommandsReachTheLastMotherOnly) {
    MV2Object* first = Create(434, {0.0f, -5.0f, 0.0f});
    MV2Object* second = Create(434, {0.0f, -5.0f, 5.0f});
    ASSERT_TRUE(first && second);
    EXPECT_EQ(MV2GetSmallMother(), second);
    MV2SmallMother* d = Mother(second);
    for (MV2Object* part : d->parts)
        ASSERT_NE(part, nullptr);
    EXPECT_FLOAT_EQ(d->fade, 1.0f);
    MV2SmallMotherCommand(53);
    EXPECT_FALSE(d->visible);
    EXPECT_FLOAT_EQ(d->rippleDuration, 2.0f);
    EXPECT_EQ(MV2AddEffectHook("small mother tail", nullptr, nullptr, nullptr), 0); // listed
    MV2SmallMotherCommand(49);
    EXPECT_TRUE(d->visible);
    EXPECT_FLOAT_EQ(d->size, 0.1f);
    EXPECT_FLOAT_EQ(d->targetSize, 0.5f);
    EXPECT_FLOAT_EQ(d->part2Scale, 1.0f);
    EXPECT_FLOAT_EQ(d->pulseRate, 4.0f);
    MV2SmallMotherCommand(50);
    EXPECT_FLOAT_EQ(d->targetSize, 10.0f);
    ModelType(42, 0.2f);
    MV2Object* mark = Create(42, {7.0f, -5.0f, 0.0f}); // the flash point
    mark->scriptId = 0x0044000F;
    MV2SmallMotherCommand(51);
    EXPECT_FLOAT_EQ(d->flashRate, 3.0f);
    EXPECT_FLOAT_EQ(d->flashPosition.x, 7.0f);
    EXPECT_FLOAT_EQ(d->fadeRate, 2.0f);
    EXPECT_FLOAT_EQ(Mother(first)->flashRate, 0.0f);
    MV2ObjectSendMessage(second, 4, 0, 0); // the last one gone: commands reach nobody
    EXPECT_EQ(MV2GetSmallMother(), nullptr);
    MV2SmallMotherCommand(52);
    EXPECT_FLOAT_EQ(Mother(first)->fadeRate, 0.0f);
    MV2SmallMotherCommand(7); // unknown: nothing
}

TEST_F(SmallMotherTest, EdgeFadeClearsTheOuterThird) {
    MV2Object* mother = Create(434, {0.0f, -5.0f, 0.0f});
    MV2SmallMother* d = Mother(mother);
    for (int32_t i = 0; i < 3; ++i) {
        TpGeometry* g = TpAtomicGetGeometry(MV2GetFirstAtomic(d->parts[i]->clump));
        const uint8_t expected[4] = {0, 200, 0, 200}; // beyond 0.66: the vertices at 1 and 0.7
        for (int32_t v = 0; v < 4; ++v)
            EXPECT_EQ(g->preLight[v * 4 + 3], i < 2 ? expected[v] : 200) << i << "/" << v;
    }
}

TEST_F(SmallMotherTest, FadeScalesThePartsAndAFadeOfOneLeavesThem) {
    MV2Object* mother = Create(434, {0.0f, -5.0f, 0.0f});
    MV2SmallMother* d = Mother(mother);
    MV2SmallMotherCommand(49);
    gMV2FrameTimer.ticks = 0.0f; // no growth this frame
    MV2SmallMotherUpdate(nullptr);
    EXPECT_NEAR(MV2Length(d->parts[2]->matrix->right), 1.0f, 1e-5f);
    EXPECT_NEAR(MV2Length(mother->matrix->right), 1.0f, 1e-5f);
    d->fade = 0.0f;
    MV2SmallMotherUpdate(nullptr);
    for (MV2Object* part : d->parts)
        EXPECT_NEAR(MV2Length(part->matrix->right), 0.0f, 1e-6f);
}

TEST_F(SmallMotherTest, FadeRunsDownAndStops) {
    MV2Object* mother = Create(434, {0.0f, -5.0f, 0.0f});
    MV2SmallMother* d = Mother(mother);
    MV2SmallMotherCommand(52);
    gMV2FrameTimer.ticks = 6.0f; // 0.2 s a frame
    for (int i = 0; i < 4; ++i)
        MV2SmallMotherUpdate(nullptr);
    EXPECT_FLOAT_EQ(d->fade, 0.0f);
    EXPECT_FLOAT_EQ(d->fadeRate, 0.0f);
}

} // namespace
