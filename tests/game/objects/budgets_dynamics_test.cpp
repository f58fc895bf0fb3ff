#include <cmath>

#include "game/objects/modeltags.h"
#include "game/objects/utilities.h"
#include "tests/game/objects/object_fixture.h"

TEST_F(ObjectTest, ClassBudgetEdgeCases) {
    MV2ObjectType* type = MV2GetObjectType(40);
    EXPECT_EQ(MV2CheckClassBudget(type), 1); // all-zero costs always fit

    MV2SetTypeFloat(type, 52 + 3, 0.5f);
    MV2AddClassCount(3, 499);
    EXPECT_EQ(MV2CheckClassBudget(type), 0);
    MV2AddClassCount(3, 1);
    EXPECT_EQ(MV2CheckClassBudget(type), 1);
    MV2SetTypeFloat(type, 65, 0.001f); // the cost words after class 12 must stay 0
    EXPECT_EQ(MV2CheckClassBudget(type), 0);
    MV2SetTypeFloat(type, 65, 0.0f);

    // Taking more than is available lowers only the total.
    MV2SetTypeFloat(type, 52 + 3, 0.7f);
    const int32_t total = MV2GetClassBudget(3)->total;
    MV2TakeClassBudget(type);
    EXPECT_EQ(MV2GetClassBudget(3)->available, 500);
    EXPECT_EQ(MV2GetClassBudget(3)->total, total - 700);
    MV2ReturnClassBudget(type);
    EXPECT_EQ(MV2GetClassBudget(3)->available, 1200);
    EXPECT_EQ(MV2GetClassBudget(3)->total, total);

    MV2SetTypeFloat(type, 12 + 4, 1.25f);
    EXPECT_EQ(MV2GetTypeClassWeight(40, 4), 1250);
    EXPECT_EQ(MV2GetTypeClassWeight(461, 4), 0);
    MV2AddTypeClassWeights(40);
    EXPECT_EQ(MV2GetClassBudget(4)->available, 1250);
    MV2AddClassCount(13, 5); // ignored
    EXPECT_EQ(MV2GetClassBudget(13), nullptr);

    // A level start empties every class; the totals stay.
    const int32_t total4 = MV2GetClassBudget(4)->total;
    MV2ResetClassBudgets();
    for (int32_t c = 0; c < kMV2BudgetClasses; c++)
        EXPECT_EQ(MV2GetClassBudget(c)->available, 0) << c;
    EXPECT_EQ(MV2GetClassBudget(4)->total, total4);
    EXPECT_EQ(MV2GetClassBudget(0)->name.id, 510u);
    EXPECT_EQ(MV2GetClassBudget(12)->name.id, 518u);
}

TEST(Dynamics, DragTableAndMedia) {
    MV2UpdateDragTable(2.0f);
    EXPECT_FLOAT_EQ(MV2GetMediumDrag(8), 0.81f);
    EXPECT_EQ(MV2GetMediumDrag(0), 0.0f);
    EXPECT_EQ(MV2GetMediumDrag(13), 1.0f);
    MV2UpdateDragTable(1.0f);
    EXPECT_FLOAT_EQ(MV2GetMediumDrag(3), 0.5f);
    EXPECT_EQ(MV2GetMediumDrag(99), 1.0f);

    struct Case {
        float value;
        int32_t medium;
    } cases[] = {{0.95f, 9}, {0.96f, 9}, {5.0f, 8},  {0.0f, 0}, {1.0f, 13},
                 {0.2f, 1},  {-0.5f, 0}, {1.9f, 13}, {-2.0f, 8}};
    for (const Case& c : cases)
        EXPECT_EQ(MV2FindDragMedium(c.value), c.medium) << c.value;
    EXPECT_FLOAT_EQ(MV2SphereInertia(2.0f, 9.0f), 7.2f);
}

