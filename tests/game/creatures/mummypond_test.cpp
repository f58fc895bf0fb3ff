// The mummy and the pond creature: puppet creatures over the real object system with fake
// puppets whose events fire on demand.
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/creatures/creatures.h"
#include "game/creatures/mummy.h"
#include "game/creatures/pond.h"
#include "game/creatures/scarab.h"
#include "game/effects/effectbase.h"
#include "game/missions/lightobject.h"
#include "tests/game/creatures/boss_fixture.h"
#include "tests/support/im3d_recorder.h"

namespace {

class MummyTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2ResetMummy();
        PuppetType(309, "mummy",
                   {{"right hit", {2, 3, 0}}, {"left hit", {-2, 3, 0}}, {"protector", {0, 3, 1}},
                    {"left eye", {-0.3f, 5, 1}}, {"right eye", {0.3f, 5, 1}},
                    {"left palm", {-2, 2, 2}}, {"right palm", {2, 2, 2}}, {"heart", {0, 3, 0}},
                    {"head", {0, 5, 0}}, {"chest", {0, 3, 0}}});
        BodyType(69, sizeof(MV2LightObjectData), 0.1f);
        ModelType(314, 0.5f);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetMummy();
        BossTest::TearDown();
    }
    void Hit(MV2Object* mummy, const char* node, int32_t times = 1) {
        for (int32_t i = 0; i < times; i++)
            MV2ObjectSendMessage(mummy, 76, 1000, intptr_t(NodeId(mummy, node)));
    }
};

class PondTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2ResetPond();
        PuppetType(243, "pondy",
                   {{"LeftSack", {-3, 1, 0}}, {"RightSack", {3, 1, 0}}, {"NULL_snout", {0, 1, 4}},
                    {"body", {0, 0, 0}}});
        BodyType(258, 8, 0.2f); // stingers
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetPond();
        BossTest::TearDown();
    }
};

} // namespace

// An arm comes off at the first hit after more than 25 (the 27th); the protector counts only
// once both arms are off, and the 52nd protector hit kills the mummy and frees its heart.
TEST_F(MummyTest, ArmsThenProtector) {
    MV2Object* mummy = Create(309);
    ASSERT_NE(mummy, nullptr);
    ASSERT_NE(mummy->privateData, nullptr);
    Player({4.0f, 0.0f, 20.0f});
    static int32_t deaths;
    deaths = 0;
    MV2ObjectSendMessage(mummy, 12, 0, reinterpret_cast<intptr_t>(+[](MV2Object*, int32_t v) {
                             deaths += v;
                         }));
    const MV2MummyState& s = MV2GetMummyState();
    EXPECT_EQ(s.mummy, mummy);
    for (const MV2ObjectRef& light : s.lights)
        EXPECT_NE(light.object, nullptr);
    Hit(mummy, "protector", 60); // armed: not counted
    EXPECT_EQ(s.protectorHits, 0);
    Hit(mummy, "right hit", 26);
    EXPECT_EQ(s.rightArmHits, 26);
    EXPECT_EQ(s.rightArmOn, 1);
    Hit(mummy, "right hit");
    EXPECT_EQ(s.rightArmOn, 0);
    Hit(mummy, "right hit", 5); // an arm that is off takes no more hits
    EXPECT_EQ(s.rightArmHits, 27);
    EXPECT_EQ(s.nextEyeBeam, 0u);
    Hit(mummy, "left hit", 27);
    EXPECT_EQ(s.leftArmOn, 0);
    EXPECT_GE(s.nextEyeBeam, gMV2FrameTimer.frameClock + 5000);
    EXPECT_LE(s.nextEyeBeam, gMV2FrameTimer.frameClock + 12000);
    Hit(mummy, "protector", 51);
    EXPECT_EQ(s.dead, 0);
    EXPECT_EQ(MV2GetMummyHeart(), nullptr);
    Hit(mummy, "protector");
    EXPECT_EQ(s.dead, 1);
    EXPECT_EQ(deaths, 1);
    ASSERT_NE(MV2GetMummyHeart(), nullptr);
    EXPECT_EQ(MV2MummyHeartReleased(), 0);
    EXPECT_EQ(FakePuppetFire(mummy, "mummydead"), 1);
    EXPECT_EQ(MV2MummyHeartReleased(), 1);
    Hit(mummy, "protector");
    EXPECT_EQ(s.protectorHits, 52);
}

