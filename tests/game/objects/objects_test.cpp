#include "tests/game/objects/object_fixture.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/frame_list_writer.h"

namespace {

std::vector<int32_t> g_seen;
const MV2CreationRecord* g_recordAt98 = nullptr;
const MV2CreationRecord* g_recordAt3 = nullptr;

// Records the messages it sees and builds its own clump for message 98.
intptr_t RecordingHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    g_seen.push_back(message);
    if (message == 98) {
        g_recordAt98 = MV2GetCreationRecord();
        object->clump = MakeSphereClump(1.0f);
        return 1;
    }
    if (message == 3) g_recordAt3 = MV2GetCreationRecord();
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t g_brainData = 0;

// A brain that answers message 50 itself and forwards everything else to the type handler.
intptr_t Brain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 32) g_brainData = p1;
    if (message == 50) return 7;
    return object->typeHandler(object, message, p1, p2);
}

// Keeps its record on message 4: the object stays in the world.
intptr_t Immortal(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 4) return 1;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

MV2Object* g_owner = nullptr;
std::vector<intptr_t> g_attackers;

intptr_t Shot(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 16) {
        *reinterpret_cast<intptr_t*>(p2) = reinterpret_cast<intptr_t>(g_owner);
        return 1;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t Victim(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 76) g_attackers.push_back(p2);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

} // namespace

TEST_F(ObjectTest, StaleHandleStaysDeadWhenTheRecordIsReused) {
    ModelType(5);
    MV2Object* first = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(first, nullptr);
    MV2ObjectRef ref{};
    EXPECT_EQ(MV2SetObjectRef(&ref, first), 1);
    EXPECT_EQ(ref.handle, first->handle);
    EXPECT_TRUE(MV2ObjectHandleAlive(ref.handle));
    EXPECT_EQ(MV2GetObjectRef(&ref), first);

    MV2ObjectSendMessage(first, 4, 1, 0);
    MV2Object* second = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_EQ(second, first); // the free list hands the same record out again
    EXPECT_EQ(second->handle, ref.handle + 1);
    EXPECT_FALSE(MV2ObjectHandleAlive(ref.handle));
    EXPECT_EQ(MV2GetObjectRef(&ref), nullptr);
    EXPECT_EQ(ref.object, nullptr);
    EXPECT_EQ(ref.handle, 0u);
    EXPECT_FALSE(MV2ObjectHandleAlive(kMV2MaxObjectHandle));
}

TEST_F(ObjectTest, DefaultHandlerFlagsAndMessageRange) {
    ModelType(5);
    MV2Object* object = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(object, nullptr);
    const uint32_t flags = object->flags;
    struct Case {
        intptr_t p1;
        uint32_t added;
    } cases[] = {{3, 0}, {4096, 0}, {6, 0}, {2, 0}, {2048, kMV2ObjectMissionOwned}, {4, 4}};
    for (const Case& c : cases) {
        EXPECT_EQ(MV2ObjectDefaultHandler(object, 0, c.p1, 0), 1) << c.p1;
        EXPECT_EQ(object->flags, flags | c.added) << c.p1;
        object->flags = flags;
    }
    for (int32_t message : {101, 150, 100, 7})
        EXPECT_EQ(MV2ObjectDefaultHandler(object, message, 1, 0), 0) << message;
    EXPECT_EQ(object->flags, flags);

    // Activation links the object at the head of the active list, once.
    MV2Object* other = MV2CreateObject(5, nullptr, nullptr);
    MV2ObjectSendMessage(object, 0, 1, 0);
    MV2ObjectSendMessage(other, 0, 1, 0);
    MV2ObjectSendMessage(other, 0, 1, 0);
    EXPECT_EQ(MV2FirstActiveObject(), other);
    EXPECT_EQ(MV2NextActiveObject(other), object);
    EXPECT_EQ(MV2NextActiveObject(object), nullptr);
    MV2ObjectSendMessage(other, 1, 1, 0);
    EXPECT_EQ(MV2FirstActiveObject(), object);
    MV2ObjectSendMessage(object, 4, 0, 0); // destroying an active object unlinks it
    EXPECT_EQ(MV2FirstActiveObject(), nullptr);
}

