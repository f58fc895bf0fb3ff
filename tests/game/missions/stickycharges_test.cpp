// Sticky charges: the live-charge count, sticking only to other objects, the detonator's
// 150 ms stagger and rest, the fizzle after 60 s and the fall above the water.
#include "game/missions/stickycharges.h"

#include "game/missions/lightobject.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

std::vector<std::pair<int32_t, intptr_t>> g_notices; // messages 90-92 the target received

intptr_t Target(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message >= 90 && message <= 92) g_notices.push_back({message, p2});
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

class StickyChargeTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        g_notices.clear();
        MV2ResetStickyCharges();
        LevelType(69, sizeof(MV2LightObjectData));
        MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
        LevelType(291, sizeof(MV2StickyChargeData), {2}, 0.3f, true);
        LevelType(1, 0);
        sub_ = Make(1, {0, 0, -20});
        MV2SetPlayerSub(sub_);
        // A target whose model is a square facing along z, two units across.
        MV2ObjectType* target = LevelType(7, 0);
        TpAtomic* root = MV2FindRootAtomic(target->model);
        TpGeometry* g = TpGeometryCreate(4, 2, 0);
        TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 0));
        v[0] = {-1, -1, 0};
        v[1] = {1, -1, 0};
        v[2] = {-1, 1, 0};
        v[3] = {1, 1, 0};
        TpGeometryGetTriangles(g)[0] = {{0, 2, 1}, kTpNoMaterial}; // facing -z
        TpGeometryGetTriangles(g)[1] = {{1, 2, 3}, kTpNoMaterial};
        const TvSphere sphere{{0, 0, 0}, 1.5f};
        TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(g, 0), &sphere);
        TpGeometryUnlock(g);
        TpAtomicSetGeometry(root, g, 0);
        TpGeometryDestroy(g);
        MV2SetObjectTypeHandler(7, Target);
    }

    MV2Object* Charge(TvV3d at, MV2Object* owner) {
        MV2Object* c = Make(291, at);
        if (c) MV2ObjectSendMessage(c, 15, 0, reinterpret_cast<intptr_t>(owner));
        return c;
    }
    // The charge's last move crossed the target's square; it touches the target.
    static void Touch(MV2Object* charge, MV2Object* other) {
        auto* d = static_cast<MV2StickyChargeData*>(charge->privateData);
        d->previous = TvV3dAdd(Pos(other), TvV3d{0.2f, 0.1f, -0.5f});
        charge->matrix->pos = TvV3dAdd(Pos(other), TvV3d{0.2f, 0.1f, 0.5f});
        MV2ObjectMoved(charge);
        TvFrameSyncDirty();
        MV2ObjectSendMessage(charge, 14, 0, reinterpret_cast<intptr_t>(other));
    }
    static bool Stuck(MV2Object* charge) {
        return static_cast<MV2StickyChargeData*>(charge->privateData)->flags & kMV2ChargeStuck;
    }
    static MV2Tool Detonator(MV2Object* owner) {
        MV2Tool tool{};
        tool.kind = 13;
        tool.row = MV2GetToolRow(13);
        MV2SendToolMessage(&tool, 3, 0, reinterpret_cast<intptr_t>(owner));
        return tool;
    }
    MV2Object* sub_ = nullptr;
};

} // namespace

TEST_F(StickyChargeTest, LiveCountFollowsTheOwner) {
    MV2Object* a = Charge({0, 0, 0}, sub_);
    MV2Object* b = Charge({0, 2, 0}, sub_);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(MV2GetLivePlayerCharges(), 2);
    MV2ObjectSendMessage(b, 15, 0, reinterpret_cast<intptr_t>(a)); // no longer the player's
    MV2ObjectSendMessage(b, 15, 0, 0);
    EXPECT_EQ(MV2GetLivePlayerCharges(), 1);
    MV2ObjectSendMessage(b, 4, 0, 0);
    EXPECT_EQ(MV2GetLivePlayerCharges(), 1);
    MV2ObjectSendMessage(a, 4, 0, 0);
    EXPECT_EQ(MV2GetLivePlayerCharges(), 0);
    Charge({0, 0, 0}, sub_);
    MV2ResetStickyCharges();
    EXPECT_EQ(MV2GetLivePlayerCharges(), 0);
}

