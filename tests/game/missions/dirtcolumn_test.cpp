// Dirt column: the count clamp of its setters, the fade out and back in with the column leaving
// and rejoining the world, specks that fall and wrap, and the vortex's shape.
#include "game/missions/dirtcolumn.h"

#include <limits>

#include "engine/world/clump.h"
#include "game/missions/leveldevices.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class DirtColumnTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        LevelType(kMV2DirtColumnType, 0);
    }
    MV2Object* Column() {
        MV2Object* o = Make(kMV2DirtColumnType, {0, 5, 0});
        EXPECT_NE(o, nullptr);
        return o;
    }
};

} // namespace

TEST_F(DirtColumnTest, CreatedWithDefaultsAndClampedCount) {
    MV2Object* o = Column();
    MV2DirtColumn* c = MV2GetDirtColumn(o);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->capacity, kMV2DirtSpecksMax); // creation gives no count: 100
    EXPECT_EQ(c->count, kMV2DirtSpecksMax);
    EXPECT_FLOAT_EQ(c->height, 5.0f);
    EXPECT_FLOAT_EQ(o->radius, 5.0f);
    EXPECT_FLOAT_EQ(c->radiusSlope, (1.0f - 0.1f) / 5.0f);
    EXPECT_EQ(c->on, 1u);
    EXPECT_FLOAT_EQ(c->fade, 0.0f);
    for (int32_t i = 0; i < c->count; i++) {
        EXPECT_GE(c->specks[i].spin, 1.0f);
        EXPECT_LE(c->specks[i].spin, 10.0f);
        EXPECT_GE(c->specks[i].height, 0.0f);
        EXPECT_LE(c->specks[i].height, 5.0f);
    }
    const int32_t counts[][2] = {{1, 1}, {33, 33}, {100, 100}, {500, 100}, {-3, 0}};
    for (const auto& k : counts) {
        MV2DirtColumnSetCount(c, k[0]);
        EXPECT_EQ(c->count, k[1]) << k[0];
    }
    EXPECT_EQ(MV2GetDirtColumn(nullptr), nullptr);
}

TEST_F(DirtColumnTest, FadesOutOverAbout33StepsThenLeavesTheWorld) {
    MV2Object* o = Column();
    MV2DirtColumn* c = MV2GetDirtColumn(o);
    for (int32_t i = 0; i < 40; i++)
        Step(o);
    EXPECT_FLOAT_EQ(c->fade, 1.0f);
    MV2ObjectSendMessage(o, 12, 0, 0);
    uint32_t on = 7;
    MV2ObjectSendMessage(o, 13, 0, reinterpret_cast<intptr_t>(&on));
    EXPECT_EQ(on, 0u);
    int32_t steps = 0;
    while (TpClumpGetWorld(o->clump) && steps < 100) {
        Step(o);
        ++steps;
    }
    EXPECT_GE(steps, 33);
    EXPECT_LE(steps, 35);
    EXPECT_FLOAT_EQ(c->fade, 0.0f);
    MV2ObjectSendMessage(o, 12, 1, 0);
    EXPECT_NE(TpClumpGetWorld(o->clump), nullptr);
    Step(o);
    EXPECT_NEAR(c->fade, 0.03f, 1e-6f); // from 0 again
}

TEST_F(DirtColumnTest, SpecksFallAndWrapToTheTop) {
    MV2Object* o = Column();
    MV2DirtColumn* c = MV2GetDirtColumn(o);
    c->swirl = 0;
    c->specks[0].height = 0.05f;  // falls below 0: to the top
    c->specks[1].height = 2.0f;   // falls
    c->specks[2].height = 5.2f;   // still above the column after the fall: to 0
    c->specks[1].directionX = 1.0f;
    c->specks[1].directionZ = 0.0f;
    Step(o);
    EXPECT_FLOAT_EQ(c->specks[0].height, 5.0f);
    EXPECT_FLOAT_EQ(c->specks[1].height, 1.9f);
    EXPECT_FLOAT_EQ(c->specks[2].height, 0.0f);
    // World position: the column's position plus the speck's ring radius along x and its height.
    const float r = c->radiusSlope * 1.9f + c->baseRadius;
    EXPECT_NEAR(c->specks[1].world.x, r, 1e-5f);
    EXPECT_NEAR(c->specks[1].world.y, 5.0f + 1.9f, 1e-5f);
}

TEST_F(DirtColumnTest, SettersKeepTheShapeAndIgnoreBadValues) {
    MV2Object* o = Column();
    MV2DirtColumn* c = MV2GetDirtColumn(o);
    MV2DirtColumnSetRadii(c, 0.005f, 8.0f);
    const float height = 8.0f;
    MV2ObjectSendMessage(o, 79, 0, reinterpret_cast<intptr_t>(&height));
    EXPECT_FLOAT_EQ(o->radius, 8.0f);
    EXPECT_FLOAT_EQ(c->radiusSlope, (8.0f - 0.005f) / 8.0f);
    MV2DirtColumnSetHeight(c, std::numeric_limits<float>::quiet_NaN());
    MV2DirtColumnSetHeight(c, 0.0f); // no slope from a zero height
    EXPECT_FLOAT_EQ(c->radiusSlope, 0.0f);
    MV2ObjectSendMessage(o, 79, 0, 0); // no value: nothing
    EXPECT_FLOAT_EQ(o->radius, 8.0f);
    // A column without its record takes message 4 and is destroyed all the same.
    o->privateData = nullptr;
    const MV2ObjectHandle handle = o->handle;
    MV2ObjectSendMessage(o, 4, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}
