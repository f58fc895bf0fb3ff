#include <cmath>

#include "engine/world/intersect.h"
#include "game/objects/utilities.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/world_stream_writer.h"

namespace {

// A clump of one collision atomic of bound radius 1 whose triangle (0,0,0), (1,0,0), (0,1,0)
// faces +z in its frame; `offset` moves the triangle away from the frame (bound-only atomics).
TpClump* TriangleClump(float offset) {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(clump, frame);
    TpGeometry* g = TpGeometryCreate(3, 1, 0);
    TpMorphTarget* m = TpGeometryGetMorphTarget(g, 0);
    m->vertices[0] = {offset, offset, 0};
    m->vertices[1] = {offset + 1, offset, 0};
    m->vertices[2] = {offset, offset + 1, 0};
    g->triangles[0] = {{0, 1, 2}, kTpNoMaterial};
    const TvSphere s{{0, 0, 0}, 1.0f};
    TpMorphTargetSetBoundingSphere(m, &s);
    TpAtomic* a = TpAtomicCreate();
    TpAtomicSetGeometry(a, g, 0);
    TpGeometryDestroy(g);
    TpAtomicSetFrame(a, frame);
    TpAtomicSetFlags(a, 5);
    TpClumpAddAtomic(clump, a);
    return clump;
}

constexpr int32_t kSolid = 50, kHollow = 51;

} // namespace

// A landscape wall at z = 10 (two triangles facing +z, x 0..10, y 0..10) in one leaf whose box
// holds the space in front of it, and two object types: one whose triangle lies on the test
// line and one whose triangle lies far beside it. Lines meet triangles from their front only,
// so the test line runs from z = 40 down to 0.
class QueryTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        world_ = MakeLeafWorld({{0, 0, 10}, {10, 0, 10}, {10, 10, 10}, {0, 10, 10}},
                               {{0, 0, 1, 2}, {0, 0, 2, 3}});
        ASSERT_NE(world_, nullptr);
        TV_ENGINE->worldLibrary = world_;
        for (int32_t t : {kSolid, kHollow}) {
            MV2ObjectType* type = MV2GetObjectType(t);
            type->model = TriangleClump(t == kSolid ? 0.0f : 50.0f);
            type->words[7] = kMV2TypeModelLoaded;
        }
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        TV_ENGINE->worldLibrary = grid_.world;
        TpWorldDestroy(world_);
        ObjectTest::TearDown();
    }
    MV2Object* Place(int32_t type, float z) {
        const float at[3] = {5, 5, z};
        MV2Object* object = MV2CreateObject(type, at, nullptr);
        TvFrameSyncDirty();
        return object;
    }

    TpWorld* world_ = nullptr;
    const TvV3d start_{5.2f, 5.2f, 40}, end_{5.2f, 5.2f, 0};
};

TEST_F(QueryTest, TraceLineTriesSixAtomicsAtMost) {
    MV2Object* nearest = nullptr;
    for (int32_t i = 0; i < 6; i++) {
        MV2Object* o = Place(kHollow, 38.0f - 2.0f * float(i));
        if (i == 0) nearest = o;
    }
    MV2Object* seventh = Place(kSolid, 25.0f); // would be hit, but is the seventh bound
    TvV3d point{}, normal{};
    float distance = 0;
    TpAtomic* atomic = reinterpret_cast<TpAtomic*>(1);
    ASSERT_EQ(MV2TraceLine(world_, &start_, &end_, &point, &normal, &distance, &atomic, nullptr),
              1);
    EXPECT_EQ(atomic, nullptr);
    EXPECT_NEAR(point.z, 10.0f, 1e-4);
    EXPECT_NEAR(distance, 30.0f, 1e-4);
    EXPECT_NEAR(normal.z, 1.0f, 1e-5);

    // With the nearest bound-only object ignored, the solid one is the sixth tried and is struck.
    ASSERT_EQ(MV2TraceLine(world_, &start_, &end_, &point, &normal, &distance, &atomic, nearest),
              1);
    EXPECT_EQ(atomic, MV2GetFirstAtomic(seventh->clump));
    EXPECT_NEAR(point.z, 25.0f, 1e-4);
    EXPECT_NEAR(distance, 15.0f, 1e-4);
    EXPECT_NEAR(normal.z, 1.0f, 1e-5);
}