TEST_F(StickyChargeTest, SticksOnlyToOtherObjectsItCrossed) {
    MV2Object* target = Make(7, {5, 0, 0});
    MV2Object* other = Charge({-5, 0, 0}, sub_);
    ASSERT_TRUE(target && other);
    struct Case {
        const char* name;
        MV2Object* touched;
        bool sticks;
    };
    for (const Case& c : {Case{"owner", sub_, false}, Case{"charge", other, false},
                          Case{"target", target, true}}) {
        SCOPED_TRACE(c.name);
        g_notices.clear();
        MV2Object* charge = Charge({0, 0, 0}, sub_);
        ASSERT_NE(charge, nullptr);
        Touch(charge, c.touched);
        EXPECT_EQ(Stuck(charge), c.sticks);
        if (!c.sticks) continue;
        ASSERT_EQ(g_notices.size(), 1u);
        EXPECT_EQ(g_notices[0].first, 90);
        // Stuck, it rides on the target.
        const TvV3d before = TvV3dSub(Pos(charge), Pos(target));
        target->matrix->pos = TvV3dAdd(Pos(target), TvV3d{0, 3, 0});
        MV2ObjectMoved(target);
        Step(charge);
        const TvV3d after = TvV3dSub(Pos(charge), Pos(target));
        EXPECT_NEAR(after.x, before.x, 1e-4f);
        EXPECT_NEAR(after.y, before.y, 1e-4f);
        EXPECT_NEAR(after.z, 0.0f, 1e-4f); // on the square, where the move crossed it
        // A second touch changes nothing.
        Touch(charge, target);
        EXPECT_EQ(g_notices.size(), 1u);
        MV2ObjectSendMessage(charge, 4, 0, 0);
        ASSERT_EQ(g_notices.size(), 2u);
        EXPECT_EQ(g_notices[1].first, 92);
    }
}

TEST_F(StickyChargeTest, DetonatorSetsChargesOffAHundredAndFiftyMillisecondsApart) {
    MV2Tool tool = Detonator(sub_);
    const uint32_t start = gMV2FrameTimer.frameClock;
    // With no live charge the detonator does nothing and its rest does not start.
    MV2SendToolMessage(&tool, 53, 0, 0);
    EXPECT_EQ(uint32_t(tool.word), start - 1);
    MV2Object* target = Make(7, {0, 0, 5});
    ASSERT_NE(target, nullptr);
    std::vector<MV2Object*> charges;
    for (int32_t i = 0; i < 3; i++)
        charges.push_back(Charge({float(i), 0, 0}, sub_));
    Touch(charges[0], target);
    ASSERT_TRUE(Stuck(charges[0]));
    MV2Object* stranger = Charge({0, 5, 0}, nullptr); // not the player's
    MV2SendToolMessage(&tool, 53, 0, 0);
    // Ready again 150 x 3 + 600 ms after the first goes off.
    EXPECT_EQ(uint32_t(tool.word), start + 150 + 150 * 3 + 600);
    MV2ToolIcon icon{};
    MV2SendToolMessage(&tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 75);
    EXPECT_EQ(icon.colour, 0xFF0000u);
    std::vector<uint32_t> gone(3, 0);
    for (uint32_t t = start; t <= start + 600; t += 10) {
        gMV2FrameTimer.frameClock = t;
        for (size_t i = 0; i < charges.size(); i++)
            if (!gone[i] && MV2ObjectHandleAlive(charges[i]->handle)) {
                const MV2ObjectHandle h = charges[i]->handle;
                MV2ObjectSendMessage(charges[i], 2, 0, 0);
                if (!MV2ObjectHandleAlive(h)) gone[i] = t - start;
            }
    }
    std::sort(gone.begin(), gone.end()); // in the order the world holds them
    EXPECT_EQ(gone, (std::vector<uint32_t>{150, 300, 450}));
    EXPECT_TRUE(MV2ObjectHandleAlive(stranger->handle));
    ASSERT_EQ(g_notices.size(), 3u); // stuck (90), set off on it (91), gone (92)
    EXPECT_EQ(g_notices[1].first, 91);
    EXPECT_EQ(MV2GetLivePlayerCharges(), 0);
    gMV2FrameTimer.frameClock = start + 1200;
    MV2SendToolMessage(&tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.colour, 0x61BDFFu);
}