TEST_F(ObjectTest, SimpleQueriesOfTheDefaultHandler) {
    MV2ObjectType* type = ModelType(5);
    type->words[7] |= 1u << 12; // object flag bit 7, answered by message 45
    MV2Object* object = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(object, nullptr);
    object->energy = 25.0f;
    float fraction = 0;
    EXPECT_EQ(MV2ObjectSendMessage(object, 37, 0, reinterpret_cast<intptr_t>(&fraction)), 1);
    EXPECT_FLOAT_EQ(fraction, 0.25f);
    MV2SetTypeFloat(type, 1, 0.0f); // no initial energy: 0, not a division by zero
    MV2ObjectSendMessage(object, 37, 0, reinterpret_cast<intptr_t>(&fraction));
    EXPECT_EQ(fraction, 0.0f);
    EXPECT_EQ(MV2ObjectSendMessage(object, 45, 0, 0), 1);
    EXPECT_EQ(MV2ObjectSendMessage(object, 75, 0, 0), 1);
    MV2Object* self = nullptr;
    MV2ObjectSendMessage(object, 62, 0, reinterpret_cast<intptr_t>(&self));
    EXPECT_EQ(self, object);
    const float at[3] = {4, 5, 6};
    EXPECT_EQ(MV2ObjectSendMessage(object, 83, 0, reinterpret_cast<intptr_t>(at)), 1);
    EXPECT_EQ(object->matrix->pos.y, 5.0f);
    EXPECT_EQ(object->previousPosition.z, 6.0f);
}

TEST_F(ObjectTest, CreationFromARecordAtomic) {
    MV2ObjectType* type = MV2GetObjectType(9);
    type->words[7] = kMV2TypeModelLoaded | (5u << 9) | (1u << 5);
    type->words[30] = 0xABCD0000u;
    type->words[32] = 0xA0000000u;
    type->words[33] = 1u << 17;
    MV2SetTypeFloat(type, 10, 3.0f);
    TpClump* source = MakeSphereClump(1.5f);
    TpAtomic* atomic = nullptr;
    TpClumpForAllAtomics(
        source,
        [](TpAtomic* a, void* d) -> TpAtomic* {
            *static_cast<TpAtomic**>(d) = a;
            return a;
        },
        &atomic);
    TvMatrix orientation = *TvFrameGetMatrix(source->frame);
    orientation.right = {0, 0, 1};
    MV2CreationRecord record{&orientation, atomic, nullptr, nullptr, nullptr, nullptr};
    const float position[3] = {1, 2, 3};
    MV2Object* object = MV2CreateObject(9, position, &record);
    ASSERT_NE(object, nullptr);
    ASSERT_NE(object->clump, nullptr);
    EXPECT_NE(object->clump, source);
    EXPECT_EQ(TpClumpGetWorld(object->clump), grid_.world);
    EXPECT_EQ(MV2GetClumpObject(object->clump), object);
    EXPECT_EQ(TpClumpGetCallBack(object->clump), MV2UpdateClumpObject);
    EXPECT_EQ(object->matrix, TvFrameGetMatrix(object->clump->frame));
    EXPECT_EQ(object->matrix->right.z, 1.0f);
    EXPECT_EQ(object->matrix->pos.x, 1.0f); // message 3 places it after the matrix copy
    EXPECT_EQ(object->previousPosition.y, 2.0f);
    EXPECT_EQ(object->flags, (5u << 2) | kMV2ObjectAnimate);
    EXPECT_EQ(object->typeWord, 9u | (0xAu << 16) | kMV2ObjectCollidesWorld);
    EXPECT_EQ(object->typeHigh, 0xABCD);
    EXPECT_EQ(object->byte0, 255);
    EXPECT_EQ(object->radius, 3.0f);
    EXPECT_TRUE(MV2TestKnownType(9));
    EXPECT_EQ(MV2GetCreationRecord(), nullptr);
    TpClumpDestroy(source);
}

TEST_F(ObjectTest, TypeBuildsItsOwnClumpWithTheRecordReadable) {
    MV2ObjectType* type = MV2GetObjectType(11);
    type->words[7] = kMV2TypeModelLoaded;
    MV2SetObjectTypeHandler(11, RecordingHandler);
    g_seen.clear();
    MV2Object owner{};
    const MV2CreationRecord record{nullptr, nullptr, nullptr, &owner, nullptr, nullptr};
    MV2Object* object = MV2CreateObject(11, nullptr, &record);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(g_seen, (std::vector<int32_t>{98, 3}));
    EXPECT_EQ(g_recordAt98, &record);
    EXPECT_EQ(g_recordAt3, &record);
    EXPECT_EQ(MV2GetCreationRecord(), nullptr);
    EXPECT_EQ(MV2GetObjectTypeHandler(11), RecordingHandler);
    EXPECT_EQ(MV2GetObjectTypeHandler(461), nullptr);
}

