// Mission props: the valve's lock-out and wrap, the floor switch reported once until re-armed,
// the touch sensor, and the missile's speed cap and lifetime.
#include "game/missions/missionprops.h"

#include <vector>

#include "engine/world/geometry.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

struct Reports {
    static inline std::vector<int32_t> values;
    static void Record(MV2Object*, int32_t v) { values.push_back(v); }
};

class PropTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        Reports::values.clear();
    }
    static intptr_t Callback() { return reinterpret_cast<intptr_t>(&Reports::Record); }
};

TEST_F(PropTest, ValveTurnsOncePerLockOutAndWraps) {
    LevelType(54, sizeof(MV2ValveWheelData), {1, 2});
    MV2Object* valve = Make(54);
    ASSERT_NE(valve, nullptr);
    auto* d = static_cast<MV2ValveWheelData*>(valve->privateData);
    EXPECT_FLOAT_EQ(valve->energy, 10.0f);
    MV2ObjectSendMessage(valve, 12, 0, Callback());
    MV2ObjectSendMessage(valve, 65, 0, 0);
    gMV2FrameTimer.frameClock += 499;
    MV2ObjectSendMessage(valve, 65, 0, 0); // within 500 ms: ignored
    EXPECT_FLOAT_EQ(d->target, 45.0f);
    EXPECT_EQ(Reports::values.size(), 1u);
    for (int32_t use = 2; use <= 8; use++) {
        gMV2FrameTimer.frameClock += 501;
        MV2ObjectSendMessage(valve, 65, 0, 0);
        for (int32_t i = 0; i < 200; i++)
            Step(valve, 0);
    }
    EXPECT_FLOAT_EQ(d->target, 360.0f); // exactly 360 stays
    EXPECT_GT(d->angle, 359.0f);
    gMV2FrameTimer.frameClock += 501;
    MV2ObjectSendMessage(valve, 65, 0, 0); // the ninth use
    EXPECT_FLOAT_EQ(d->target, 45.0f);
    EXPECT_EQ(Reports::values.back(), int32_t(d->angle));
    Step(valve, 0);
    EXPECT_FLOAT_EQ(d->angle, 0.0f); // snaps to 0, then eases up
    Step(valve, 0);
    EXPECT_NEAR(d->angle, 4.5f, 1e-4f);
}

TEST_F(PropTest, FloorSwitchReportsOnceUntilReArmed) {
    LevelType(203, sizeof(MV2SwitchData), {}, 1.0f, true);
    MV2Object* sw = Make(203, {0, 3, 0});
    ASSERT_NE(sw, nullptr);
    MV2ObjectSendMessage(sw, 12, 0, Callback());
    sw->matrix->pos.y = 3.0f - 2.6f; // pushed below its travel
    Step(sw);
    ASSERT_EQ(Reports::values.size(), 1u);
    Step(sw); // held at its lowered place from the next update on
    EXPECT_NEAR(sw->matrix->pos.y, 0.5f, 1e-5f);
    for (int32_t i = 0; i < 10; i++)
        Step(sw);
    EXPECT_EQ(Reports::values.size(), 1u);
    EXPECT_NEAR(sw->matrix->pos.y, 0.5f, 1e-5f);
    MV2ObjectSendMessage(sw, 11, 0, 0); // re-armed: it rises back
    for (int32_t i = 0; i < 3000 && static_cast<MV2SwitchData*>(sw->privateData)->returning; i++)
        Step(sw);
    EXPECT_FLOAT_EQ(sw->matrix->pos.y, 3.0f);
    EXPECT_EQ(Reports::values.size(), 1u);
}

TEST_F(PropTest, TouchSensorNeverBlocks) {
    LevelType(55, sizeof(MV2TouchSensorData));
    LevelType(20, 0);
    MV2Object* sensor = Make(55);
    MV2Object* toucher = Make(20);
    ASSERT_TRUE(sensor && toucher);
    static MV2Object* touched;
    touched = nullptr;
    MV2ObjectSendMessage(sensor, 12, 0,
                         reinterpret_cast<intptr_t>(+[](MV2Object*, MV2Object* t) { touched = t; }));
    EXPECT_EQ(MV2ObjectSendMessage(sensor, 14, 0, intptr_t(toucher)), 0);
    EXPECT_EQ(touched, toucher);
    EXPECT_FLOAT_EQ(sensor->radius, 5.0f);
    MV2ObjectSendMessage(sensor, 33, 7, 0);
    intptr_t state = 0;
    MV2ObjectSendMessage(sensor, 34, 0, intptr_t(&state));
    EXPECT_EQ(state, 7);
}

TEST_F(PropTest, MissileSpeedCapAndLifetime) {
    LevelType(9, sizeof(MV2GuidedMissileData), {}, 0.2f, true);
    LevelType(20, 0);
    MV2Object* player = Make(20, {0, 0, -50});
    MV2Object* other = Make(20, {0, 0, -60});
    MV2SetPlayerObject(player);
    struct Case {
        MV2Object* launcher;
        float top;
    };
    for (const Case& c : {Case{player, 0.1f}, Case{other, 0.033333335f}}) {
        MV2Object* missile = Make(9, {0, 10, 0});
        ASSERT_NE(missile, nullptr);
        MV2ObjectSendMessage(missile, 15, 1, intptr_t(c.launcher));
        auto* d = static_cast<MV2GuidedMissileData*>(missile->privateData);
        const MV2ObjectHandle handle = missile->handle;
        const uint32_t start = gMV2FrameTimer.frameClock;
        for (int32_t i = 0; i < 10; i++)
            Step(missile, 100);
        EXPECT_FLOAT_EQ(d->speed, c.top);
        while (MV2ObjectHandleAlive(handle) && gMV2FrameTimer.frameClock - start < 4000)
            Step(missile, 100);
        EXPECT_FALSE(MV2ObjectHandleAlive(handle));
        // The update at 3100 ms explodes it, the one at 3200 ms removes it.
        EXPECT_EQ(gMV2FrameTimer.frameClock - start, 3300u);
    }
}

TEST_F(PropTest, EnvMapCoordinatesAreClamped) {
    TpGeometry* g = TpGeometryCreate(3, 1, kTpGeometryTextured | kTpGeometryNormals);
    ASSERT_NE(g, nullptr);
    TvV3d* n = TpMorphTargetGetNormals(TpGeometryGetMorphTarget(g, 0));
    n[0] = {1, 0, 0};
    n[1] = {2, 0, 0}; // not unit: would reach 1.5
    n[2] = {0, -3, 0};
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, g, 0);
    TvFrame* frame = TvFrameCreate();
    TpAtomicSetFrame(atomic, frame);
    TvFrameSyncDirty();
    MV2SetEnvMapTexCoords(atomic);
    const TpTexCoords* uv = TpGeometryGetTexCoords(TpAtomicGetGeometry(atomic));
    EXPECT_FLOAT_EQ(uv[0].u, 1.0f);
    EXPECT_FLOAT_EQ(uv[1].u, 1.0f);
    EXPECT_FLOAT_EQ(uv[2].v, 0.0f);
    EXPECT_FLOAT_EQ(uv[2].u, 0.5f);
    TpAtomicSetFrame(atomic, nullptr);
    TpAtomicDestroy(atomic);
    TpGeometryDestroy(g);
    TvFrameDestroy(frame);
}

} // namespace
