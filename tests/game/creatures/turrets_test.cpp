#include "tests/game/creatures/creature_fixture.h"

#include <cstring>

#include "game/creatures/spiders.h"
#include "game/creatures/turrets.h"
#include "game/missions/lightobject.h"
#include "game/player/playercraft.h"
#include "game/player/player.h"

TEST_F(CreatureTest, FireJetDecodesItsCreationValue) {
    BodyType(295, sizeof(MV2FireJet));
    struct Case {
        float value;
        int32_t on, off;
    };
    for (const Case& c : {Case{5030.0f, 500, 3000}, Case{12999.0f, 1200, 99900}, Case{0.0f, 0, 0}}) {
        MV2Object* jet = MV2CreateObject(295, nullptr, nullptr);
        ASSERT_NE(jet, nullptr);
        std::memcpy(&jet->typeWord68, &c.value, sizeof c.value);
        MV2ObjectSendMessage(jet, 2, 0, 0);
        auto* d = static_cast<MV2FireJet*>(jet->privateData);
        EXPECT_EQ(d->onTime, c.on) << c.value;
        EXPECT_EQ(d->offTime, c.off) << c.value;
        EXPECT_EQ(jet->typeWord68, 0u);
        MV2ObjectSendMessage(jet, 4, 1, 0);
    }
}

TEST_F(CreatureTest, FireflyLightRemovesItselfOnItsSecondUpdate) {
    BodyType(331, sizeof(MV2FireflyLight));
    BodyType(69, sizeof(MV2LightObjectData));
    MV2Object* spawner = MV2CreateObject(331, nullptr, nullptr);
    ASSERT_NE(spawner, nullptr);
    auto* d = static_cast<MV2FireflyLight*>(spawner->privateData);
    EXPECT_EQ(d->slot, 0);
    MV2Object* light = MV2GetObjectRef(&d->light);
    ASSERT_NE(light, nullptr);
    const MV2ObjectHandle handle = spawner->handle, lightHandle = light->handle;
    MV2ObjectSendMessage(spawner, 2, 0, 0);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    MV2ObjectSendMessage(spawner, 2, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_FALSE(MV2ObjectHandleAlive(lightHandle));
    // Its slot is free again.
    MV2Object* next = MV2CreateObject(331, nullptr, nullptr);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(static_cast<MV2FireflyLight*>(next->privateData)->slot, 0);
}

TEST_F(CreatureTest, TurretCraftStaysHome) {
    MV2ObjectType* type = TaggedType(15, sizeof(MV2SubData) + sizeof(MV2TurretCraftExtension), {2});
    type->subDefinition = MV2FindSubDefinition("SCOUT");
    BodyType(40, sizeof(MV2TurretBase));
    const float home[3] = {3.0f, -10.0f, 4.0f};
    MV2Object* turret = MV2CreateObject(15, home, nullptr);
    ASSERT_NE(turret, nullptr);
    EXPECT_EQ(turret->aiCategory, 9);
    auto* e = static_cast<MV2TurretCraftExtension*>(Sub(turret)->extension);
    ASSERT_NE(e, nullptr);
    MV2Object* base = MV2GetObjectRef(&e->base);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(MV2ObjectSendMessage(turret, 14, 0, reinterpret_cast<intptr_t>(base)), 0);
    const TvV3d push{0.3f, 0.2f, -0.4f};
    for (int32_t i = 0; i < 30; ++i) {
        MV2AddForce(turret, &push);
        MV2ObjectSendMessage(turret, 5, 0, 0);
        Frame(turret);
        MV2ObjectSendMessage(turret, 2, 0, 0);
        EXPECT_FLOAT_EQ(turret->matrix->pos.x, 3.0f);
        EXPECT_FLOAT_EQ(turret->matrix->pos.y, -10.0f);
        EXPECT_FLOAT_EQ(turret->matrix->pos.z, 4.0f);
    }
    const MV2ObjectHandle baseHandle = base->handle;
    MV2ObjectSendMessage(turret, 4, 1, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(baseHandle));
}

TEST(Spider, KeyCycle) {
    struct Case {
        int32_t finished;
        uint32_t state; // requests in bits 0-1
        int32_t next;
        uint32_t locomotion; // 0: unchanged (2)
        uint32_t requests;
    };
    const Case cases[] = {
        {3, 0, 0, 1, 0},  {12, 0, 0, 1, 0}, {5, 0, 4, 2, 0},  {5, 1, 10, 1, 1},
        {5, 2, 10, 1, 0}, {6, 0, 7, 2, 0},  {7, 0, 11, 2, 0}, {9, 0, 6, 2, 0},
        {10, 0, 0, 1, 0}, {11, 0, 4, 2, 0}, {0, 0, 1, 2, 0},  {8, 0, 9, 2, 0},
    };
    for (const Case& c : cases) {
        uint32_t state = c.state | (2u << 2);
        EXPECT_EQ(MV2SpiderNextKey(c.finished, &state), c.next) << c.finished;
        EXPECT_EQ((state >> 2) & 0xFF, c.locomotion) << c.finished;
        EXPECT_EQ(state & 3u, c.requests) << c.finished;
    }
}

TEST_F(CreatureTest, SpiderKeysOncePerGeometryAndOnlyType147Burns) {
    BodyType(147, sizeof(MV2Spider), 0.5f);
    BodyType(148, sizeof(MV2Spider), 0.5f);
    MV2Object* burner = MV2CreateObject(147, nullptr, nullptr);
    MV2Object* other = MV2CreateObject(148, nullptr, nullptr);
    ASSERT_TRUE(burner && other);
    TpGeometry* geometry = TpAtomicGetGeometry(MV2FindRootAtomic(burner->clump));
    const TpAnimKey* key = TpAnimSequenceGeometryGetKey(geometry, 12);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(geometry, 13), nullptr);
    EXPECT_EQ(MV2SetupSpiderKeys(geometry), 1);
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(geometry, 12), key); // not built again

    MV2Object* player = MakeSub(1);
    MV2SetPlayerObject(player);
    player->energy = 100.0f;
    gMV2FrameTimer.ticks = 3.0f; // 0.1 s
    MV2ObjectSendMessage(other, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_FLOAT_EQ(player->energy, 100.0f);
    MV2ObjectSendMessage(burner, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_FLOAT_EQ(player->energy, 99.0f);
    gMV2FrameTimer.ticks = 1.0f;
    MV2SetPlayerObject(nullptr);
}