TEST_F(ObjectTest, NothingToCreateLeavesNothingBehind) {
    ModelType(5);
    MV2ObjectType* empty = MV2GetObjectType(12); // all zero: no model, no record
    MV2SetTypeFloat(empty, 52 + 2, 0.5f);
    MV2AddClassCount(2, 800);
    MV2Object* before = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(before, nullptr);

    EXPECT_EQ(MV2CreateObject(12, nullptr, nullptr), nullptr);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Nothing to create"});
    EXPECT_EQ(MV2GetClassBudget(2)->available, 800);
    EXPECT_FALSE(MV2TestDestroyedType(12)); // a failed creation destroyed nothing in play
    MV2Object* after = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->handle, before->handle + 2);           // the failed one used a serial...
    EXPECT_FALSE(MV2ObjectHandleAlive(before->handle + 1)); // ...but holds no live bit
    EXPECT_EQ(CountClumps(grid_.world), 2);
}

TEST_F(ObjectTest, CreationFailuresAndBudgets) {
    ModelType(5);
    MV2ObjectType* costly = ModelType(20);
    MV2SetTypeFloat(costly, 52 + 3, 0.5f);
    // Not enough room: refused silently before any serial is used.
    MV2AddClassCount(3, 499);
    MV2Object* probe = MV2CreateObject(5, nullptr, nullptr);
    EXPECT_EQ(MV2CreateObject(20, nullptr, nullptr), nullptr);
    EXPECT_TRUE(Boxes().empty());
    MV2AddClassCount(3, 1);
    const int32_t total = MV2GetClassBudget(3)->total;
    MV2Object* object = MV2CreateObject(20, nullptr, nullptr);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->handle, probe->handle + 1);
    EXPECT_EQ(MV2GetClassBudget(3)->available, 0);
    EXPECT_EQ(MV2GetClassBudget(3)->total, total - 500);
    // Message 4 with p1 nonzero gives the cost back; with 0 it marks the type destroyed.
    MV2ObjectSendMessage(object, 4, 1, 0);
    EXPECT_EQ(MV2GetClassBudget(3)->available, 500);
    EXPECT_FALSE(MV2TestDestroyedType(20));
    object = MV2CreateObject(20, nullptr, nullptr);
    MV2ObjectSendMessage(object, 4, 0, 0);
    EXPECT_EQ(MV2GetClassBudget(3)->available, 0);
    EXPECT_TRUE(MV2TestDestroyedType(20));

    EXPECT_EQ(MV2CreateObject(461, nullptr, nullptr), nullptr);
    EXPECT_EQ(MV2CreateObject(-1, nullptr, nullptr), nullptr);
}

TEST_F(ObjectTest, BodyIsMadeForADynamicsClass) {
    MV2ObjectType* type = ModelType(30, 2.0f);
    type->words[31] = 1u << 28;
    MV2SetTypeFloat(type, 2, 5.0f);
    MV2Object* object = MV2CreateObject(30, nullptr, nullptr);
    ASSERT_NE(object, nullptr);
    ASSERT_NE(object->body, nullptr);
    EXPECT_FLOAT_EQ(MV2TypeFloat(type, 4), 4.0f); // 0.4 x mass x radius
    EXPECT_FLOAT_EQ(MV2TypeFloat(type, 5), 0.25f);
    MV2ObjectSendMessage(object, 4, 0, 0);
}

TEST_F(ObjectTest, BrainSeesMessagesFirst) {
    ModelType(5);
    MV2Object* object = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(MV2ObjectSendMessage(object, 50, 0, 0), 0);
    EXPECT_EQ(MV2ObjectSendMessage(object, 29, 1234, reinterpret_cast<intptr_t>(Brain)), 1);
    EXPECT_EQ(g_brainData, 1234);
    EXPECT_EQ(MV2ObjectSendMessage(object, 50, 0, 0), 7);
    MV2ObjectHandler installed = nullptr;
    MV2ObjectSendMessage(object, 30, 0, reinterpret_cast<intptr_t>(&installed));
    EXPECT_EQ(installed, Brain);
    MV2ObjectHandle handle = 0; // forwarded to the type handler
    EXPECT_EQ(MV2ObjectSendMessage(object, 17, 0, reinterpret_cast<intptr_t>(&handle)), 1);
    EXPECT_EQ(handle, object->handle);
    MV2ObjectSendMessage(object, 31, 0, 0);
    EXPECT_EQ(MV2ObjectSendMessage(object, 50, 0, 0), 0);

    MV2Object bare{};
    EXPECT_EQ(MV2ObjectSendMessage(&bare, 2, 0, 0), 0);
}

