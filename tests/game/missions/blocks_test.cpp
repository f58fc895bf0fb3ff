// Blocks: started once, the sliding block's four units and disappearance, the pushed block held
// in its plane within five units, the one pushed into a wall moved back out, and the animation
// callback chained to the one the geometry had.
#include "game/missions/blocks.h"

#include "engine/world/anim.h"
#include "game/objects/camera.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

int32_t g_chained = 0;
float Chained(TpAtomic*, float position) {
    g_chained++;
    return position;
}

class BlockTest : public LevelObjectTest {
protected:
    MV2Object* Block(int32_t t, TvV3d at = {0, 0, 0}) {
        LevelType(t, sizeof(MV2BlockData), {}, 1.0f, true);
        return Make(t, at);
    }
    static MV2BlockData* Data(MV2Object* o) { return static_cast<MV2BlockData*>(o->privateData); }
};

} // namespace

TEST_F(BlockTest, StartsOnlyOnceAndSlidesFourUnitsThenVanishes) {
    MV2Object* block = Block(193, {2, 0, 0});
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->flags & kMV2ObjectAnimate, 0u);
    MV2ObjectSendMessage(block, 11, 1, 0);
    block->body->velocity = {};
    Step(block, 0);
    MV2ObjectSendMessage(block, 11, 1, 0); // again: no sound, no change
    EXPECT_EQ(LevelSounds::Count("BRICK2"), 1);
    EXPECT_FLOAT_EQ(Data(block)->travelled, 0.05f);
    for (int32_t i = 0; i < 79; i++) {
        block->body->velocity = {};
        Step(block, 0);
    }
    EXPECT_EQ(Data(block)->moving, 1u); // 4.0 exactly is not yet past
    EXPECT_EQ(MV2FindRootAtomic(block->clump)->object.object.flags & 5u, 5u);
    block->body->velocity = {};
    Step(block, 0);
    EXPECT_EQ(Data(block)->moving, 0u);
    EXPECT_NEAR(Pos(block).x, 6.05f, 1e-4f);
    EXPECT_EQ(MV2FindRootAtomic(block->clump)->object.object.flags, 0u); // not seen, not hit
}

TEST_F(BlockTest, PushedBlockStaysInItsPlaneWithinFiveUnits) {
    MV2Object* block = Block(189, {1, 1, 1});
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->typeWord & kMV2ObjectCollidesWorld, 0u);
    block->body->velocity = {30, 4, 40}; // a hard shove, partly upward
    block->matrix->up = {0, 0.8f, 0.6f}; // and a knock to its rotation
    Step(block);
    EXPECT_FLOAT_EQ(Pos(block).y, 1.0f);
    const TvV3d d = TvV3dSub(Pos(block), TvV3d{1, 1, 1});
    EXPECT_NEAR(MV2Length(d), 5.0f, 1e-4f);
    EXPECT_NEAR(d.x / d.z, 0.75f, 1e-4f);
    EXPECT_FLOAT_EQ(block->matrix->up.y, 1.0f);
    // A gentle push is kept as it is.
    block->matrix->pos = {2, 1, 1};
    block->body->velocity = {};
    Step(block);
    EXPECT_FLOAT_EQ(Pos(block).x, 2.0f);
    MV2ObjectSendMessage(block, 12, 0, 77);
    EXPECT_EQ(Data(block)->hook, 77);
    EXPECT_EQ(MV2ObjectSendMessage(block, 44, 0, 0), 1);
}

TEST_F(BlockTest, BlockPushedIntoAWallIsMovedBackAcrossTheGround) {
    // A wall across x = 1, facing -x.
    TpWorld* walls = MakeLeafWorld({{1, -5, -5}, {1, 5, -5}, {1, -5, 5}, {1, 5, 5}},
                                   {{0, 0, 2, 1}, {0, 1, 2, 3}});
    ASSERT_NE(walls, nullptr);
    MV2World = walls;
    MV2ObjectType* type = LevelType(305, sizeof(MV2BlockData), {}, 1.0f, true);
    GiveVertices(type, 1); // one vertex at (1, 0, 0)
    MV2Object* block = Make(305, {0.5f, 0.25f, 0});
    ASSERT_NE(block, nullptr);
    block->body->velocity = {};
    Step(block);
    EXPECT_NEAR(Pos(block).x, 0.0f, 1e-4f); // the vertex rests on the wall
    EXPECT_FLOAT_EQ(Pos(block).y, 0.25f);
    MV2World = TpWorldGetCurrent();
    TpWorldDestroy(walls);
}

TEST_F(BlockTest, AnimationCallbackClearsTheFlagAndChainsTheSavedOne) {
    MV2ObjectType* type = LevelType(280, sizeof(MV2BlockData));
    TpGeometry* geometry = TpAtomicGetGeometry(MV2FindRootAtomic(type->model));
    TpGeometryAddMorphTarget(geometry);
    TpGeometryAddMorphTarget(geometry); // three targets: key 1 is the next-to-last
    TpAnimSequenceGeometryCreateKeys(geometry, 2);
    TpAnimSequenceGeometrySetKey(geometry, 0, 1, 0, 1.0f);
    TpAnimSequenceGeometrySetKey(geometry, 1, 2, 1, 1.0f);
    TpAnimSequenceGeometrySetCallBack(geometry, Chained);
    MV2Object* block = Make(280);
    ASSERT_NE(block, nullptr);
    TpAtomic* atomic = MV2FindRootAtomic(block->clump);
    EXPECT_EQ(TpAnimSequenceGeometryGetCallBack(TpAtomicGetGeometry(atomic)),
              MV2BlockAnimCallback);
    Make(281); // a second block never saves the blocks' own callback
    block->flags |= kMV2ObjectAnimate;
    g_chained = 0;
    TpAnimSequenceAtomicSetCurrentKey(atomic, 0);
    MV2BlockAnimCallback(atomic, 0.0f);
    EXPECT_NE(block->flags & kMV2ObjectAnimate, 0u);
    TpAnimSequenceAtomicSetCurrentKey(atomic, 1);
    MV2BlockAnimCallback(atomic, 0.0f);
    EXPECT_EQ(block->flags & kMV2ObjectAnimate, 0u);
    EXPECT_EQ(g_chained, 2);
}