// While it lives and fights, the player's craft is held on the lock point's x: 0 until message
// 24 gives one; a right axis turned too far round is limited.
TEST_F(MummyTest, HoldsThePlayerOnItsPlane) {
    MV2Object* mummy = Create(309);
    MV2Object* player = Player({7.0f, 1.0f, 20.0f});
    ASSERT_NE(mummy, nullptr);
    Step(mummy);
    EXPECT_EQ(player->matrix->pos.x, 7.0f); // asleep
    MV2SetMummyAwake(1);
    MV2SetMummyFight(1);
    Step(mummy);
    EXPECT_EQ(player->matrix->pos.x, 0.0f);
    EXPECT_EQ(player->matrix->pos.z, 20.0f);
    const TvV3d lock{3.0f, 9.0f, 9.0f};
    EXPECT_EQ(MV2ObjectSendMessage(mummy, 24, 0, reinterpret_cast<intptr_t>(&lock)), 1);
    TvMatrix* m = player->matrix;
    m->right = {0.8f, 0.0f, 0.6f};
    m->up = {0.0f, 1.0f, 0.0f};
    m->at = {-0.6f, 0.0f, 0.8f};
    Step(mummy);
    EXPECT_EQ(m->pos.x, 3.0f);
    EXPECT_NEAR(m->right.x, 0.70710677f, 1e-5f);
    EXPECT_NEAR(m->right.z, 0.70710677f, 1e-5f);
    EXPECT_NEAR(TvV3dDot(m->right, m->at), 0.0f, 1e-5f);
}

TEST_F(MummyTest, EventsFireBoltsAndTheChargeLight) {
    ModelType(2, 0.1f);
    MV2Object* mummy = Create(309);
    Player({0.0f, 0.0f, 20.0f});
    ASSERT_NE(mummy, nullptr);
    const MV2MummyState& s = MV2GetMummyState();
    auto glow = [&](int32_t i) {
        return static_cast<MV2LightObjectData*>(s.lights[i].object->privateData)->glowSize;
    };
    EXPECT_FLOAT_EQ(glow(kMV2MummyChargeBall), 0.1f);
    EXPECT_EQ(FakePuppetFire(mummy, "leftarmfire"), 1); // a bolt from the left palm
    EXPECT_EQ(FakePuppetFire(mummy, "leftarmfired"), 1);
    EXPECT_FLOAT_EQ(glow(kMV2MummyLeftPalm), 0.001f);
    for (int32_t i = 0; i < 4; i++)
        FakePuppetFire(mummy, "charging");
    EXPECT_EQ(s.chargeEvents, 4);
    EXPECT_EQ(FakePuppetFire(mummy, "mummychargeoff"), 1);
    EXPECT_FLOAT_EQ(glow(kMV2MummyChargeBall), 0.0f);
    EXPECT_EQ(s.charging, 0);
}

// Before state 13 only the sacks take hits; from then on the body does.
TEST_F(PondTest, BodyUnhurtableBeforeStateThirteen) {
    MV2Object* pond = Create(243);
    ASSERT_NE(pond, nullptr);
    const MV2PondState& s = MV2GetPondState();
    EXPECT_EQ(s.body, 333.0f);
    MV2ObjectSendMessage(pond, 76, 5000, intptr_t(NodeId(pond, "body")));
    EXPECT_EQ(s.body, 333.0f);
    MV2ObjectSendMessage(pond, 76, 5000, intptr_t(NodeId(pond, "LeftSack")));
    EXPECT_EQ(s.leftSack, 45.0f);
    EXPECT_EQ(s.rightSack, 50.0f);
    const_cast<MV2PondState&>(s).state = 13;
    MV2ObjectSendMessage(pond, 76, 5000, intptr_t(NodeId(pond, "body")));
    EXPECT_EQ(s.body, 328.0f);
}

TEST_F(PondTest, AtMostSixStingers) {
    MV2Object* pond = Create(243);
    ASSERT_NE(pond, nullptr);
    for (int32_t i = 0; i < 5; i++)
        FakePuppetFire(pond, "cbskate"); // two sacks: two a time
    EXPECT_EQ(MV2CountPondStingers(), kMV2PondStingers);
    MV2ObjectSendMessage(MV2GetPondState().stingers[2].object, 4, 1, 0);
    EXPECT_EQ(MV2CountPondStingers(), kMV2PondStingers - 1);
    FakePuppetFire(pond, "cbskate");
    EXPECT_EQ(MV2CountPondStingers(), kMV2PondStingers);
}

