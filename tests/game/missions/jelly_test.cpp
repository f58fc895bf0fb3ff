// Jelly creature: the chase that starts inside 10 units, the sting of its target only while
// stinging, the back-off, its key rule and its light made and destroyed with it.
#include "game/missions/jelly.h"

#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/creatures/ambient.h"
#include "game/missions/leveldevices.h"
#include "game/missions/lightobject.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class JellyTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
        LevelType(69, sizeof(MV2LightObjectData));
        MV2ObjectType* type = LevelType(kMV2JellyType,
                                        sizeof(MV2AmbientCreature) + sizeof(MV2JellyData), {2},
                                        1.0f, true);
        TpGeometry* g = TpAtomicGetGeometry(MV2FindRootAtomic(type->model));
        ASSERT_NE(TpAnimSequenceGeometryCreateKeys(g, 18), nullptr);
        for (int32_t k = 0; k < 18; k++)
            TpAnimSequenceGeometrySetKey(g, k, 0, 0, 1.0f);
        LevelType(1, 0, {}, 1.0f, true);
    }
    MV2Object* Jelly() {
        MV2Object* j = Make(kMV2JellyType, {0, 0, 0});
        EXPECT_NE(j, nullptr);
        return j;
    }
    MV2Object* Craft(TvV3d at) {
        MV2Object* craft = Make(1, at);
        MV2SetPlayerObject(craft);
        return craft;
    }
    static MV2JellyData* Data(MV2Object* j) {
        return static_cast<MV2JellyData*>(MV2GetAmbientExtension(j));
    }
};

} // namespace

TEST_F(JellyTest, ChasesThePlayerOnlyInsideTenUnits) {
    intptr_t size = 0;
    MV2Object* j = Jelly();
    MV2ObjectSendMessage(j, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2AmbientCreature) + sizeof(MV2JellyData)));
    struct Case {
        float x;
        bool chasing;
    } cases[] = {{9.9f, true}, {10.0f, false}, {30.0f, false}};
    for (const Case& c : cases) {
        MV2Object* craft = Craft({c.x, 0, 0});
        j->matrix->pos = {0, 0, 0};
        Step(j);
        EXPECT_EQ((Data(j)->flags & kMV2JellyChasing) != 0, c.chasing) << c.x;
        EXPECT_EQ(Data(j)->target.object == craft, c.chasing) << c.x; // leaving clears it
        MV2ObjectSendMessage(craft, 4, 0, 0);
    }
    // A given target is chased from anywhere; a null one is cleared.
    MV2Object* far = Make(1, {50, 0, 0});
    EXPECT_EQ(MV2ObjectSendMessage(j, 33, 0, reinterpret_cast<intptr_t>(far)), 1);
    Step(j);
    EXPECT_NE(Data(j)->flags & kMV2JellyChasing, 0u);
    MV2ObjectSendMessage(j, 33, 0, 0);
    Step(j);
    EXPECT_EQ(Data(j)->flags & kMV2JellyChasing, 0u);
}

TEST_F(JellyTest, StingsOnlyItsTargetWhileStingingThenBacksOff) {
    MV2Object* j = Jelly();
    MV2Object* craft = Craft({3, 0, 0});
    MV2Object* other = Make(1, {0, 3, 0});
    Step(j); // within 4 units: chasing and stinging
    ASSERT_EQ(Data(j)->flags & (kMV2JellyChasing | kMV2JellyStinging),
              kMV2JellyChasing | kMV2JellyStinging);
    craft->energy = other->energy = 50.0f;
    MV2ObjectSendMessage(j, 19, 1, reinterpret_cast<intptr_t>(other));
    EXPECT_FLOAT_EQ(other->energy, 50.0f);
    MV2ObjectSendMessage(j, 19, 1, reinterpret_cast<intptr_t>(craft));
    EXPECT_FLOAT_EQ(craft->energy, 45.0f);
    EXPECT_EQ(Data(j)->backOff, gMV2FrameTimer.frameClock + 2000);
    EXPECT_EQ(LevelSounds::Count("GROUNDCOLLISION"), 1);
    EXPECT_EQ(LevelSounds::Count("METALCOLLISION"), 1);
    // Backing off, it swims away and its update goes to the shared handler.
    Step(j);
    EXPECT_EQ(Data(j)->flags & kMV2JellyChasing, 0u);
    // Not stinging: a touch of the target does nothing.
    Data(j)->flags = kMV2JellyChasing;
    MV2ObjectSendMessage(j, 19, 1, reinterpret_cast<intptr_t>(craft));
    EXPECT_FLOAT_EQ(craft->energy, 45.0f);
}

TEST_F(JellyTest, KeysLoopSwimAndEndTheSting) {
    MV2Object* j = Jelly();
    TpAtomic* root = MV2FindRootAtomic(j->clump);
    struct Case {
        int32_t key;
        int32_t next;
        float left;
        int32_t jellySounds;
    } cases[] = {{3, 4, 0.5f, 0}, {8, 0, 0.5f, 1}, {16, 17, 0.5f, 1}, {17, 0, 0.5f, 2}};
    for (const Case& c : cases) {
        Data(j)->flags |= kMV2JellyStinging;
        TpAnimSequenceAtomicSetCurrentKey(root, c.key);
        EXPECT_FLOAT_EQ(MV2JellyAnimCallback(root, 1.5f), c.left) << c.key;
        EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(root), c.next) << c.key;
        EXPECT_EQ(LevelSounds::Count("JELLY"), c.jellySounds) << c.key;
        EXPECT_EQ((Data(j)->flags & kMV2JellyStinging) == 0, c.key == 17) << c.key;
    }
    // An atomic with no current key goes to key 0 and keeps no time.
    TpAtomic* bare = TpAtomicCreate();
    TpAtomicSetGeometry(bare, TpAtomicGetGeometry(root), 0);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(bare), -1);
    EXPECT_FLOAT_EQ(MV2JellyAnimCallback(bare, 1.5f), 0.0f);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(bare), 0);
    TpAtomicDestroy(bare);
}

TEST_F(JellyTest, CarriesItsLightAndDestroysIt) {
    MV2Object* j = Jelly();
    MV2Object* light = MV2GetObjectRef(&Data(j)->companion);
    ASSERT_NE(light, nullptr);
    auto* l = static_cast<MV2LightObjectData*>(light->privateData);
    EXPECT_FLOAT_EQ(l->red, 1.0f);
    EXPECT_FLOAT_EQ(l->radius, 1.0f);
    EXPECT_EQ(l->flags & 0xFFCu, 0x804u);
    j->matrix->pos = {5, 6, 7};
    MV2ObjectMoved(j);
    Step(j);
    EXPECT_NEAR(light->matrix->pos.x, 6.0f, 1.5f); // on the tag-2 frame, one unit from the body
    const MV2ObjectHandle handle = light->handle;
    MV2ObjectSendMessage(j, 4, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}