#include "game/missions/missionflow.h"

TEST_F(ObjectTest, MissionScriptSwallowsMessages) {
    ModelType(5);
    MV2Object* object = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(object, nullptr);
    // Row 0's script, standing in: it handles the destroy message of its objects.
    MV2SetMissionScriptForTest(0, [](MV2Object*, int32_t message, intptr_t, intptr_t) {
        return message == 10 ? 0 : 1;
    });
    EXPECT_EQ(MV2ObjectSendMessage(object, 36, 5, 0), 1);
    EXPECT_EQ(object->scriptId, 5);
    MV2ObjectSendMessage(object, 0, 2048, 0); // now owned by row 0
    const MV2ObjectHandle handle = object->handle;
    EXPECT_EQ(MV2ObjectSendMessage(object, 4, 0, 0), 1);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle)); // the script kept it
    MV2ObjectSendMessage(object, 36, 9, 0);     // not forwarded: the object sees it
    EXPECT_EQ(object->scriptId, 9);
    MV2SetMissionScriptForTest(0, nullptr);
}

TEST_F(ObjectTest, HitsReportTheStrikersOwner) {
    ModelType(5);
    ModelType(6);
    MV2SetObjectTypeHandler(5, Victim);
    MV2SetObjectTypeHandler(6, Shot);
    MV2Object* victim = MV2CreateObject(5, nullptr, nullptr);
    MV2Object* shot = MV2CreateObject(6, nullptr, nullptr);
    MV2Object* shooter = MV2CreateObject(6, nullptr, nullptr);
    g_attackers.clear();
    g_owner = shooter;
    EXPECT_EQ(MV2ObjectSendMessage(victim, 19, 10, reinterpret_cast<intptr_t>(shot)), 1);
    EXPECT_EQ(MV2ObjectSendMessage(victim, 14, 0, reinterpret_cast<intptr_t>(shot)), 1);
    g_owner = victim; // its own shot does not attack it
    MV2ObjectSendMessage(victim, 19, 10, reinterpret_cast<intptr_t>(shot));
    EXPECT_EQ(g_attackers, (std::vector<intptr_t>{reinterpret_cast<intptr_t>(shooter),
                                                  reinterpret_cast<intptr_t>(shooter)}));
    // A collision-tree type reports no attacker on contact.
    g_owner = shooter;
    MV2GetObjectType(6)->words[7] |= kMV2TypeCollisionTree;
    MV2ObjectSendMessage(victim, 14, 0, reinterpret_cast<intptr_t>(shot));
    EXPECT_EQ(g_attackers.size(), 2u);
}

TEST_F(ObjectTest, ScriptIdSearchAndDistance) {
    ModelType(5);
    const float a[3] = {0, 0, 0}, b[3] = {3, 4, 12};
    MV2Object* first = MV2CreateObject(5, a, nullptr);
    MV2Object* second = MV2CreateObject(5, b, nullptr);
    MV2ObjectSendMessage(first, 36, 77, 0);
    EXPECT_EQ(MV2FindObjectByScriptID(77), first);
    EXPECT_EQ(MV2FindObjectByScriptID(0), second);
    EXPECT_EQ(MV2FindObjectByScriptID(5), nullptr);
    EXPECT_DOUBLE_EQ(MV2ObjectDistanceSquared(first, second), 169.0);
}

TEST_F(ObjectTest, DestroyAllEndsWithClumpsThatStay) {
    ModelType(5);
    ModelType(7);
    MV2SetObjectTypeHandler(7, Immortal);
    MV2CreateObject(5, nullptr, nullptr);
    MV2Object* keeper = MV2CreateObject(7, nullptr, nullptr);
    TpClump* stranger = MakeSphereClump(1.0f); // in the world but no object's
    TpWorldAddClump(grid_.world, stranger);
    MV2CreateObject(5, nullptr, nullptr);
    ASSERT_EQ(CountClumps(grid_.world), 4);
    MV2DestroyAllObjects();
    EXPECT_EQ(CountClumps(grid_.world), 0);
    EXPECT_TRUE(MV2TestDestroyedType(5));
    EXPECT_FALSE(MV2TestDestroyedType(7));
    TpClumpDestroy(stranger);
    MV2SetObjectTypeHandler(7, nullptr);
    MV2ObjectSendMessage(keeper, 4, 0, 0);
}

