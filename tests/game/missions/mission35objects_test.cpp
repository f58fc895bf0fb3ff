#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "game/missions/lightobject.h"
#include "game/missions/mission35objects.h"
#include "game/player/weapons.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class Mission35ObjectsTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        LevelType(69, sizeof(MV2LightObjectData));
        MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
    }

    // A mover owned by `owner_` between two objects 10 units apart on x; it runs from x = 0.
    MV2Object* Mover() {
        LevelType(340, sizeof(MV2MoverData));
        LevelType(5, 0);
        owner_ = Make(5, {0, 10, 0});
        from_ = Make(5, {10, 0, 0});
        to_ = Make(5, {0, 0, 0});
        MV2Object* mover = Make(340);
        MV2ObjectSendMessage(mover, 15, 0, reinterpret_cast<intptr_t>(owner_));
        return mover;
    }
    void Link(MV2Object* mover, float length) {
        MV2MoverLinkRecord link{from_, to_, from_->handle, to_->handle, length};
        MV2ObjectSendMessage(mover, 12, 0, reinterpret_cast<intptr_t>(&link));
    } // the record is gone; the mover keeps what it copied

    MV2Object* owner_ = nullptr;
    MV2Object* from_ = nullptr;
    MV2Object* to_ = nullptr;
};

TEST_F(Mission35ObjectsTest, ShotThatHitsNothingBurstsAfterFiveSeconds) {
    LevelType(355, sizeof(MV2SwellingShotData), {}, 0.25f, true);
    MV2Object* shot = Make(355, {0, 0, 0});
    ASSERT_NE(shot, nullptr);
    const MV2ObjectHandle handle = shot->handle;
    const uint32_t made = gMV2FrameTimer.frameClock;
    while (gMV2FrameTimer.frameClock - made <= kMV2ShotLifeMs) {
        ASSERT_TRUE(MV2ObjectHandleAlive(handle)) << gMV2FrameTimer.frameClock - made;
        Step(shot, 100);
    }
    Step(shot, 100);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(Mission35ObjectsTest, ShotAnswersItsOwnerOnlyWhileTheOwnerLives) {
    LevelType(355, sizeof(MV2SwellingShotData), {}, 0.25f, true);
    LevelType(330, 0);
    MV2Object* owner = Make(330, {5, 0, 0});
    MV2Object* shot = Make(355);
    MV2ObjectSendMessage(shot, 15, 0, reinterpret_cast<intptr_t>(owner));
    MV2Object* answer = nullptr;
    MV2ObjectSendMessage(shot, 16, 0, reinterpret_cast<intptr_t>(&answer));
    EXPECT_EQ(answer, owner);
    // Its owner is not hit by it.
    EXPECT_EQ(MV2ObjectSendMessage(shot, 14, 0, reinterpret_cast<intptr_t>(owner)), 0);
    MV2ObjectSendMessage(owner, 4, 0, 0);
    MV2ObjectSendMessage(shot, 16, 0, reinterpret_cast<intptr_t>(&answer));
    EXPECT_EQ(answer, nullptr);
}

// The angle between a leaf's right axis now and as it was made.
float LeafTurn(const MV2HatchData* d, int32_t leaf) {
    const TvV3d now = TvFrameGetMatrix(d->leaves[leaf])->right;
    const TvV3d was = d->saved[leaf].right;
    const float c = std::clamp(TvV3dDot(now, was), -1.0f, 1.0f);
    return std::acos(c) * 57.29578f;
}

TEST_F(Mission35ObjectsTest, HatchOpensOneDegreeAStepToFortyFiveAndClosesFourTimesFaster) {
    LevelType(392, sizeof(MV2HatchData), {1, 2});
    MV2Object* hatch = Make(392);
    auto* d = MV2LevelData<MV2HatchData>(hatch);
    ASSERT_NE(d->leaves[0], nullptr);
    ASSERT_NE(d->leaves[1], nullptr);
    MV2ObjectSendMessage(hatch, 63, 1, 0);
    EXPECT_EQ(d->state, kMV2HatchOpening);
    for (int32_t i = 1; i <= 10; i++)
        Step(hatch);
    EXPECT_FLOAT_EQ(d->angle, 10.0f);
    EXPECT_NEAR(LeafTurn(d, 0), 20.0f, 0.05f); // the first leaf turns twice as far
    EXPECT_NEAR(LeafTurn(d, 1), 10.0f, 0.05f);
    for (int32_t i = 0; i < 40; i++)
        Step(hatch);
    EXPECT_FLOAT_EQ(d->angle, 45.0f);
    EXPECT_EQ(d->state, kMV2HatchOpen);

    MV2ObjectSendMessage(hatch, 63, 0, 0);
    Step(hatch);
    EXPECT_FLOAT_EQ(d->angle, 41.0f);
    // Opened again while closing: it turns round where it stands.
    MV2ObjectSendMessage(hatch, 63, 1, 0);
    Step(hatch);
    EXPECT_FLOAT_EQ(d->angle, 42.0f);
    MV2ObjectSendMessage(hatch, 63, 0, 0);
    for (int32_t i = 0; i < 11; i++)
        Step(hatch);
    EXPECT_EQ(d->state, kMV2HatchClosed);
    EXPECT_FLOAT_EQ(d->angle, 0.0f);
    EXPECT_NEAR(LeafTurn(d, 0), 0.0f, 0.05f);
    EXPECT_NEAR(LeafTurn(d, 1), 0.0f, 0.05f);
}

TEST_F(Mission35ObjectsTest, MoverRunsAlongItsLinkAndDiesWithItsOwnerTakingItsLight) {
    MV2Object* mover = Mover();
    auto* d = MV2LevelData<MV2MoverData>(mover);
    MV2Object* light = MV2GetObjectRef(&d->light);
    ASSERT_NE(light, nullptr);
    MV2ObjectSendMessage(mover, 12, 0, 0); // no link given: nothing changes
    EXPECT_EQ(d->linked, 0);
    Link(mover, 8.0f);
    EXPECT_FLOAT_EQ(Pos(mover).x, 0.0f);
    gMV2FrameTimer.ticks = 3.0f; // 0.1 s a step: 1 unit
    Step(mover);
    Step(mover);
    EXPECT_NEAR(Pos(mover).x, 2.0f, 1e-4f);
    EXPECT_NEAR(Pos(light).x, 2.0f, 1e-4f);

    const MV2ObjectHandle moverHandle = mover->handle, lightHandle = light->handle;
    MV2ObjectSendMessage(owner_, 4, 0, 0);
    Step(mover);
    EXPECT_FALSE(MV2ObjectHandleAlive(moverHandle));
    EXPECT_FALSE(MV2ObjectHandleAlive(lightHandle));
}

TEST_F(Mission35ObjectsTest, MoverThatArrivesIsGone) {
    MV2Object* mover = Mover();
    Link(mover, 1.5f);
    const MV2ObjectHandle handle = mover->handle;
    gMV2FrameTimer.ticks = 3.0f;
    Step(mover);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    Step(mover);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(Mission35ObjectsTest, Weapon83ShowsItsItemInTheHudColour) {
    EXPECT_EQ(MV2GetWeaponRow(kMV2Weapon83Row)->handler, MV2Weapon83Handler);
    MV2WeaponIcon icon{};
    EXPECT_EQ(MV2Weapon83Handler(nullptr, 57, 0, reinterpret_cast<intptr_t>(&icon)), 1);
    EXPECT_EQ(icon.sprite, 83);
    EXPECT_EQ(icon.colour, 0x61BDFFu);
}

} // namespace