// Message 63: a striker of AI category 6 loses the part's speed x 30; others nothing.
TEST_F(PondTest, StruckPartHurtsOnlyCraft) {
    MV2Object* pond = Create(243);
    MV2Object* craft = Player({0.0f, 0.0f, 10.0f});
    ASSERT_NE(pond, nullptr);
    craft->energy = 100.0f;
    MV2Object* other = MakeSub(0, {0.0f, 0.0f, 12.0f});
    craft->type->words[7] |= kMV2TypeCanDie;
    other->energy = 100.0f;
    other->aiCategory = 7;
    MV2PuppetPartHit hit{1, 0.5f, other};
    MV2ObjectSendMessage(pond, 63, 0, reinterpret_cast<intptr_t>(&hit));
    EXPECT_EQ(other->energy, 100.0f);
    hit.striker = craft;
    ASSERT_EQ(craft->aiCategory, 6);
    const float before = pond->energy;
    MV2ObjectSendMessage(pond, 63, 0, reinterpret_cast<intptr_t>(&hit));
    EXPECT_EQ(craft->energy, 85.0f);
    EXPECT_EQ(pond->energy, before);
}

namespace {

// The effect pass's draw of the scarab's dust through a recording immediate-mode device.
class ScarabDustTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2ResetScarab();
        recorder_.Install();
        camera_ = TvCameraCreate();
        frame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, frame_);
        TvMatrix* m = TvFrameGetMatrix(frame_);
        m->right = {-1, 0, 0};
        m->up = {0, 1, 0};
        m->at = {0, 0, 1};
        m->pos = {0, 0, -10};
        m->flags = kTvMatrixOrthoNormal;
        TvFrameUpdateObjects(frame_);
        TV_ENGINE->curCamera = camera_;
        gMV2EffectCamera = camera_;
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetScarab();
        gMV2EffectCamera = nullptr;
        TV_ENGINE->curCamera = nullptr;
        TvCameraSetFrame(camera_, nullptr);
        TvFrameDestroy(frame_);
        recorder_.Remove();
        BossTest::TearDown();
    }
    Im3DRecorder recorder_;
    TvCamera* camera_ = nullptr;
    TvFrame* frame_ = nullptr;
};

} // namespace

// A stamp (key 8) raises a puff at each foot; each draws as one translucent quad whose alpha
// and size fall with the time left.
TEST_F(ScarabDustTest, StampPuffsDrawAsFadingQuads) {
    MV2ObjectType* type = TaggedType(388, sizeof(MV2ScarabData), {5, 6});
    TpGeometry* g = TpAtomicGetGeometry(MV2FindRootAtomic(type->model));
    TpAnimSequenceGeometryCreateKeys(g, 20);
    for (int32_t k = 0; k < 20; ++k)
        TpAnimSequenceGeometrySetKey(g, k, 0, 0, 1.0f);
    MV2Object* scarab = Create(388, {0.0f, 0.0f, 5.0f});
    ASSERT_NE(scarab, nullptr);
    static int32_t stamps;
    stamps = 0;
    MV2ObjectSendMessage(scarab, 12, 0, reinterpret_cast<intptr_t>(+[](MV2Object*, int32_t v) {
                             stamps += v == 0;
                         }));
    MV2DrawScarabDust();
    EXPECT_TRUE(recorder_.Of(Im3DCall::kIndexed).empty());
    TpAtomic* root = MV2FindRootAtomic(scarab->clump);
    TpAnimSequenceAtomicSetCurrentKey(root, 8);
    MV2ScarabKeyCallback(root, 1.0f);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(root), 9);
    EXPECT_EQ(stamps, 1);
    EXPECT_EQ(MV2CountScarabDust(), 2);
    gMV2FrameTimer.frameClock += 1000; // half of the two seconds left
    MV2DrawScarabDust();
    const auto calls = recorder_.Of(Im3DCall::kIndexed);
    ASSERT_EQ(calls.size(), 2u);
    for (const Im3DCall* c : calls) {
        EXPECT_EQ(c->vertices.size(), 4u);
        EXPECT_EQ(c->indices.size(), 6u);
        EXPECT_EQ(c->vertices[0].alpha, 63); // t = 0.25
    }
    gMV2FrameTimer.frameClock += 1000;
    EXPECT_EQ(MV2CountScarabDust(), 0);
}
