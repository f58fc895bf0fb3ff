#include "tests/game/creatures/creature_fixture.h"

#include <cstring>

#include "game/creatures/heat.h"

TEST_F(CreatureTest, HeatColour) {
    struct Case {
        float heat;
        uint32_t clock;
        uint32_t colour;
    };
    const Case cases[] = {
        {0.0f, 0, 0xFFFFFF00u},   {0.5f, 0, 0xFFFF7F00u},   {1.0f, 0, 0xFFFF0000u},
        {1.5f, 1050, 0xFFFF0000u}, {1.5f, 1150, 0xFFFFFF00u},
    };
    for (const Case& c : cases) {
        MV2ResetHeat();
        MV2AddHeat(c.heat);
        gMV2FrameTimer.frameClock = c.clock;
        EXPECT_EQ(MV2GetHeatColour(), c.colour) << c.heat << " at " << c.clock;
    }
    MV2ResetHeat();
    EXPECT_FLOAT_EQ(MV2GetHeat(), 0.0f);
}

TEST_F(CreatureTest, HeatSourceReadsItsCreationValue) {
    BodyType(413, sizeof(MV2HeatSource));
    MV2Object* source = MV2CreateObject(413, nullptr, nullptr);
    ASSERT_NE(source, nullptr);
    const float value = 12345.0f;
    std::memcpy(&source->typeWord68, &value, sizeof value);
    MV2ObjectSendMessage(source, 2, 0, 0);
    auto* d = static_cast<MV2HeatSource*>(source->privateData);
    EXPECT_FLOAT_EQ(d->radius, 34.5f);
    EXPECT_FLOAT_EQ(d->strength, 0.12f);
    EXPECT_EQ(source->typeWord68, 0u);
}

TEST_F(CreatureTest, MissileWithoutTargetExpiresAfterThreeSeconds) {
    BodyType(74, sizeof(MV2Missile), 0.3f);
    MV2Object* missile = MV2CreateObject(74, nullptr, nullptr);
    ASSERT_NE(missile, nullptr);
    const TvV3d velocity{0.0f, 0.0f, 0.1f};
    MV2ObjectSendMessage(missile, 12, 0, reinterpret_cast<intptr_t>(&velocity));
    const MV2ObjectHandle handle = missile->handle;
    const uint32_t start = gMV2FrameTimer.frameClock;
    while (MV2ObjectHandleAlive(handle) && gMV2FrameTimer.frameClock - start < 4000) {
        MV2ObjectSendMessage(missile, 2, 0, 0);
        gMV2FrameTimer.frameClock += 100;
    }
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_GE(gMV2FrameTimer.frameClock - start, 3000u);
    EXPECT_LE(gMV2FrameTimer.frameClock - start, 3100u);
}

TEST_F(CreatureTest, SlidingPlatformWithoutItsPartIsRefused) {
    BodyType(43, sizeof(MV2SlidingPlatform));
    MV2Object* platform = MV2CreateObject(43, nullptr, nullptr); // every frame carries tag 100
    EXPECT_EQ(platform, nullptr); // no part tagged 2: creation refused
}
