#include "tests/game/missions/device_fixture.h"

#include "game/missions/locator.h"

TEST_F(DeviceTest, LocatorKeepsANumberByPointerAndALinkByValue) {
    MV2Object* locator = Device(42, sizeof(MV2LocatorData));
    ASSERT_NE(locator, nullptr);
    EXPECT_EQ(locator->aiCategory, 1);
    for (TpAtomic* a = MV2GetFirstAtomic(locator->clump); a; a = MV2GetNextAtomic(locator->clump, a))
        EXPECT_EQ(AtomicFlags(a), 0);
    auto* d = static_cast<MV2LocatorData*>(locator->privateData);
    EXPECT_EQ(d->word1, -1);

    uint32_t number = 7;
    EXPECT_EQ(MV2ObjectSendMessage(locator, 12, 99, reinterpret_cast<intptr_t>(&number)), 1);
    EXPECT_EQ(MV2ObjectSendMessage(locator, 12, 0, 0), 1); // null: refused, kept
    uint32_t read = 0;
    MV2ObjectSendMessage(locator, 13, 0, reinterpret_cast<intptr_t>(&read));
    EXPECT_EQ(read, 7u);

    MV2ObjectSendMessage(locator, 28, 0, 0x1234);
    intptr_t link = 0;
    MV2ObjectSendMessage(locator, 27, 0, reinterpret_cast<intptr_t>(&link));
    EXPECT_EQ(link, 0x1234);

    intptr_t size = 0;
    MV2ObjectSendMessage(locator, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2LocatorData)));
    EXPECT_EQ(MV2ObjectSendMessage(locator, 96, 0, 0), 1);
}
