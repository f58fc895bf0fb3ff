// Creature props: the lure beacon's pull clamp, the membrane that bounces only when struck hard
// and dissolves on a signal, and the tongue's retreat.
#include "game/missions/creatureprops.h"

#include "engine/world/anim.h"
#include "game/creatures/animkeys.h"
#include "game/missions/lightobject.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class CreaturePropTest : public LevelObjectTest {
protected:
    // Gives the type's root geometry `count` keys of one time unit each.
    static void GiveKeys(MV2ObjectType* type, int32_t count) {
        TpGeometry* g = TpAtomicGetGeometry(MV2FindRootAtomic(type->model));
        TpAnimSequenceGeometryCreateKeys(g, count);
        for (int32_t i = 0; i < count; i++)
            TpAnimSequenceGeometrySetKey(g, i, 0, 0, 1.0f);
    }
};

TEST_F(CreaturePropTest, LurePullIsClamped) {
    struct Case {
        int32_t fish;
        float pull;
    };
    for (const Case& c : {Case{0, 0.001f}, Case{1, 0.05f}, Case{10, 0.5f}, Case{20, 1.0f},
                          Case{40, 1.0f}})
        EXPECT_FLOAT_EQ(MV2LurePull(c.fish), c.pull) << c.fish;
    LevelType(69, sizeof(MV2LightObjectData));
    MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
    LevelType(76, sizeof(MV2LureData), {2});
    MV2Object* beacon = Make(76, {0, 2, 0});
    ASSERT_NE(beacon, nullptr);
    Step(beacon);
    Step(beacon); // its first target time has passed
    EXPECT_FLOAT_EQ(beacon->energy, 0.001f * 100.0f); // no fish about
    float pull = 0.0f;
    MV2ObjectSendMessage(beacon, 13, 0, intptr_t(&pull));
    EXPECT_FLOAT_EQ(pull, 0.001f);
}

TEST_F(CreaturePropTest, MembraneBouncesOnlyWhenStruckHard) {
    MV2ObjectType* type = LevelType(267, sizeof(MV2MembraneData));
    GiveKeys(type, 10);
    MV2Object* membrane = Make(267);
    ASSERT_NE(membrane, nullptr);
    auto* d = static_cast<MV2MembraneData*>(membrane->privateData);
    TpAtomic* root = MV2FindRootAtomic(membrane->clump);
    MV2SetRootKey(membrane, 6);
    MV2ObjectSendMessage(membrane, 19, 1000, 0);
    MV2ObjectSendMessage(membrane, 19, -1000, 0);
    MV2MembraneAnimCallback(root, 1.0f);
    EXPECT_EQ(MV2GetRootKey(membrane), 6); // rests
    EXPECT_EQ(LevelSounds::Count("MEMBRANEBOUNCE"), 0);
    MV2ObjectSendMessage(membrane, 19, -1001, 0);
    MV2MembraneAnimCallback(root, 1.0f);
    EXPECT_EQ(MV2GetRootKey(membrane), 0);
    EXPECT_EQ(d->bouncing, 1u);
    EXPECT_EQ(LevelSounds::Count("MEMBRANEBOUNCE"), 1);
    // The dissolve goes to key 7, then holds at 9 and the membrane goes.
    MV2ObjectSendMessage(membrane, 63, 0, 0);
    MV2MembraneAnimCallback(root, 1.0f);
    EXPECT_EQ(MV2GetRootKey(membrane), 7);
    MV2SetRootKey(membrane, 9);
    MV2MembraneAnimCallback(root, 1.0f);
    EXPECT_EQ(d->finished, 1u);
    const MV2ObjectHandle handle = membrane->handle;
    Step(membrane);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(CreaturePropTest, TongueRetreatsOnlyWhenOut) {
    MV2ObjectType* type = LevelType(124, sizeof(MV2BurrowTongueData));
    GiveKeys(type, 45);
    MV2Object* tongue = Make(124);
    ASSERT_NE(tongue, nullptr);
    auto* d = static_cast<MV2BurrowTongueData*>(tongue->privateData);
    MV2ObjectSendMessage(tongue, 78, 0, 0); // dormant: only the next time moves
    EXPECT_EQ(d->state, 0u);
    EXPECT_EQ(d->next, gMV2FrameTimer.frameClock + 10000);
    d->state = 2;
    MV2ObjectSendMessage(tongue, 78, 0, 0);
    EXPECT_EQ(d->state, 3u);
    EXPECT_EQ(MV2GetRootKey(tongue), 30);
    MV2SetRootKey(tongue, 44);
    MV2BurrowTongueAnimCallback(MV2FindRootAtomic(tongue->clump), 1.0f);
    EXPECT_EQ(d->state, 0u);
}

} // namespace