TEST_F(ObjectTest, BodiesMoveUnderForcesAndDrag) {
    MV2ObjectType* type = ModelType(30, 1.0f);
    MV2SetTypeFloat(type, 2, 2.0f);
    MV2SetTypeFloat(type, 3, 0.5f);
    type->words[31] = (2u << 28) | (13u << 14) | 13u; // class 2, no drag
    MV2Object* object = MV2CreateObject(30, nullptr, nullptr);
    ASSERT_NE(object->body, nullptr);

    gMV2FrameTimer.ticks = 2.0f;
    const TvV3d push{4, 0, 0};
    MV2AddForce(object, &push);
    EXPECT_FLOAT_EQ(object->body->velocity.x, 4.0f); // 4 x 0.5 x 2
    MV2ApplyGravity(object);
    EXPECT_FLOAT_EQ(object->body->velocity.y, -0.002f);
    MV2ApplyBuoyancy(object); // the buoyancy of frame step 1 (the table's)
    EXPECT_FLOAT_EQ(object->body->velocity.y, -0.001f);
    MV2IntegrateMotion(object);
    EXPECT_FLOAT_EQ(object->matrix->pos.x, 8.0f);
    EXPECT_TRUE(TvFrameIsDirty(object->clump->frame));

    // A torque about the up axis turns the frame about its own position.
    gMV2FrameTimer.ticks = 1.0f;
    const TvV3d side{0, 0, 1}, at{8, 0, -1};
    MV2AddTorque(object, &side, &at); // r = (0, 0, 1) is along the force: no turn
    EXPECT_FLOAT_EQ(object->body->angularVelocity.y, 0.0f);
    const TvV3d at2{7, 0, 0}; // r = (1, 0, 0): (0, 0, 1) x (1, 0, 0) = (0, 1, 0)
    MV2AddTorque(object, &side, &at2);
    EXPECT_FLOAT_EQ(object->body->angularVelocity.y, 1.0f / 0.8f);
    object->body->angularVelocity.y = float(M_PI / 2);
    MV2IntegrateRotation(object);
    EXPECT_NEAR(object->matrix->right.z, -1.0f, 1e-5);
    EXPECT_FLOAT_EQ(object->matrix->pos.x, 8.0f);

    // Medium 0 stops at once.
    type->words[31] = (2u << 28);
    object->body->velocity = {1, 1, 1};
    MV2IntegrateMotion(object);
    EXPECT_EQ(object->body->velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(object->matrix->pos.x, 8.0f);
}

TEST_F(ObjectTest, ZeroInertiaAndNullBodies) {
    MV2ObjectType* type = MV2GetObjectType(31);
    MV2Body* body = MV2CreateBody(type, 3.0f); // mass 0
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(MV2TypeFloat(type, 4), 0.0f);
    EXPECT_EQ(MV2TypeFloat(type, 5), 0.0f);
    MV2FreeBody(type, body);
    MV2FreeBody(type, nullptr);
}

TEST_F(ObjectTest, RootAtomicIsOnTheLastChildFrame) {
    TpClump* clump = TpClumpCreate();
    TvFrame* root = TvFrameCreate();
    TpClumpSetFrame(clump, root);
    TpAtomic* atomics[2];
    for (TpAtomic*& atomic : atomics) {
        TvFrame* child = TvFrameCreate();
        TvFrameAddChild(root, child);
        atomic = TpAtomicCreate();
        TpAtomicSetFrame(atomic, child);
        TpClumpAddAtomic(clump, atomic);
    }
    // Children are added at the head, so the first child made is the last in the list.
    EXPECT_EQ(MV2FindRootAtomic(clump), atomics[0]);
    TpAtomic* onRoot = TpAtomicCreate();
    TpAtomicSetFrame(onRoot, root);
    TpClumpAddAtomic(clump, onRoot);
    EXPECT_EQ(MV2FindRootAtomic(clump), onRoot);
    EXPECT_EQ(MV2FindRootAtomic(nullptr), nullptr);
    EXPECT_EQ(MV2GetRootFrame(atomics[1]), root);
    EXPECT_EQ(MV2FindAtomicByTag(clump, 0), MV2GetFirstAtomic(clump));
    EXPECT_EQ(MV2FindAtomicByTag(clump, 7), nullptr);
    EXPECT_EQ(MV2SetAllAtomicFlags(clump, 4), 1);
    EXPECT_EQ(TvObjectGetFlags(onRoot), 4);
    EXPECT_EQ(TvObjectGetFlags(atomics[0]), 4);
    EXPECT_EQ(MV2FindFrameByTag(clump, kMV2DefaultFrameTag), root);
    EXPECT_EQ(MV2FindFrameByTag(clump, 3), nullptr);
    TpClumpDestroy(clump);
}

TEST_F(ObjectTest, TaggedFrameSearchSkipsFramesWithoutAtomics) {
    // root (no atomic) -> bare (no atomic) -> deep (atomic): the deep frame is found.
    TpClump* clump = TpClumpCreate();
    TvFrame* root = TvFrameCreate();
    TvFrame* bare = TvFrameCreate();
    TvFrame* deep = TvFrameCreate();
    TpClumpSetFrame(clump, root);
    TvFrameAddChild(root, bare);
    TvFrameAddChild(bare, deep);
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetFrame(atomic, deep);
    TpClumpAddAtomic(clump, atomic);
    EXPECT_EQ(MV2FindFrameByTag(clump, kMV2DefaultFrameTag), deep);
    EXPECT_EQ(MV2GetBoundingRadius(nullptr), 0.0f);
    TpClumpDestroy(clump);
}
