// The per-frame update: message 2's default path, the visible list, contacts with the landscape
// and collisions between objects.
#include <cmath>

#include "engine/core/camera.h"
#include "engine/world/intersect.h"
#include "game/objects/collision.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "shell/gamemain.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/mesh_clump.h"
#include "tests/support/world_stream_writer.h"

namespace {

constexpr int32_t kBall = 40, kProp = 41;

// The last message seen of each number per object, and answers to give.
struct Recorder {
    static inline std::vector<std::pair<MV2Object*, int32_t>> seen;
    static inline intptr_t answer80 = 0;
    static inline intptr_t answer75 = 1;
    static inline std::vector<intptr_t> hits; // p1 of message 19
    static intptr_t Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
        if (message != 2) seen.emplace_back(object, message);
        if (message == 80) return answer80;
        if (message == 75) return answer75;
        if (message == 19) hits.push_back(p1);
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
    static int32_t Count(MV2Object* object, int32_t message) {
        int32_t n = 0;
        for (const auto& s : seen)
            n += s.first == object && s.second == message;
        return n;
    }
};

class UpdateTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        Recorder::seen.clear();
        Recorder::hits.clear();
        Recorder::answer80 = 0;
        Recorder::answer75 = 1;
        gMV2FrameTimer.frameClock = 1000;
        gMV2FrameTimer.updateCounter = 1;
        MV2SetCollisionTreeOneSided(0);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        if (world_) {
            TV_ENGINE->worldLibrary = grid_.world;
            TpWorldDestroy(world_);
        }
        for (TpClump* c : clumps_)
            TpClumpDestroy(c);
        if (camera_) {
            gMV2MainCamera = nullptr;
            TvFrame* frame = camera_->object.frame;
            TvCameraSetFrame(camera_, nullptr);
            TvFrameDestroy(frame);
        }
        MV2SetCollisionTreeOneSided(0);
        ObjectTest::TearDown();
    }
    void UseLandscape(const std::vector<std::array<float, 3>>& vertices,
                      const std::vector<std::array<uint8_t, 4>>& triangles) {
        world_ = MakeLeafWorld(vertices, triangles);
        ASSERT_NE(world_, nullptr);
        TV_ENGINE->worldLibrary = world_;
    }
    // A dynamic sphere type of mass 1 that collides with objects and the landscape.
    MV2ObjectType* BallType(float radius = 0.5f) {
        MV2ObjectType* type = ModelType(kBall, radius);
        type->words[7] |= kMV2TypeCollidesObjects | kMV2TypeCollidesWorld | kMV2TypeCanDie;
        type->words[31] = 1u << 28;
        MV2SetTypeFloat(type, 2, 1.0f);
        MV2SetTypeFloat(type, 3, 1.0f);
        MV2SetObjectTypeHandler(kBall, Recorder::Handler);
        return type;
    }
    MV2Object* Make(int32_t type, float x, float y, float z) {
        const float at[3] = {x, y, z};
        MV2Object* object = MV2CreateObject(type, at, nullptr);
        TvFrameSyncDirty();
        return object;
    }
    void NextFrame() {
        gMV2FrameTimer.updateCounter++;
        gMV2FrameTimer.frameClock += 33;
    }

    TpWorld* world_ = nullptr;
    TvCamera* camera_ = nullptr;
    std::vector<TpClump*> clumps_;
};

TEST_F(UpdateTest, DeathNeedsTheTypeFlagAndNoAnswerToMessage80) {
    MV2ObjectType* type = BallType();
    type->words[31] = 0;
    MV2Object* object = Make(kBall, 0, 0, 0);
    ASSERT_NE(object, nullptr);
    const MV2ObjectHandle handle = object->handle;

    // Without the flag the energy is held at 0.
    type->words[7] &= ~kMV2TypeCanDie;
    object->energy = -5.0f;
    MV2ObjectSendMessage(object, 2, 0, 0);
    EXPECT_EQ(object->energy, 0.0f);
    EXPECT_EQ(Recorder::Count(object, 80), 0);

    // With it, an answer of 1 to message 80 keeps it alive, every frame.
    type->words[7] |= kMV2TypeCanDie;
    object->energy = -5.0f;
    Recorder::answer80 = 1;
    MV2ObjectSendMessage(object, 2, 0, 0);
    MV2ObjectSendMessage(object, 2, 0, 0);
    EXPECT_EQ(Recorder::Count(object, 80), 2);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));

    Recorder::answer80 = 0;
    MV2ObjectSendMessage(object, 2, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_TRUE(MV2TestDestroyedType(kBall)); // died in play: message 4 with p1 0
}

