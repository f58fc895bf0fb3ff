#include "tests/game/missions/device_fixture.h"

#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/turrettargeting.h"

namespace {

int g_fire, g_stop;

intptr_t CountingCraft(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 10) ++g_fire;
    if (message == 64) ++g_stop;
    if (message == 10 || message == 64) return 1;
    return MV2SubmarineHandler(object, message, p1, p2);
}

class TurretTargetingTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        g_fire = g_stop = 0;
        gMV2FrameTimer.ticks = 3.75f; // an eighth of a second a frame
        MV2SetObjectTypeHandler(3, MV2SubmarineHandler);
        craft_ = MakeSub(3, {15.0f, 10.0f, 2.0f});
        craft_->typeHandler = CountingCraft;
        craft_->flags |= 16u; // hostile
        turret_ = *craft_->matrix;
        turret_.pos = {0, 0, 0};
        record_ = {};
        record_.turretMatrix = &turret_;
    }
    MV2Object* Target(float z) {
        MV2Object* t = MakeSub(2, {15.0f, 10.0f, 2.0f + z});
        t->aiCategory = 6;
        return t;
    }
    void Track(int32_t frames) {
        for (int32_t i = 0; i < frames; ++i) {
            TvFrameSyncDirty();
            MV2TurretTrackTarget(craft_, &record_);
        }
    }
    MV2Object* craft_ = nullptr;
    TvMatrix turret_{};
    MV2TurretTargetRecord record_{};
};

} // namespace

TEST_F(TurretTargetingTest, ScansOnceASecondAndKeepsAFoundTarget) {
    Track(8); // one second of frames: no scan has run yet
    MV2Object* target = Target(10.0f);
    EXPECT_EQ(MV2GetObjectRef(&record_.target), nullptr);
    Track(1);
    EXPECT_EQ(MV2GetObjectRef(&record_.target), target);
    EXPECT_EQ(g_fire, 0);
    EXPECT_EQ(g_stop, 9);
}

TEST_F(TurretTargetingTest, FriendsAndOtherCategoriesAreNoTargets) {
    MV2Object* friendOne = Target(10.0f);
    friendOne->flags |= 16u;
    MV2Object* rock = Target(8.0f);
    rock->aiCategory = 3;
    Track(12);
    EXPECT_EQ(MV2GetObjectRef(&record_.target), nullptr);
}

TEST_F(TurretTargetingTest, RangesDecideFollowFireOrDrop) {
    struct Case {
        float z;
        TvV3d turretAt;
        bool fires, kept;
    } cases[] = {
        {10.0f, {0, 0, 1}, true, true},         // close, on target
        {10.0f, {0.8f, 0, 0.6f}, false, true},  // close, off target: at.v = 0.6
        {10.0f, {0.6f, 0, 0.8f}, true, true},   // at.v = 0.8
        {25.0f, {0, 0, 1}, false, true},        // follows without firing
        {31.0f, {0, 0, 1}, false, false},       // dropped at once
    };
    for (const Case& c : cases) {
        MV2Object* target = Target(c.z);
        MV2SetObjectRef(&record_.target, target);
        turret_.at = c.turretAt;
        turret_.right = TvV3dCross({0, 1, 0}, c.turretAt);
        turret_.up = {0, 1, 0};
        record_.sightTimer = 0.0f;
        g_fire = g_stop = 0;
        craft_->matrix->at = {0, 0, 1};
        craft_->matrix->right = {1, 0, 0};
        craft_->matrix->up = {0, 1, 0};
        Track(1);
        EXPECT_EQ(g_fire, c.fires ? 1 : 0) << c.z << " " << c.turretAt.x;
        EXPECT_EQ(g_stop, c.fires ? 0 : 1) << c.z << " " << c.turretAt.x;
        EXPECT_EQ(MV2GetObjectRef(&record_.target) == target, c.kept) << c.z;
        MV2ObjectSendMessage(target, 4, 0, 0);
    }
}

TEST_F(TurretTargetingTest, AimTurnsAtMostSixtyDegreesASecondWithinTheBand) {
    turret_.right = {1, 0, 0};
    turret_.up = {0, 1, 0};
    turret_.at = {0, 0, 1};
    const TvV3d above = MV2Unit({0.0f, 1.0f, 1.0f});
    MV2TurretAim(craft_, &record_, &above); // 0.125 s: at most 7.5 degrees
    EXPECT_NEAR(std::acos(turret_.at.z) * 57.29578f, 7.5f, 0.05f);
    EXPECT_GT(turret_.at.y, 0.0f);
    const TvV3d below = MV2Unit({0.0f, -1.0f, 1.0f});
    for (int i = 0; i < 40; ++i)
        MV2TurretAim(craft_, &record_, &below);
    EXPECT_NEAR(turret_.at.y, 0.0f, 1e-3f); // one more step would leave the band
}