TEST_F(StickyChargeTest, LeftAloneItFizzlesAfterSixtySeconds) {
    MV2Object* target = Make(7, {0, 0, 5});
    MV2Object* charge = Charge({0, 0, 0}, sub_);
    ASSERT_TRUE(target && charge);
    Touch(charge, target);
    const MV2ObjectHandle handle = charge->handle;
    gMV2FrameTimer.frameClock += 59999;
    Step(charge, 0);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    gMV2FrameTimer.frameClock += 1;
    Step(charge, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    // No blast on what it was stuck to, only the notice that it has gone.
    ASSERT_EQ(g_notices.size(), 2u);
    EXPECT_EQ(g_notices[1].first, 92);
}

TEST_F(StickyChargeTest, AboveTheWaterAFlyingChargeFallsFaster) {
    for (auto [water, fall] : {std::pair{100.0f, 0.0f}, std::pair{-100.0f, 0.002f}}) {
        SCOPED_TRACE(water);
        gMV2Water.height = water;
        MV2Object* charge = Charge({0, 0, 0}, sub_);
        ASSERT_NE(charge, nullptr);
        ASSERT_NE(charge->body, nullptr);
        charge->type->words[31] &= ~(3u << 28); // no gravity of its own
        charge->body->velocity = {};
        Step(charge);
        EXPECT_FLOAT_EQ(charge->body->velocity.y, -fall);
        MV2ObjectSendMessage(charge, 4, 0, 0);
        charge->type->words[31] |= 1u << 28;
    }
}

TEST_F(StickyChargeTest, StruckWallHoldsItFacingIntoTheWall) {
    // A wall across z = 12 facing -z, in a world of one leaf.
    TpWorld* walls = MakeLeafWorld({{5, 5, 12}, {15, 5, 12}, {5, 15, 12}, {15, 15, 12}},
                                   {{0, 0, 2, 1}, {0, 1, 2, 3}});
    ASSERT_NE(walls, nullptr);
    MV2World = walls;
    MV2Object* charge = Charge({10, 10, 11.5f}, sub_);
    ASSERT_NE(charge, nullptr);
    charge->matrix->at = MV2Unit(TvV3d{0, 0.6f, 0.8f}); // flying up into the wall
    charge->matrix->up = MV2Unit(TvV3d{0, 0.8f, -0.6f});
    charge->body->velocity = {0, 0.1f, 0.2f};
    const float strength = 1.0f;
    EXPECT_EQ(MV2ObjectSendMessage(charge, 18, 0, reinterpret_cast<intptr_t>(&strength)), 0);
    EXPECT_TRUE(Stuck(charge));
    EXPECT_NEAR(Pos(charge).z, 12.0f, 1e-4f);
    EXPECT_NEAR(charge->matrix->at.z, 1.0f, 1e-5f); // into the wall
    EXPECT_NEAR(charge->matrix->up.y, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(charge->body->velocity.z, 0.0f);
    const TvV3d there = Pos(charge);
    Step(charge);
    EXPECT_FLOAT_EQ(Pos(charge).y, there.y); // held: no fall, no drift
    MV2DestroyAllObjects();
    MV2World = TpWorldGetCurrent();
    TpWorldDestroy(walls);
}

TEST_F(StickyChargeTest, WeaponRowAnswersItsIconAndRefusesTheLockQuestion) {
    MV2WeaponRecord weapon{};
    weapon.slot = 23;
    weapon.row = MV2GetWeaponRow(23);
    EXPECT_EQ(MV2WeaponSendMessage(&weapon, 10, 1, 0), 0);
    MV2WeaponIcon icon{};
    EXPECT_EQ(MV2WeaponSendMessage(&weapon, 57, 0, reinterpret_cast<intptr_t>(&icon)), 0);
    EXPECT_EQ(icon.sprite, 78);
    EXPECT_EQ(icon.colour, 0x61BDFFu);
}