TEST_F(UpdateTest, TheHundredAndTwentyNinthVisibleObjectReplacesTheFirst) {
    camera_ = TvCameraCreate();
    TvFrame* frame = TvFrameCreate();
    TvCameraSetFrame(camera_, frame);
    const TvV2d window{1.0f, 1.0f};
    TvCameraSetViewWindow(camera_, &window);
    TvCameraSetFarClipPlane(camera_, 100.0f);
    TvFrameSyncDirty();
    gMV2MainCamera = camera_;
    ModelType(kProp, 0.5f);

    std::vector<MV2Object*> objects;
    for (int32_t i = 0; i < 129; i++)
        objects.push_back(Make(kProp, 0, 0, 10.0f + 0.1f * float(i)));
    MV2Object* behind = Make(kProp, 0, 0, -10);
    MV2ResetVisibleObjects();
    MV2InViewUpdateFlag = 1;
    for (MV2Object* o : objects)
        MV2UpdateClumpObject(o->clump, nullptr);
    MV2UpdateClumpObject(behind->clump, nullptr);
    MV2UpdateClumpObject(objects[5]->clump, nullptr); // once per frame only
    MV2InViewUpdateFlag = 0;
    EXPECT_EQ(gMV2UpdateCounters.updated, 130);
    EXPECT_EQ(gMV2VisibleList.counter, 1);
    EXPECT_EQ(gMV2VisibleList.entries[0].object, objects[128]);
    EXPECT_EQ(gMV2VisibleList.entries[0].handle, objects[128]->handle);
    EXPECT_EQ(gMV2VisibleList.entries[127].object, objects[127]);
}

TEST_F(UpdateTest, ActiveWalkSurvivesTheNextObjectsDeath) {
    // Each object kills the next one in the list on its update.
    struct Killer {
        static intptr_t Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
            if (message == 2) {
                if (MV2Object* next = MV2NextActiveObject(object))
                    MV2ObjectSendMessage(next, 4, 1, 0);
            }
            return MV2ObjectDefaultHandler(object, message, p1, p2);
        }
    };
    ModelType(kProp);
    MV2SetObjectTypeHandler(kProp, Killer::Handler);
    for (int32_t i = 0; i < 6; i++)
        MV2ObjectSendMessage(Make(kProp, 0, 0, float(i)), 0, 1, 0);
    MV2UpdateActiveObjects();
    int32_t left = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        left++;
    EXPECT_EQ(left, 3);
}

TEST_F(UpdateTest, SphereOnASharedEdgeIsPushedAlongTheAveragedNormal) {
    // A ridge along z at x = 0, y = 0: two slopes facing up-left and up-right.
    UseLandscape({{-2, -2, -2}, {0, 0, -2}, {0, 0, 2}, {-2, -2, 2}, {2, -2, -2}, {2, -2, 2}},
                 {{0, 0, 2, 1}, {0, 0, 3, 2}, {0, 1, 5, 4}, {0, 1, 2, 5}});
    float position[3] = {0, 0.5f, 0};
    ASSERT_EQ(MV2ResolveSphereWorldContact(position, 1.0f, 4), 1);
    const TvV3d* n = MV2GetContactNormal();
    EXPECT_NEAR(n->x, 0.0f, 1e-5f);
    EXPECT_NEAR(n->y, 1.0f, 1e-5f);
    EXPECT_NEAR(position[1], 1.0f, 1e-5f);
    EXPECT_NEAR(position[0], 0.0f, 1e-5f);

    // Over one slope's face: pushed along that face's normal.
    float onFace[3] = {-1.0f, -0.5f, 0};
    ASSERT_EQ(MV2ResolveSphereWorldContact(onFace, 1.0f, 4), 1);
    EXPECT_NEAR(MV2GetContactNormal()->x, -std::sqrt(0.5f), 1e-5f);
    // Clear of the landscape: nothing.
    float clear[3] = {0, 5, 0};
    EXPECT_EQ(MV2ResolveSphereWorldContact(clear, 1.0f, 4), 0);
    EXPECT_EQ(clear[1], 5.0f);
}

