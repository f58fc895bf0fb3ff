// Vortex: the pull's fall-off to 25 units, the drain in front and the kill behind, the light
// going dark far in front of the camera, and its dressing made and destroyed with it.
#include "game/missions/vortex.h"

#include <limits>

#include "game/missions/dirtcolumn.h"
#include "game/missions/leveldevices.h"
#include "game/missions/lightobject.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class VortexTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
        LevelType(69, sizeof(MV2LightObjectData));
        LevelType(kMV2DirtColumnType, 0);
        LevelType(kMV2VortexType, sizeof(MV2VortexData), {4, 6});
        LevelType(1, 0, {}, 1.0f, true);
    }
    MV2Object* Craft(TvV3d at) {
        MV2Object* craft = Make(1, at);
        MV2SetPlayerObject(craft);
        return craft;
    }
    static MV2VortexData* Data(MV2Object* v) { return static_cast<MV2VortexData*>(v->privateData); }
};

} // namespace

TEST_F(VortexTest, PullFallsOffToNothingAt25Units) {
    EXPECT_FLOAT_EQ(MV2VortexPullShare(400.0f), 0.1296f); // 20 units
    EXPECT_FLOAT_EQ(MV2VortexPullShare(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(MV2VortexPullShare(625.0f), 0.0f);
    EXPECT_FLOAT_EQ(MV2VortexPullShare(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    // The pull felt by a craft beside the axis: in towards the axis and around it.
    MV2Object* vortex = Make(kMV2VortexType);
    float felt[3];
    const float distances[3] = {20.0f, 15.0f, 25.0f};
    for (int32_t i = 0; i < 3; i++) {
        MV2Object* craft = Craft({distances[i], 0.0f, 0.0f});
        Step(vortex);
        felt[i] = MV2Length(craft->body->velocity);
        if (i == 0) {
            EXPECT_LT(craft->body->velocity.x, 0.0f);
            EXPECT_NE(craft->body->velocity.y, 0.0f);
        }
        MV2ObjectSendMessage(craft, 4, 0, 0);
    }
    EXPECT_NEAR(felt[0] / felt[1], 0.1296f / 0.4096f, 1e-4f);
    EXPECT_FLOAT_EQ(felt[2], 0.0f);
}

TEST_F(VortexTest, DrainsInFrontAndKillsBehindWithinTenUnits) {
    struct Case {
        TvV3d at;
        float energy;
    } cases[] = {
        {{0, 0, 5}, 100.0f - 0.75f}, // in front: 1 - 0.01 x 25 a step
        {{0, 0, -5}, -1.0f},         // behind
        {{0, 0, 10}, 100.0f},        // exactly 10 away
    };
    MV2Object* vortex = Make(kMV2VortexType);
    for (const Case& c : cases) {
        MV2Object* craft = Craft(c.at);
        craft->energy = 100.0f;
        Step(vortex);
        EXPECT_FLOAT_EQ(craft->energy, c.energy) << c.at.z;
        MV2ObjectSendMessage(craft, 4, 0, 0);
    }
}

TEST_F(VortexTest, LightDimsWithDepthInFrontOfTheCamera) {
    struct Case {
        float z;
        float low, high; // glow size
    } cases[] = {{40.0f, 0.0f, 0.0f}, {15.0f, 3.0f, 3.0f}, {-5.0f, 6.0f, 6.0f}};
    for (const Case& c : cases) {
        MV2Object* vortex = Make(kMV2VortexType, {0, 0, c.z});
        MV2Object* light = MV2GetObjectRef(&Data(vortex)->light);
        ASSERT_NE(light, nullptr);
        auto* l = static_cast<MV2LightObjectData*>(light->privateData);
        EXPECT_FLOAT_EQ(l->glowSize, 0.1f);
        EXPECT_EQ(l->flags & 0xCu, 0x4u);
        Step(vortex);
        EXPECT_GE(l->glowSize, c.low) << c.z;
        EXPECT_LE(l->glowSize, c.high) << c.z;
        if (c.z == 15.0f) { // colour trunc(k x 0.5) / 255 with k in 128..191
            EXPECT_GE(l->red * 255.0f, 63.9f);
            EXPECT_LE(l->red * 255.0f, 95.1f);
            EXPECT_FLOAT_EQ(l->red, l->blue);
        }
        MV2ObjectSendMessage(vortex, 4, 0, 0);
    }
}

TEST_F(VortexTest, DressedWithAColumnAlongItsAxisAndCleansUp) {
    MV2Object* vortex = Make(kMV2VortexType, {1, 2, 3});
    MV2VortexData* d = Data(vortex);
    MV2Object* column = MV2GetObjectRef(&d->column);
    MV2Object* light = MV2GetObjectRef(&d->light);
    ASSERT_NE(column, nullptr);
    ASSERT_NE(light, nullptr);
    EXPECT_NE(d->spin, nullptr);
    MV2DirtColumn* c = MV2GetDirtColumn(column);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->count, 33);
    EXPECT_FLOAT_EQ(c->height, 8.0f);
    EXPECT_FLOAT_EQ(c->topRadius, 8.0f);
    EXPECT_FLOAT_EQ(c->fallStep, 0.12f);
    EXPECT_FLOAT_EQ(column->matrix->pos.z, 3.0f + 3.0f); // 3 units along the vortex's at axis
    EXPECT_FLOAT_EQ(column->matrix->up.z, 1.0f);          // standing along it
    const MV2ObjectHandle handles[2] = {column->handle, light->handle};
    MV2ObjectSendMessage(vortex, 4, 0, 0);
    for (MV2ObjectHandle h : handles)
        EXPECT_FALSE(MV2ObjectHandleAlive(h));
}