TEST_F(ObjectTest, ClumpDataFollowsCopies) {
    TpClump* clump = TpClumpCreate();
    EXPECT_EQ(MV2GetClumpObject(clump), nullptr);
    MV2Object object{};
    MV2SetClumpObject(clump, &object);
    TpClump* copy = TpClumpClone(clump);
    EXPECT_EQ(MV2GetClumpObject(copy), &object);
    MV2SetClumpObject(copy, nullptr);
    EXPECT_EQ(MV2GetClumpObject(clump), &object);
    TpClumpDestroy(copy);
    TpClumpDestroy(clump);
}

TEST_F(ObjectTest, StoredClumpObjectWordIsDropped) {
    // A model file's clump with a 336 extension holding a stale address: read, it names nothing.
    ChunkWriter writer;
    writer.Begin(TV_ID_CLUMP).Begin(TV_ID_STRUCT).I32(0).End();
    writer.Begin(TV_ID_FRAMELIST);
    WriteFrameList(writer, {FrameAt(0, 0, 0, -1)}).End();
    WriteExtension(writer, {{kMV2ClumpDataPluginId, {0xEF, 0xBE, 0xAD, 0xDE}}}).End();
    TvStream* stream = OpenReadStream(writer.data());
    ASSERT_TRUE(stream && TvStreamFindChunk(stream, TV_ID_CLUMP, nullptr, nullptr));
    TpClump* clump = TpClumpStreamRead(stream);
    TvStreamClose(stream, nullptr);
    ASSERT_NE(clump, nullptr);
    EXPECT_EQ(MV2GetClumpObject(clump), nullptr);
    TpClumpDestroy(clump);
}

TEST_F(ObjectTest, GeometryPreLightHelpers) {
    TpGeometry* geometry = TpGeometryCreate(2, 0, kTpGeometryPreLit);
    MV2SetGeometryFullBright(geometry);
    EXPECT_FALSE(geometry->flags & kTpGeometryLight);
    EXPECT_EQ(geometry->preLight[4], 255);
    EXPECT_EQ(geometry->preLight[7], 255);
    MV2SetGeometryLightable(geometry);
    EXPECT_TRUE(geometry->flags & kTpGeometryLight);
    EXPECT_EQ(geometry->preLight[5], 0);
    EXPECT_EQ(geometry->preLight[7], 255);
    TpGeometryDestroy(geometry);
}

TEST_F(ObjectTest, ClumpNormalsFromTriangles) {
    TpClump* clump = MakeSphereClump(1.0f);
    TpAtomic* atomic = nullptr;
    TpClumpForAllAtomics(
        clump,
        [](TpAtomic* a, void* d) -> TpAtomic* {
            *static_cast<TpAtomic**>(d) = a;
            return a;
        },
        &atomic);
    TpGeometry* old = TpAtomicGetGeometry(atomic);
    TpGeometry* g = TpGeometryCreate(3, 1, kTpGeometryNormals | kTpGeometryPreLit);
    TpMorphTarget* m = TpGeometryGetMorphTarget(g, 0);
    m->vertices[0] = {0, 0, 0};
    m->vertices[1] = {2, 0, 0};
    m->vertices[2] = {0, 3, 0};
    g->triangles[0] = {{0, 1, 2}, kTpNoMaterial};
    g->preLight[0] = 200;
    ASSERT_NE(m->normals, nullptr);
    TpAtomicSetGeometry(atomic, g, 0);
    TpGeometryDestroy(g);
    ASSERT_NE(old, g);
    MV2ComputeClumpNormals(clump);
    for (int32_t v = 0; v < 3; v++) {
        EXPECT_NEAR(m->normals[v].z, 1.0f, 1e-6) << v;
        EXPECT_EQ(m->normals[v].x, 0.0f) << v;
    }
    EXPECT_EQ(g->preLight[0], 0);
    EXPECT_EQ(g->preLight[3], 255);
    EXPECT_EQ(g->surfaceProps[1], 1.0f);
    TpClumpDestroy(clump);
}
