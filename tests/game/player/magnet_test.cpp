// The magnet: launch, attach, release and reeling in, the cable's anchor and the gauge.
#include "tests/game/player/tools_fixture.h"

#include <tuple>

namespace {

class MagnetTest : public CraftToolTest {
protected:
    void SetUp() override {
        CraftToolTest::SetUp();
        BodyType(52, sizeof(MV2MagnetHead), 0.2f);
        BodyType(53, 0, 0.05f);
        BodyType(230, 0, 0.5f);
        BodyType(70, 0, 0.5f);
        tool = Ready(0);
        ASSERT_NE(tool, nullptr);
        head = MV2GetMagnetHead(craft);
        ASSERT_NE(head, nullptr);
        h = static_cast<MV2MagnetHead*>(head->privateData);
    }
    // A load that accepts the magnet.
    MV2Object* Load(int32_t type, float mass) {
        MV2SetTypeFloat(MV2GetObjectType(type), 2, mass);
        MV2Object* o = Make(type, P(0, -12, 0));
        if (o) o->flags |= 0x80;
        return o;
    }
    void Attach(MV2Object* load) {
        MV2UseTool(list, craft, 0);
        MV2ObjectSendMessage(head, 14, 0, reinterpret_cast<intptr_t>(load));
    }
    int32_t Icon() {
        MV2ToolIcon icon{};
        MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
        return icon.sprite;
    }
    MV2Tool* tool = nullptr;
    MV2Object* head = nullptr;
    MV2MagnetHead* h = nullptr;
};

} // namespace

TEST_F(MagnetTest, LaunchAttachReleaseAndAUseWhileReelingThatOnlyCosts) {
    EXPECT_EQ(h->state, kMV2MagnetStowed);
    for (MV2ObjectRef& link : h->links)
        EXPECT_TRUE(Alive(link));
    EXPECT_EQ(Icon(), 5);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(h->state, kMV2MagnetLaunched);
    EXPECT_NEAR(MV2ShotLength(head->body->velocity), 0.1f, 1e-5f);
    EXPECT_EQ(Heard("MGHRELEASE"), 1);
    EXPECT_EQ(tool->charges, 99999);

    MV2Object* load = Load(70, 10.0f);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(MV2ObjectSendMessage(head, 14, 0, reinterpret_cast<intptr_t>(craft)), 0);
    EXPECT_EQ(h->state, kMV2MagnetLaunched) << "the owner never takes the magnet";
    EXPECT_EQ(MV2ObjectSendMessage(head, 14, 0, reinterpret_cast<intptr_t>(load)), 0);
    EXPECT_EQ(h->state, kMV2MagnetAttached);
    EXPECT_EQ(Icon(), 7);
    intptr_t shown = 0;
    EXPECT_EQ(MV2SendToolCommand(craft, 0, 34, 0, &shown), 1);
    EXPECT_EQ(shown, reinterpret_cast<intptr_t>(load));

    Run(500);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(h->state, kMV2MagnetReeling);
    EXPECT_EQ(MV2GetObjectRef(&h->attached), nullptr);
    EXPECT_EQ(Heard("MGHRELEASE"), 2);

    // Reeling: a use still takes a charge and the cooldown, and nothing else.
    Run(500);
    const int32_t charges = tool->charges;
    const float segment = h->segment;
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(tool->charges, charges - 1);
    EXPECT_EQ(tool->cooldown, 500);
    EXPECT_EQ(h->state, kMV2MagnetReeling);
    EXPECT_EQ(h->segment, segment);
    Run(1000);
    EXPECT_EQ(h->state, kMV2MagnetStowed);
}