TEST_F(UpdateTest, FastObjectStopsHalfARadiusShortAndBounces) {
    UseLandscape({{-10, 0, -10}, {10, 0, -10}, {10, 0, 10}, {-10, 0, 10}},
                 {{0, 0, 2, 1}, {0, 0, 3, 2}});
    BallType(0.5f);
    MV2Object* ball = Make(kBall, 0, 5, 0);
    ASSERT_NE(ball, nullptr);
    ASSERT_NE(ball->body, nullptr);
    EXPECT_EQ(ball->radius, 0.5f);

    // Passed through the floor in one interval; no landscape contact wanted afterwards.
    Recorder::answer75 = 0;
    ball->previousPosition = {0, 5, 0};
    ball->matrix->pos = {0, -5, 0};
    ball->body->velocity = {0, 0, 0};
    ball->nextWorldCheck = 0;
    ball->nextObjectCheck = 1 << 30;
    MV2ObjectSendMessage(ball, 2, 0, 0);
    EXPECT_NEAR(ball->matrix->pos.y, 0.25f, 1e-4f);
    EXPECT_EQ(Recorder::Count(ball, 18), 0);

    // Resting in the floor and falling: pushed out, 60% of the fall reflected, message 18.
    Recorder::answer75 = 1;
    NextFrame();
    ball->previousPosition = {0, 0.3f, 0};
    ball->matrix->pos = {0, 0.3f, 0};
    ball->body->velocity = {0, -1.0f, 0};
    ball->nextWorldCheck = 0;
    gMV2FrameTimer.ticks = 0.5f;
    ball->type->words[31] = 0; // no motion of its own this frame
    MV2ObjectSendMessage(ball, 2, 0, 0);
    ball->type->words[31] = 1u << 28;
    EXPECT_NEAR(ball->matrix->pos.y, 0.5f, 1e-4f);
    EXPECT_NEAR(ball->body->velocity.y, 0.6f, 1e-4f);
    EXPECT_EQ(Recorder::Count(ball, 18), 1);
    EXPECT_EQ(gMV2FrameTimer.ticks, 0.5f); // restored after the push
}

TEST_F(UpdateTest, SpheresBounceAndCategoryTenPassesThrough) {
    BallType(1.0f);
    MV2Object* a = Make(kBall, 0, 0, 0);
    MV2Object* b = Make(kBall, 1.5f, 0, 0);
    a->body->velocity = {1, 0, 0};
    b->body->velocity = {0, 0, 0};
    TpIntersection q{};
    q.type = kTpIntersectAtomic;
    q.t.atomic = MV2FindRootAtomic(a->clump);
    TpAtomic* other = MV2FindRootAtomic(b->clump);

    // Two category-10 objects: nothing happens.
    a->aiCategory = b->aiCategory = 10;
    MV2ObjectCollisionCallback(&q, nullptr, other, 0, nullptr);
    EXPECT_EQ(Recorder::Count(a, 14), 0);
    EXPECT_EQ(a->matrix->pos.x, 0.0f);

    a->aiCategory = b->aiCategory = 0;
    MV2ObjectCollisionCallback(&q, nullptr, other, 0, nullptr);
    EXPECT_EQ(Recorder::Count(a, 14), 1);
    EXPECT_EQ(Recorder::Count(b, 14), 1);
    EXPECT_FLOAT_EQ(MV2GetCollisionState()->penetration, 0.5f);
    // Pushed apart equally and the normal speeds exchanged with restitution 0.9.
    EXPECT_FLOAT_EQ(a->matrix->pos.x, -0.25f);
    EXPECT_FLOAT_EQ(b->matrix->pos.x, 1.75f);
    EXPECT_NEAR(a->body->velocity.x, 0.05f, 1e-5f);
    EXPECT_NEAR(b->body->velocity.x, 0.95f, 1e-5f);

    // Zero total mass or zero distance: nothing moves.
    MV2SetTypeFloat(a->type, 2, 0.0f);
    MV2BounceObjects(a, b, 1.0f, 2.0f);
    EXPECT_FLOAT_EQ(a->matrix->pos.x, -0.25f);
    MV2SetTypeFloat(a->type, 2, 1.0f);
    b->matrix->pos = a->matrix->pos;
    MV2BounceObjects(a, b, 0.0f, 2.0f);
    EXPECT_FLOAT_EQ(b->matrix->pos.x, -0.25f);
}