TEST_F(QueryTest, LineQueriesPickTheNearest) {
    MV2Object* solid = Place(kSolid, 30.0f);
    MV2Object* behind = Place(kSolid, 28.0f);
    float fraction = 0;
    MV2TriangleHit hit{};
    ASSERT_EQ(MV2IntersectWorldLine(world_, &start_, &end_, &hit, &fraction), 1);
    EXPECT_NEAR(fraction, 30.0f / 40.0f, 1e-5);
    int32_t triangle = -1;
    TpAtomic* atomic = MV2GetFirstAtomic(solid->clump);
    ASSERT_EQ(MV2IntersectAtomicLine(atomic, &start_, &end_, &triangle, &fraction), 1);
    EXPECT_EQ(triangle, 0);
    EXPECT_NEAR(fraction, 10.0f / 40.0f, 1e-5);
    TpAtomic* sceneAtomic = nullptr;
    ASSERT_EQ(MV2IntersectSceneLine(world_, &start_, &end_, &hit, &fraction, &sceneAtomic, nullptr),
              1);
    EXPECT_EQ(sceneAtomic, atomic);
    ASSERT_EQ(MV2IntersectSceneLine(world_, &start_, &end_, &hit, &fraction, &sceneAtomic, solid),
              1);
    EXPECT_EQ(sceneAtomic, MV2GetFirstAtomic(behind->clump));

    EXPECT_EQ(MV2HasLineOfSight(world_, &start_, &end_, nullptr, nullptr), 0);
    // The segment is cut at the target's own triangle: nothing lies before it.
    EXPECT_EQ(MV2HasLineOfSight(world_, &start_, &end_, nullptr, solid), 1);
    EXPECT_EQ(MV2HasLineOfSight(world_, &start_, &end_, nullptr, behind), 0);
    EXPECT_EQ(MV2HasLineOfSight(world_, &start_, &end_, solid, behind), 1);

    // Both centres lie equally near the ray; measured along the facing axis (no player: the
    // ray's own) the nearer one wins.
    const TvV3d down{0, 0, -1};
    float distance = 0;
    EXPECT_EQ(MV2FindObjectOnRay(&start_, 40.0f, &down, &triangle, &distance, 1), solid);
    EXPECT_NEAR(distance, 10.0f, 1e-3);
}

int32_t CountAtomic(TpIntersection*, TpWorldSector*, TpAtomic*, float distance, void* data) {
    auto* seen = static_cast<std::vector<float>*>(data);
    seen->push_back(distance);
    return seen->size() < 2 ? 1 : 0;
}

TEST_F(QueryTest, SphereWalksAndTriangleCounts) {
    for (int32_t i = 0; i < 3; i++)
        Place(kHollow, 2.0f + 4.0f * float(i));
    std::vector<float> seen;
    const TvV3d centre{5, 5, 5};
    MV2ForAllAtomicsInSphere(world_, &centre, 20.0f, CountAtomic, &seen);
    ASSERT_EQ(seen.size(), 2u); // the callback's 0 stops the walk
    for (float d : seen)        // units: the distance between the centres, 3, 1 or 5 here
        EXPECT_TRUE(std::fabs(d - 3.0f) < 1e-3 || std::fabs(d - 1.0f) < 1e-3 ||
                    std::fabs(d - 5.0f) < 1e-3)
            << d;

    MV2TriangleHit hits[4];
    const TvV3d wall{5, 5, 11};
    EXPECT_EQ(MV2GetTrianglesInSphere(world_, &wall, 3.0f, 4, hits), 2);
    EXPECT_EQ(MV2GetTrianglesInSphere(world_, &wall, 3.0f, 1, hits), 1);
    const TvV3d behind{5, 5, 9};
    EXPECT_EQ(MV2GetFacingTrianglesInSphere(world_, &wall, 3.0f, 4, hits), 2);
    EXPECT_EQ(MV2GetFacingTrianglesInSphere(world_, &behind, 3.0f, 4, hits), 0);
    const TvV3d a{6, 6, 12}, b{4, 4, 8};
    EXPECT_GE(MV2GetTrianglesInBox(world_, &a, &b, 4, hits), 1);
}

TEST(RandomHelpers, UnitAndDirections) {
    WorldEngine engine{AttachObjectPlugins};
    ASSERT_TRUE(engine.ok());
    for (int32_t i = 0; i < 200; i++) {
        const float u = MV2RandomUnit();
        EXPECT_GE(u, 0.0f);
        EXPECT_LE(u, 1.0f);
    }
    TvV3d d{};
    MV2RandomDirection(&d);
    EXPECT_NEAR(d.x * d.x + d.y * d.y + d.z * d.z, 1.0f, 1e-5);
    MV2RandomHorizontalDirection(&d);
    EXPECT_EQ(d.y, 0.0f);
    EXPECT_NEAR(d.x * d.x + d.z * d.z, 1.0f, 1e-5);
    EXPECT_NEAR(MV2SinDegrees(90.0f), 1.0f, 1e-6);
    // A draw whose low 16 bits are all set gives exactly 1.
    bool found = false;
    for (uint32_t seed = 1; seed < 1000000 && !found; seed++) {
        TvRandomSeed(seed);
        if ((TvRandom() & 0xFFFF) != 0xFFFF) continue;
        TvRandomSeed(seed);
        EXPECT_EQ(MV2RandomUnit(), 1.0f);
        found = true;
    }
    EXPECT_TRUE(found);
    EXPECT_NEAR(MV2CosDegrees(180.0f), -1.0f, 1e-6);
}