TEST_F(MagnetTest, TheCableHangsFromTheMountOrBelowATypeEightyFourCarryingACage) {
    const std::tuple<int32_t, int32_t, float> cases[] = {
        {0, 70, 0.0f},     // the player's craft: its mount (at its origin here)
        {84, 70, 0.0f},    // type 84 with another load
        {84, 230, -0.5f},  // type 84 with a cage hangs it half a unit lower
    };
    for (auto [ownerType, loadType, drop] : cases) {
        craft->typeWord = (craft->typeWord & ~kMV2ObjectTypeMask) | uint32_t(ownerType);
        MV2SendToolCommand(craft, 0, 49, 0, nullptr);
        Run(500);
        Attach(Load(loadType, 1.0f));
        ASSERT_EQ(h->state, kMV2MagnetAttached) << ownerType << " " << loadType;
        Run(33);
        MV2Object* first = MV2GetObjectRef(&h->links[0]);
        ASSERT_NE(first, nullptr);
        EXPECT_NEAR(first->matrix->pos.y, craft->matrix->pos.y + drop, 1e-4f) << ownerType << " " << loadType;
        EXPECT_NEAR(first->matrix->pos.x, craft->matrix->pos.x, 1e-4f);
    }
    craft->typeWord &= ~kMV2ObjectTypeMask;
}

TEST_F(MagnetTest, WithNothingAttachedTheEndIsTheHeadsPointAboveIt) {
    MV2UseTool(list, craft, 0);
    // Far beyond the cable's six segments: the stretch pulls the head back towards the craft.
    head->matrix->pos = TvV3dAdd(craft->matrix->pos, {0.0f, 0.0f, 5.0f});
    MV2ShotSyncFrame(head);
    head->body->velocity = {};
    Run(33);
    EXPECT_LT(head->body->velocity.z, 0.0f);
    // Within reach of the cable (the end 0.2 above the head) nothing pulls.
    TvMatrixSetIdentity(head->matrix);
    head->matrix->pos = TvV3dAdd(craft->matrix->pos, {0.0f, -1.2f, 0.0f});
    MV2ShotSyncFrame(head);
    head->body->velocity = {};
    Run(33);
    EXPECT_EQ(head->body->velocity.y, 0.0f);
}

TEST_F(MagnetTest, TheGaugeShowsTheLoadsMassAndSaturatesAtOneHundred) {
    const std::pair<float, int32_t> cases[] = {{0.0f, 0}, {40.0f, 102}, {100.0f, 255}, {250.0f, 255}};
    for (auto [mass, level] : cases) {
        MV2SendToolCommand(craft, 0, 49, 0, nullptr);
        Run(500);
        MV2ToolGauge gauge{};
        if (mass > 0.0f) Attach(Load(70, mass));
        EXPECT_EQ(MV2SendToolMessage(tool, 59, 0, reinterpret_cast<intptr_t>(&gauge)), 0);
        EXPECT_EQ(gauge.level, level | 256) << mass;
        EXPECT_EQ(gauge.on, mass > 0.0f ? 1 : 0);
    }
}

TEST_F(MagnetTest, TheSpringAndTheLinkImpulseSkipAZeroRestLengthAndMasslessPairs) {
    MV2Object* a = Make(70, P(0, -12, 0));
    MV2Object* b = Make(230, P(0, -12, 3));
    ASSERT_TRUE(a && b);
    const TvV3d along{0.0f, 0.0f, 1.0f};
    for (float rest : {0.0f, -1.0f}) {
        a->body->velocity = b->body->velocity = {};
        MV2MagnetSpring(kMV2MagnetLaunched, rest, along, a, b);
        EXPECT_EQ(b->body->velocity.z, 0.0f) << rest;
    }
    // Stretched to three times a rest of 1: the pair is drawn together.
    MV2MagnetSpring(kMV2MagnetLaunched, 1.0f, along, a, b);
    MV2ObjectSendMessage(b, 2, 0, 0);
    EXPECT_LT(b->body->velocity.z, 0.0f);

    MV2SetTypeFloat(a->type, 2, 0.0f);
    MV2SetTypeFloat(b->type, 2, 0.0f);
    a->body->velocity = {0.0f, 0.0f, 0.3f};
    b->body->velocity = {0.0f, 0.0f, -0.1f};
    MV2MagnetLinkImpulse(b, a);
    EXPECT_EQ(a->body->velocity.z, 0.3f) << "massless pairs keep their velocities";
    MV2SetTypeFloat(a->type, 2, 1.0f);
    MV2SetTypeFloat(b->type, 2, 3.0f);
    MV2MagnetLinkImpulse(b, a);
    EXPECT_NEAR(b->body->velocity.z, 0.2f * 0.75f, 1e-6f);
    EXPECT_NEAR(a->body->velocity.z, 0.2f * 0.25f, 1e-6f);
}
