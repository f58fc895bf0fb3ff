#include "tests/game/creatures/creature_fixture.h"

#include "game/effects/effects.h"
#include "game/missions/lightobject.h"

class LightObjectTest : public CreatureTest {
protected:
    MV2Object* MakeLight() {
        if (!MV2GetObjectType(69)->privateData) BodyType(69, sizeof(MV2LightObjectData));
        return MV2CreateObject(69, nullptr, nullptr);
    }
    static MV2LightObjectData* Data(MV2Object* o) {
        return static_cast<MV2LightObjectData*>(o->privateData);
    }
};

TEST_F(LightObjectTest, RadiusZeroMakesNoEngineLight) {
    MV2Object* light = MakeLight();
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(Data(light)->flags, kMV2LightCreationFlags);
    EXPECT_FLOAT_EQ(Data(light)->radius, 5.0f);
    Data(light)->radius = 0.0f;
    MV2ObjectSendMessage(light, 11, 1, 0);
    EXPECT_EQ(Data(light)->light, nullptr);
    EXPECT_TRUE(Data(light)->flags & kMV2LightOn);

    Data(light)->radius = 2.0f;
    MV2ObjectSendMessage(light, 11, 1, 0);
    ASSERT_NE(Data(light)->light, nullptr);
    EXPECT_NE(TpLightGetWorld(Data(light)->light), nullptr);
    MV2ObjectSendMessage(light, 11, 0, 0);
    ASSERT_NE(Data(light)->light, nullptr);
    EXPECT_EQ(TpLightGetWorld(Data(light)->light), nullptr);
    intptr_t size = 0;
    MV2ObjectSendMessage(light, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2LightObjectData)));
}

TEST_F(LightObjectTest, FixedAndRandomBlink) {
    MV2Object* light = MakeLight();
    ASSERT_NE(light, nullptr);
    MV2ObjectSendMessage(light, 11, 1, 0);
    gMV2FrameTimer.milliseconds = 100;

    Data(light)->blinkPeriod = 250;
    Data(light)->blinkLeft = 250;
    std::vector<int32_t> on;
    for (int32_t i = 0; i < 6; ++i) {
        MV2ObjectSendMessage(light, 2, 0, 0);
        on.push_back((Data(light)->flags & kMV2LightOn) ? 1 : 0);
    }
    // 250 -> 150 -> 50 -> 0 (toggle, 250) -> 150 -> 50 -> 0 (toggle)
    EXPECT_EQ(on, (std::vector<int32_t>{1, 1, 0, 0, 0, 1}));

    Data(light)->flags |= kMV2LightRandomBlink;
    Data(light)->blinkPeriod = 9; // index 1 of the table
    MV2RandomPeriodTable[1] = 150;
    Data(light)->blinkLeft = 0;
    MV2ObjectSendMessage(light, 2, 0, 0);
    EXPECT_EQ(Data(light)->blinkLeft, 150);
    EXPECT_FALSE(Data(light)->flags & kMV2LightOn);
    MV2RandomPeriodTable[1] = 0;
}

TEST_F(LightObjectTest, CraftAttachmentsBecomeLights) {
    SubRecordSpec lit;
    lit.name = "LIT";
    lit.attachmentCount = 1;
    const std::vector<uint8_t> base = SubsFileBytes(1, {lit});
    std::vector<uint8_t> bytes = base;
    // Attachment 0: colour words, radius 3.0, a period of 7 ms with the blink-link bit 14, on
    // the frame tagged 100 with light type 0x80.
    auto put = [&bytes](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[32 + at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put(240 + 12, 0x40400000);
    put(240 + 28, 100 | (0x80u << 12));
    put(240 + 32, 7 | (1u << 14));
    ASSERT_EQ(MV2ParseSubDefinitions(bytes.data(), bytes.size()), 1);
    BodyType(69, sizeof(MV2LightObjectData));
    MV2ObjectType* type = BodyType(1, sizeof(MV2SubData));
    type->subDefinition = MV2FindSubDefinition("LIT");
    MV2Object* craft = MV2CreateObject(1, nullptr, nullptr);
    ASSERT_NE(craft, nullptr);
    MV2Object* light = MV2GetObjectRef(&Sub(craft)->attachments[0].object);
    ASSERT_NE(light, nullptr);
    EXPECT_FLOAT_EQ(Data(light)->radius, 3.0f);
    EXPECT_EQ(Data(light)->blinkPeriod, 7u);
    EXPECT_EQ((Data(light)->flags >> 4) & 0xFF, 0x80u);
    EXPECT_TRUE(Data(light)->flags & kMV2LightLinked);
    EXPECT_TRUE(Data(light)->flags & kMV2LightOn);
    EXPECT_TRUE(Data(light)->flags & kMV2LightAttached);
    const MV2ObjectHandle handle = light->handle;
    MV2ObjectSendMessage(craft, 4, 1, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}