TEST_F(UpdateTest, TreeCollisionIsHandledOncePerPair) {
    DataFolder folder;
    // A prop: a floor plate at y = 0 colliding through its grid; a ball resting in it.
    MV2ObjectType* prop = MV2GetObjectType(kProp);
    prop->model = MakeMeshClump({PlaneMesh(4, 8.0f, 1)});
    TpAtomic* plate = MV2GetFirstAtomic(prop->model);
    // The plate lies in z = 0 facing +z; turn it to face +y.
    const TvV3d axis{1, 0, 0};
    TvFrameRotate(plate->object.frame, &axis, -90.0f, kTvCombineReplace);
    TpAtomicSetFlags(plate, 5);
    ASSERT_EQ(MV2WriteCollisionFile(prop->model, ".\\plate.col"), 1);
    prop->collisionData = MV2ReadCollisionFile(".\\plate.col", prop->model);
    ASSERT_NE(prop->collisionData, nullptr);
    prop->words[7] = kMV2TypeModelLoaded | kMV2TypeCollisionTree | kMV2TypeCollidesObjects;
    MV2SetTypeFloat(prop, 10, 6.0f);
    MV2SetObjectTypeHandler(kProp, Recorder::Handler);
    BallType(0.5f);

    MV2Object* t = Make(kProp, 0, 0, 0);
    MV2Object* s = Make(kBall, 2, 0.3f, -2);
    ASSERT_NE(t, nullptr);
    ASSERT_NE(s, nullptr);
    s->body->velocity = {0, -0.5f, 0};
    TpAtomic* tAtomic = MV2GetFirstAtomic(t->clump);
    TpAtomic* sAtomic = MV2FindRootAtomic(s->clump);

    // Seen from both sides in one frame: one contact, one message 19 each.
    TpIntersection fromS{};
    fromS.type = kTpIntersectAtomic;
    fromS.t.atomic = sAtomic;
    TpIntersection fromT{};
    fromT.type = kTpIntersectAtomic;
    fromT.t.atomic = tAtomic;
    MV2ObjectCollisionCallback(&fromS, nullptr, tAtomic, 0, nullptr);
    MV2ObjectCollisionCallback(&fromT, nullptr, sAtomic, 0, nullptr);
    EXPECT_EQ(Recorder::Count(t, 19), 1);
    EXPECT_EQ(Recorder::Count(s, 19), 1);
    EXPECT_NEAR(s->matrix->pos.y, 0.5f, 1e-4f);
    EXPECT_NEAR(s->body->velocity.y, 0.3f, 1e-4f);
    ASSERT_EQ(Recorder::hits.size(), 2u);
    EXPECT_EQ(Recorder::hits[0], -5000);                // the normal speed x 10000
    EXPECT_EQ(MV2GetCollisionState()->struck, sAtomic); // last: the sphere's own hit

    // The next frame it is handled again.
    NextFrame();
    s->matrix->pos.y = 0.3f;
    TvFrameUpdateObjects(s->clump->frame);
    TvFrameSyncDirty();
    MV2ObjectCollisionCallback(&fromS, nullptr, tAtomic, 0, nullptr);
    EXPECT_EQ(Recorder::Count(t, 19), 2);
}

} // namespace
